// Tests of what bounds a loopback exchange: the limit on the whole exchange, and who may be on the
// other end. The same on every system.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <optional>
#include <thread>
#include <utility>

#include "platform/listener.h"
#include "platform/loopback.h"
#include "platform/test_os.h"

namespace quarn::platform {
namespace {

using Clock = std::chrono::steady_clock;

long elapsed_ms(Clock::time_point since) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

TEST(LoopbackExchange, NoCallRunsPastTheExchangesEnd) {
  // Each byte comes well within the 800 ms receive limit; the exchange has 1 s in all.
  constexpr LoopbackLimits kLimits{400, 500, 800, 1000};
  auto listener = LoopbackListener::open();
  ASSERT_TRUE(listener.has_value());
  const auto start = Clock::now();
  auto connection = connect_loopback(listener->port(), kLimits);
  ASSERT_TRUE(connection.ok());
  auto peer = listener->accept(2000);
  ASSERT_TRUE(peer.has_value());
  std::atomic<bool> stop = false;
  std::thread trickle([&] {
    for (int i = 0; i < 40 && !stop; ++i) {
      if (!peer->send_all("x")) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  });
  std::array<char, 16> buffer{};
  Received last{Received::Kind::kData};
  int bytes = 0;
  while (last.kind == Received::Kind::kData) {
    last = connection.value()->receive(buffer);
    if (last.kind == Received::Kind::kData) bytes += static_cast<int>(last.size);
  }
  const long elapsed = elapsed_ms(start);
  stop = true;
  trickle.join();
  EXPECT_EQ(last.kind, Received::Kind::kFailed);
  EXPECT_GE(bytes, 1);
  EXPECT_GE(elapsed, 900);
  EXPECT_LT(elapsed, 2500);
  // Nothing may be sent once the time is up either.
  EXPECT_FALSE(connection.value()->send_all("late"));
}

TEST(LoopbackExchange, ThePeerMustBelongToTheSameUser) {
  constexpr LoopbackLimits kLimits{400, 500, 800, 5000};
  auto own = LoopbackListener::open();
  ASSERT_TRUE(own.has_value());
  auto to_own = connect_loopback(own->port(), kLimits);
  ASSERT_TRUE(to_own.ok());
  if (!loopback_peer_owners_are_known()) {
    EXPECT_FALSE(to_own.value()->peer_is_same_user());
    GTEST_SKIP() << "this system does not name who owns a loopback peer";
  }
  EXPECT_TRUE(to_own.value()->peer_is_same_user());
  // Also before the listener has accepted, and after it has.
  auto accepted = own->accept(2000);
  ASSERT_TRUE(accepted.has_value());
  EXPECT_TRUE(to_own.value()->peer_is_same_user());

  const auto other = unknown_user_id();
  std::optional<LoopbackListener> foreign;
  const auto open_foreign = [&] {
    if (auto opened = LoopbackListener::open()) foreign.emplace(std::move(*opened));
  };
  if (!other || !as_owner(*other, open_foreign)) {
    GTEST_SKIP() << "needs root on Linux to listen as another user";
  }
  ASSERT_TRUE(foreign.has_value());
  auto to_foreign = connect_loopback(foreign->port(), kLimits);
  ASSERT_TRUE(to_foreign.ok());
  EXPECT_FALSE(to_foreign.value()->peer_is_same_user());
}

}  // namespace
}  // namespace quarn::platform
