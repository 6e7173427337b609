#pragma once
// Memory for the events of one track: one block, sized by a first pass over the
// track that only measures, filled by a second that places the events one after
// another. One block keeps every event near every other, which lets a link between
// them take 32 bits (see EventLink.h), and costs no per-allocation overhead.

#include <cstddef>
#include <memory>

class CMidiEvent;

class CEventArena {
public:
    CEventArena() = default;
    CEventArena(const CEventArena&) = delete;
    CEventArena& operator=(const CEventArena&) = delete;

    // The first pass: Allocate hands out one scratch room, again and again, and adds
    // up what the events would take. Any block from before is released.
    void BeginMeasuring();
    // The second pass: one block of what was measured, which begins with a slot
    // holding `head`; the slot is returned (null when nothing was measured). Throws
    // std::bad_alloc as new does, or std::length_error past what links can span.
    CMidiEvent* const* BeginPlacing(CMidiEvent* head);
    // Room for `size` bytes aligned to `align` (at most alignof(std::max_align_t)):
    // while measuring, the scratch room, valid until the next call; while placing,
    // room in the block, valid until it is released, or null when the block is full
    // (the bytes changed between the passes).
    [[nodiscard]] void* Allocate(std::size_t size, std::size_t align)
    {
        const std::size_t at = (m_used + align - 1) / align * align;
        if (m_bMeasuring) {
            if (size > kScratchBytes)
                return nullptr;
            m_used = at + size;
            return m_scratch;
        }
        if (!m_block || at + size > m_capacity)
            return nullptr;
        m_used = at + size;
        return m_block.get() + at;
    }
    void Release();

private:
    static constexpr std::size_t kScratchBytes = 64;

    bool m_bMeasuring = false;
    std::size_t m_used = 0;
    std::size_t m_capacity = 0;
    std::unique_ptr<std::byte[]> m_block;
    alignas(std::max_align_t) std::byte m_scratch[kScratchBytes] = {};
};
