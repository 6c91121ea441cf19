// The AES-256-GCM primitive under decrypt_sealed, one per backend (openssl/, cng/).
#pragma once

#include <cstdint>
#include <span>

#include "crypto/keys.h"

namespace quarn::crypto {

// Decrypts `ciphertext` into `plaintext` (of the same size) under key and nonce with empty
// associated data, and verifies `tag` inside the library, comparing in constant time. True only
// when the tag verified. On false `plaintext` may hold bytes, which the caller wipes.
// `ciphertext` is at most 2^36 - 32 bytes.
[[nodiscard]] bool aes_256_gcm_open(const SymmetricKey& key, const Nonce& nonce,
                                    std::span<const std::uint8_t> ciphertext,
                                    std::span<const std::uint8_t, kTagSize> tag,
                                    std::span<std::uint8_t> plaintext);

}  // namespace quarn::crypto
