// The working area where transparent huge pages are refused: the same usable memory, still
// faulted in before its first use, on small pages.
#include <gtest/gtest.h>
#include <sys/prctl.h>

#include <cstdint>

#include "platform/test_os.h"
#include "platform/working_area.h"

namespace quarn::platform {
namespace {

// Turns transparent huge pages off for this process while it lives, as a system with them off
// would behave, and turns them back on.
class ThpDisabled {
 public:
  ThpDisabled() : was_disabled_(prctl(PR_GET_THP_DISABLE, 0, 0, 0, 0) == 1) {
    applied_ = prctl(PR_SET_THP_DISABLE, 1, 0, 0, 0) == 0;
  }
  ~ThpDisabled() {
    if (applied_ && !was_disabled_) (void)prctl(PR_SET_THP_DISABLE, 0, 0, 0, 0);
  }
  bool applied() const { return applied_; }

 private:
  bool was_disabled_;
  bool applied_;
};

TEST(WorkingArea, WithoutHugePagesStillUsable) {
  const ThpDisabled thp_off;
  ASSERT_TRUE(thp_off.applied());
  constexpr std::size_t kSize = std::size_t{64} << 20;
  const auto area = acquire_working_area(kSize, AreaMethod::kBest);
  ASSERT_EQ(area.size(), kSize);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(area.data()) % 4096, 0u);
  const std::uint64_t before = page_faults();
  for (std::size_t offset = 0; offset < area.size(); offset += 4096) area[offset] = 1;
  const std::uint64_t during_first_use = page_faults() - before;
  area.back() = 2;
  EXPECT_EQ(area.front() + area.back(), 3);
  release_working_area(area, AreaMethod::kBest);
  // Faulted in by use: 16,384, one a 4 KiB page (AddressSanitizer's shadow: 2,048 more).
  EXPECT_LT(during_first_use, kSize / 4096 / 4);
}

}  // namespace
}  // namespace quarn::platform
