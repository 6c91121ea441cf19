// The fake desktop application's behaviours, over the platform's loopback listener.
#include "fake_desktop/fake_desktop.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>
#include <utility>

#include "json/serialize.h"
#include "json/value.h"
#include "platform/arguments.h"

namespace quarn::fake_desktop {
namespace {

using platform::PeerSocket;

void read_query_line(PeerSocket& peer, std::string& into, int timeout_ms) {
  while (into.find('\n') == std::string::npos && into.size() < (1u << 20)) {
    if (!peer.receive_some(into, timeout_ms)) return;
  }
}

void read_until_closed(PeerSocket& peer, std::string& into, int timeout_ms) {
  while (peer.receive_some(into, timeout_ms)) {
  }
}

std::string oversized_line() {
  const std::string head = "{\"pad\":\"";
  const std::string tail = "\"}";
  return head + std::string(kOversizedLineBytes - head.size() - tail.size(), 'a') + tail + "\n";
}

}  // namespace

std::optional<Behaviour> behaviour_from_name(std::string_view name) {
  static constexpr std::pair<std::string_view, Behaviour> kNames[] = {
      {"answer", Behaviour::kAnswer},
      {"two-lines", Behaviour::kTwoLines},
      {"no-line-feed", Behaviour::kNoLineFeed},
      {"no-line-feed-keep-open", Behaviour::kNoLineFeedKeepOpen},
      {"silent", Behaviour::kSilent},
      {"close-at-once", Behaviour::kCloseAtOnce},
      {"oversized", Behaviour::kOversized},
      {"slow", Behaviour::kSlow},
      {"trickle", Behaviour::kTrickle},
  };
  for (const auto& [n, b] : kNames) {
    if (n == name) return b;
  }
  return std::nullopt;
}

std::optional<Listener> Listener::open(int backlog) {
  auto listener = platform::LoopbackListener::open(backlog);
  if (!listener) return std::nullopt;
  return Listener(std::move(*listener));
}

Exchange Listener::serve_one(Behaviour behaviour, const AnswerFn& answer, int accept_timeout_ms,
                             int peer_timeout_ms) const {
  Exchange exchange;
  auto accepted = listener_.accept(accept_timeout_ms);
  if (!accepted) return exchange;
  PeerSocket& peer = *accepted;
  exchange.accepted = true;
  if (behaviour == Behaviour::kCloseAtOnce) return exchange;

  read_query_line(peer, exchange.received, peer_timeout_ms);
  const auto feed = exchange.received.find('\n');
  const std::string_view query = std::string_view(exchange.received).substr(0, feed);

  switch (behaviour) {
    case Behaviour::kAnswer:
      peer.send_all(answer(query) + "\n");
      break;
    case Behaviour::kTwoLines:
      peer.send_all(answer(query) + "\n{\"second\":\"line\"}\n");
      break;
    case Behaviour::kNoLineFeed:
      peer.send_all(answer(query));
      return exchange;
    case Behaviour::kNoLineFeedKeepOpen:
      peer.send_all(answer(query));
      break;
    case Behaviour::kSilent:
      break;
    case Behaviour::kCloseAtOnce:
      return exchange;
    case Behaviour::kOversized:
      peer.send_all(oversized_line());
      break;
    case Behaviour::kSlow: {
      const std::string line = answer(query) + "\n";
      const std::size_t piece = (line.size() + kSlowPieces - 1) / kSlowPieces;
      for (std::size_t at = 0; at < line.size(); at += piece) {
        if (at > 0) std::this_thread::sleep_for(std::chrono::milliseconds(kSlowPauseMs));
        peer.send_all(std::string_view(line).substr(at, piece));
      }
      break;
    }
    case Behaviour::kTrickle: {
      const std::string line = answer(query) + "\n";
      for (std::size_t at = 0; at < line.size(); ++at) {
        if (at > 0) std::this_thread::sleep_for(std::chrono::milliseconds(kTricklePauseMs));
        if (!peer.send_all(std::string_view(line).substr(at, 1))) break;
      }
      break;
    }
  }
  read_until_closed(peer, exchange.received, peer_timeout_ms);
  return exchange;
}

bool write_session_file(const std::string& dir, std::uint16_t port, std::string_view token) {
  json::Value session = json::Value::object();
  session["port"] = port;
  session["token"] = std::string(token);
  const std::string text = json::to_compact_json(session);
  std::error_code error;
  const std::filesystem::path folder = platform::file_path(dir);
  std::filesystem::create_directories(folder, error);
  const std::filesystem::path path = folder / "session.json";
  std::filesystem::path temporary = path;
  temporary += ".tmp";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!file.flush()) return false;
  }
  // Replaces an older file in one step, on every system.
  std::filesystem::rename(temporary, path, error);
  return !error;
}

}  // namespace quarn::fake_desktop
