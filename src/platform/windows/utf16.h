// UTF-8 and the UTF-16 of the Windows wide-character interfaces.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quarn::platform {

// The UTF-16 form of `text`; nothing when it is not valid UTF-8 or holds a NUL (which would
// silently shorten a path).
std::optional<std::wstring> to_utf16(std::string_view text);

// The UTF-8 form of `text`; unpaired surrogates become U+FFFD.
std::string to_utf8(std::wstring_view text);

}  // namespace quarn::platform
