// Confinement on Windows: the process mitigation policies that a running process may still set
// on itself. Each is best effort: an older Windows, or Wine, may refuse or ignore one.
#include "platform/confinement.h"

#include <windows.h>

namespace quarn::platform {
namespace {

template <typename Policy>
void set_policy(PROCESS_MITIGATION_POLICY kind, Policy policy) {
  (void)SetProcessMitigationPolicy(kind, &policy, sizeof policy);
}

}  // namespace

void confine_process() {
  // Libraries loaded from now on come from System32 only, never from the program's folder, the
  // current folder or PATH (a bcrypt.dll dropped beside the program is not picked up).
  (void)SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);

  // No image from a network share or with a low integrity label, and System32's copy first.
  PROCESS_MITIGATION_IMAGE_LOAD_POLICY images{};
  images.NoRemoteImages = 1;
  images.NoLowMandatoryLabelImages = 1;
  images.PreferSystem32Images = 1;
  set_policy(ProcessImageLoadPolicy, images);

  // No legacy extension points (AppInit DLLs, window hooks, IMEs loaded into the process).
  PROCESS_MITIGATION_EXTENSION_POINT_DISABLE_POLICY extensions{};
  extensions.DisableExtensionPoints = 1;
  set_policy(ProcessExtensionPointDisablePolicy, extensions);

  // A bad handle is a crash, not a silently failing call that an attacker can steer.
  PROCESS_MITIGATION_STRICT_HANDLE_CHECK_POLICY handles{};
  handles.RaiseExceptionOnInvalidHandleReference = 1;
  handles.HandleExceptionsPermanentlyEnabled = 1;
  set_policy(ProcessStrictHandleCheckPolicy, handles);

  // No executable memory may be made or changed from now on: no code injected into the host runs
  // from its heap. Last, since loading a library maps executable pages of its own.
  PROCESS_MITIGATION_DYNAMIC_CODE_POLICY code{};
  code.ProhibitDynamicCode = 1;
  set_policy(ProcessDynamicCodePolicy, code);
}

// Windows has no per-port rule a process can set on itself; the peer's owner is checked instead.
void limit_connections_to(std::uint16_t) {}

}  // namespace quarn::platform
