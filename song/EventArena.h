#pragma once
// Memory for the events of one track: events are placed one after another in a
// few large blocks instead of one heap allocation each, and the blocks go with
// the track. A song of millions of small events then needs the events' own size
// and no per-allocation overhead.

#include <cstddef>
#include <memory>
#include <vector>

class CEventArena {
public:
    CEventArena() = default;
    CEventArena(const CEventArena&) = delete;
    CEventArena& operator=(const CEventArena&) = delete;

    // Room for `size` bytes aligned to `align` (at most alignof(std::max_align_t)),
    // valid until the arena is destroyed. Throws std::bad_alloc as new does.
    [[nodiscard]] void* Allocate(std::size_t size, std::size_t align);

private:
    std::vector<std::unique_ptr<std::byte[]>> m_blocks;
    std::size_t m_used = 0;
    std::size_t m_capacity = 0;
};
