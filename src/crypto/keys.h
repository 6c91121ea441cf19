// Fixed-size key types of the vault cryptography and the one wipe helper.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace quarn::crypto {

inline constexpr std::size_t kKeySize = 32;
inline constexpr std::size_t kSaltSize = 16;
inline constexpr std::size_t kNonceSize = 12;
inline constexpr std::size_t kTagSize = 16;

using Salt = std::array<std::uint8_t, kSaltSize>;
using Nonce = std::array<std::uint8_t, kNonceSize>;

// A 32-byte symmetric key (the password key or the final key of a vault).
struct SymmetricKey {
  std::array<std::uint8_t, kKeySize> bytes{};
};

// Overwrites `bytes` with zeros in a way the compiler cannot drop.
void wipe(std::span<std::uint8_t> bytes);

}  // namespace quarn::crypto
