// Where delay-loaded DLLs come from: System32 and nowhere else. Windows looks for a DLL that is
// not one of its KnownDLLs in the program's own folder first, so a bcrypt.dll left beside the
// host (in a Downloads folder, say) would run inside it. Such DLLs are imported through
// delay-load libraries (cmake/windows.cmake), and this hook loads each one on its first call.
#include <windows.h>
// After windows.h, whose types it uses.
#include <delayimp.h>

namespace {

FARPROC WINAPI load_from_system32(unsigned notification, PDelayLoadInfo info) {
  if (notification != dliNotePreLoadLibrary) return nullptr;
  HMODULE module = LoadLibraryExA(info->szDll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Returning nothing would send the delay-load helper to LoadLibrary's own search, the program's
  // folder first: without its system DLL the program cannot go on, so it ends here, silently.
  if (module == nullptr) TerminateProcess(GetCurrentProcess(), EXIT_FAILURE);
  return reinterpret_cast<FARPROC>(module);
}

}  // namespace

// mingw-w64's delay-load helper calls this hook before it loads a DLL; this definition takes the
// place of the runtime's empty one.
extern "C" {
PfnDliHook __pfnDliNotifyHook2 = load_from_system32;
}
