// The working area of the password key derivation: 64 MiB in one piece, set up so that filling
// it costs as few page faults and TLB misses as the system allows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace quarn::platform {

// How an area is set up. The host always takes kBest; the others are there to be measured
// against it (dev/bench) and tested.
enum class AreaMethod {
  // POSIX: anonymous pages aligned to 2 MiB, advised to be huge pages and left out of core
  // files, then faulted in by one call (MADV_POPULATE_WRITE) or, where that is refused, by
  // touching each page. Windows: large pages when the process holds the lock-memory privilege,
  // otherwise committed pages faulted in by one VirtualLock. Each step the system refuses is
  // left out; only the want of the memory itself ends the process.
  kBest,
  kHeap,             // operator new, 64-byte aligned: what a library takes by default
  kPages,            // whole pages, faulted in by their first use (mmap; VirtualAlloc)
  kPagesPopulated,   // POSIX: mmap with MAP_POPULATE; Windows: VirtualLock, as in kBest
  kPagesPrefetched,  // POSIX: MADV_POPULATE_WRITE on small pages; Windows: PrefetchVirtualMemory
  kHugePages,        // POSIX: 2 MiB-aligned, MADV_HUGEPAGE, faulted by use; Windows: as kBest
};

// `size` bytes of writable memory aligned to at least 4096 bytes (64 with kHeap). Ends the
// process when the memory cannot be had.
std::span<std::uint8_t> acquire_working_area(std::size_t size, AreaMethod method);

// Gives back an area from acquire_working_area with the same method.
void release_working_area(std::span<std::uint8_t> area, AreaMethod method);

}  // namespace quarn::platform
