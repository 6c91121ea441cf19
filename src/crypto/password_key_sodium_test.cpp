// derive_password_key against libsodium's Argon2id, an implementation that shares no code with the
// host's, over passwords of many lengths and bytes.
#include <gtest/gtest.h>
#include <sodium.h>

#include <random>
#include <vector>

#include "crypto/password_key.h"
#include "testing/scripted_system.h"
#include "testing/vectors.h"

namespace quarn::crypto {
namespace {

TEST(PasswordKeyTest, SameKeysAsLibsodium) {
  ASSERT_GE(sodium_init(), 0);
  std::mt19937 random(20261211);
  const auto byte = [&] { return static_cast<std::uint8_t>(random() & 0xFF); };
  testing::ScriptedSystem memory;
  for (const std::size_t length : {0u, 1u, 31u, 1000u, 1u << 20}) {
    SCOPED_TRACE(length);
    std::vector<std::uint8_t> password(length);
    for (auto& b : password) b = byte();
    Salt salt{};
    for (auto& b : salt) b = byte();

    std::array<std::uint8_t, kKeySize> expected{};
    static const char kNoPassword = 0;
    ASSERT_EQ(crypto_pwhash_argon2id(
                  expected.data(), expected.size(),
                  password.empty() ? &kNoPassword : reinterpret_cast<const char*>(password.data()),
                  password.size(), salt.data(), 4, std::size_t{64} << 20,
                  crypto_pwhash_argon2id_ALG_ARGON2ID13),
              0);
    EXPECT_EQ(testing::to_hex(derive_password_key(password, salt, memory).bytes),
              testing::to_hex(expected));
  }
}

}  // namespace
}  // namespace quarn::crypto
