// Tests of the White_Space trim.
#include "desktop/unicode_space.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace quarn::desktop {
namespace {

std::string utf8(char32_t c) {
  std::string out;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
  return out;
}

TEST(TrimUnicodeSpace, RemovesOnlyOuterWhiteSpace) {
  struct Case {
    std::string text;
    std::string trimmed;
  };
  const Case cases[] = {
      {"", ""},
      {"  \r\n", ""},
      {"  /v/a.qvault\r\n", "/v/a.qvault"},
      {"\t\n\v\f\r x \t\n\v\f\r", "x"},
      {"a b", "a b"},
      {" line one\r\nline two\n", "line one\r\nline two"},
      {"\xC2\x85\xC2\xA0p\xE1\x9A\x80\xE2\x80\x80", "p"},
      {"\xE2\x80\x8A\xE2\x80\xA8p\xE2\x80\xA9\xE2\x80\xAF\xE2\x81\x9F\xE3\x80\x80", "p"},
      // Not White_Space: the byte-order mark, zero-width space, word joiner, U+180E, U+001C.
      {"\xEF\xBB\xBF/v\n", "\xEF\xBB\xBF/v"},
      {" \xE2\x80\x8Bp\xE2\x81\xA0 ", "\xE2\x80\x8Bp\xE2\x81\xA0"},
      {"\xE1\xA0\x8Ep\x1C", "\xE1\xA0\x8Ep\x1C"},
      // Ill-formed sequences stop the trim and stay.
      {" \xA0 x", "\xA0 x"},
      {"x \xE2\x80", "x \xE2\x80"},
      {"\xC0\xA0x", "\xC0\xA0x"},
      {"\xED\xA0\x80 ", "\xED\xA0\x80"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(trim_unicode_space(c.text), c.trimmed) << "text: " << c.text;
  }
}

TEST(TrimUnicodeSpace, ClassifiesEveryCodePoint) {
  const std::set<char32_t> spaces = {0x09,   0x0A,   0x0B,   0x0C,   0x0D,   0x20,   0x85,
                                     0xA0,   0x1680, 0x2000, 0x2001, 0x2002, 0x2003, 0x2004,
                                     0x2005, 0x2006, 0x2007, 0x2008, 0x2009, 0x200A, 0x2028,
                                     0x2029, 0x202F, 0x205F, 0x3000};
  // Every code point up to past U+3000, then a spread over the rest, the last one included.
  for (char32_t c = 0; c <= 0x10FFFF; c += c < 0x3100 ? 1 : (c < 0x10FF00 ? 97 : 1)) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    const std::string alone = utf8(c);
    const bool space = spaces.count(c) != 0;
    ASSERT_EQ(trim_unicode_space(alone), space ? "" : alone) << std::hex << "U+" << +c;
    ASSERT_EQ(trim_unicode_space("a" + alone + "a"), "a" + alone + "a") << std::hex << "U+" << +c;
  }
}

}  // namespace
}  // namespace quarn::desktop
