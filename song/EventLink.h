#pragma once
// A link from one event to another in 32 bits instead of a 64-bit pointer: the
// distance from the event that holds the link to its target, in 8-byte steps. A
// song of millions of small events spends most of its memory on links, and the
// events of one track lie in one block, so their distances are small.
//
// A target too far for a distance (a track's list head lives in the track, away from
// its events' block) is reached through a slot near the holder that keeps the full
// pointer: the link then holds the distance to that slot, marked by its lowest bit.

#include <cstdint>

class CMidiEvent;

class CEventLink {
public:
    [[nodiscard]] CMidiEvent* Get(const CMidiEvent* holder) const
    {
        if (m_nValue == 0)
            return nullptr;
        const std::uintptr_t at = Address(holder) + static_cast<std::uintptr_t>(Distance());
        if (m_nValue & kThroughSlot)
            return *reinterpret_cast<CMidiEvent* const*>(at);
        return reinterpret_cast<CMidiEvent*>(at);
    }

    // Points at `target` directly; false, with the link unchanged, when it is too far.
    [[nodiscard]] bool SetDirect(const CMidiEvent* holder, const CMidiEvent* target)
    {
        if (!target) {
            m_nValue = 0;
            return true;
        }
        return Encode(holder, target, 0);
    }

    // Points at whatever `slot` holds; false, with the link unchanged, when the slot
    // is too far.
    [[nodiscard]] bool SetThroughSlot(const CMidiEvent* holder, CMidiEvent* const* slot)
    {
        return Encode(holder, slot, kThroughSlot);
    }

    void Clear() { m_nValue = 0; }

private:
    static constexpr std::int32_t kThroughSlot = 1;
    static constexpr std::intptr_t kStep = 8; // events and slots are 8-byte aligned
    static constexpr std::intptr_t kFarthest = (std::intptr_t{1} << 30) - 1; // steps, about 8 GiB

    static std::uintptr_t Address(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

    [[nodiscard]] std::intptr_t Distance() const { return static_cast<std::intptr_t>(m_nValue >> 1) * kStep; }

    bool Encode(const CMidiEvent* holder, const void* target, std::int32_t tag)
    {
        const auto bytes = static_cast<std::intptr_t>(Address(target) - Address(holder));
        const std::intptr_t steps = bytes / kStep;
        // A distance of 0 would read as no link: an event never links to itself.
        if (bytes % kStep != 0 || steps > kFarthest || steps < -kFarthest || (steps == 0 && tag == 0))
            return false;
        m_nValue = static_cast<std::int32_t>(steps * 2 + tag);
        return true;
    }

    std::int32_t m_nValue = 0; // 0: no link
};
