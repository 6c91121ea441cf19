// Native message framing over in-memory byte sources and sinks.
#include "host/framing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "base/native_message.h"

namespace quarn::host {
namespace {

using platform::StreamError;

// A byte source over a fixed string; after the string, end of input.
struct StringSource {
  std::string bytes;
  std::size_t position = 0;
  std::size_t reads = 0;

  Result<Done, StreamError> operator()(std::span<std::uint8_t> out) {
    ++reads;
    const std::size_t n = std::min(out.size(), bytes.size() - position);
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(position), n, out.begin());
    position += n;
    if (n < out.size()) return fail(StreamError{StreamError::Kind::kEndOfInput});
    return Done{};
  }
};

std::string le32(std::uint32_t n) {
  const LengthPrefix prefix = encode_length_prefix(n);
  return std::string(text_of(prefix));
}

TEST(ReadNativeMessage, ReadsBodiesUpToTheLimit) {
  for (std::uint32_t length : {0u, 1u, 14u, MAX_NATIVE_MESSAGE_LEN}) {
    StringSource source{le32(length) + std::string(length, 'x') + "trailing"};
    auto body = read_native_message(std::ref(source));
    ASSERT_TRUE(body.ok()) << length;
    EXPECT_EQ(body.value().size(), length);
    EXPECT_EQ(source.position, 4 + length) << "read past the message";
  }
}

TEST(ReadNativeMessage, RefusesOversizeWithoutReadingTheBody) {
  for (std::uint32_t length : {MAX_NATIVE_MESSAGE_LEN + 1, 0x0e000000u, 0xFFFFFFFFu}) {
    StringSource source{le32(length) + "{}"};
    auto body = read_native_message(std::ref(source));
    ASSERT_FALSE(body.ok());
    EXPECT_EQ(body.error().kind, FrameError::Kind::kInvalidData);
    EXPECT_EQ(source.position, 4u);
  }
}

TEST(ReadNativeMessage, TruncatedInputIsEndOfInput) {
  for (const std::string& input :
       {std::string(), std::string("\x0e\x00\x00", 3), le32(10) + "12345"}) {
    StringSource source{input};
    auto body = read_native_message(std::ref(source));
    ASSERT_FALSE(body.ok());
    EXPECT_EQ(body.error().kind, FrameError::Kind::kEndOfInput);
  }
}

TEST(ReadNativeMessage, PassesOsErrorsOn) {
  auto failing = [](std::span<std::uint8_t>) -> Result<Done, StreamError> {
    return fail(StreamError{StreamError::Kind::kOs, 5});
  };
  auto body = read_native_message(failing);
  ASSERT_FALSE(body.ok());
  EXPECT_EQ(body.error().kind, FrameError::Kind::kOs);
  EXPECT_EQ(body.error().os_code, 5);
}

TEST(WriteNativeMessage, WritesLengthThenCompactText) {
  std::string sink;
  auto writer = [&](std::span<const std::uint8_t> bytes) -> Result<Done, StreamError> {
    sink.append(text_of(bytes));
    return Done{};
  };
  json::Value reply = {{"ok", true}, {"data", {{"version", "2.0.0"}, {"installed", true}}}};
  ASSERT_TRUE(write_native_message(reply, writer).ok());
  const std::string text = R"({"data":{"installed":true,"version":"2.0.0"},"ok":true})";
  EXPECT_EQ(sink, le32(55) + text);
}

TEST(WriteNativeMessage, StopsAtTheFirstFailedWrite) {
  int calls = 0;
  auto writer = [&](std::span<const std::uint8_t>) -> Result<Done, StreamError> {
    ++calls;
    return fail(StreamError{StreamError::Kind::kOs, 32});
  };
  auto r = write_native_message(json::Value(nullptr), writer);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error().os_code, 32);
  EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace quarn::host
