// UTF-8 ⇄ UTF-16 over MultiByteToWideChar and WideCharToMultiByte.
#include "platform/windows/utf16.h"

#include <windows.h>

#include <climits>

namespace quarn::platform {

std::optional<std::wstring> to_utf16(std::string_view text) {
  if (text.find('\0') != std::string_view::npos || text.size() > INT_MAX) return std::nullopt;
  if (text.empty()) return std::wstring();
  const int size = static_cast<int>(text.size());
  const int needed =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
  if (needed <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), needed) !=
      needed) {
    return std::nullopt;
  }
  return wide;
}

std::string to_utf8(std::wstring_view text) {
  if (text.empty() || text.size() > INT_MAX) return std::string();
  const int size = static_cast<int>(text.size());
  const int needed =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return std::string();
  std::string narrow(static_cast<std::size_t>(needed), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), size, narrow.data(), needed, nullptr, nullptr);
  return narrow;
}

}  // namespace quarn::platform
