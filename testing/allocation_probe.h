// Test helper: the largest single request made to operator new while a probe is alive.
#pragma once

#include <cstddef>

namespace quarn::testing {

// Records, from construction to destruction, the size of the largest single allocation made
// through the global operator new (the test binary replaces it). One probe at a time.
class AllocationProbe {
 public:
  AllocationProbe();
  ~AllocationProbe();
  AllocationProbe(const AllocationProbe&) = delete;
  AllocationProbe& operator=(const AllocationProbe&) = delete;

  std::size_t largest() const;
};

}  // namespace quarn::testing
