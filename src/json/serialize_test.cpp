// to_compact_json: exact bytes for every kind of value.
#include "json/serialize.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "json/float_text.h"

namespace quarn::json {
namespace {

TEST(CompactJson, WritesEveryKindWithoutWhiteSpace) {
  Value v = Value::object();
  v["z"] = Value::array({nullptr, true, false});
  v["a"] = Value::object();
  v["m"] = Value::array();
  v["n"] = {{"u", std::uint64_t{18446744073709551615ull}},
            {"i", std::int64_t{-9223372036854775807ll - 1}}};
  EXPECT_EQ(to_compact_json(v),
            R"({"a":{},"m":[],"n":{"i":-9223372036854775808,"u":18446744073709551615},)"
            R"("z":[null,true,false]})");
}

TEST(CompactJson, KeysInAscendingByteOrder) {
  Value v = Value::object();
  for (const char* key : {"\xC3\xA9", "b", "B", "a", "_", ""}) v[key] = 0;
  EXPECT_EQ(to_compact_json(v), "{\"\":0,\"B\":0,\"_\":0,\"a\":0,\"b\":0,\"\xC3\xA9\":0}");
}

TEST(CompactJson, EscapesOnlyQuoteBackslashAndControlBytes) {
  std::string all_low;
  for (int b = 0; b < 0x20; ++b) all_low.push_back(static_cast<char>(b));
  EXPECT_EQ(to_compact_json(all_low),
            "\"\\u0000\\u0001\\u0002\\u0003\\u0004\\u0005\\u0006\\u0007\\b\\t\\n\\u000b\\f\\r"
            "\\u000e\\u000f\\u0010\\u0011\\u0012\\u0013\\u0014\\u0015\\u0016\\u0017\\u0018\\u0019"
            "\\u001a\\u001b\\u001c\\u001d\\u001e\\u001f\"");
  EXPECT_EQ(to_compact_json("\"\\/\x7F\xC3\xA9\xF0\x9F\x98\x80"),
            "\"\\\"\\\\/\x7F\xC3\xA9\xF0\x9F\x98\x80\"");
}

TEST(CompactJson, FloatsShortestWithPointOrExponent) {
  struct Case {
    double value;
    const char* text;
  };
  const Case cases[] = {
      {1.5, "1.5"},
      {-0.0, "-0.0"},
      {0.0, "0.0"},
      {100.0, "100.0"},
      {0.1, "0.1"},
      {1e15, "1000000000000000.0"},
      {1e16, "1e16"},
      {1.8446744073709552e19, "1.8446744073709552e19"},
      {0.0001, "0.0001"},
      {1e-5, "0.00001"},
      {1e-6, "1e-6"},
      {1.5e-7, "1.5e-7"},
      {-2.5e300, "-2.5e300"},
      {5e-324, "5e-324"},
      {std::numeric_limits<double>::max(), "1.7976931348623157e308"},
      {std::nan(""), "null"},
      {std::numeric_limits<double>::infinity(), "null"},
  };
  for (const auto& c : cases) EXPECT_EQ(to_compact_json(Value(c.value)), c.text) << c.text;
}

TEST(CompactJson, FloatTextReadsBackAsTheSameDouble) {
  for (double d : {0.1, 1.0 / 3, 2.0 / 3e10, 123456789.125, 9007199254740993.0, 4.35e-300}) {
    EXPECT_EQ(std::stod(format_float_json(d)), d);
    EXPECT_EQ(std::stod(format_float_plain(d)), d);
  }
}

TEST(FloatPlain, NeverUsesAnExponent) {
  EXPECT_EQ(format_float_plain(1.5), "1.5");
  EXPECT_EQ(format_float_plain(5.0), "5.0");
  EXPECT_EQ(format_float_plain(-0.0), "-0.0");
  EXPECT_EQ(format_float_plain(1e20), "100000000000000000000.0");
  EXPECT_EQ(format_float_plain(1.5e-7), "0.00000015");
}

}  // namespace
}  // namespace quarn::json
