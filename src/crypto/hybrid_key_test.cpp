// Tests of unwrap_hybrid_key: the final key, the order of its checks, and implicit rejection.
#include "crypto/hybrid_key.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "testing/reference_crypto.h"
#include "testing/vectors.h"
#include "vault_writer/vault_writer.h"

namespace quarn::crypto {
namespace {

using testing::array_from_hex;
using testing::from_hex;
using testing::to_hex;

// The final key recomputed by hand from its definition: HKDF-SHA256 with no salt and a 32-byte
// output is PRK = HMAC(32 zero bytes, password key ‖ shared secret), then
// HMAC(PRK, "QuarnVault-v2-final-key" ‖ 0x01).
std::string reference_final_key(const SymmetricKey& password_key,
                                std::span<const std::uint8_t> shared_secret) {
  std::vector<std::uint8_t> ikm(password_key.bytes.begin(), password_key.bytes.end());
  ikm.insert(ikm.end(), shared_secret.begin(), shared_secret.end());
  const std::array<std::uint8_t, 32> zeros{};
  const auto prk = testing::hmac_sha256(zeros, ikm);
  Bytes message = to_bytes("QuarnVault-v2-final-key");
  message.push_back(0x01);
  return to_hex(testing::hmac_sha256(prk, message));
}

// A version-2 key set built from the first ACVP encapsulation case, whose shared secret is known.
class HybridKeyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto vectors = testing::load_vectors("mlkem1024_encap.json");
    ASSERT_FALSE(vectors.empty());
    const auto& t = vectors.at(0);
    secret_key = from_hex(t.at("dk").get<std::string>());
    ciphertext = from_hex(t.at("c").get<std::string>());
    shared_secret = from_hex(t.at("k").get<std::string>());
    wrapped = vault_writer::seal(password_key, nonce, secret_key);
  }

  SymmetricKey password_key{
      array_from_hex<kKeySize>("5f3c1b2a9e8d7c6b5a49382716051f2e3d4c5b6a79880f1e2d3c4b5a69788796")};
  Nonce nonce = array_from_hex<kNonceSize>("0102030405060708090a0b0c");
  std::vector<std::uint8_t> secret_key;
  std::vector<std::uint8_t> ciphertext;
  std::vector<std::uint8_t> shared_secret;
  std::vector<std::uint8_t> wrapped;
};

TEST_F(HybridKeyTest, GivesTheHkdfOfPasswordKeyAndSharedSecret) {
  const auto final_key = unwrap_hybrid_key(password_key, ciphertext, wrapped, nonce);
  ASSERT_TRUE(final_key.ok()) << final_key.error();
  EXPECT_EQ(to_hex(final_key.value().bytes), reference_final_key(password_key, shared_secret));
}

// The wrapped key is opened first, its length checked second, the ciphertext's length last.
TEST_F(HybridKeyTest, ChecksInOrder) {
  struct Row {
    const char* name;
    bool right_password;
    std::size_t secret_key_size;
    std::size_t ciphertext_size;
    const char* error;
  };
  const char* const kRejected = "Mot de passe incorrect ou coffre corrompu.";
  const char* const kBadKey = "Cl\xc3\xa9 secr\xc3\xa8te Quarn corrompue.";
  const char* const kBadCiphertext = "Ciphertext Quarn corrompu.";
  const Row rows[] = {
      {"wrong password", false, 3168, 1568, kRejected},
      {"wrong password, short ciphertext", false, 3168, 1567, kRejected},
      {"wrong password, empty ciphertext", false, 3168, 0, kRejected},
      {"wrong password, short key, long ciphertext", false, 3167, 1569, kRejected},
      {"short key", true, 3167, 1568, kBadKey},
      {"long key", true, 3169, 1568, kBadKey},
      {"empty key", true, 0, 1568, kBadKey},
      {"short key, short ciphertext", true, 3167, 1567, kBadKey},
      {"short ciphertext", true, 3168, 1567, kBadCiphertext},
      {"long ciphertext", true, 3168, 1569, kBadCiphertext},
      {"empty ciphertext", true, 3168, 0, kBadCiphertext},
  };
  SymmetricKey wrong_password = password_key.copy();
  wrong_password.bytes[31] ^= 0x80;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    auto key = secret_key;
    key.resize(row.secret_key_size, 0x00);
    auto ct = ciphertext;
    ct.resize(row.ciphertext_size, 0x00);
    const auto result = unwrap_hybrid_key(row.right_password ? password_key : wrong_password, ct,
                                          vault_writer::seal(password_key, nonce, key), nonce);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error(), row.error);
  }
}

TEST_F(HybridKeyTest, DamagedWrappedKeyOrNonceIsRejected) {
  for (const std::size_t byte : {std::size_t{0}, std::size_t{3167}, std::size_t{3183}}) {
    auto damaged = wrapped;
    damaged[byte] ^= 0x01;
    const auto result = unwrap_hybrid_key(password_key, ciphertext, damaged, nonce);
    ASSERT_FALSE(result.ok()) << "byte " << byte;
    EXPECT_EQ(result.error(), "Mot de passe incorrect ou coffre corrompu.");
  }
  Nonce other = nonce;
  other[11] ^= 0x01;
  const auto result = unwrap_hybrid_key(password_key, ciphertext, wrapped, other);
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error(), "Mot de passe incorrect ou coffre corrompu.");
}

// A changed ciphertext of the right length is not an error: decapsulation takes the
// implicit-rejection key SHAKE256(z ‖ c), and the final key is built from that.
TEST_F(HybridKeyTest, FlippedCiphertextBitGivesTheRejectionKey) {
  auto damaged = ciphertext;
  damaged[700] ^= 0x04;
  const auto result = unwrap_hybrid_key(password_key, damaged, wrapped, nonce);
  ASSERT_TRUE(result.ok()) << result.error();

  std::vector<std::uint8_t> z_and_c(secret_key.end() - 32, secret_key.end());
  z_and_c.insert(z_and_c.end(), damaged.begin(), damaged.end());
  const auto rejection_key = testing::shake256_32(z_and_c);
  EXPECT_EQ(to_hex(result.value().bytes), reference_final_key(password_key, rejection_key));
  EXPECT_NE(to_hex(result.value().bytes), reference_final_key(password_key, shared_secret));
}

// Wycheproof's decapsulation cases, each key wrapped under the password key: the valid ones give
// the final key of their shared secret, the wrong-length ones our own errors.
TEST_F(HybridKeyTest, WycheproofCases) {
  const auto vectors = testing::load_vectors("mlkem1024_decap_wycheproof.json");
  int checked = 0;
  for (const auto& t : vectors.at("tests")) {
    const auto flags = t.at("flags");
    const auto has_flag = [&](const char* flag) {
      return std::find(flags.begin(), flags.end(), flag) != flags.end();
    };
    const char* expected_error = nullptr;
    if (has_flag("IncorrectCiphertextLength")) expected_error = "Ciphertext Quarn corrompu.";
    if (has_flag("IncorrectDecapsulationKeyLength")) {
      expected_error = "Cl\xc3\xa9 secr\xc3\xa8te Quarn corrompue.";
    }
    if (t.at("result") != "valid" && expected_error == nullptr) continue;  // H(ek) checks
    SCOPED_TRACE("tcId " + std::to_string(t.at("tcId").get<int>()));
    ++checked;
    const auto dk = from_hex(t.at("dk").get<std::string>());
    const auto c = from_hex(t.at("c").get<std::string>());
    const auto result =
        unwrap_hybrid_key(password_key, c, vault_writer::seal(password_key, nonce, dk), nonce);
    if (expected_error != nullptr) {
      ASSERT_FALSE(result.ok());
      EXPECT_EQ(result.error(), expected_error);
    } else {
      ASSERT_TRUE(result.ok()) << result.error();
      EXPECT_EQ(to_hex(result.value().bytes),
                reference_final_key(password_key, from_hex(t.at("k").get<std::string>())));
    }
  }
  EXPECT_EQ(checked, 7);
}

}  // namespace
}  // namespace quarn::crypto
