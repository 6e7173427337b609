#include "song/EventArena.h"

#include <algorithm>

namespace {

// Blocks grow from small, for the many short tracks, to a size whose last,
// partly used block wastes little of a long track.
constexpr std::size_t kFirstBlock = 512;
constexpr std::size_t kLargestBlock = 1024 * 1024;

} // namespace

void* CEventArena::Allocate(std::size_t size, std::size_t align)
{
    std::size_t at = (m_used + align - 1) / align * align;
    if (m_blocks.empty() || at + size > m_capacity) {
        const std::size_t grown = m_blocks.empty() ? kFirstBlock : std::min(m_capacity * 2, kLargestBlock);
        m_capacity = std::max(grown, size);
        // new[] of std::byte is aligned for any fundamental type.
        m_blocks.push_back(std::make_unique_for_overwrite<std::byte[]>(m_capacity));
        at = 0;
    }
    m_used = at + size;
    return m_blocks.back().get() + at;
}
