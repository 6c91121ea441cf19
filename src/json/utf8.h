// UTF-8 validation with the position and kind of the first ill-formed sequence.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace quarn::json {

struct Utf8Error {
  std::size_t valid_up_to;  // bytes of well-formed text before the bad sequence
  // Length of the maximal ill-formed subpart (1 to 3), or 0 when the text ends in the middle of a
  // sequence that is well-formed as far as it goes.
  std::size_t error_len;
};

// The first ill-formed sequence of `text`, or nothing when all of it is well-formed UTF-8.
std::optional<Utf8Error> find_utf8_error(std::string_view text);

inline bool is_valid_utf8(std::string_view text) { return !find_utf8_error(text).has_value(); }

}  // namespace quarn::json
