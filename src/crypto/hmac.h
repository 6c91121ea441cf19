// The HMAC-SHA256 primitive under hkdf_sha256, one per backend (openssl/, cng/).
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>

namespace quarn::crypto {

inline constexpr std::size_t kSha256Size = 32;
using Sha256Block = std::array<std::uint8_t, kSha256Size>;

// HMAC-SHA256 under `key` (never empty) of the parts one after the other. Ends the process when
// the library cannot compute it (only for want of memory).
Sha256Block hmac_sha256(std::span<const std::uint8_t> key,
                        std::initializer_list<std::span<const std::uint8_t>> parts);

}  // namespace quarn::crypto
