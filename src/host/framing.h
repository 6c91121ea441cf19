// Native messages: a 32-bit little-endian length, then that many bytes of JSON text.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "base/bytes.h"
#include "base/result.h"
#include "json/value.h"
#include "platform/stdio.h"

namespace quarn::host {

// Largest body accepted from the browser, in bytes.
inline constexpr std::uint32_t MAX_NATIVE_MESSAGE_LEN = 1048576;

// Largest message the browsers take from a host, in bytes: Chromium and Firefox both refuse a
// longer one, so the extension would see a broken host instead of an answer.
inline constexpr std::size_t MAX_REPLY_LEN = 1048576;

struct FrameError {
  enum class Kind { kEndOfInput, kOs, kInvalidData };
  Kind kind;
  int os_code = 0;
};

// Fills the whole span or fails (read_stdin_exact, or a test's byte source).
using ExactReader = std::function<Result<Done, platform::StreamError>(std::span<std::uint8_t>)>;
// Writes every byte or fails (write_stdout_all, or a test's byte sink).
using AllWriter = std::function<Result<Done, platform::StreamError>(std::span<const std::uint8_t>)>;

// The body of one message. A length above MAX_NATIVE_MESSAGE_LEN is kInvalidData (a message too
// large, which is answered with silence like every other framing error) and no body byte is read.
Result<Bytes, FrameError> read_native_message(const ExactReader& read_exact);

// The text sent for `reply`: its compact JSON, or, when that is longer than MAX_REPLY_LEN, the
// error reply "Réponse trop volumineuse pour le navigateur : N octets (limite 1048576)." with the
// real length N. The long text is only measured, never written out.
std::string reply_text(const json::Value& reply);

// Writes reply_text(reply) behind its 4-byte length; stops at the first failure. The text, which
// may hold every password of a vault, is overwritten before it is released.
Result<Done, platform::StreamError> write_native_message(const json::Value& reply,
                                                         const AllWriter& write_all);

}  // namespace quarn::host
