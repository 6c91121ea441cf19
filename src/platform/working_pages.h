// The system's part of the working area: whole pages, set up by each method but the heap.
// platform/working_area.cpp holds what is the same on every system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/working_area.h"

namespace quarn::platform {

// `size` bytes of pages set up as `method` (never kHeap) says. Ends the process when the memory
// cannot be had.
std::uint8_t* acquire_pages(std::size_t size, AreaMethod method);

// Gives back what acquire_pages returned.
void release_pages(std::span<std::uint8_t> area);

}  // namespace quarn::platform
