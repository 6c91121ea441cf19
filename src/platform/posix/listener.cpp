// The loopback listener over POSIX sockets.
#include "platform/listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace quarn::platform {
namespace {

int fd_of(std::intptr_t handle) { return static_cast<int>(handle); }

bool wait_readable(int fd, int timeout_ms) {
  pollfd watch{fd, POLLIN, 0};
  for (;;) {
    const int n = ::poll(&watch, 1, timeout_ms);
    if (n < 0 && errno == EINTR) continue;
    return n > 0;
  }
}

}  // namespace

PeerSocket::PeerSocket(PeerSocket&& other) noexcept : handle_(std::exchange(other.handle_, -1)) {}

PeerSocket::~PeerSocket() {
  if (handle_ >= 0) ::close(fd_of(handle_));
}

bool PeerSocket::receive_some(std::string& into, int timeout_ms) {
  if (!wait_readable(fd_of(handle_), timeout_ms)) return false;
  char buffer[8192];
  for (;;) {
    const ssize_t n = ::recv(fd_of(handle_), buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    into.append(buffer, static_cast<std::size_t>(n));
    return true;
  }
}

bool PeerSocket::send_all(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::send(fd_of(handle_), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::optional<LoopbackListener> LoopbackListener::open(int backlog) {
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
  return LoopbackListener(fd, ntohs(address.sin_port));
}

LoopbackListener::LoopbackListener(LoopbackListener&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)), port_(other.port_) {}

LoopbackListener::~LoopbackListener() {
  if (handle_ >= 0) ::close(fd_of(handle_));
}

std::optional<PeerSocket> LoopbackListener::accept(int timeout_ms) const {
  if (!wait_readable(fd_of(handle_), timeout_ms)) return std::nullopt;
  const int peer = ::accept4(fd_of(handle_), nullptr, nullptr, SOCK_CLOEXEC);
  if (peer < 0) return std::nullopt;
  return PeerSocket(peer);
}

}  // namespace quarn::platform
