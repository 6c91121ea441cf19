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

// The page faults of a first write into every page of the area.
std::uint64_t faults_of_first_use(std::span<std::uint8_t> area) {
  const std::uint64_t before = page_faults();
  for (std::size_t offset = 0; offset < area.size(); offset += kPage) area[offset] = 1;
  return page_faults() - before;
}

TEST(WorkingArea, PrefaultedAreasTakeNoFaultsOnFirstUse) {
  // Pages faulted in by use, to see that the system counts faults at all (Wine does not).
  const auto plain = acquire_working_area(kSize, AreaMethod::kPages);
  const std::uint64_t plain_faults = faults_of_first_use(plain);
  release_working_area(plain, AreaMethod::kPages);
  if (plain_faults == 0) GTEST_SKIP() << "this system does not count page faults";
  EXPECT_GE(plain_faults, kSize / kPage / 2);

  for (const Method& m : kMethods) {
    if (!m.prefaulted) continue;
    SCOPED_TRACE(m.name);
    const auto area = acquire_working_area(kSize, m.method);
    const std::uint64_t during_first_use = faults_of_first_use(area);
    release_working_area(area, m.method);
    // Faulted in by use, the area would take one fault per 4 KiB page: 16,384. AddressSanitizer's
    // shadow of the area takes one per eight pages (2,048) on top.
    EXPECT_LT(during_first_use, kSize / kPage / 4);
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
