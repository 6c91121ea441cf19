// White_Space trimming over UTF-8 text.
#include "desktop/unicode_space.h"

#include <cstddef>

#include "base/utf8.h"

namespace quarn::desktop {
namespace {

bool is_continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0u) == 0x80u; }

// The white-space character that `text` begins with, as its length in bytes; 0 when the text
// is empty or begins otherwise.
std::size_t leading_space(std::string_view text) {
  if (text.empty()) return 0;
  const Utf8Sequence first = decode_one(text);
  const bool space =
      first.kind == Utf8Sequence::Kind::kWellFormed && is_unicode_space(first.code_point);
  return space ? first.length : 0;
}

// The same at the end: the last sequence starts at the last byte that is not a continuation byte,
// at most four bytes back, and must take up exactly the rest of the text.
std::size_t trailing_space(std::string_view text) {
  for (std::size_t length = 1; length <= 4 && length <= text.size(); ++length) {
    const std::string_view tail = text.substr(text.size() - length);
    if (is_continuation(tail.front())) continue;
    return leading_space(tail) == length ? length : 0;
  }
  return 0;
}

}  // namespace

bool is_unicode_space(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

std::string_view trim_unicode_space(std::string_view text) {
  while (const std::size_t n = leading_space(text)) text.remove_prefix(n);
  while (const std::size_t n = trailing_space(text)) text.remove_suffix(n);
  return text;
}

}  // namespace quarn::desktop
