/* Loads bcrypt.dll with LoadLibrary's default search, which looks in the program's own folder
 * first: the control for the planted-DLL test, showing that the folder it plants in is searched. */
#include <windows.h>

int main(void) {
  HMODULE module = LoadLibraryW(L"bcrypt.dll");
  if (module != NULL) FreeLibrary(module);
  return 0;
}
