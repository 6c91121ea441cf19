// Test helper: replaces the global operator new of the test binary to watch allocation sizes.
#include "testing/allocation_probe.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace quarn::testing {
namespace {

std::atomic<bool> g_recording{false};
std::atomic<std::size_t> g_largest{0};

void* allocate(std::size_t size) noexcept {
  if (g_recording.load(std::memory_order_relaxed)) {
    std::size_t seen = g_largest.load(std::memory_order_relaxed);
    while (size > seen && !g_largest.compare_exchange_weak(seen, size)) {
    }
  }
  return std::malloc(size == 0 ? 1 : size);
}

}  // namespace

AllocationProbe::AllocationProbe() {
  g_largest.store(0);
  g_recording.store(true);
}

AllocationProbe::~AllocationProbe() { g_recording.store(false); }

std::size_t AllocationProbe::largest() const { return g_largest.load(); }

}  // namespace quarn::testing

// Every form that pairs malloc with free is replaced together, so that no block obtained here is
// released by a different allocator (the sanitizers check the pairing). The aligned forms are
// left to the runtime: they are allocated and released by it alike.
void* operator new(std::size_t size) {
  if (void* block = quarn::testing::allocate(size)) return block;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  if (void* block = quarn::testing::allocate(size)) return block;
  throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return quarn::testing::allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return quarn::testing::allocate(size);
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
