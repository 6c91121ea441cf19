// The strict grammar: what it accepts, how it holds numbers, and everything it refuses.
#include "json/parse.h"

#include <gtest/gtest.h>

#include <string>

namespace quarn::json {
namespace {

std::string nested_arrays(int depth) { return std::string(depth, '[') + std::string(depth, ']'); }

TEST(ParseStrict, RefusesWhatIsNotOneStrictJsonText) {
  const std::string refused[] = {
      "",
      " ",
      "\xEF\xBB\xBF{}",  // byte-order mark
      "{} x",            // text after the value
      "{}{}",
      "{'a':1}",
      "[1,]",
      "{\"a\":1,}",
      "01",
      "1.",
      ".5",
      "+1",
      "NaN",
      "Infinity",
      "1e400",  // out of range
      "-1e400",
      "\"\\ud800\"",  // unpaired high surrogate
      "\"\\udc00\"",  // unpaired low surrogate
      "\"\\ud800\\u0041\"",
      "\"\xFF\"",          // invalid UTF-8 in a string
      "\"\xC0\x80\"",      // overlong NUL
      "\"\xED\xA0\x80\"",  // UTF-8-encoded surrogate
      "\"a\tb\"",          // raw control character in a string
      "\"\\x41\"",
      "/* c */ 1",
      "\f1",  // form feed is not JSON white space
      "\xC2\xA0"
      "1",  // nor is a no-break space
      std::string("1\0", 2),
      nested_arrays(128),
  };
  for (const auto& text : refused) {
    EXPECT_FALSE(parse_strict(text).has_value()) << "accepted: " << text;
  }
}

TEST(ParseStrict, AcceptsNestingUpTo127AndWhiteSpaceAround) {
  EXPECT_TRUE(parse_strict(nested_arrays(127)).has_value());
  const std::string deep_object = std::string(126, '[') + "{\"a\":1}" + std::string(126, ']');
  EXPECT_TRUE(parse_strict(deep_object).has_value());
  EXPECT_FALSE(parse_strict("[" + deep_object + "]").has_value());
  EXPECT_EQ(parse_strict(" \t\r\n{\"a\":[true,false,null]} \n"),
            Value::parse(R"({"a":[true,false,null]})"));
}

TEST(ParseStrict, HoldsNumbersByTheirKind) {
  struct Case {
    const char* text;
    Value::value_t type;
  };
  const Case cases[] = {
      {"0", Value::value_t::number_unsigned},
      {"18446744073709551615", Value::value_t::number_unsigned},
      {"18446744073709551616", Value::value_t::number_float},
      {"-1", Value::value_t::number_integer},
      {"-9223372036854775808", Value::value_t::number_integer},
      {"-9223372036854775809", Value::value_t::number_float},
      {"-0", Value::value_t::number_float},
      {"1.0", Value::value_t::number_float},
      {"1e2", Value::value_t::number_float},
  };
  for (const auto& c : cases) {
    const auto v = parse_strict(c.text);
    ASSERT_TRUE(v.has_value()) << c.text;
    EXPECT_EQ(v->type(), c.type) << c.text;
  }
  const double minus_zero = parse_strict("-0")->get<double>();
  EXPECT_EQ(minus_zero, 0.0);
  EXPECT_TRUE(std::signbit(minus_zero));
}

TEST(ParseStrict, LastRepeatedKeyWinsAtEveryLevel) {
  EXPECT_EQ(parse_strict(R"({"cmd":"unlock","cmd":"ping"})"), Value::parse(R"({"cmd":"ping"})"));
  EXPECT_EQ(parse_strict(R"({"a":{"x":1,"y":2},"b":0,"a":[3]})"),
            Value::parse(R"({"a":[3],"b":0})"));
  EXPECT_EQ(parse_strict(R"([{"k":1,"k":{"z":[1,{"q":0,"q":9}]}}])"),
            Value::parse(R"([{"k":{"z":[1,{"q":9}]}}])"));
}

TEST(ParseStrict, KeepsEscapedAndNonAsciiTextExactly) {
  const auto v = parse_strict(R"(["a\u0000b", "\u00e9\ud83d\ude00", "\"\\\/\b\f\n\r\t"])");
  ASSERT_TRUE(v.has_value());
  EXPECT_EQ((*v)[0].get<std::string>(), std::string("a\0b", 3));
  EXPECT_EQ((*v)[1].get<std::string>(), "\xC3\xA9\xF0\x9F\x98\x80");
  EXPECT_EQ((*v)[2].get<std::string>(), "\"\\/\b\f\n\r\t");
}

}  // namespace
}  // namespace quarn::json
