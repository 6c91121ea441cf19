// White_Space trimming over UTF-8 text.
#include "desktop/unicode_space.h"

#include <cstddef>
#include <optional>

namespace quarn::desktop {
namespace {

struct Decoded {
  char32_t code_point;
  std::size_t length;
};

unsigned char byte_at(std::string_view text, std::size_t i) {
  return static_cast<unsigned char>(text[i]);
}

// The code point of the well-formed sequence at the front of `text`, if there is one.
std::optional<Decoded> decode_front(std::string_view text) {
  if (text.empty()) return std::nullopt;
  const unsigned char lead = byte_at(text, 0);
  std::size_t length = 0;
  char32_t c = 0;
  if (lead < 0x80) return Decoded{lead, 1};
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    c = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    c = lead & 0x0Fu;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    c = lead & 0x07u;
  } else {
    return std::nullopt;
  }
  if (text.size() < length) return std::nullopt;
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned char b = byte_at(text, i);
    if ((b & 0xC0u) != 0x80u) return std::nullopt;
    c = (c << 6) | (b & 0x3Fu);
  }
  // Overlong forms, surrogates and values past U+10FFFF are not well-formed.
  static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < kSmallest[length] || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return std::nullopt;
  return Decoded{c, length};
}

// The code point of the well-formed sequence at the back of `text`, if there is one.
std::optional<Decoded> decode_back(std::string_view text) {
  // A sequence is at most four bytes: a lead byte and up to three continuation bytes.
  for (std::size_t length = 1; length <= 4 && length <= text.size(); ++length) {
    const std::size_t start = text.size() - length;
    if ((byte_at(text, start) & 0xC0u) == 0x80u) continue;
    const auto decoded = decode_front(text.substr(start));
    if (decoded && decoded->length == length) return decoded;
    return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace

bool is_unicode_space(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

std::string_view trim_unicode_space(std::string_view text) {
  while (const auto front = decode_front(text)) {
    if (!is_unicode_space(front->code_point)) break;
    text.remove_prefix(front->length);
  }
  while (const auto back = decode_back(text)) {
    if (!is_unicode_space(back->code_point)) break;
    text.remove_suffix(back->length);
  }
  return text;
}

}  // namespace quarn::desktop
