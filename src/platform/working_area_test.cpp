// Tests of the working area: every method gives usable memory of the asked size and alignment,
// the pre-faulted ones take their page faults before the first use, and release gives it back.
#include "platform/working_area.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "platform/test_os.h"

namespace quarn::platform {
namespace {

constexpr std::size_t kSize = std::size_t{64} << 20;
constexpr std::size_t kPage = 4096;

struct Method {
  const char* name;
  AreaMethod method;
  std::size_t alignment;
  bool prefaulted;  // its pages are in before the first write
};

const Method kMethods[] = {
    {"best", AreaMethod::kBest, kPage, true},
    {"heap", AreaMethod::kHeap, 64, false},
    {"pages", AreaMethod::kPages, kPage, false},
    {"pages_populated", AreaMethod::kPagesPopulated, kPage, true},
    {"pages_prefetched", AreaMethod::kPagesPrefetched, kPage, false},
    {"huge_pages", AreaMethod::kHugePages, kPage, false},
};

// Writes a byte that depends on the offset into every page, then reads them all back.
bool every_page_holds_what_was_written(std::span<std::uint8_t> area) {
  for (std::size_t offset = 0; offset < area.size(); offset += kPage) {
    area[offset] = static_cast<std::uint8_t>(offset >> 12);
  }
  area.back() = 0x5A;
  for (std::size_t offset = 0; offset < area.size(); offset += kPage) {
    if (area[offset] != static_cast<std::uint8_t>(offset >> 12)) return false;
  }
  return area.back() == 0x5A;
}

TEST(WorkingArea, EveryMethodGivesWritableAlignedMemory) {
  for (const Method& m : kMethods) {
    SCOPED_TRACE(m.name);
    // Twice: a released area must not stand in the way of the next.
    for (int round = 0; round < 2; ++round) {
      const auto area = acquire_working_area(kSize, m.method);
      ASSERT_NE(area.data(), nullptr);
      EXPECT_EQ(area.size(), kSize);
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(area.data()) % m.alignment, 0u);
      EXPECT_TRUE(every_page_holds_what_was_written(area));
      release_working_area(area, m.method);
    }
  }
}

TEST(WorkingArea, PrefaultedAreasTakeNoFaultsOnFirstUse) {
  for (const Method& m : kMethods) {
    if (!m.prefaulted) continue;
    SCOPED_TRACE(m.name);
    const auto area = acquire_working_area(kSize, m.method);
    const std::uint64_t before = page_faults();
    for (std::size_t offset = 0; offset < area.size(); offset += kPage) area[offset] = 1;
    const std::uint64_t during_first_use = page_faults() - before;
    release_working_area(area, m.method);
    // Faulted in by use, the area would take one fault per 4 KiB page: 16,384.
    EXPECT_LT(during_first_use, 256u);
  }
}

TEST(WorkingArea, ReleaseGivesTheMemoryBack) {
  const int self = current_process_id();
  const auto before = resident_memory(self);
  ASSERT_TRUE(before.has_value());
  const auto area = acquire_working_area(kSize, AreaMethod::kBest);
  for (std::size_t offset = 0; offset < area.size(); offset += kPage) area[offset] = 1;
  const auto held = resident_memory(self);
  release_working_area(area, AreaMethod::kBest);
  const auto after = resident_memory(self);
  ASSERT_TRUE(held.has_value() && after.has_value());
  EXPECT_GE(*held, *before + kSize / 2);
  EXPECT_LE(*after, *before + kSize / 4);
}

}  // namespace
}  // namespace quarn::platform
