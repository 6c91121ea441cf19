// UTF-8 validation following the Unicode "maximal subpart" rule for the length of a bad sequence.
#include "json/utf8.h"

#include <cstdint>

namespace quarn::json {
namespace {

bool is_continuation(std::uint8_t b) { return (b & 0xC0) == 0x80; }

// Allowed range of the second byte of a sequence, by its lead byte (Unicode Table 3-7).
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

std::size_t sequence_length(std::uint8_t lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;  // cannot begin a sequence
}

}  // namespace

std::optional<Utf8Error> find_utf8_error(std::string_view text) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  const std::size_t size = text.size();
  std::size_t i = 0;
  while (i < size) {
    const std::uint8_t lead = bytes[i];
    const std::size_t length = sequence_length(lead);
    if (length == 1) {
      ++i;
      continue;
    }
    if (length == 0) return Utf8Error{i, 1};
    // Check the trailing bytes one by one; k bytes of the sequence have been accepted so far.
    for (std::size_t k = 1; k < length; ++k) {
      if (i + k >= size) return Utf8Error{i, 0};
      const std::uint8_t b = bytes[i + k];
      const bool fits = k == 1 ? second_byte_fits(lead, b) : is_continuation(b);
      if (!fits) return Utf8Error{i, k};
    }
    i += length;
  }
  return std::nullopt;
}

}  // namespace quarn::json
