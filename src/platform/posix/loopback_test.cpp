// Tests of the loopback connection against listeners in the test itself.
#include "platform/loopback.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <set>
#include <string>

namespace quarn::platform {
namespace {

// Short limits: these tests are about outcomes, not about the figures.
constexpr LoopbackLimits kLimits{200, 200, 200, 5000};

std::set<int> open_descriptors() {
  std::set<int> fds;
  DIR* dir = ::opendir("/proc/self/fd");
  if (dir == nullptr) return fds;
  while (const dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] != '.') fds.insert(std::atoi(entry->d_name));
  }
  fds.erase(::dirfd(dir));
  ::closedir(dir);
  return fds;
}

// A listening socket on 127.0.0.1 at a port the system picks.
class Listener {
 public:
  explicit Listener(int backlog = 8) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(::listen(fd_, backlog), 0);
    socklen_t size = sizeof address;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
  }
  ~Listener() { close(); }
  void close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  int accept() const { return ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC); }
  std::uint16_t port() const { return port_; }

 private:
  int fd_ = -1;
  std::uint16_t port_ = 0;
};

TEST(LoopbackConnection, ExchangesBytesUntilTheEndOfTheStream) {
  Listener listener;
  const std::set<int> before = open_descriptors();
  {
    auto connection = connect_loopback(listener.port(), kLimits);
    ASSERT_TRUE(connection.ok());

    // The one new descriptor is the socket, and child processes do not inherit it.
    std::set<int> added;
    for (int fd : open_descriptors()) {
      if (!before.count(fd)) added.insert(fd);
    }
    ASSERT_EQ(added.size(), 1u);
    EXPECT_TRUE(::fcntl(*added.begin(), F_GETFD) & FD_CLOEXEC);

    const int peer = listener.accept();
    ASSERT_GE(peer, 0);
    EXPECT_TRUE(connection.value()->send_all("query\n"));
    std::array<char, 16> got{};
    EXPECT_EQ(::recv(peer, got.data(), got.size(), MSG_WAITALL | MSG_DONTWAIT), 6);
    EXPECT_EQ(std::string(got.data(), 6), "query\n");

    ASSERT_EQ(::send(peer, "answer", 6, MSG_NOSIGNAL), 6);
    ::close(peer);
    std::array<char, 4> buffer{};
    std::string received;
    for (;;) {
      const Received r = connection.value()->receive(buffer);
      if (r.kind != Received::Kind::kData) {
        EXPECT_EQ(r.kind, Received::Kind::kEnd);
        break;
      }
      ASSERT_GE(r.size, 1u);
      ASSERT_LE(r.size, buffer.size());
      received.append(buffer.data(), r.size);
    }
    EXPECT_EQ(received, "answer");
  }
  EXPECT_EQ(open_descriptors(), before);
}

TEST(LoopbackConnection, SilenceIsAReceiveFailure) {
  Listener listener;
  auto connection = connect_loopback(listener.port(), kLimits);
  ASSERT_TRUE(connection.ok());
  const int peer = listener.accept();
  std::array<char, 8> buffer{};
  EXPECT_EQ(connection.value()->receive(buffer).kind, Received::Kind::kFailed);
  ::close(peer);
}

TEST(LoopbackConnection, FailsWithoutLeavingASocket) {
  // Nobody listens on a port that was just released.
  std::uint16_t stale = 0;
  {
    Listener gone;
    stale = gone.port();
  }
  // A listener whose queue is full drops further connection requests unanswered.
  Listener full(0);
  auto queued = connect_loopback(full.port(), kLimits);
  ASSERT_TRUE(queued.ok());

  const std::set<int> before = open_descriptors();
  auto refused = connect_loopback(stale, kLimits);
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.error(), LoopbackError::kConnect);

  auto zero = connect_loopback(0, kLimits);
  ASSERT_FALSE(zero.ok());
  EXPECT_EQ(zero.error(), LoopbackError::kConnect);

  auto unanswered = connect_loopback(full.port(), kLimits);
  ASSERT_FALSE(unanswered.ok());
  EXPECT_EQ(unanswered.error(), LoopbackError::kTimeout);
  EXPECT_EQ(open_descriptors(), before);
}

}  // namespace
}  // namespace quarn::platform
