// Tests of the query line, the answer-line reader and the answer parser.
#include "desktop/live_session.h"

#include <gtest/gtest.h>

#include <vector>

#include "json/serialize.h"
#include "testing/scripted_system.h"

namespace quarn::desktop {
namespace {

TEST(LiveSessionQuery, IsOneCompactLine) {
  struct Case {
    std::string token;
    std::string line;
  };
  const Case cases[] = {
      {"tok", "{\"cmd\":\"get_entries\",\"token\":\"tok\"}\n"},
      {"", "{\"cmd\":\"get_entries\",\"token\":\"\"}\n"},
      {"a\"b\\c", "{\"cmd\":\"get_entries\",\"token\":\"a\\\"b\\\\c\"}\n"},
      {"l1\nl2\r\x01", "{\"cmd\":\"get_entries\",\"token\":\"l1\\nl2\\r\\u0001\"}\n"},
      {"cl\xC3\xA9/", "{\"cmd\":\"get_entries\",\"token\":\"cl\xC3\xA9/\"}\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(live_session_query(c.token), c.line);
}

using testing::ReceiveStep;
using testing::ScriptedSystem;

constexpr auto kData = Received::Kind::kData;
constexpr auto kEnd = Received::Kind::kEnd;
constexpr auto kFailed = Received::Kind::kFailed;

// read_answer_line over a connection that answers `steps`; `log` tells what it was asked.
std::optional<std::string> read_line(const std::vector<ReceiveStep>& steps,
                                     testing::ConnectionLog* log = nullptr) {
  ScriptedSystem system;
  system.receive_steps = steps;
  std::optional<std::string> line;
  {
    auto connection = system.connect_loopback(1, kLiveSessionLimits);
    EXPECT_TRUE(connection.ok());
    if (!connection) return std::nullopt;
    line = read_answer_line(
        [&](std::span<char> buffer) { return connection.value()->receive(buffer); });
  }
  EXPECT_FALSE(system.connections[0].script_overrun) << "received past the script";
  if (log != nullptr) *log = system.connections[0];
  return line;
}

TEST(ReadAnswerLine, StopsAtTheFirstLineFeedOrTheEnd) {
  struct Case {
    const char* what;
    std::vector<ReceiveStep> steps;
    std::optional<std::string> line;
  };
  const Case cases[] = {
      {"one piece", {{kData, "{\"a\":1}\r\n"}}, "{\"a\":1}\r\n"},
      {"pieces", {{kData, "{\"a\""}, {kData, ":"}, {kData, "1}\n"}}, "{\"a\":1}\n"},
      {"second line dropped", {{kData, "[1]\n[2]\n"}}, "[1]\n"},
      {"line feed mid-piece", {{kData, "[1"}, {kData, "]\nrest"}}, "[1]\n"},
      {"end of stream without line feed", {{kData, "[1"}, {kData, "]"}, {kEnd, ""}}, "[1]"},
      {"end before any byte", {{kEnd, ""}}, std::nullopt},
      {"failure before any byte", {{kFailed, ""}}, std::nullopt},
      {"failure after some bytes", {{kData, "[1]"}, {kFailed, ""}}, std::nullopt},
  };
  for (const auto& c : cases) {
    testing::ConnectionLog log;
    EXPECT_EQ(read_line(c.steps, &log), c.line) << c.what;
    EXPECT_EQ(log.receive_sizes.size(), c.steps.size()) << c.what << ": stopped early";
  }
}

TEST(ReadAnswerLine, ReadsAtMostTheCapThroughTheBuffer) {
  // Pieces of 5000 bytes: each receive asks for a full buffer until less than one is left of the
  // allowance (5536 after 60000 bytes, 536 after 65000), and none follows the last byte.
  std::vector<ReceiveStep> steps(13, {kData, std::string(5000, 'x')});
  steps.push_back({kData, std::string(536, 'y')});
  testing::ConnectionLog log;
  const auto line = read_line(steps, &log);
  ASSERT_TRUE(line.has_value());
  EXPECT_EQ(line->size(), kMaxAnswerBytes);
  EXPECT_EQ(line->substr(line->size() - 537), "x" + std::string(536, 'y'));
  const auto& asks = log.receive_sizes;
  ASSERT_EQ(asks.size(), 14u);
  for (std::size_t i = 0; i < 12; ++i) EXPECT_EQ(asks[i], kAnswerBufferSize);
  EXPECT_EQ(asks[12], 5536u);
  EXPECT_EQ(asks[13], 536u);

  // Full buffers: eight receives of 8192 bytes, then no ninth.
  const std::vector<ReceiveStep> full(8, {kData, std::string(kAnswerBufferSize, 'z')});
  EXPECT_EQ(read_line(full, &log), std::string(kMaxAnswerBytes, 'z'));
  EXPECT_EQ(log.receive_sizes.size(), 8u);
}

TEST(ParseAnswerLine, IsExactlyOneJsonValueAfterTheTrim) {
  struct Case {
    std::string line;
    std::optional<std::string> reserialised;
  };
  const std::string deep_ok = std::string(127, '[') + std::string(127, ']');
  const std::string deep_bad = std::string(128, '[') + std::string(128, ']');
  const Case cases[] = {
      {"{\"z\":1,\"a\":[true,null]}\r\n", "{\"a\":[true,null],\"z\":1}"},
      {"{\"k\":1,\"k\":2}\n", "{\"k\":2}"},
      {"[-0,18446744073709551616,-9223372036854775808]\n",
       "[-0.0,1.8446744073709552e19,-9223372036854775808]"},
      {" \"bare\" ", "\"bare\""},
      {"42", "42"},
      {"\xC2\xA0\xE3\x80\x80{\"t\":\"\xC3\xA9\"}\xE2\x80\xA8\n", "{\"t\":\"\xC3\xA9\"}"},
      {deep_ok + "\n", deep_ok},
      {deep_bad + "\n", std::nullopt},
      {"", std::nullopt},
      {" \r\n", std::nullopt},
      {"{\"a\":1} trailing\n", std::nullopt},
      {"{\"a\":1}{}\n", std::nullopt},
      {"\xEF\xBB\xBF{}\n", std::nullopt},
      {"{\"a\":\"\xFF\"}\n", std::nullopt},
      {"{} \xFF\n", std::nullopt},
      {"{\"a\":", std::nullopt},
  };
  for (const auto& c : cases) {
    const auto value = parse_answer_line(c.line);
    ASSERT_EQ(value.has_value(), c.reserialised.has_value()) << c.line;
    if (value) {
      EXPECT_EQ(json::to_compact_json(*value), *c.reserialised) << c.line;
    }
  }
}

}  // namespace
}  // namespace quarn::desktop
