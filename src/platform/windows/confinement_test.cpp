// Tests of the Windows confinement: the mitigation policies are in force once it is set up, and
// memory can no longer be made executable. Wine accepts the calls without enforcing them.
#include "platform/confinement.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace quarn::platform {
namespace {

bool under_wine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

template <typename Policy>
Policy current(PROCESS_MITIGATION_POLICY kind) {
  Policy policy{};
  if (!GetProcessMitigationPolicy(GetCurrentProcess(), kind, &policy, sizeof policy)) {
    ADD_FAILURE() << "GetProcessMitigationPolicy " << static_cast<int>(kind) << " failed";
  }
  return policy;
}

// The whole test process stays confined: CTest runs each test in a process of its own.
TEST(Confinement, MitigationPoliciesAreInForce) {
  confine_process();
  if (under_wine()) GTEST_SKIP() << "Wine does not enforce process mitigation policies";
  EXPECT_TRUE(current<PROCESS_MITIGATION_DYNAMIC_CODE_POLICY>(ProcessDynamicCodePolicy)
                  .ProhibitDynamicCode);
  EXPECT_TRUE(
      current<PROCESS_MITIGATION_EXTENSION_POINT_DISABLE_POLICY>(ProcessExtensionPointDisablePolicy)
          .DisableExtensionPoints);
  const auto images = current<PROCESS_MITIGATION_IMAGE_LOAD_POLICY>(ProcessImageLoadPolicy);
  EXPECT_TRUE(images.NoRemoteImages);
  EXPECT_TRUE(images.NoLowMandatoryLabelImages);
  EXPECT_TRUE(images.PreferSystem32Images);
  const auto handles =
      current<PROCESS_MITIGATION_STRICT_HANDLE_CHECK_POLICY>(ProcessStrictHandleCheckPolicy);
  EXPECT_TRUE(handles.RaiseExceptionOnInvalidHandleReference);
  EXPECT_TRUE(handles.HandleExceptionsPermanentlyEnabled);

  // No executable memory can be had any more.
  void* code = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE);
  EXPECT_EQ(code, nullptr);
  if (code != nullptr) VirtualFree(code, 0, MEM_RELEASE);
}

// That the confined host still does all it must is the black-box tests' part: every one runs it.

}  // namespace
}  // namespace quarn::platform
