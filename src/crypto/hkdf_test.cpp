// Tests of hkdf_sha256 against the Wycheproof HKDF-SHA256 vectors.
#include "crypto/hkdf.h"

#include <gtest/gtest.h>

#include <array>

#include "testing/vectors.h"

namespace quarn::crypto {
namespace {

using testing::from_hex;
using testing::to_hex;

TEST(HkdfTest, WycheproofVectors) {
  const auto vectors = testing::load_vectors("hkdf_sha256_wycheproof.json");
  int valid = 0;
  int refused = 0;
  for (const auto& group : vectors.at("testGroups")) {
    for (const auto& t : group.at("tests")) {
      SCOPED_TRACE("tcId " + std::to_string(t.at("tcId").get<int>()));
      const auto ikm = from_hex(t.at("ikm").get<std::string>());
      const auto salt = from_hex(t.at("salt").get<std::string>());
      const auto info = from_hex(t.at("info").get<std::string>());
      // One byte more than asked for, to catch a write past the requested length.
      std::vector<std::uint8_t> out(t.at("size").get<std::size_t>() + 1, 0xA5);
      const auto derived = hkdf_sha256(ikm, salt, info, std::span(out).first(out.size() - 1));
      EXPECT_EQ(out.back(), 0xA5);
      out.pop_back();
      if (t.at("result") == "valid") {
        ++valid;
        ASSERT_TRUE(derived.ok());
        EXPECT_EQ(to_hex(out), t.at("okm").get<std::string>());
      } else {
        ++refused;
        ASSERT_FALSE(derived.ok());
        EXPECT_EQ(derived.error(), HkdfError::kOutputTooLong);
        EXPECT_EQ(out, std::vector<std::uint8_t>(out.size(), 0xA5)) << "wrote despite refusing";
      }
    }
  }
  EXPECT_EQ(valid, 83);
  EXPECT_EQ(refused, 3);
}

// Empty key material, salt and info are all valid HKDF inputs. Expected value from Python:
//   prk = hmac.new(b"\0" * 32, b"", sha256).digest(); hmac.new(prk, b"\x01", sha256).hexdigest()
TEST(HkdfTest, EmptyInputs) {
  std::array<std::uint8_t, 32> out{};
  ASSERT_TRUE(hkdf_sha256({}, {}, {}, out).ok());
  EXPECT_EQ(to_hex(out), "eb70f01dede9afafa449eee1b1286504e1f62388b3f7dd4f956697b0e828fe18");
}

}  // namespace
}  // namespace quarn::crypto
