// hkdf_sha256: HKDF with SHA-256 (extract then expand), the key combiner of version-2 vaults.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "base/result.h"

namespace quarn::crypto {

// Longest output HKDF-SHA256 can give: 255 blocks of 32 bytes.
inline constexpr std::size_t kHkdfSha256MaxOutput = 255 * 32;

enum class HkdfError { kOutputTooLong };

// Fills `out` with HKDF-SHA256(ikm, salt, info). An empty salt is the hash-length string of
// zeros. Fails, writing nothing, when `out` is longer than kHkdfSha256MaxOutput.
Result<Done, HkdfError> hkdf_sha256(std::span<const std::uint8_t> ikm,
                                    std::span<const std::uint8_t> salt,
                                    std::span<const std::uint8_t> info,
                                    std::span<std::uint8_t> out);

}  // namespace quarn::crypto
