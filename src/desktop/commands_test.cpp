// The two desktop commands over a scripted system: every way to "NO_SESSION", and what the
// exchange carries when it works.
#include "desktop/commands.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "desktop/live_session.h"
#include "json/serialize.h"
#include "testing/scripted_system.h"

namespace quarn::desktop {
namespace {

using testing::ReceiveStep;
using testing::ScriptedSystem;

constexpr const char* kSession = "/home/alice/.quarn/session.json";
constexpr const char* kNoSession = R"({"error":"NO_SESSION","ok":false})";
constexpr auto kData = Received::Kind::kData;
constexpr auto kEnd = Received::Kind::kEnd;
constexpr auto kFailed = Received::Kind::kFailed;

std::string try_live_session(ScriptedSystem& system) {
  return json::to_compact_json(handle_try_live_session(system));
}

TEST(TryLiveSession, RelaysTheAnswerOfTheSessionsPort) {
  ScriptedSystem system;
  system.add_file(kSession, R"({"port":4242,"token":"t\"k"})");
  system.receive_steps = {{kData, "{\"b\":1,\"a\":[-0]}\r\n"}};
  EXPECT_EQ(try_live_session(system), R"({"a":[-0.0],"b":1})");
  ASSERT_EQ(system.connections.size(), 1u);
  const auto& exchange = system.connections[0];
  EXPECT_EQ(exchange.port, 4242);
  // Connections were narrowed to the session's port, once, before this one was made.
  EXPECT_EQ(exchange.limited_to, 4242);
  EXPECT_EQ(system.connection_limits, std::vector<std::uint16_t>{4242});
  EXPECT_EQ(exchange.limits.connect_ms, 400);
  EXPECT_EQ(exchange.limits.send_ms, 500);
  EXPECT_EQ(exchange.limits.receive_ms, 800);
  EXPECT_EQ(exchange.limits.exchange_ms, 2000);
  EXPECT_EQ(exchange.sent, "{\"cmd\":\"get_entries\",\"token\":\"t\\\"k\"}\n");
  EXPECT_TRUE(exchange.closed);
}

TEST(TryLiveSession, EveryFailureIsNoSession) {
  struct Case {
    const char* what;
    std::optional<std::string> session;  // nothing: no session file
    std::optional<LoopbackError> connect_error;
    bool send_fails;
    std::vector<ReceiveStep> steps;
  };
  const std::string ok = R"({"port":1,"token":"t"})";
  const Case cases[] = {
      {"no session file", std::nullopt, {}, false, {}},
      {"session not valid", R"({"port":1})", {}, false, {}},
      {"session not UTF-8", "{\"port\":1,\"token\":\"\xFF\"}", {}, false, {}},
      {"socket not made", ok, LoopbackError::kSocket, false, {}},
      {"connection refused", ok, LoopbackError::kConnect, false, {}},
      {"connection not answered", ok, LoopbackError::kTimeout, false, {}},
      {"query not sent", ok, {}, true, {}},
      {"silence", ok, {}, false, {{kFailed, ""}}},
      {"closed before a byte", ok, {}, false, {{kEnd, ""}}},
      {"failure inside the line", ok, {}, false, {{kData, "{\"a\""}, {kFailed, ""}}},
      {"not UTF-8", ok, {}, false, {{kData, "\"\xE9\"\n"}}},
      {"not one JSON value", ok, {}, false, {{kData, "{} {}\n"}}},
      {"only white space", ok, {}, false, {{kData, " \r\n"}}},
  };
  for (const auto& c : cases) {
    ScriptedSystem system;
    if (c.session) system.add_file(kSession, *c.session);
    system.connect_error = c.connect_error;
    system.send_fails = c.send_fails;
    system.receive_steps = c.steps;
    EXPECT_EQ(try_live_session(system), kNoSession) << c.what;
    for (const auto& exchange : system.connections) EXPECT_TRUE(exchange.closed) << c.what;
  }
}

TEST(TryLiveSession, APeerOfAnotherUserIsToldNothing) {
  ScriptedSystem system;
  system.add_file(kSession, R"({"port":4242,"token":"secret"})");
  system.peer_is_other_user = true;
  system.receive_steps = {{kData, "{\"forged\":true}\n"}};
  EXPECT_EQ(try_live_session(system), kNoSession);
  ASSERT_EQ(system.connections.size(), 1u);
  EXPECT_EQ(system.connections[0].sent, "");
  EXPECT_TRUE(system.connections[0].receive_sizes.empty());
  EXPECT_TRUE(system.connections[0].closed);
}

TEST(TryLiveSession, AnInvalidSessionNeverConnects) {
  ScriptedSystem system;
  system.add_file(kSession, R"({"port":1,"port":1,"token":"t"})");
  EXPECT_EQ(try_live_session(system), kNoSession);
  EXPECT_TRUE(system.connections.empty());
  EXPECT_TRUE(system.connection_limits.empty());
}

TEST(GetLastVaultPath, AlwaysASuccessReply) {
  ScriptedSystem system;
  EXPECT_EQ(json::to_compact_json(handle_get_last_vault_path(system)),
            R"({"data":{"path":""},"ok":true})");
  system.profile.reset();
  system.add_file("./.quarn/last_vault.txt", " /v/perso.qvault\n");
  EXPECT_EQ(json::to_compact_json(handle_get_last_vault_path(system)),
            R"({"data":{"path":"/v/perso.qvault"},"ok":true})");
}

}  // namespace
}  // namespace quarn::desktop
