// The built host as a browser sees it: exact bytes out for bytes in, exit status 0, no stderr.
#include <gtest/gtest.h>

#include <string>

#include "testing/host_process.h"

namespace quarn::testing {
namespace {

const std::string kPingReply = R"({"data":{"installed":true,"version":"2.0.0"},"ok":true})";
const std::string kInvalidPrefix = "{\"error\":\"Requ\xC3\xAAte invalide : ";

std::string invalid_request_reply(const std::string& escaped_text) {
  return kInvalidPrefix + escaped_text + "\",\"ok\":false}";
}

TEST(HostBlackBox, AnswersPingWithExactBytes) {
  const HostRun run = run_host(std::string("\x0e\x00\x00\x00", 4) + R"({"cmd":"ping"})");
  EXPECT_EQ(run.stdout_bytes, std::string("\x37\x00\x00\x00", 4) + kPingReply);
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.stderr_bytes, "");
}

TEST(HostBlackBox, IgnoresTheArgumentsBrowsersPass) {
  const std::vector<std::vector<std::string>> argument_lists = {
      {"chrome-extension://abcdefghijklmnopabcdefghijklmnop/"},
      {"chrome-extension://abcdefghijklmnopabcdefghijklmnop/", "--parent-window=1234"},
      {"/home/u/.mozilla/native-messaging-hosts/com.quarn.host.json", "quarn@example.org"},
      {"--help"},
  };
  for (const auto& args : argument_lists) {
    HostOptions options;
    options.args = args;
    EXPECT_EQ(call_host(R"({"cmd":"ping"})", options), kPingReply) << args.front();
  }
}

TEST(HostBlackBox, MessagesUpToOneMebibyteAreAnswered) {
  const std::string head = R"({"cmd":"ping","pad":")";
  const std::string tail = "\"}";
  const std::string body = head + std::string(1048576 - head.size() - tail.size(), 'x') + tail;
  ASSERT_EQ(body.size(), 1048576u);
  EXPECT_EQ(call_host(body), kPingReply);
}

TEST(HostBlackBox, NestingIsBoundedAtTheSizeLimit) {
  // 127 levels padded to the limit parse; a whole mebibyte of opening brackets stops at level 128.
  std::string at_limit = std::string(127, '[') + std::string(127, ']');
  at_limit.resize(1048576, ' ');
  EXPECT_EQ(call_host(at_limit),
            invalid_request_reply("invalid type: sequence, expected variant identifier"));
  EXPECT_EQ(call_host(std::string(1048576, '[')),
            invalid_request_reply("invalid type: null, expected internally tagged enum Request"));
  std::string objects;
  while (objects.size() + 6 <= 1048576) objects += "{\"a\":";
  objects.resize(1048576, ' ');
  EXPECT_EQ(call_host(objects),
            invalid_request_reply("invalid type: null, expected internally tagged enum Request"));
}

TEST(HostBlackBox, StaysSilentOnOversizedOrTruncatedInput) {
  const std::string ping = R"({"cmd":"ping"})";
  const std::string inputs[] = {
      "",
      std::string("\x0e\x00\x00", 3),
      std::string("\x0a\x00\x00\x00", 4) + "12345",
      std::string("\x01\x00\x10\x00", 4) + std::string(1048577, ' '),  // 1048577 bytes
      std::string("\x00\x00\x00\x0e", 4) + ping,                       // big-endian length
      std::string("\xff\xff\xff\xff", 4) + ping,
  };
  for (const auto& input : inputs) {
    const HostRun run = run_host(input);
    EXPECT_EQ(run.stdout_bytes, "") << input.size() << " input bytes";
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.stderr_bytes, "");
  }
}

TEST(HostBlackBox, AnswersOnlyTheFirstOfTwoMessages) {
  const HostRun run = run_host(frame(R"({"cmd":"ping"})") + frame(R"({"cmd":"PING"})"));
  EXPECT_EQ(unframe(run.stdout_bytes), kPingReply);
  EXPECT_EQ(run.exit_status, 0);
}

TEST(HostBlackBox, InvalidRequestsGetTheirErrorEscapedInTheReply) {
  struct Case {
    std::string body;
    std::string reply;
  };
  const Case cases[] = {
      {"", invalid_request_reply("invalid type: null, expected internally tagged enum Request")},
      {R"("hi")", invalid_request_reply(
                      R"(invalid type: string \"hi\", expected internally tagged enum Request)")},
      {R"("a\\b\"c")",
       invalid_request_reply(
           R"(invalid type: string \"a\\\\b\\\"c\", expected internally tagged enum Request)")},
      {R"({"cmd":"\u0000"})",
       invalid_request_reply("unknown variant `\\u0000`, expected one of `ping`, "
                             "`get_last_vault_path`, `unlock`, `try_live_session`")},
      {"{\"cmd\":\"\xC3\xA9\\t\"}",
       invalid_request_reply("unknown variant `\xC3\xA9\\t`, expected one of `ping`, "
                             "`get_last_vault_path`, `unlock`, `try_live_session`")},
      // Control characters of the C1 range are escaped in the description, as C0 ones are.
      {R"("\u0085\u001b\u00e9")",
       invalid_request_reply("invalid type: string \\\"\\\\u{85}\\\\u{1b}\xC3\xA9\\\", expected "
                             "internally tagged enum Request")},
      {R"({"cmd":"unlock","password":5})",
       invalid_request_reply("invalid type: integer `5`, expected a string")},
      {R"(["ping",1])", invalid_request_reply("invalid length 1, expected 0 elements in sequence")},
      {"{\"cmd\":\"ping\"} x",
       invalid_request_reply("invalid type: null, expected internally tagged enum Request")},
      {std::string(127, '[') + std::string(127, ']'),
       invalid_request_reply("invalid type: sequence, expected variant identifier")},
      {std::string(128, '[') + std::string(128, ']'),
       invalid_request_reply("invalid type: null, expected internally tagged enum Request")},
  };
  for (const auto& c : cases) EXPECT_EQ(call_host(c.body), c.reply) << c.body;
}

TEST(HostBlackBox, ReaderGoneBeforeTheReplyStillExitsZero) {
  HostOptions options;
  options.close_stdout_early = true;
  const HostRun run = run_host(frame(R"({"cmd":"ping"})"), options);
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.stderr_bytes, "");
}

}  // namespace
}  // namespace quarn::testing
