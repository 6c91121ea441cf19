// Process hardening on Windows: no error dialog and no Windows Error Reporting dump of a crash.
#include "platform/process.h"

#include <windows.h>

namespace quarn::platform {

void harden_process() {
  // A crash ends the process at once instead of handing its memory to the error reporter, which
  // may write it to a dump file. Windows has no per-process switch against a debugger of the
  // same user.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
}

}  // namespace quarn::platform
