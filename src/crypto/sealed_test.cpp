// Tests of decrypt_sealed: Wycheproof AES-256-GCM vectors, lengths and single-bit tampering.
#include "crypto/sealed.h"

#include <gtest/gtest.h>

#include "platform/test_os.h"
#include "testing/vectors.h"
#include "vault_writer/vault_writer.h"

namespace quarn::crypto {
namespace {

using testing::array_from_hex;
using testing::from_hex;
using testing::to_hex;

TEST(SealedTest, WycheproofVectors) {
  const auto vectors = testing::load_vectors("aes256gcm_wycheproof.json");
  int valid = 0;
  int invalid = 0;
  for (const auto& t : vectors.at("tests")) {
    SCOPED_TRACE("tcId " + std::to_string(t.at("tcId").get<int>()));
    const SymmetricKey key{array_from_hex<kKeySize>(t.at("key").get<std::string>())};
    const auto nonce = array_from_hex<kNonceSize>(t.at("iv").get<std::string>());
    auto sealed = from_hex(t.at("ct").get<std::string>());
    const auto tag = from_hex(t.at("tag").get<std::string>());
    sealed.insert(sealed.end(), tag.begin(), tag.end());

    const auto opened = decrypt_sealed(key, nonce, sealed);
    if (t.at("result") == "valid") {
      ++valid;
      ASSERT_TRUE(opened.ok());
      EXPECT_EQ(to_hex(opened.value()), t.at("msg").get<std::string>());
    } else {
      ++invalid;
      EXPECT_FALSE(opened.ok());
    }
  }
  EXPECT_EQ(valid, 21);
  EXPECT_EQ(invalid, 27);
}

// A small sealed string of our own: 21 bytes of plaintext, not a multiple of the block size.
struct Sample {
  SymmetricKey key{
      array_from_hex<kKeySize>("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f")};
  Nonce nonce = array_from_hex<kNonceSize>("cafebabefacedbaddecaf888");
  Bytes plaintext = to_bytes("twenty-one bytes long");
  std::vector<std::uint8_t> sealed = vault_writer::seal(key, nonce, plaintext);
};

TEST(SealedTest, OpensToTheExactPlaintext) {
  const Sample s;
  const auto opened = decrypt_sealed(s.key, s.nonce, s.sealed);
  ASSERT_TRUE(opened.ok());
  EXPECT_EQ(opened.value(), s.plaintext);
}

TEST(SealedTest, SixteenBytesOpenToEmptyPlaintext) {
  const Sample s;
  const auto sealed = vault_writer::seal(s.key, s.nonce, {});
  ASSERT_EQ(sealed.size(), 16u);
  const auto opened = decrypt_sealed(s.key, s.nonce, sealed);
  ASSERT_TRUE(opened.ok());
  EXPECT_TRUE(opened.value().empty());
}

TEST(SealedTest, ShorterThanATagFails) {
  const Sample s;
  // Every prefix of 0 to 15 bytes, the empty string included.
  for (std::size_t n = 0; n < kTagSize; ++n) {
    SCOPED_TRACE(n);
    EXPECT_FALSE(decrypt_sealed(s.key, s.nonce, std::span(s.sealed).first(n)).ok());
  }
}

TEST(SealedTest, EveryFlippedBitFails) {
  const Sample s;
  for (std::size_t bit = 0; bit < s.sealed.size() * 8; ++bit) {
    auto sealed = s.sealed;
    sealed[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
    EXPECT_FALSE(decrypt_sealed(s.key, s.nonce, sealed).ok()) << "sealed bit " << bit;
  }
  for (std::size_t bit = 0; bit < kNonceSize * 8; ++bit) {
    Nonce nonce = s.nonce;
    nonce[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
    EXPECT_FALSE(decrypt_sealed(s.key, nonce, s.sealed).ok()) << "nonce bit " << bit;
  }
  for (std::size_t bit = 0; bit < kKeySize * 8; ++bit) {
    SymmetricKey key = s.key.copy();
    key.bytes[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
    EXPECT_FALSE(decrypt_sealed(key, s.nonce, s.sealed).ok()) << "key bit " << bit;
  }
}

// A length above 2^36 + 32 is refused before a byte is read or a buffer reserved: the input is
// address space that any read would fault on.
TEST(SealedTest, OverlongInputIsRefusedUnread) {
  const platform::ReservedAddressSpace area((std::size_t{1} << 36) + 33);
  if (area.data() == nullptr) GTEST_SKIP() << "cannot reserve 64 GiB of address space";
  const Sample s;
  const ByteView sealed(static_cast<const std::uint8_t*>(area.data()), area.size());
  EXPECT_FALSE(decrypt_sealed(s.key, s.nonce, sealed).ok());
}

}  // namespace
}  // namespace quarn::crypto
