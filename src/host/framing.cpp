// Framing of both directions over a byte source and a byte sink.
#include "host/framing.h"

#include <string>

#include "base/native_message.h"
#include "json/serialize.h"

namespace quarn::host {
namespace {

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

Result<Done, platform::StreamError> write_native_message(const json::Value& reply,
                                                         const AllWriter& write_all) {
  const std::string text = json::to_compact_json(reply);
  const LengthPrefix prefix = encode_length_prefix(static_cast<std::uint32_t>(text.size()));
  if (auto r = write_all(prefix); !r) return r;
  // Standard output is unbuffered, so the last write is also the flush.
  return write_all(bytes_of(text));
}

}  // namespace quarn::host
