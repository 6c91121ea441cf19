// A time limit that several waits share: each wait keeps its own limit and never runs past the
// shared end.
#pragma once

#include <algorithm>
#include <chrono>

namespace quarn {

class Deadline {
 public:
  using Clock = std::chrono::steady_clock;

  // Ends `total_ms` milliseconds from now.
  explicit Deadline(int total_ms) : end_(Clock::now() + std::chrono::milliseconds(total_ms)) {}

  // How long one call may wait, in milliseconds: its own limit, or what is left when that is
  // less. At most 0 once the deadline has passed: no call may start then.
  int limit_for(int call_ms) const {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(end_ - Clock::now()).count();
    return static_cast<int>(std::min<long long>(call_ms, std::max<long long>(left, 0)));
  }

 private:
  Clock::time_point end_;
};

}  // namespace quarn
