// parse_request: every accepted form and every decoding error text.
#include "protocol/request.h"

#include <gtest/gtest.h>

#include <string>

namespace quarn::protocol {
namespace {

Result<Request, std::string> parse(std::string_view text) { return parse_request(bytes_of(text)); }

std::string nested_arrays(int depth) { return std::string(depth, '[') + std::string(depth, ']'); }

constexpr const char* kUnknownTail =
    "`, expected one of `ping`, `get_last_vault_path`, `unlock`, `try_live_session`";

TEST(ParseRequest, DecodesEveryCommandInBothForms) {
  struct Case {
    std::string body;
    std::size_t alternative;
  };
  const Case cases[] = {
      {R"({"cmd":"ping"})", 0},
      {R"({"cmd":"ping","x":[1,2]})", 0},
      {R"(["ping"])", 0},
      {R"({"cmd":"unlock","cmd":"ping"})", 0},
      {R"({"cmd":"get_last_vault_path","path":5})", 1},
      {R"(["get_last_vault_path"])", 1},
      {R"({"cmd":"try_live_session","password":null})", 3},
      {R"(["try_live_session"])", 3},
      {" \r\n\t{\"cmd\":\"ping\"}\n", 0},
  };
  for (const auto& c : cases) {
    auto r = parse(c.body);
    ASSERT_TRUE(r.ok()) << c.body << " -> " << r.error();
    EXPECT_EQ(r.value().index(), c.alternative) << c.body;
  }
}

TEST(ParseRequest, UnlockCarriesBothStringsExactly) {
  struct Case {
    std::string body;
    std::string path;
    std::string password;
  };
  const Case cases[] = {
      {R"({"cmd":"unlock","path":"a","password":"b","remember":true})", "a", "b"},
      {R"({"password":" p ","path":"","cmd":"unlock"})", "", " p "},
      {R"(["unlock","/v\u0000x","\u00e9\ud83d\ude00"])", std::string("/v\0x", 4),
       "\xC3\xA9\xF0\x9F\x98\x80"},
  };
  for (const auto& c : cases) {
    auto r = parse(c.body);
    ASSERT_TRUE(r.ok()) << c.body << " -> " << r.error();
    const auto* unlock = std::get_if<Unlock>(&r.value());
    ASSERT_NE(unlock, nullptr) << c.body;
    EXPECT_EQ(unlock->path, c.path);
    EXPECT_EQ(unlock->password.view(), c.password);
  }
}

TEST(ParseRequest, ReportsTheFirstErrorWithItsExactText) {
  struct Case {
    std::string body;
    std::string error;
  };
  const std::string not_request = ", expected internally tagged enum Request";
  const Case cases[] = {
      // Not an object or array (every body that fails to parse is null).
      {"", "invalid type: null" + not_request},
      {"{\"cmd\":\"ping\"} x", "invalid type: null" + not_request},
      {nested_arrays(128), "invalid type: null" + not_request},
      {"\xEF\xBB\xBF{\"cmd\":\"ping\"}", "invalid type: null" + not_request},
      {"null", "invalid type: null" + not_request},
      {"true", "invalid type: boolean `true`" + not_request},
      {"false", "invalid type: boolean `false`" + not_request},
      {"7", "invalid type: integer `7`" + not_request},
      {"-7", "invalid type: integer `-7`" + not_request},
      {"1.5", "invalid type: floating point `1.5`" + not_request},
      {"5.0", "invalid type: floating point `5.0`" + not_request},
      {"1e20", "invalid type: floating point `100000000000000000000.0`" + not_request},
      {"-0", "invalid type: floating point `-0.0`" + not_request},
      {"18446744073709551616",
       "invalid type: floating point `18446744073709552000.0`" + not_request},
      {"\"hi\"", "invalid type: string \"hi\"" + not_request},
      {R"("a\"b\\c\td\ne\rf\u0000g\u001bh\u007f")",
       R"(invalid type: string "a\"b\\c\td\ne\rf\0g\u{1b}h\u{7f}")" + not_request},
      // C1 controls are escaped like the others; the characters around them are not.
      {R"("\u0080\u0085\u009f\u00a0\u00e9")",
       "invalid type: string \"\\u{80}\\u{85}\\u{9f}\xC2\xA0\xC3\xA9\"" + not_request},
      // The command name.
      {nested_arrays(127), "invalid type: sequence, expected variant identifier"},
      {R"({"path":"a"})", "missing field `cmd`"},
      {"[]", "missing field `cmd`"},
      {"{}", "missing field `cmd`"},
      {R"({"cmd":1})", "invalid type: integer `1`, expected variant identifier"},
      {R"({"cmd":null})", "invalid type: null, expected variant identifier"},
      {R"({"cmd":{}})", "invalid type: map, expected variant identifier"},
      {R"([true])", "invalid type: boolean `true`, expected variant identifier"},
      {R"({"cmd":"PING"})", std::string("unknown variant `PING") + kUnknownTail},
      {R"({"cmd":"a\"b\u00e9"})", std::string("unknown variant `a\"b\xC3\xA9") + kUnknownTail},
      {R"({"cmd":""})", std::string("unknown variant `") + kUnknownTail},
      // Commands without fields, array form.
      {R"(["ping",1])", "invalid length 1, expected 0 elements in sequence"},
      {R"(["try_live_session",1,2,3])", "invalid length 3, expected 0 elements in sequence"},
      // unlock, object form: wrong types first, password before path, then absences.
      {R"({"cmd":"unlock"})", "missing field `path`"},
      {R"({"cmd":"unlock","path":"a"})", "missing field `password`"},
      {R"({"cmd":"unlock","password":"b"})", "missing field `path`"},
      {R"({"cmd":"unlock","password":5})", "invalid type: integer `5`, expected a string"},
      {R"({"cmd":"unlock","path":[],"password":5})",
       "invalid type: integer `5`, expected a string"},
      {R"({"cmd":"unlock","path":{},"password":"b"})", "invalid type: map, expected a string"},
      {R"({"cmd":"unlock","path":null})", "invalid type: null, expected a string"},
      // unlock, array form: in element order.
      {R"(["unlock"])",
       "invalid length 0, expected struct variant Request::Unlock with 2 elements"},
      {R"(["unlock",1])", "invalid type: integer `1`, expected a string"},
      {R"(["unlock","a"])",
       "invalid length 1, expected struct variant Request::Unlock with 2 elements"},
      {R"(["unlock","a",false])", "invalid type: boolean `false`, expected a string"},
      {R"(["unlock","a","b",null])", "invalid length 3, expected 2 elements in sequence"},
  };
  for (const auto& c : cases) {
    auto r = parse(c.body);
    ASSERT_FALSE(r.ok()) << c.body;
    EXPECT_EQ(r.error(), c.error) << c.body;
  }
}

}  // namespace
}  // namespace quarn::protocol
