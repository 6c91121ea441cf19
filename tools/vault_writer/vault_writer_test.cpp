// Tests of the vault writer: payload bytes, container layout, and that the host's crypto opens it.
#include "vault_writer/vault_writer.h"

#include <gtest/gtest.h>

#include <cstring>

#include "crypto/hybrid_key.h"
#include "crypto/password_key.h"
#include "crypto/sealed.h"
#include "testing/scripted_system.h"
#include "vault_writer/payload.h"

namespace quarn::vault_writer {
namespace {

std::uint64_t u64_at(const Bytes& bytes, std::size_t offset) {
  return load_le<std::uint64_t>(ByteView(bytes).subspan(offset, 8));
}

template <std::size_t N>
std::array<std::uint8_t, N> array_at(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  std::array<std::uint8_t, N> out{};
  std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), N, out.begin());
  return out;
}

std::span<const std::uint8_t> slice(const std::vector<std::uint8_t>& bytes, std::size_t offset,
                                    std::size_t size) {
  return std::span(bytes).subspan(offset, size);
}

const std::vector<Entry> kEntries = {
    {"gmail", "gmail", "Gmail", "alice@example.com", "s3cr\xc3\xa9t", "https://mail.google.com",
     1700000000123},
    {"k2", "bank", "Banque", "alice", "", "", 0},
};

TEST(PayloadTest, EncodesFieldsInOrder) {
  const std::vector<Entry> one = {{"k", "i", "", "u", "p", "", 0x1122334455667788}};
  const std::vector<std::uint8_t> expected = {
      0x04, 0x03, 0x02, 0x01,                               // header_word
      1,    0,    0,    0,    0,    0,    0,    0,          // count
      1,    0,    0,    0,    0,    0,    0,    0,    'k',  // key
      1,    0,    0,    0,    0,    0,    0,    0,    'i',  // id
      0,    0,    0,    0,    0,    0,    0,    0,          // title
      1,    0,    0,    0,    0,    0,    0,    0,    'u',  // username
      1,    0,    0,    0,    0,    0,    0,    0,    'p',  // password
      0,    0,    0,    0,    0,    0,    0,    0,          // url
      0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11,       // last_modified
  };
  EXPECT_EQ(encode_payload(one, 0x01020304), expected);
  EXPECT_EQ(encode_payload({}).size(), 12u);
}

TEST(VaultWriterTest, Version1LayoutOpensWithThePasswordKey) {
  const auto payload = encode_payload(kEntries);
  const V1Vault vault = seal_v1("correct horse", payload);
  const auto file = serialize_v1(vault.fields);

  // salt 0..15, payload nonce 16..27, length of the sealed payload at 28, its bytes from 36.
  const std::size_t p = payload.size() + crypto::kTagSize;
  ASSERT_EQ(file.size(), 36 + p);
  EXPECT_EQ(u64_at(file, 28), p);
  const auto salt = array_at<16>(file, 0);
  EXPECT_EQ(salt, vault.fields.salt);

  testing::ScriptedSystem memory;
  const auto key = crypto::derive_password_key(bytes_of("correct horse"), salt, memory);
  const auto opened = crypto::decrypt_sealed(key, array_at<12>(file, 16), slice(file, 36, p));
  ASSERT_TRUE(opened.ok());
  EXPECT_EQ(opened.value(), payload);
}

TEST(VaultWriterTest, Version2LayoutOpensWithTheFinalKeyOnly) {
  const auto payload = encode_payload(kEntries);
  const V2Vault vault = seal_v2("correct horse", payload);
  const auto file = serialize_v2(vault.fields);

  const std::size_t k = 1568;
  const std::size_t w = 3168 + 16;
  const std::size_t p = payload.size() + crypto::kTagSize;
  ASSERT_EQ(file.size(), 4819 + p);
  EXPECT_EQ(std::memcmp(file.data(), "QU\x02", 3), 0);
  EXPECT_EQ(u64_at(file, 19), k);
  EXPECT_EQ(u64_at(file, 27 + k), w);
  EXPECT_EQ(u64_at(file, 59 + k + w), p);

  testing::ScriptedSystem memory;
  const auto password_key =
      crypto::derive_password_key(bytes_of("correct horse"), array_at<16>(file, 3), memory);
  const auto final_key = crypto::unwrap_hybrid_key(
      password_key, slice(file, 27, k), slice(file, 35 + k, w), array_at<12>(file, 35 + k + w));
  ASSERT_TRUE(final_key.ok()) << final_key.error();
  EXPECT_EQ(final_key.value().bytes, vault.final_key.bytes);

  const auto payload_nonce = array_at<12>(file, 47 + k + w);
  const auto sealed_payload = slice(file, 67 + k + w, p);
  const auto opened = crypto::decrypt_sealed(final_key.value(), payload_nonce, sealed_payload);
  ASSERT_TRUE(opened.ok());
  EXPECT_EQ(opened.value(), payload);
  EXPECT_FALSE(crypto::decrypt_sealed(password_key, payload_nonce, sealed_payload).ok());
}

// Tests build damaged vaults by editing fields: the given salt is used, and length prefixes follow
// the edited vectors.
TEST(VaultWriterTest, EditedFieldsSerialiseWithTheirOwnLengths) {
  crypto::Salt salt{};
  std::memcpy(salt.data(), "QU\x01 fake magic!", 16);
  const auto v1 = serialize_v1(seal_v1("pw", encode_payload({}), salt).fields);
  EXPECT_EQ(std::memcmp(v1.data(), "QU\x01", 3), 0);

  V2Vault v2 = seal_v2("pw", encode_payload({}));
  v2.fields.kem_ciphertext.pop_back();
  const auto file = serialize_v2(v2.fields);
  EXPECT_EQ(u64_at(file, 19), 1567u);
  EXPECT_EQ(u64_at(file, 27 + 1567), 3184u);
  EXPECT_EQ(file.size(), 4819u - 1 + 28);
}

}  // namespace
}  // namespace quarn::vault_writer
