// Framing of both directions over a byte source and a byte sink.
#include "host/framing.h"

#include <string>

#include "base/native_message.h"
#include "base/wipe.h"
#include "json/serialize.h"
#include "protocol/reply.h"

namespace quarn::host {
namespace {

constexpr std::string_view kReplyTooLarge = "Réponse trop volumineuse pour le navigateur : ";
constexpr std::string_view kReplyLimit = " octets (limite 1048576).";

FrameError to_frame_error(const platform::StreamError& e) {
  return e.kind == platform::StreamError::Kind::kEndOfInput
             ? FrameError{FrameError::Kind::kEndOfInput}
             : FrameError{FrameError::Kind::kOs, e.os_code};
}

}  // namespace

Result<Bytes, FrameError> read_native_message(const ExactReader& read_exact) {
  LengthPrefix prefix{};
  if (auto r = read_exact(prefix); !r) return fail(to_frame_error(r.error()));
  const std::uint32_t length = decode_length_prefix(prefix);
  if (length > MAX_NATIVE_MESSAGE_LEN) return fail(FrameError{FrameError::Kind::kInvalidData});

  Bytes body(length);
  if (length > 0) {
    if (auto r = read_exact(body); !r) return fail(to_frame_error(r.error()));
  }
  return body;
}

std::string reply_text(const json::Value& reply) {
  const std::size_t size = json::compact_json_size(reply);
  if (size <= MAX_REPLY_LEN) return json::to_compact_json(reply, size);
  const std::string message =
      std::string(kReplyTooLarge) + std::to_string(size) + std::string(kReplyLimit);
  return json::to_compact_json(protocol::error_reply(message));
}

Result<Done, platform::StreamError> write_native_message(const json::Value& reply,
                                                         const AllWriter& write_all) {
  std::string text = reply_text(reply);
  const LengthPrefix prefix = encode_length_prefix(static_cast<std::uint32_t>(text.size()));
  // Standard output is unbuffered, so the last write is also the flush.
  auto written = write_all(prefix);
  if (written) written = write_all(bytes_of(text));
  wipe_and_release(text);
  return written;
}

}  // namespace quarn::host
