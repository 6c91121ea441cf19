// Tests of the query line, the answer-line reader and the answer parser.
#include "desktop/live_session.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <vector>

#include "json/serialize.h"

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

// A scripted connection: each receive takes the next step; asking past the script fails the test.
class Script {
 public:
  struct Step {
    platform::Received::Kind kind;
    std::string bytes;
  };
  explicit Script(std::vector<Step> steps) : steps_(steps.begin(), steps.end()) {}

  ReceiveFn receiver() {
    return [this](std::span<char> buffer) {
      asks.push_back(buffer.size());
      if (steps_.empty()) {
        ADD_FAILURE() << "receive called after the script ended";
        return platform::Received{platform::Received::Kind::kFailed};
      }
      Step step = steps_.front();
      steps_.pop_front();
      if (step.kind != platform::Received::Kind::kData) return platform::Received{step.kind};
      EXPECT_LE(step.bytes.size(), buffer.size());
      const std::size_t n = std::min(step.bytes.size(), buffer.size());
      std::memcpy(buffer.data(), step.bytes.data(), n);
      return platform::Received{platform::Received::Kind::kData, n};
    };
  }
  bool finished() const { return steps_.empty(); }

  std::vector<std::size_t> asks;

 private:
  std::deque<Step> steps_;
};

constexpr auto kData = platform::Received::Kind::kData;
constexpr auto kEnd = platform::Received::Kind::kEnd;
constexpr auto kFailed = platform::Received::Kind::kFailed;

TEST(ReadAnswerLine, StopsAtTheFirstLineFeedOrTheEnd) {
  struct Case {
    const char* what;
    std::vector<Script::Step> steps;
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
    Script script(c.steps);
    EXPECT_EQ(read_answer_line(script.receiver()), c.line) << c.what;
    EXPECT_TRUE(script.finished()) << c.what;
  }
}

TEST(ReadAnswerLine, ReadsAtMostTheCapThroughTheBuffer) {
  // Pieces of 5000 bytes: each receive asks for a full buffer until less than one is left of the
  // allowance (5536 after 60000 bytes, 536 after 65000), and none follows the last byte.
  std::vector<Script::Step> steps(13, {kData, std::string(5000, 'x')});
  steps.push_back({kData, std::string(536, 'y')});
  Script script(steps);
  const auto line = read_answer_line(script.receiver());
  ASSERT_TRUE(line.has_value());
  EXPECT_EQ(line->size(), kMaxAnswerBytes);
  EXPECT_EQ(line->substr(line->size() - 537), "x" + std::string(536, 'y'));
  ASSERT_EQ(script.asks.size(), 14u);
  for (std::size_t i = 0; i < 12; ++i) EXPECT_EQ(script.asks[i], kAnswerBufferSize);
  EXPECT_EQ(script.asks[12], 5536u);
  EXPECT_EQ(script.asks[13], 536u);

  // Full buffers: eight receives of 8192 bytes, then no ninth.
  Script full(std::vector<Script::Step>(8, {kData, std::string(kAnswerBufferSize, 'z')}));
  EXPECT_EQ(read_answer_line(full.receiver()), std::string(kMaxAnswerBytes, 'z'));
  EXPECT_TRUE(full.finished());
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
