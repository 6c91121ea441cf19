// Tests of the state folder, last_vault.txt and the session-file parser.
#include "desktop/state_files.h"

#include <gtest/gtest.h>

#include <string>

#include "testing/scripted_system.h"

namespace quarn::desktop {
namespace {

using testing::ScriptedSystem;

constexpr const char* kLastVault = "/home/alice/.quarn/last_vault.txt";

TEST(StateDir, IsQuarnInTheProfileFolderElseInTheCurrentOne) {
  ScriptedSystem system;
  system.profile = "/srv/users/alice";
  EXPECT_EQ(state_dir(system), "/srv/users/alice/.quarn");
  system.profile = "/";
  EXPECT_EQ(state_dir(system), "/.quarn");
  system.profile.reset();
  EXPECT_EQ(state_dir(system), "./.quarn");
}

TEST(ReadLastVaultPath, TrimsOrGivesEmpty) {
  struct Case {
    const char* what;
    std::string content;
    std::string path;
  };
  const Case cases[] = {
      {"path with outer white space", "  C:\\Coffres\\perso.qvault\r\n",
       "C:\\Coffres\\perso.qvault"},
      {"non-ASCII white space", "\xE3\x80\x80/v/\xC3\xA9t\xC3\xA9.qvault\xC2\xA0\n",
       "/v/\xC3\xA9t\xC3\xA9.qvault"},
      {"byte-order mark kept", "\xEF\xBB\xBF/v/a.qvault\n", "\xEF\xBB\xBF/v/a.qvault"},
      {"two lines kept", "/v/one\r\n/v/two\n", "/v/one\r\n/v/two"},
      {"only white space", " \t\r\n", ""},
      {"empty file", "", ""},
      {"single-byte code page", "/v/caf\xE9.qvault", ""},
      {"truncated sequence at the end", "/v/a\xC3", ""},
  };
  for (const auto& c : cases) {
    ScriptedSystem system;
    system.add_file(kLastVault, c.content);
    EXPECT_EQ(read_last_vault_path(system), c.path) << c.what;
  }
}

TEST(ReadLastVaultPath, EmptyWhenTheFileCannotBeRead) {
  ScriptedSystem missing;
  EXPECT_EQ(read_last_vault_path(missing), "");
  EXPECT_EQ(missing.reads.size(), 1u);
  EXPECT_EQ(missing.reads[0].path, kLastVault);

  ScriptedSystem unreadable;
  unreadable.add_unreadable(kLastVault, OsError{21});
  EXPECT_EQ(read_last_vault_path(unreadable), "");
}

TEST(ParseSessionInfo, AcceptsBothForms) {
  struct Case {
    std::string text;
    std::uint16_t port;
    std::string token;
  };
  const Case cases[] = {
      {R"({"port":5000,"token":"abc"})", 5000, "abc"},
      {R"({"token":"abc","port":5000})", 5000, "abc"},
      {" \t\r\n{ \"port\" : 0 , \"token\" : \"\" }\n", 0, ""},
      {R"({"port":65535,"token":"a\"b\\c\u00e9"})", 65535, "a\"b\\c\xC3\xA9"},
      {R"({"pid":42,"x":{"port":"no","token":1,"y":[1,{"port":2}]},"port":7,"token":"t","z":[]})",
       7, "t"},
      {R"([5000,"abc"])", 5000, "abc"},
      {" [ 1 , \"\" ] ", 1, ""},
  };
  for (const auto& c : cases) {
    const auto info = parse_session_info(c.text);
    ASSERT_TRUE(info.has_value()) << c.text;
    EXPECT_EQ(info->port, c.port) << c.text;
    EXPECT_EQ(info->token, c.token) << c.text;
  }
}

TEST(ParseSessionInfo, RefusesEveryViolation) {
  const std::string deep_ok = "[" + std::string(125, '[') + std::string(125, ']') + "]";
  const std::string deep_bad = "[" + std::string(126, '[') + std::string(126, ']') + "]";
  ASSERT_TRUE(parse_session_info(R"({"port":1,"token":"t","x":)" + deep_ok + "}"));
  const std::string texts[] = {
      "",
      " ",
      "\xEF\xBB\xBF{\"port\":5000,\"token\":\"t\"}",
      "port=5000",
      "5000",
      "\"t\"",
      "null",
      "{}",
      R"({"port":5000})",
      R"({"token":"t"})",
      R"({"port":"5000","token":"t"})",
      R"({"port":5000.0,"token":"t"})",
      R"({"port":5e3,"token":"t"})",
      R"({"port":70000,"token":"t"})",
      R"({"port":65536,"token":"t"})",
      R"({"port":18446744073709551616,"token":"t"})",
      R"({"port":-1,"token":"t"})",
      R"({"port":-0,"token":"t"})",
      R"({"port":null,"token":"t"})",
      R"({"port":[5000],"token":"t"})",
      R"({"port":5000,"port":5000,"token":"t"})",
      R"({"port":5000,"token":"t","token":"t"})",
      R"({"port":5000,"token":5})",
      R"({"port":5000,"token":null})",
      R"({"port":5000,"token":{"v":"t"}})",
      R"({"port":5000,"token":"t"} x)",
      R"({"port":5000,"token":"t"}{})",
      R"({"port":5000,"token":"t",})",
      R"({"port":5000,"token":"t")",
      "{\"port\":5000,\"token\":\"t\",\"x\":\"\xFF\"}",
      R"({"port":1,"token":"t","x":)" + deep_bad + "}",
      "[]",
      "[5000]",
      R"([5000,"t",1])",
      R"(["t",5000])",
      R"([5000,["t"]])",
      R"([{"port":5000,"token":"t"}])",
  };
  for (const auto& text : texts) {
    EXPECT_FALSE(parse_session_info(text).has_value()) << text;
  }
}

TEST(ReadSessionInfo, ReadsSessionJsonInTheStateFolder) {
  constexpr const char* kSession = "/home/alice/.quarn/session.json";
  ScriptedSystem system;
  EXPECT_FALSE(read_session_info(system).has_value());
  system.add_file(kSession, R"({"port":4242,"token":"s3cr\u00e8t"})");
  const auto info = read_session_info(system);
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->port, 4242);
  EXPECT_EQ(info->token, "s3cr\xC3\xA8t");
  system.add_file(kSession, "{\"port\":4242,\"token\":\"s3cr\xE8t\"}");
  EXPECT_FALSE(read_session_info(system).has_value());
}

}  // namespace
}  // namespace quarn::desktop
