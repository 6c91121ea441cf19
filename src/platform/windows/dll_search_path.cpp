// The DLL search of the shipped programs: System32 only, from before the C runtime starts. The
// runtime's own start-up loads DLLs that import others by name (the stack protector seeds its
// canary through the CryptoAPI, whose provider imports bcrypt.dll), and those would otherwise be
// looked for in the program's folder first, where a planted DLL could wait.
#include <windows.h>

namespace {

void NTAPI search_system32_only(PVOID, DWORD reason, PVOID) {
  if (reason == DLL_PROCESS_ATTACH) SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace

// A TLS callback: the loader runs it before the program's entry point, so before every
// constructor of the runtime.
extern "C" {
__attribute__((section(".CRT$XLB"), used)) PIMAGE_TLS_CALLBACK quarn_dll_search_callback =
    search_system32_only;
}
