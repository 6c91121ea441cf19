// The loopback connection over POSIX sockets.
#include "platform/loopback.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <utility>

#include "base/deadline.h"
#include "platform/call_limit.h"
#include "platform/posix/socket_owner.h"

namespace quarn::platform {
namespace {

bool set_blocking(int fd, bool blocking) {
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0) return false;
  const int wanted = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
  return ::fcntl(fd, F_SETFL, wanted) == 0;
}

// `ms` is above 0: a zero limit would mean none at all.
void set_time_limit(int fd, int option, int ms) {
  timeval limit{};
  limit.tv_sec = ms / 1000;
  limit.tv_usec = (ms % 1000) * 1000;
  // A limit that cannot be set is not a failure of the connection.
  (void)::setsockopt(fd, SOL_SOCKET, option, &limit, sizeof limit);
}

// Waits for a connection under way; `fd` is blocking again by now, which leaves the attempt
// running. Writable means finished, for better or worse: SO_ERROR tells which.
Result<Done, LoopbackError> await_connection(int fd, int limit_ms, const Deadline& exchange) {
  const Deadline connecting(limit_ms);
  for (;;) {
    const int left = exchange.limit_for(connecting.limit_for(limit_ms));
    if (left <= 0) return fail(LoopbackError::kTimeout);
    pollfd watch{fd, POLLOUT, 0};
    const int n = ::poll(&watch, 1, left);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return fail(LoopbackError::kConnect);
    if (n == 0) return fail(LoopbackError::kTimeout);
    break;
  }
  int pending = 0;
  socklen_t size = sizeof pending;
  if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &pending, &size) != 0 || pending != 0) {
    return fail(LoopbackError::kConnect);
  }
  return Done{};
}

// One connected socket, closed when the object goes.
class PosixConnection final : public LoopbackConnection {
 public:
  PosixConnection(int fd, const LoopbackLimits& limits)
      : fd_(fd),
        exchange_(limits.exchange_ms),
        send_limit_(limits.send_ms),
        receive_limit_(limits.receive_ms) {}
  PosixConnection(const PosixConnection&) = delete;
  PosixConnection& operator=(const PosixConnection&) = delete;
  ~PosixConnection() override { ::close(fd_); }

  const Deadline& exchange() const { return exchange_; }

  bool send_all(std::string_view bytes) override {
    while (!bytes.empty()) {
      if (!send_limit_.ready(exchange_, [this](int ms) { set_time_limit(fd_, SO_SNDTIMEO, ms); })) {
        return false;
      }
      const std::size_t ask = std::min<std::size_t>(bytes.size(), INT_MAX);
      // MSG_NOSIGNAL: a peer that went away is an error here, not a SIGPIPE.
      const ssize_t n = ::send(fd_, bytes.data(), ask, MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
  }

  Received receive(std::span<char> buffer) override {
    if (buffer.empty()) return {Received::Kind::kFailed};
    for (;;) {
      if (!receive_limit_.ready(exchange_,
                                [this](int ms) { set_time_limit(fd_, SO_RCVTIMEO, ms); })) {
        return {Received::Kind::kFailed};
      }
      const ssize_t n = ::recv(fd_, buffer.data(), buffer.size(), 0);
      if (n > 0) return {Received::Kind::kData, static_cast<std::size_t>(n)};
      if (n == 0) return {Received::Kind::kEnd};
      if (errno == EINTR) continue;
      if (errno == ESHUTDOWN) return {Received::Kind::kEnd};
      // EAGAIN / EWOULDBLOCK: the receive limit ran out.
      return {Received::Kind::kFailed};
    }
  }

  bool peer_is_same_user() override { return socket_peer_is_same_user(fd_); }

 private:
  int fd_;
  Deadline exchange_;  // every call ends by this
  CallLimit send_limit_;
  CallLimit receive_limit_;
};

}  // namespace

Result<std::unique_ptr<LoopbackConnection>, LoopbackError> connect_loopback(
    std::uint16_t port, const LoopbackLimits& limits) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return fail(LoopbackError::kSocket);
  // Closes the socket on every way out; the exchange's time starts now.
  auto connection = std::make_unique<PosixConnection>(fd, limits);

  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);

  if (!set_blocking(fd, false)) return fail(LoopbackError::kSocket);
  const int rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  const int connect_errno = errno;
  if (!set_blocking(fd, true)) return fail(LoopbackError::kSocket);
  if (rc != 0) {
    // An interrupted connect goes on in the background, just like one under way.
    if (connect_errno != EINPROGRESS && connect_errno != EINTR) {
      return fail(LoopbackError::kConnect);
    }
    auto waited = await_connection(fd, limits.connect_ms, connection->exchange());
    if (!waited) return fail(waited.error());
  }
  return std::unique_ptr<LoopbackConnection>(std::move(connection));
}

}  // namespace quarn::platform
