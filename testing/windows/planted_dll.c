/* A DLL to plant beside a program under test, built under the name of a system DLL that is not
 * one of Windows' KnownDLLs (bcrypt.dll). Loading it leaves the file "planted-dll-loaded" in its
 * own folder; it exports nothing, so a program that did load it could not use it either. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    wchar_t path[MAX_PATH + 32];
    DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return TRUE;
    while (length > 0 && path[length - 1] != L'\\') --length;
    lstrcpyW(path + length, L"planted-dll-loaded");
    HANDLE marker = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
  }
  return TRUE;
}
