// Process hardening over setrlimit and, on Linux, prctl.
#include "platform/process.h"

#include <sys/resource.h>
#if defined(__linux__)
#include <sys/prctl.h>
#endif

namespace quarn::platform {

void harden_process() {
  const rlimit no_core{0, 0};
  (void)::setrlimit(RLIMIT_CORE, &no_core);
#if defined(__linux__)
  (void)::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
#endif
}

}  // namespace quarn::platform
