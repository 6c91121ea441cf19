// The fake desktop application's listener and behaviours over POSIX sockets.
#include "fake_desktop/fake_desktop.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <utility>

#include "json/serialize.h"
#include "json/value.h"

namespace quarn::fake_desktop {
namespace {

class Socket {
 public:
  explicit Socket(int fd) : fd_(fd) {}
  ~Socket() {
    if (fd_ >= 0) ::close(fd_);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

bool wait_readable(int fd, int timeout_ms) {
  pollfd watch{fd, POLLIN, 0};
  for (;;) {
    const int n = ::poll(&watch, 1, timeout_ms);
    if (n < 0 && errno == EINTR) continue;
    return n > 0;
  }
}

// Appends what one bounded receive gives; false at the end of the stream, an error or a time-out.
bool receive_some(int fd, std::string& into, int timeout_ms) {
  if (!wait_readable(fd, timeout_ms)) return false;
  char buffer[8192];
  for (;;) {
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    into.append(buffer, static_cast<std::size_t>(n));
    return true;
  }
}

void read_query_line(int fd, std::string& into, int timeout_ms) {
  while (into.find('\n') == std::string::npos && into.size() < (1u << 20)) {
    if (!receive_some(fd, into, timeout_ms)) return;
  }
}

void read_until_closed(int fd, std::string& into, int timeout_ms) {
  while (receive_some(fd, into, timeout_ms)) {
  }
}

// The host may be gone already; that is its business, not an error here.
void send_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    bytes.remove_prefix(static_cast<std::size_t>(n));
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
  };
  for (const auto& [n, b] : kNames) {
    if (n == name) return b;
  }
  return std::nullopt;
}

std::optional<Listener> Listener::open(int backlog) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return std::nullopt;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t size = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, backlog) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    ::close(fd);
    return std::nullopt;
  }
  return Listener(fd, ntohs(address.sin_port));
}

Listener::Listener(Listener&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), port_(other.port_) {}

Listener::~Listener() {
  if (fd_ >= 0) ::close(fd_);
}

Exchange Listener::serve_one(Behaviour behaviour, const AnswerFn& answer, int accept_timeout_ms,
                             int peer_timeout_ms) const {
  Exchange exchange;
  if (!wait_readable(fd_, accept_timeout_ms)) return exchange;
  Socket peer(::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC));
  if (peer.get() < 0) return exchange;
  exchange.accepted = true;
  if (behaviour == Behaviour::kCloseAtOnce) return exchange;

  read_query_line(peer.get(), exchange.received, peer_timeout_ms);
  const auto feed = exchange.received.find('\n');
  const std::string_view query = std::string_view(exchange.received).substr(0, feed);

  switch (behaviour) {
    case Behaviour::kAnswer:
      send_all(peer.get(), answer(query) + "\n");
      break;
    case Behaviour::kTwoLines:
      send_all(peer.get(), answer(query) + "\n{\"second\":\"line\"}\n");
      break;
    case Behaviour::kNoLineFeed:
      send_all(peer.get(), answer(query));
      return exchange;
    case Behaviour::kNoLineFeedKeepOpen:
      send_all(peer.get(), answer(query));
      break;
    case Behaviour::kSilent:
      break;
    case Behaviour::kCloseAtOnce:
      return exchange;
    case Behaviour::kOversized:
      send_all(peer.get(), oversized_line());
      break;
    case Behaviour::kSlow: {
      const std::string line = answer(query) + "\n";
      const std::size_t piece = (line.size() + kSlowPieces - 1) / kSlowPieces;
      for (std::size_t at = 0; at < line.size(); at += piece) {
        if (at > 0) std::this_thread::sleep_for(std::chrono::milliseconds(kSlowPauseMs));
        send_all(peer.get(), std::string_view(line).substr(at, piece));
      }
      break;
    }
  }
  read_until_closed(peer.get(), exchange.received, peer_timeout_ms);
  return exchange;
}

bool write_session_file(const std::string& dir, std::uint16_t port, std::string_view token) {
  json::Value session = json::Value::object();
  session["port"] = port;
  session["token"] = std::string(token);
  const std::string text = json::to_compact_json(session);
  std::error_code ignored;
  std::filesystem::create_directories(dir, ignored);
  const std::string path = dir + "/session.json";
  const std::string temporary = path + ".tmp";
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  if (std::fclose(file) != 0 || !written) return false;
  return std::rename(temporary.c_str(), path.c_str()) == 0;
}

}  // namespace quarn::fake_desktop
