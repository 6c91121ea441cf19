// Tests of kem_decapsulate against the NIST ACVP and Wycheproof ML-KEM-1024 vectors.
#include "crypto/mlkem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "testing/reference_crypto.h"
#include "testing/vectors.h"

namespace quarn::crypto {
namespace {

using testing::from_hex;
using testing::to_hex;

// Decapsulates hex inputs of the right lengths and returns the shared secret in hex.
std::string decapsulate_hex(const nlohmann::json& t) {
  const auto c = from_hex(t.at("c").get<std::string>());
  const auto dk = from_hex(t.at("dk").get<std::string>());
  EXPECT_EQ(c.size(), kKemCiphertextSize);
  EXPECT_EQ(dk.size(), kKemSecretKeySize);
  if (c.size() != kKemCiphertextSize || dk.size() != kKemSecretKeySize) return "";
  return to_hex(kem_decapsulate(std::span(c).first<kKemCiphertextSize>(),
                                std::span(dk).first<kKemSecretKeySize>())
                    .bytes);
}

std::string lower(std::string hex) {
  for (char& ch : hex) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return hex;
}

// Valid decapsulations and the implicit-rejection ("modified ciphertext") cases.
TEST(MlKemTest, AcvpDecapsulation) {
  const auto vectors = testing::load_vectors("mlkem1024_decap.json");
  ASSERT_EQ(vectors.size(), 20u);
  for (const auto& t : vectors) {
    SCOPED_TRACE("tcId " + std::to_string(t.at("tcId").get<int>()));
    EXPECT_EQ(decapsulate_hex(t), lower(t.at("k").get<std::string>()));
  }
}

// Each encapsulation's ciphertext decapsulates to its shared secret under the matching dk.
TEST(MlKemTest, AcvpEncapsulationsDecapsulate) {
  const auto vectors = testing::load_vectors("mlkem1024_encap.json");
  ASSERT_EQ(vectors.size(), 25u);
  for (const auto& t : vectors) {
    SCOPED_TRACE("tcId " + std::to_string(t.at("tcId").get<int>()));
    EXPECT_EQ(decapsulate_hex(t), lower(t.at("k").get<std::string>()));
  }
}

// The valid cases, among them the two that catch a faulty re-encryption comparison. The
// length-invalid cases are the business of unwrap_hybrid_key and are tested there.
TEST(MlKemTest, WycheproofValidCases) {
  const auto vectors = testing::load_vectors("mlkem1024_decap_wycheproof.json");
  int valid = 0;
  for (const auto& t : vectors.at("tests")) {
    if (t.at("result") != "valid") continue;
    SCOPED_TRACE("tcId " + std::to_string(t.at("tcId").get<int>()));
    ++valid;
    EXPECT_EQ(decapsulate_hex(t), t.at("k").get<std::string>());
  }
  EXPECT_EQ(valid, 3);
}

// No input check is made on the secret key. A key whose stored H(ek) or embedded ek is
// corrupt changes the re-encryption, so decapsulation takes the implicit-rejection path
// and yields SHAKE256(z ‖ c), z being the last 32 bytes of dk.
TEST(MlKemTest, CorruptKeyWithoutInputCheckGivesRejectionKey) {
  const auto vectors = testing::load_vectors("mlkem1024_decap_wycheproof.json");
  int checked = 0;
  for (const auto& t : vectors.at("tests")) {
    const auto flags = t.at("flags");
    if (std::find(flags.begin(), flags.end(), "InvalidDecapsulationKey") == flags.end()) continue;
    SCOPED_TRACE("tcId " + std::to_string(t.at("tcId").get<int>()));
    ++checked;
    const auto dk = from_hex(t.at("dk").get<std::string>());
    auto z_and_c = std::vector<std::uint8_t>(dk.end() - 32, dk.end());
    const auto c = from_hex(t.at("c").get<std::string>());
    z_and_c.insert(z_and_c.end(), c.begin(), c.end());
    EXPECT_EQ(decapsulate_hex(t), to_hex(testing::shake256_32(z_and_c)));
  }
  EXPECT_EQ(checked, 2);
}

}  // namespace
}  // namespace quarn::crypto
