// Tests of the loopback connection against listeners in the test itself.
#include "platform/loopback.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "platform/listener.h"

namespace quarn::platform {
namespace {

// Short limits: these tests are about outcomes, not about the figures.
constexpr LoopbackLimits kLimits{200, 200, 200, 5000};

TEST(LoopbackConnection, ExchangesBytesUntilTheEndOfTheStream) {
  auto listener = LoopbackListener::open();
  ASSERT_TRUE(listener.has_value());
  auto connection = connect_loopback(listener->port(), kLimits);
  ASSERT_TRUE(connection.ok());
  {
    auto peer = listener->accept(2000);
    ASSERT_TRUE(peer.has_value());
    EXPECT_TRUE(connection.value()->send_all("query\n"));
    std::string got;
    while (got.size() < 6 && peer->receive_some(got, 2000)) {
    }
    EXPECT_EQ(got, "query\n");
    peer->send_all("answer");
  }  // the peer closes its end
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

TEST(LoopbackConnection, SilenceIsAReceiveFailure) {
  auto listener = LoopbackListener::open();
  ASSERT_TRUE(listener.has_value());
  auto connection = connect_loopback(listener->port(), kLimits);
  ASSERT_TRUE(connection.ok());
  auto peer = listener->accept(2000);
  std::array<char, 8> buffer{};
  EXPECT_EQ(connection.value()->receive(buffer).kind, Received::Kind::kFailed);
}

TEST(LoopbackConnection, FailsOnAPortWithoutListenerAndOnAFullQueue) {
  std::uint16_t stale = 0;
  {
    auto gone = LoopbackListener::open();
    ASSERT_TRUE(gone.has_value());
    stale = gone->port();
  }
  auto refused = connect_loopback(stale, kLimits);
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.error(), LoopbackError::kConnect);

  auto zero = connect_loopback(0, kLimits);
  ASSERT_FALSE(zero.ok());
  EXPECT_EQ(zero.error(), LoopbackError::kConnect);

  // A listener whose queue is full leaves further connection requests unanswered.
  auto full = LoopbackListener::open(0);
  ASSERT_TRUE(full.has_value());
  auto queued = connect_loopback(full->port(), kLimits);
  ASSERT_TRUE(queued.ok());
  auto unanswered = connect_loopback(full->port(), kLimits);
  ASSERT_FALSE(unanswered.ok());
  EXPECT_EQ(unanswered.error(), LoopbackError::kTimeout);
}

}  // namespace
}  // namespace quarn::platform
