// decrypt_sealed: AES-256-GCM opening of "ciphertext ‖ 16-byte tag" with empty associated data.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "base/result.h"
#include "crypto/keys.h"

namespace quarn::crypto {

// Why a sealed string did not open; callers treat every reason alike.
enum class SealedError { kRejected };

// The plaintext (n - 16 bytes) of `sealed` under key and nonce, produced only after the tag has
// verified; fails for inputs shorter than 16 bytes, longer than 2^36 + 32 bytes, or whose tag
// does not verify.
Result<std::vector<std::uint8_t>, SealedError> decrypt_sealed(const SymmetricKey& key,
                                                              const Nonce& nonce,
                                                              std::span<const std::uint8_t> sealed);

}  // namespace quarn::crypto
