// Programs on disk, over GetModuleFileNameW and GetFileAttributesW.
#include "platform/executable.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/environment.h"
#include "platform/windows/utf16.h"

namespace quarn::platform {

std::string executable_path() {
  std::vector<wchar_t> buffer(32768);
  const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  if (n == 0 || n >= buffer.size()) return std::string();
  return to_utf8(std::wstring_view(buffer.data(), n));
}

std::string program_file_name(std::string_view name) { return std::string(name) + ".exe"; }

// Windows runs any regular file it can read; a program is one whose name ends in .exe.
bool is_executable_file(const std::string& path) {
  const auto wide = to_utf16(path);
  if (!wide) return false;
  const DWORD attributes = GetFileAttributesW(wide->c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return false;
  }
  std::string lower = path.size() >= 4 ? path.substr(path.size() - 4) : std::string();
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
  return lower == ".exe";
}

bool is_on_path(const std::string& name) {
  const std::string dirs = environment_variable("PATH").value_or("");
  const std::string file =
      name.size() >= 4 && name.substr(name.size() - 4) == ".exe" ? name : name + ".exe";
  std::size_t start = 0;
  while (start <= dirs.size()) {
    const std::size_t end = std::min(dirs.find(';', start), dirs.size());
    if (end > start && is_executable_file(dirs.substr(start, end - start) + "\\" + file)) {
      return true;
    }
    start = end + 1;
  }
  return false;
}

}  // namespace quarn::platform
