// Environment variables over GetEnvironmentVariableW and SetEnvironmentVariableW, in UTF-8.
#include "platform/environment.h"

#include <windows.h>

#include <vector>

#include "platform/windows/utf16.h"

namespace quarn::platform {

std::optional<std::string> environment_variable(const std::string& name) {
  const auto wide_name = to_utf16(name);
  if (!wide_name) return std::nullopt;
  std::vector<wchar_t> buffer(256);
  for (;;) {
    SetLastError(ERROR_SUCCESS);
    const DWORD n = GetEnvironmentVariableW(wide_name->c_str(), buffer.data(),
                                            static_cast<DWORD>(buffer.size()));
    if (n == 0) {
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::string();
    }
    if (n < buffer.size()) return to_utf8(std::wstring_view(buffer.data(), n));
    buffer.resize(n);
  }
}

void set_environment_variable(const std::string& name, const std::optional<std::string>& value) {
  const auto wide_name = to_utf16(name);
  if (!wide_name) return;
  if (!value) {
    SetEnvironmentVariableW(wide_name->c_str(), nullptr);
    return;
  }
  const auto wide_value = to_utf16(*value);
  if (wide_value) SetEnvironmentVariableW(wide_name->c_str(), wide_value->c_str());
}

}  // namespace quarn::platform
