#include "song/EventArena.h"

#include <new>
#include <stdexcept>

namespace {

// The block begins with the slot that holds the head's address.
constexpr std::size_t kSlotBytes = sizeof(CMidiEvent*);
// What a 32-bit link reaches (EventLink.h), with room to spare.
constexpr std::size_t kLargestBlock = std::size_t{4} << 30;

} // namespace

void CEventArena::BeginMeasuring()
{
    Release();
    m_bMeasuring = true;
    m_used = kSlotBytes;
}

CMidiEvent* const* CEventArena::BeginPlacing(CMidiEvent* head)
{
    const std::size_t measured = m_used;
    Release();
    if (measured <= kSlotBytes)
        return nullptr;
    if (measured > kLargestBlock)
        throw std::length_error("a track's events need more than 4 GiB");
    // new[] of std::byte is aligned for any fundamental type.
    m_block = std::make_unique_for_overwrite<std::byte[]>(measured);
    m_capacity = measured;
    m_used = kSlotBytes;
    return new (m_block.get()) CMidiEvent*(head);
}

void CEventArena::Release()
{
    m_block.reset();
    m_bMeasuring = false;
    m_used = 0;
    m_capacity = 0;
}
