// The working area's pages from anonymous mappings: mmap, madvise, munmap.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/working_pages.h"

namespace quarn::platform {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

// `size` bytes of fresh anonymous memory, the start aligned to `alignment` (a power of two; 0 for
// the page size); what the alignment left over on either side goes back at once. Ends the
// process when there is no memory.
std::uint8_t* map_pages(std::size_t size, std::size_t alignment, int extra_flags) {
  const std::size_t mapped = size + alignment;
  void* const block = mmap(nullptr, mapped, PROT_READ | PROT_WRITE,
                           MAP_PRIVATE | MAP_ANONYMOUS | extra_flags, -1, 0);
  if (block == MAP_FAILED) std::abort();
  if (alignment == 0) return static_cast<std::uint8_t*>(block);
  const auto start = reinterpret_cast<std::uintptr_t>(block);
  const std::uintptr_t aligned = (start + alignment - 1) & ~(alignment - 1);
  if (aligned > start) munmap(block, aligned - start);
  const std::uintptr_t tail = aligned + size;
  if (start + mapped > tail) munmap(reinterpret_cast<void*>(tail), start + mapped - tail);
  return reinterpret_cast<std::uint8_t*>(aligned);
}

// Faults every page of the area in now, in one call where the kernel has MADV_POPULATE_WRITE
// (Linux 5.14); otherwise one write a page, which on huge pages is one fault per 2 MiB.
void populate(std::uint8_t* area, std::size_t size) {
  if (madvise(area, size, MADV_POPULATE_WRITE) == 0) return;
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  for (std::size_t offset = 0; offset < size; offset += page) {
    *static_cast<volatile std::uint8_t*>(area + offset) = 0;
  }
}

}  // namespace

std::uint8_t* acquire_pages(std::size_t size, AreaMethod method) {
  std::uint8_t* area = nullptr;
  switch (method) {
    case AreaMethod::kBest:
      // Huge pages (where transparent huge pages are allowed) spare the 16,000 faults and most
      // of the TLB misses of Argon2's random reads over 64 MiB. A refused advice changes only
      // the speed, so its result is not looked at.
      area = map_pages(size, kHugePage, 0);
      (void)madvise(area, size, MADV_HUGEPAGE);
      (void)madvise(area, size, MADV_DONTDUMP);
      populate(area, size);
      break;
    case AreaMethod::kHeap:  // not pages: working_area.cpp takes it from the heap
      std::abort();
    case AreaMethod::kPages:
      area = map_pages(size, 0, 0);
      break;
    case AreaMethod::kPagesPopulated:
      area = map_pages(size, 0, MAP_POPULATE);
      break;
    case AreaMethod::kPagesPrefetched:
      area = map_pages(size, 0, 0);
      populate(area, size);
      break;
    case AreaMethod::kHugePages:
      area = map_pages(size, kHugePage, 0);
      (void)madvise(area, size, MADV_HUGEPAGE);
      break;
  }
  return area;
}

void release_pages(std::span<std::uint8_t> area) { munmap(area.data(), area.size()); }

}  // namespace quarn::platform
