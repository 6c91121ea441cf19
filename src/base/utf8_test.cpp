// UTF-8 decoding: code points of good sequences, position and maximal-subpart length of bad ones.
#include "base/utf8.h"

#include <gtest/gtest.h>

namespace quarn {
namespace {

TEST(Utf8, AcceptsWellFormedText) {
  for (const char* text : {"", "abc", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80",
                           "\xEF\xBB\xBF", "\xF4\x8F\xBF\xBF", "\xED\x9F\xBF", "\xEE\x80\x80"}) {
    EXPECT_FALSE(find_utf8_error(text).has_value()) << text;
  }
}

TEST(Utf8, ReportsFirstBadSequence) {
  struct Case {
    std::string text;
    std::size_t valid_up_to;
    std::size_t error_len;  // 0: incomplete at the end
  };
  const Case cases[] = {
      {"\xFF", 0, 1},
      {"ab\x80", 2, 1},    // lone continuation byte
      {"\xC0\x80", 0, 1},  // overlong lead cannot begin a sequence
      {"\xC1\xBF", 0, 1},
      {"\xF5\x80\x80\x80", 0, 1},  // beyond U+10FFFF
      {"\xC3"
       "A",
       0, 1},
      {"\xE0\x80\x80", 0, 1},  // overlong three-byte form
      {"\xED\xA0\x80", 0, 1},  // surrogate
      {"\xE2\x82"
       "A",
       0, 2},
      {"\xF0\x80\x80\x80", 0, 1},
      {"\xF4\x90\x80\x80", 0, 1},
      {"\xF0\x90\x80"
       "A",
       0, 3},
      {"x\xF0\x90"
       "A",
       1, 2},
      {"ab\xE2\x82", 2, 0},  // cut short at the end
      {"\xC3", 0, 0},
      {"\xF0\x9F\x98", 0, 0},
      {"\xE2\x82\xAC\xE2", 3, 0},
  };
  for (const auto& c : cases) {
    const auto e = find_utf8_error(c.text);
    ASSERT_TRUE(e.has_value()) << c.text;
    EXPECT_EQ(e->valid_up_to, c.valid_up_to) << c.text;
    EXPECT_EQ(e->error_len, c.error_len) << c.text;
  }
}

TEST(Utf8, DecodesOneSequenceAtTheFront) {
  struct Case {
    std::string text;
    Utf8Sequence::Kind kind;
    std::size_t length;
    char32_t code_point;
  };
  using Kind = Utf8Sequence::Kind;
  const Case cases[] = {
      {"a\xC3\xA9", Kind::kWellFormed, 1, U'a'},
      {"\xC2\x85", Kind::kWellFormed, 2, 0x85},
      {"\xE3\x80\x80x", Kind::kWellFormed, 3, 0x3000},
      {"\xEF\xBB\xBF", Kind::kWellFormed, 3, 0xFEFF},
      {"\xF4\x8F\xBF\xBF", Kind::kWellFormed, 4, 0x10FFFF},
      {"\x80", Kind::kIllFormed, 1, 0},
      {"\xE2\x82"
       "A",
       Kind::kIllFormed, 2, 0},
      {"\xF0\x9F\x98", Kind::kIncomplete, 3, 0},
  };
  for (const auto& c : cases) {
    const Utf8Sequence s = decode_one(c.text);
    EXPECT_EQ(s.kind, c.kind) << c.text;
    EXPECT_EQ(s.length, c.length) << c.text;
    if (c.kind == Kind::kWellFormed) {
      EXPECT_EQ(s.code_point, c.code_point) << c.text;
    }
  }
}

}  // namespace
}  // namespace quarn
