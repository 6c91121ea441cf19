// The loopback listener over Windows Sockets.
#include "platform/listener.h"

#include <utility>

#include "platform/windows/winsock.h"

namespace quarn::platform {
namespace {

constexpr std::intptr_t kNone = -1;

SOCKET socket_of(std::intptr_t handle) { return static_cast<SOCKET>(handle); }

bool wait_readable(SOCKET socket, int timeout_ms) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(socket, &readable);
  timeval limit{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
  return select(0, &readable, nullptr, nullptr, timeout_ms < 0 ? nullptr : &limit) > 0;
}

}  // namespace

PeerSocket::PeerSocket(PeerSocket&& other) noexcept
    : handle_(std::exchange(other.handle_, kNone)) {}

PeerSocket::~PeerSocket() {
  if (handle_ != kNone) closesocket(socket_of(handle_));
}

bool PeerSocket::receive_some(std::string& into, int timeout_ms) {
  if (!wait_readable(socket_of(handle_), timeout_ms)) return false;
  char buffer[8192];
  const int n = recv(socket_of(handle_), buffer, sizeof buffer, 0);
  if (n <= 0) return false;
  into.append(buffer, static_cast<std::size_t>(n));
  return true;
}

bool PeerSocket::send_all(std::string_view bytes) {
  while (!bytes.empty()) {
    const int n = send(socket_of(handle_), bytes.data(), static_cast<int>(bytes.size()), 0);
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::optional<LoopbackListener> LoopbackListener::open(int backlog) {
  if (!start_sockets()) return std::nullopt;
  const SOCKET listening = WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                                      WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
  if (listening == INVALID_SOCKET) return std::nullopt;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  int size = sizeof address;
  if (bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listening, backlog) != 0 ||
      getsockname(listening, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    closesocket(listening);
    return std::nullopt;
  }
  return LoopbackListener(static_cast<std::intptr_t>(listening), ntohs(address.sin_port));
}

LoopbackListener::LoopbackListener(LoopbackListener&& other) noexcept
    : handle_(std::exchange(other.handle_, kNone)), port_(other.port_) {}

LoopbackListener::~LoopbackListener() {
  if (handle_ != kNone) closesocket(socket_of(handle_));
}

std::optional<PeerSocket> LoopbackListener::accept(int timeout_ms) const {
  if (!wait_readable(socket_of(handle_), timeout_ms)) return std::nullopt;
  const SOCKET peer = ::accept(socket_of(handle_), nullptr, nullptr);
  if (peer == INVALID_SOCKET) return std::nullopt;
  return PeerSocket(static_cast<std::intptr_t>(peer));
}

}  // namespace quarn::platform
