// Framing of both directions over a byte source and a byte sink.
#include "host/framing.h"

#include <array>
#include <string>

#include "json/serialize.h"

namespace quarn::host {
namespace {

FrameError to_frame_error(const platform::StreamError& e) {
  return e.kind == platform::StreamError::Kind::kEndOfInput
             ? FrameError{FrameError::Kind::kEndOfInput}
             : FrameError{FrameError::Kind::kOs, e.os_code};
}

}  // namespace

Result<std::vector<std::uint8_t>, FrameError> read_native_message(const ExactReader& read_exact) {
  std::array<std::uint8_t, 4> prefix{};
  if (auto r = read_exact(prefix); !r) return fail(to_frame_error(r.error()));
  const std::uint32_t length =
      static_cast<std::uint32_t>(prefix[0]) | static_cast<std::uint32_t>(prefix[1]) << 8 |
      static_cast<std::uint32_t>(prefix[2]) << 16 | static_cast<std::uint32_t>(prefix[3]) << 24;
  if (length > MAX_NATIVE_MESSAGE_LEN) return fail(FrameError{FrameError::Kind::kInvalidData});

  std::vector<std::uint8_t> body(length);
  if (length > 0) {
    if (auto r = read_exact(body); !r) return fail(to_frame_error(r.error()));
  }
  return body;
}

Result<Done, platform::StreamError> write_native_message(const json::Value& reply,
                                                         const AllWriter& write_all) {
  const std::string text = json::to_compact_json(reply);
  const auto length = static_cast<std::uint32_t>(text.size());
  const std::array<std::uint8_t, 4> prefix{
      static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8),
      static_cast<std::uint8_t>(length >> 16), static_cast<std::uint8_t>(length >> 24)};
  if (auto r = write_all(prefix); !r) return r;
  // Standard output is unbuffered, so the last write is also the flush.
  return write_all(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

}  // namespace quarn::host
