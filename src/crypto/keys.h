// Fixed-size key types of the vault cryptography.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "base/wipe.h"

namespace quarn::crypto {

inline constexpr std::size_t kKeySize = 32;
inline constexpr std::size_t kSaltSize = 16;
inline constexpr std::size_t kNonceSize = 12;
inline constexpr std::size_t kTagSize = 16;

using Salt = std::array<std::uint8_t, kSaltSize>;
using Nonce = std::array<std::uint8_t, kNonceSize>;

// A 32-byte symmetric key (the password key or the final key of a vault). Move-only, so that no
// copy is made by accident; a move leaves zeros behind. copy() makes one on purpose.
struct SymmetricKey {
  std::array<std::uint8_t, kKeySize> bytes{};

  SymmetricKey() = default;
  explicit SymmetricKey(const std::array<std::uint8_t, kKeySize>& key_bytes) : bytes(key_bytes) {}
  SymmetricKey(SymmetricKey&& other) noexcept : bytes(other.bytes) { wipe(other.bytes); }
  SymmetricKey& operator=(SymmetricKey&& other) noexcept {
    if (this != &other) {
      bytes = other.bytes;
      wipe(other.bytes);
    }
    return *this;
  }
  SymmetricKey(const SymmetricKey&) = delete;
  SymmetricKey& operator=(const SymmetricKey&) = delete;
  ~SymmetricKey() = default;

  SymmetricKey copy() const { return SymmetricKey(bytes); }
};

}  // namespace quarn::crypto
