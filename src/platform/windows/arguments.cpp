// Arguments, input and paths on Windows: main's argv is in the ANSI code page, so the arguments
// come from the wide command line; standard input is read raw, without text-mode translation;
// paths are UTF-16 underneath.
#include "platform/arguments.h"

// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include "platform/windows/utf16.h"

namespace quarn::platform {

std::vector<std::string> program_arguments(int, char**) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 1; wide != nullptr && i < count; ++i) args.push_back(to_utf8(wide[i]));
  if (wide != nullptr) LocalFree(wide);
  return args;
}

std::string read_standard_input() {
  std::string all;
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (input == nullptr || input == INVALID_HANDLE_VALUE) return all;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(input, buffer, sizeof buffer, &got, nullptr) && got > 0) all.append(buffer, got);
  return all;
}

std::filesystem::path file_path(std::string_view utf8) {
  return std::filesystem::path(to_utf16(utf8).value_or(std::wstring()));
}

std::string path_text(const std::filesystem::path& path) { return to_utf8(path.native()); }

}  // namespace quarn::platform
