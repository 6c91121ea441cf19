// The one check of the fuzz targets: a property that does not hold ends the run as a crash.
#pragma once

#include <cstdlib>

namespace quarn::testing {

inline void check(bool property) {
  if (!property) std::abort();
}

}  // namespace quarn::testing
