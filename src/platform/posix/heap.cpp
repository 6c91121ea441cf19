// prepare_heap over glibc's mallopt() and madvise(MADV_HUGEPAGE).
#include "platform/heap.h"

#include <malloc.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

namespace quarn::platform {

void prepare_heap(std::size_t bytes) {
  constexpr std::size_t kHugePage = std::size_t{2} << 20;
  constexpr int kNever = 1 << 30;
  // Every block from the heap, none from separate mappings, and no trimming: the region set up
  // below is then where all later allocations come from, and freed blocks are reused in place.
  if (mallopt(M_MMAP_THRESHOLD, kNever) != 1 || mallopt(M_TRIM_THRESHOLD, kNever) != 1) return;
  const std::size_t size = bytes + 2 * kHugePage;
  void* block = std::malloc(size);
  if (block == nullptr) return;
  const auto start = reinterpret_cast<std::uintptr_t>(block);
  const std::uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t end = (start + size) & ~(kHugePage - 1);
  if (end > aligned) {
    (void)madvise(reinterpret_cast<void*>(aligned), end - aligned, MADV_HUGEPAGE);
  }
  std::free(block);
}

}  // namespace quarn::platform
