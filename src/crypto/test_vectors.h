// Test support for the crypto tests: known-answer vector files, hex, and a reference sealer.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "crypto/keys.h"

namespace quarn::crypto::testing {

// The parsed JSON of a file in the known-answer vector folder; fails the test when unreadable.
nlohmann::json load_vectors(std::string_view file_name);

// Decodes hex text of either case; fails the test on bad input.
std::vector<std::uint8_t> from_hex(std::string_view hex);

template <std::size_t N>
std::array<std::uint8_t, N> array_from_hex(std::string_view hex) {
  std::array<std::uint8_t, N> out{};
  const auto bytes = from_hex(hex);
  EXPECT_EQ(bytes.size(), N) << "hex of the wrong length";
  if (bytes.size() == N) std::copy(bytes.begin(), bytes.end(), out.begin());
  return out;
}

std::string to_hex(std::span<const std::uint8_t> bytes);

std::vector<std::uint8_t> bytes_of(std::string_view text);

// AES-256-GCM sealing straight through OpenSSL: ciphertext ‖ 16-byte tag, no associated data.
std::vector<std::uint8_t> seal(const SymmetricKey& key, const Nonce& nonce,
                               std::span<const std::uint8_t> plaintext);

// HMAC-SHA256 through OpenSSL's one-shot HMAC().
std::array<std::uint8_t, 32> hmac_sha256(std::span<const std::uint8_t> key,
                                         std::span<const std::uint8_t> message);

// SHAKE256 with a 32-byte output, through OpenSSL's EVP digest.
std::array<std::uint8_t, 32> shake256_32(std::span<const std::uint8_t> message);

}  // namespace quarn::crypto::testing
