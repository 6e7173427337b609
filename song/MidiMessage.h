#pragma once
// A snapshot of one event, owned by whoever declares it. It owns a copy of the
// meta or sysex data, replaced on every fill.

#include <cstdint>
#include <memory>

class CMidiMessage {
public:
    enum Kind : std::int32_t { kNone = 0, kChannel = 1, kMeta = 2, kSysex = 3, kEndOfList = 4 };

    CMidiMessage() = default;
    CMidiMessage(const CMidiMessage& other);
    CMidiMessage& operator=(const CMidiMessage& other);
    CMidiMessage(CMidiMessage&&) noexcept = default;
    CMidiMessage& operator=(CMidiMessage&&) noexcept = default;
    ~CMidiMessage() = default;

    // Every field back to zero, the data copy freed.
    void Clear();
    // Replaces the data copy with `length` bytes of `data` (none when length is 0).
    void SetData(const std::uint8_t* data, std::uint32_t length);

    std::int32_t m_nTrack = 0;   // 1-based, set by the cursor
    std::int32_t m_nKind = kNone;
    std::uint32_t m_dwDelta = 0; // ticks
    std::uint8_t m_byStatus = 0;
    std::uint8_t m_byData1 = 0;
    std::uint8_t m_byData2 = 0;
    std::uint8_t m_byMetaType = 0;
    std::uint32_t m_dwDataLength = 0;
    std::unique_ptr<std::uint8_t[]> m_pData;
};
