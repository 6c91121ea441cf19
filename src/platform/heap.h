// A hint to the allocator before a request that will allocate a lot.
#pragma once

#include <cstddef>

namespace quarn::platform {

// Prepares the heap for about `bytes` of allocations: freed memory stays with the process (one
// request, then exit), and the region is backed by huge pages where the system offers them, so
// that building a large reply does not pay a page fault for every 4 KiB it touches. Only virtual
// memory is set aside; nothing fails if the system declines.
void prepare_heap(std::size_t bytes);

}  // namespace quarn::platform
