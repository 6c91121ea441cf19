// Tests of container version detection and field splitting.
#include "vault/container.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <variant>
#include <vector>

#include "base/bytes.h"
#include "testing/allocation_probe.h"
#include "vault_writer/vault_writer.h"

namespace quarn::vault {
namespace {

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes u64(std::uint64_t value) {
  Bytes out;
  append_le(out, value);
  return out;
}

// `count` bytes counting up from `first`, so that neighbouring fields differ.
Bytes run(std::size_t count, std::uint8_t first) {
  Bytes out(count);
  for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<std::uint8_t>(first + i);
  return out;
}

template <std::size_t N>
std::array<std::uint8_t, N> run_array(std::uint8_t first) {
  std::array<std::uint8_t, N> out{};
  for (std::size_t i = 0; i < N; ++i) out[i] = static_cast<std::uint8_t>(first + i);
  return out;
}

Bytes byte_string(const Bytes& bytes) { return u64(bytes.size()) + bytes; }

const Bytes kMagic2 = {0x51, 0x55, 0x02};

template <std::size_t N>
Bytes as_vector(const std::array<std::uint8_t, N>& array) {
  return Bytes(array.begin(), array.end());
}

// A version-1 file from the vault writer: salt 0x10.., payload nonce 0x40.., the sealed payload.
Bytes v1_file(const Bytes& payload) {
  return vault_writer::serialize_v1({run_array<16>(0x10), run_array<12>(0x40), payload});
}

// A version-2 file with the given variable-length fields and recognisable fixed ones.
Bytes v2_file(const Bytes& kem, const Bytes& wrapped, const Bytes& payload) {
  return vault_writer::serialize_v2(
      {run_array<16>(0x10), kem, wrapped, run_array<12>(0x70), run_array<12>(0x40), payload});
}

Result<VaultContainer, ContainerError> parse(const Bytes& file) {
  return parse_vault_container(file);
}

EncryptedVault parse_v1(const Bytes& file) {
  auto parsed = parse(file);
  EXPECT_TRUE(parsed.ok());
  if (!parsed.ok() || !std::holds_alternative<EncryptedVault>(parsed.value())) {
    ADD_FAILURE() << "not a version-1 container";
    return {};
  }
  return std::get<EncryptedVault>(parsed.value());
}

EncryptedVaultV2 parse_v2(const Bytes& file) {
  auto parsed = parse(file);
  EXPECT_TRUE(parsed.ok());
  if (!parsed.ok() || !std::holds_alternative<EncryptedVaultV2>(parsed.value())) {
    ADD_FAILURE() << "not a version-2 container";
    return {};
  }
  return std::get<EncryptedVaultV2>(parsed.value());
}

TEST(ParseVaultContainer, SplitsVersion1Fields) {
  const EncryptedVault vault = parse_v1(v1_file(run(20, 0xA0)));
  EXPECT_EQ(as_vector(vault.salt), run(16, 0x10));
  EXPECT_EQ(as_vector(vault.payload_nonce), run(12, 0x40));
  EXPECT_EQ(vault.payload_ciphertext, run(20, 0xA0));
}

TEST(ParseVaultContainer, SplitsVersion2Fields) {
  const EncryptedVaultV2 vault = parse_v2(v2_file(run(5, 0xA0), run(7, 0xB0), run(9, 0xC0)));
  EXPECT_EQ(as_vector(vault.salt), run(16, 0x10));
  EXPECT_EQ(vault.kem_ciphertext, run(5, 0xA0));
  EXPECT_EQ(vault.wrapped_secret_key, run(7, 0xB0));
  EXPECT_EQ(as_vector(vault.secret_key_nonce), run(12, 0x70));
  EXPECT_EQ(as_vector(vault.payload_nonce), run(12, 0x40));
  EXPECT_EQ(vault.payload_ciphertext, run(9, 0xC0));
}

TEST(ParseVaultContainer, VersionByteOtherThanTwoMeansVersion1FromTheFirstByte) {
  for (std::uint8_t version : Bytes{0x00, 0x01, 0x03, 0xFF}) {
    const Bytes file =
        Bytes{0x51, 0x55, version} + run(13, 0x20) + run(12, 0x40) + byte_string(run(3, 0xA0));
    const EncryptedVault vault = parse_v1(file);
    EXPECT_EQ(as_vector(vault.salt), Bytes(file.begin(), file.begin() + 16)) << int{version};
    EXPECT_EQ(vault.payload_ciphertext, run(3, 0xA0)) << int{version};
  }
}

TEST(ParseVaultContainer, LengthsThatBelongToTheCryptographyAreNotJudged) {
  // 36 bytes with an empty sealed payload.
  const Bytes empty_v1 = v1_file({});
  ASSERT_EQ(empty_v1.size(), 36u);
  EXPECT_TRUE(parse_v1(empty_v1).payload_ciphertext.empty());

  // A KEM ciphertext one byte short of its required 1568, and a well-formed layout.
  EXPECT_EQ(parse_v2(v2_file(run(1567, 1), run(3184, 2), run(16, 3))).kem_ciphertext.size(), 1567u);
  const Bytes well_formed = v2_file(run(1568, 1), run(3184, 2), run(16, 3));
  EXPECT_EQ(well_formed.size(), 4819u + 16u);
  EXPECT_EQ(parse_v2(well_formed).wrapped_secret_key, run(3184, 2));
}

TEST(ParseVaultContainer, BytesAfterTheLastFieldAreIgnored) {
  const Bytes v1 = v1_file(run(20, 0xA0));
  const Bytes v2 = v2_file(run(5, 0xA0), run(7, 0xB0), run(9, 0xC0));
  const Bytes junk = u64(1000) + run(33, 0xEE);
  EXPECT_EQ(parse_v1(v1 + junk), parse_v1(v1));
  EXPECT_EQ(parse_v2(v2 + junk), parse_v2(v2));
}

// Every proper prefix of a complete file runs out of bytes in some field, whichever it is. The
// prefixes include the empty file, files of 1 and 2 bytes, exactly "QU" 0x02, and a version-1
// file of 35 bytes whose length prefix is cut.
TEST(ParseVaultContainer, EveryTruncationFails) {
  for (const Bytes& file :
       {v1_file(run(20, 0xA0)), v1_file({}), v2_file(run(5, 0xA0), run(7, 0xB0), run(9, 0xC0)),
        v2_file({}, {}, {})}) {
    for (std::size_t size = 0; size < file.size(); ++size) {
      const Bytes prefix(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(size));
      auto parsed = parse(prefix);
      ASSERT_FALSE(parsed.ok()) << "prefix of " << size << " of " << file.size() << " bytes";
      EXPECT_EQ(parsed.error(), ContainerError::kTruncated);
    }
    EXPECT_TRUE(parse(file).ok()) << file.size();
  }
}

TEST(ParseVaultContainer, ForgedLengthsFailWithoutALargeReservation) {
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  const Bytes tail = run(40, 0x01);
  const struct {
    const char* name;
    Bytes file;
  } cases[] = {
      {"v1 payload 2^64-1", run(16, 0x10) + run(12, 0x40) + u64(kMax) + tail},
      {"v1 payload 512 MiB", run(16, 0x10) + run(12, 0x40) + u64(512u << 20) + tail},
      {"v1 payload one byte over", run(16, 0x10) + run(12, 0x40) + u64(tail.size() + 1) + tail},
      {"v2 kem 2^64-1", kMagic2 + run(16, 0x10) + u64(kMax) + tail},
      {"v2 wrapped 2^63",
       kMagic2 + run(16, 0x10) + byte_string(run(4, 1)) + u64(1ull << 63) + tail},
      {"v2 payload 256 MiB", kMagic2 + run(16, 0x10) + byte_string({}) + byte_string({}) +
                                 run(24, 0x70) + u64(256u << 20) + tail},
  };
  for (const auto& c : cases) {
    testing::AllocationProbe probe;
    auto parsed = parse(c.file);
    EXPECT_FALSE(parsed.ok()) << c.name;
    EXPECT_LE(probe.largest(), kMaxByteStringReserve) << c.name;
  }
}

TEST(ParseVaultContainer, ByteStringsLargerThanTheFirstReservationArriveWhole) {
  Bytes big(3u << 20);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
  EXPECT_EQ(parse_v1(v1_file(big)).payload_ciphertext, big);
  EXPECT_EQ(parse_v2(v2_file(big, run(3, 1), big)).kem_ciphertext, big);
}

}  // namespace
}  // namespace quarn::vault
