// The exchange with the desktop application over loopback TCP.
#include "desktop/live_session.h"

#include <algorithm>
#include <array>

#include "base/utf8.h"
#include "desktop/unicode_space.h"
#include "json/parse.h"
#include "json/serialize.h"

namespace quarn::desktop {

std::string live_session_query(std::string_view token) {
  json::Value query = json::Value::object();
  query["cmd"] = "get_entries";
  query["token"] = std::string(token);
  return json::to_compact_json(query) + "\n";
}

std::optional<std::string> read_answer_line(const ReceiveFn& receive) {
  std::array<char, kAnswerBufferSize> buffer;
  std::string line;
  while (line.size() < kMaxAnswerBytes) {
    const std::size_t ask = std::min(buffer.size(), kMaxAnswerBytes - line.size());
    const Received got = receive(std::span<char>(buffer.data(), ask));
    switch (got.kind) {
      case Received::Kind::kFailed:
        return std::nullopt;
      case Received::Kind::kEnd:
        if (line.empty()) return std::nullopt;
        return line;
      case Received::Kind::kData:
        break;
    }
    const std::string_view chunk(buffer.data(), std::min(got.size, ask));
    const auto feed = chunk.find('\n');
    if (feed != std::string_view::npos) {
      // Whatever follows the line feed is dropped.
      line.append(chunk.substr(0, feed + 1));
      return line;
    }
    line.append(chunk);
  }
  return line;
}

std::optional<json::Value> parse_answer_line(std::string_view line) {
  if (!is_valid_utf8(line)) return std::nullopt;
  return json::parse_strict(trim_unicode_space(line));
}

std::optional<json::Value> query_live_session(System& system, const SessionInfo& session) {
  auto connected = system.connect_loopback(session.port, kLiveSessionLimits);
  if (!connected) return std::nullopt;
  LoopbackConnection& connection = *connected.value();
  // Another user of the machine may hold a port the application left behind.
  if (!connection.peer_is_same_user()) return std::nullopt;
  if (!connection.send_all(live_session_query(session.token))) return std::nullopt;
  const auto line = read_answer_line(
      [&connection](std::span<char> buffer) { return connection.receive(buffer); });
  if (!line) return std::nullopt;
  return parse_answer_line(*line);
}

}  // namespace quarn::desktop
