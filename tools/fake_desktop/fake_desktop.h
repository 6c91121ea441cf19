// A stand-in for the desktop application's live-session side, for tests and demonstrations.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/listener.h"

namespace quarn::fake_desktop {

// How the fake application treats one connection.
enum class Behaviour {
  kAnswer,              // the answer and a line feed, then waits for the host to close
  kTwoLines,            // the answer line and a second line in one write, then waits
  kNoLineFeed,          // the answer without a line feed, then closes
  kNoLineFeedKeepOpen,  // the answer without a line feed, then waits for the host to close
  kSilent,              // reads the query, says nothing, waits for the host to close
  kCloseAtOnce,         // closes the connection as soon as it has accepted it
  kOversized,           // a line of kOversizedLineBytes bytes before its line feed
  kSlow,                // the answer line in kSlowPieces pieces, kSlowPauseMs apart
  kTrickle,             // the answer line a byte at a time, kTricklePauseMs apart, until the
                        // host goes: each byte within the receive limit, all far beyond 2 s
};

inline constexpr std::size_t kOversizedLineBytes = 70000;
inline constexpr int kSlowPieces = 4;
inline constexpr int kSlowPauseMs = 300;
inline constexpr int kTricklePauseMs = 400;

// The behaviour called `name` ("answer", "two-lines", "no-line-feed", "no-line-feed-keep-open",
// "silent", "close-at-once", "oversized", "slow", "trickle").
std::optional<Behaviour> behaviour_from_name(std::string_view name);

// The answer text (without its line feed) for the query line that was received.
using AnswerFn = std::function<std::string(std::string_view query_line)>;

// What happened on one connection.
struct Exchange {
  bool accepted = false;
  std::string received;  // every byte the host sent until it closed (or the query line alone)
};

// A listening TCP socket on 127.0.0.1 at a port that the system picks. Move-only.
class Listener {
 public:
  // Nothing when the socket cannot be set up. A `backlog` of 0 queues a single connection.
  static std::optional<Listener> open(int backlog = 16);

  std::uint16_t port() const { return listener_.port(); }

  // Accepts one connection, waiting at most `accept_timeout_ms` (negative: without limit), and
  // treats it as `behaviour` says. Every wait on the connection is bounded by `peer_timeout_ms`.
  Exchange serve_one(Behaviour behaviour, const AnswerFn& answer, int accept_timeout_ms = 10000,
                     int peer_timeout_ms = 10000) const;

 private:
  explicit Listener(platform::LoopbackListener listener) : listener_(std::move(listener)) {}
  platform::LoopbackListener listener_;
};

// Writes `dir`/session.json holding {"port":port,"token":token}, replacing the file in one step;
// `dir` is created when missing.
bool write_session_file(const std::string& dir, std::uint16_t port, std::string_view token);

}  // namespace quarn::fake_desktop
