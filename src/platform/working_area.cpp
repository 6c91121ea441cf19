// The working area: the heap for the comparison, pages from the system (working_pages.h) for the
// rest.
#include "platform/working_area.h"

#include <new>

#include "platform/working_pages.h"

namespace quarn::platform {
namespace {

constexpr std::align_val_t kHeapAlignment{64};

}  // namespace

std::span<std::uint8_t> acquire_working_area(std::size_t size, AreaMethod method) {
  if (method == AreaMethod::kHeap) {
    return {static_cast<std::uint8_t*>(::operator new(size, kHeapAlignment)), size};
  }
  return {acquire_pages(size, method), size};
}

void release_working_area(std::span<std::uint8_t> area, AreaMethod method) {
  if (area.data() == nullptr) return;
  if (method == AreaMethod::kHeap) {
    ::operator delete(area.data(), kHeapAlignment);
    return;
  }
  release_pages(area);
}

}  // namespace quarn::platform
