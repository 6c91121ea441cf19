// UTF-8 decoding, one sequence at a time, with the Unicode "maximal subpart" rule for bad input.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace quarn {

// What stands at the front of a text.
struct Utf8Sequence {
  enum class Kind {
    kWellFormed,  // one character of `length` bytes (1 to 4)
    kIllFormed,   // `length` (1 to 3) is the maximal subpart, the bytes to replace with U+FFFD
    kIncomplete,  // the text ends inside a sequence that is well-formed as far as it goes
  };
  Kind kind;
  std::size_t length;
  char32_t code_point = 0;  // for kWellFormed
};

// Decodes the sequence at the front of `text`, which must not be empty.
Utf8Sequence decode_one(std::string_view text);

struct Utf8Error {
  std::size_t valid_up_to;  // bytes of well-formed text before the bad sequence
  // Length of the maximal ill-formed subpart (1 to 3), or 0 when the text ends in the middle of a
  // sequence that is well-formed as far as it goes.
  std::size_t error_len;
};

// The first ill-formed sequence of `text`, or nothing when all of it is well-formed UTF-8.
std::optional<Utf8Error> find_utf8_error(std::string_view text);

inline bool is_valid_utf8(std::string_view text) { return !find_utf8_error(text).has_value(); }

}  // namespace quarn
