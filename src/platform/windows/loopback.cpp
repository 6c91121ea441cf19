// The loopback connection over Windows Sockets.
#include "platform/loopback.h"

#include <algorithm>
#include <climits>
#include <utility>

#include "base/deadline.h"
#include "platform/call_limit.h"
#include "platform/windows/socket_owner.h"
#include "platform/windows/winsock.h"

namespace quarn::platform {
namespace {

bool set_blocking(SOCKET socket, bool blocking) {
  u_long non_blocking = blocking ? 0 : 1;
  return ioctlsocket(socket, FIONBIO, &non_blocking) == 0;
}

void set_time_limit(SOCKET socket, int option, int ms) {
  // Windows takes these limits as a DWORD of milliseconds, above 0 here (0 means none). One that
  // cannot be set is not a failure of the connection.
  const DWORD limit = static_cast<DWORD>(ms);
  (void)setsockopt(socket, SOL_SOCKET, option, reinterpret_cast<const char*>(&limit), sizeof limit);
}

// Waits for a connection under way (the socket is blocking again by now, which leaves the attempt
// running): in the write set, it stands; otherwise its pending error tells.
Result<Done, LoopbackError> await_connection(SOCKET socket, int limit_ms) {
  fd_set writable;
  fd_set failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(socket, &writable);
  FD_SET(socket, &failed);
  timeval limit{};
  limit.tv_sec = limit_ms / 1000;
  limit.tv_usec = (limit_ms % 1000) * 1000;
  const int n = select(0, nullptr, &writable, &failed, &limit);
  if (n == SOCKET_ERROR) return fail(LoopbackError::kConnect);
  if (n == 0) return fail(LoopbackError::kTimeout);
  if (FD_ISSET(socket, &writable)) return Done{};
  int pending = 0;
  int size = sizeof pending;
  if (getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&pending), &size) != 0 ||
      pending != 0) {
    return fail(LoopbackError::kConnect);
  }
  return Done{};
}

// One connected socket, closed when the object goes.
class WinsockConnection final : public LoopbackConnection {
 public:
  WinsockConnection(SOCKET socket, const LoopbackLimits& limits)
      : socket_(socket),
        exchange_(limits.exchange_ms),
        send_limit_(limits.send_ms),
        receive_limit_(limits.receive_ms) {}
  WinsockConnection(const WinsockConnection&) = delete;
  WinsockConnection& operator=(const WinsockConnection&) = delete;
  ~WinsockConnection() override { closesocket(socket_); }

  const Deadline& exchange() const { return exchange_; }

  bool send_all(std::string_view bytes) override {
    while (!bytes.empty()) {
      if (!send_limit_.ready(exchange_,
                             [this](int ms) { set_time_limit(socket_, SO_SNDTIMEO, ms); })) {
        return false;
      }
      const int ask = static_cast<int>(std::min<std::size_t>(bytes.size(), INT_MAX));
      const int n = send(socket_, bytes.data(), ask, 0);
      if (n == SOCKET_ERROR && WSAGetLastError() == WSAEINTR) continue;
      if (n <= 0) return false;
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
  }

  Received receive(std::span<char> buffer) override {
    if (buffer.empty()) return {Received::Kind::kFailed};
    for (;;) {
      if (!receive_limit_.ready(exchange_,
                                [this](int ms) { set_time_limit(socket_, SO_RCVTIMEO, ms); })) {
        return {Received::Kind::kFailed};
      }
      const int ask = static_cast<int>(std::min<std::size_t>(buffer.size(), INT_MAX));
      const int n = recv(socket_, buffer.data(), ask, 0);
      if (n > 0) return {Received::Kind::kData, static_cast<std::size_t>(n)};
      if (n == 0) return {Received::Kind::kEnd};
      const int error = WSAGetLastError();
      if (error == WSAEINTR) continue;
      if (error == WSAESHUTDOWN) return {Received::Kind::kEnd};
      // WSAETIMEDOUT: the receive limit ran out.
      return {Received::Kind::kFailed};
    }
  }

  bool peer_is_same_user() override { return socket_peer_is_same_user(socket_); }

 private:
  SOCKET socket_;
  Deadline exchange_;  // every call ends by this
  CallLimit send_limit_;
  CallLimit receive_limit_;
};

}  // namespace

Result<std::unique_ptr<LoopbackConnection>, LoopbackError> connect_loopback(
    std::uint16_t port, const LoopbackLimits& limits) {
  if (!start_sockets()) return fail(LoopbackError::kSocket);
  // Overlapped, as socket() makes them, so that SO_RCVTIMEO and SO_SNDTIMEO apply.
  const SOCKET socket = WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                                   WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
  if (socket == INVALID_SOCKET) return fail(LoopbackError::kSocket);
  // Closes the socket on every way out; the exchange's time starts now.
  auto connection = std::make_unique<WinsockConnection>(socket, limits);
  // Not inherited by child processes (older systems ignore the WSASocketW flag).
  (void)SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);

  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (!set_blocking(socket, false)) return fail(LoopbackError::kSocket);
  const int rc = connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  const int connect_error = rc == 0 ? 0 : WSAGetLastError();
  if (!set_blocking(socket, true)) return fail(LoopbackError::kSocket);
  if (rc != 0) {
    if (connect_error != WSAEWOULDBLOCK) return fail(LoopbackError::kConnect);
    const int limit_ms = connection->exchange().limit_for(limits.connect_ms);
    if (limit_ms <= 0) return fail(LoopbackError::kTimeout);
    auto waited = await_connection(socket, limit_ms);
    if (!waited) return fail(waited.error());
  }
  return std::unique_ptr<LoopbackConnection>(std::move(connection));
}

}  // namespace quarn::platform
