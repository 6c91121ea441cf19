// What the host asks of the system for its own process before it reads any secret.
#pragma once

namespace quarn::platform {

// No core file may hold the host's memory and no debugger of the same user may attach to it (on
// Linux: RLIMIT_CORE 0 and PR_SET_DUMPABLE 0). A setting the system refuses is left as it is.
// On Linux a process that a tracer already holds ends here, silently and with a failure status.
void harden_process();

}  // namespace quarn::platform
