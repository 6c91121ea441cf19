// The profile folder from SHGetKnownFolderPath(FOLDERID_Profile).
#include "platform/profile.h"

// clang-format off
#include <windows.h>
#include <shlobj.h>
// clang-format on

#include "platform/windows/utf16.h"

namespace quarn::platform {

std::optional<std::string> profile_folder() {
  PWSTR path = nullptr;
  const HRESULT result = SHGetKnownFolderPath(FOLDERID_Profile, 0, nullptr, &path);
  std::optional<std::string> folder;
  if (SUCCEEDED(result) && path != nullptr) folder = to_utf8(path);
  // The buffer is the caller's to release whether the call succeeded or not.
  CoTaskMemFree(path);
  if (folder && folder->empty()) folder.reset();
  return folder;
}

std::string join_path(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (!path.empty() && path.back() != '\\' && path.back() != '/') path += '\\';
  path += name;
  return path;
}

}  // namespace quarn::platform
