// The live-session client: one query to the running desktop application, one answer line.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/system.h"
#include "desktop/state_files.h"
#include "json/value.h"

namespace quarn::desktop {

// The limits of one exchange: 400 ms to connect, 500 ms per send call, 800 ms per receive call,
// and 2 s for all of it, so that a peer sending a byte at a time cannot hold the host for hours.
inline constexpr LoopbackLimits kLiveSessionLimits{400, 500, 800, 2000};

// At most this many bytes of the answer are read, through a buffer of kAnswerBufferSize bytes.
inline constexpr std::size_t kMaxAnswerBytes = 65536;
inline constexpr std::size_t kAnswerBufferSize = 8192;

// The query line: {"cmd":"get_entries","token":<token>} in compact JSON, then a line feed.
std::string live_session_query(std::string_view token);

// One receive call into the given buffer.
using ReceiveFn = std::function<Received(std::span<char>)>;

// The first line of the answer, its line feed included: the bytes up to the first line feed, or
// all bytes until the end of the stream or the kMaxAnswerBytes cap. Nothing when a receive fails
// before then, or when the stream ends before any byte.
[[nodiscard]] std::optional<std::string> read_answer_line(const ReceiveFn& receive);

// The JSON value of an answer line: UTF-8, outer Unicode white space removed, then exactly one
// value in the strict grammar. Nothing otherwise.
[[nodiscard]] std::optional<json::Value> parse_answer_line(std::string_view line);

// Connects to the session's port, makes sure the socket there belongs to this user (the token is
// for the desktop application alone), sends the query and returns the parsed answer; nothing on
// any failure. The connection is closed before this returns.
[[nodiscard]] std::optional<json::Value> query_live_session(System& system,
                                                            const SessionInfo& session);

}  // namespace quarn::desktop
