// Trimming of the characters with the Unicode White_Space property.
#pragma once

#include <string_view>

namespace quarn::desktop {

// True for U+0009..U+000D, U+0020, U+0085, U+00A0, U+1680, U+2000..U+200A, U+2028, U+2029,
// U+202F, U+205F and U+3000. U+FEFF (the byte-order mark) is not white space.
bool is_unicode_space(char32_t c);

// `text` without its leading and trailing white-space characters. Trimming stops at a byte
// sequence that is not well-formed UTF-8, which is kept.
std::string_view trim_unicode_space(std::string_view text);

}  // namespace quarn::desktop
