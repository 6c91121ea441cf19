// UTF-8 decoding after the Unicode Standard's table of well-formed byte sequences (Table 3-7).
#include "base/utf8.h"

#include <cstdint>

namespace quarn {
namespace {

bool is_continuation(std::uint8_t b) { return (b & 0xC0) == 0x80; }

// Allowed range of the second byte of a sequence, by its lead byte: the narrower ranges exclude
// overlong forms, surrogates and values past U+10FFFF.
bool second_byte_fits(std::uint8_t lead, std::uint8_t second) {
  switch (lead) {
    case 0xE0:
      return second >= 0xA0 && second <= 0xBF;
    case 0xED:
      return second >= 0x80 && second <= 0x9F;
    case 0xF0:
      return second >= 0x90 && second <= 0xBF;
    case 0xF4:
      return second >= 0x80 && second <= 0x8F;
    default:
      return is_continuation(second);
  }
}

// Length of the sequence that `lead` begins, and the bits it contributes; 0 when it begins none.
std::size_t sequence_length(std::uint8_t lead, char32_t& bits) {
  if (lead < 0x80) {
    bits = lead;
    return 1;
  }
  if (lead >= 0xC2 && lead <= 0xDF) {
    bits = lead & 0x1Fu;
    return 2;
  }
  if (lead >= 0xE0 && lead <= 0xEF) {
    bits = lead & 0x0Fu;
    return 3;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    bits = lead & 0x07u;
    return 4;
  }
  return 0;
}

}  // namespace

Utf8Sequence decode_one(std::string_view text) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  char32_t code_point = 0;
  const std::size_t length = sequence_length(bytes[0], code_point);
  if (length == 0) return {Utf8Sequence::Kind::kIllFormed, 1};
  // Trailing bytes one by one; k bytes of the sequence have been accepted so far.
  for (std::size_t k = 1; k < length; ++k) {
    if (k >= text.size()) return {Utf8Sequence::Kind::kIncomplete, k};
    const std::uint8_t b = bytes[k];
    const bool fits = k == 1 ? second_byte_fits(bytes[0], b) : is_continuation(b);
    if (!fits) return {Utf8Sequence::Kind::kIllFormed, k};
    code_point = (code_point << 6) | (b & 0x3Fu);
  }
  return {Utf8Sequence::Kind::kWellFormed, length, code_point};
}

std::optional<Utf8Error> find_utf8_error(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    // Plain ASCII needs no decoding; most text is mostly that.
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      ++i;
      continue;
    }
    const Utf8Sequence sequence = decode_one(text.substr(i));
    switch (sequence.kind) {
      case Utf8Sequence::Kind::kWellFormed:
        i += sequence.length;
        break;
      case Utf8Sequence::Kind::kIllFormed:
        return Utf8Error{i, sequence.length};
      case Utf8Sequence::Kind::kIncomplete:
        return Utf8Error{i, 0};
    }
  }
  return std::nullopt;
}

}  // namespace quarn
