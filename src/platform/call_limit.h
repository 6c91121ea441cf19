// The time limit of one kind of socket call (send or receive), brought forward by the end of the
// exchange that the call belongs to.
#pragma once

#include "base/deadline.h"

namespace quarn::platform {

class CallLimit {
 public:
  explicit CallLimit(int call_ms) : call_ms_(call_ms) {}

  // Readies one call: `set_ms(ms)` sets the socket's limit when it differs from the one set
  // before (ms is above 0: a zero limit means none at all on every system). False when no time
  // is left for the call.
  template <typename SetMs>
  bool ready(const Deadline& exchange, SetMs set_ms) {
    const int ms = exchange.limit_for(call_ms_);
    if (ms <= 0) return false;
    if (ms != set_ms_) {
      set_ms(ms);
      set_ms_ = ms;
    }
    return true;
  }

 private:
  int call_ms_;
  int set_ms_ = 0;
};

}  // namespace quarn::platform
