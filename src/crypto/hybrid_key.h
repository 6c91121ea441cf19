// unwrap_hybrid_key: the final key of a version-2 vault (ML-KEM-1024 + password key, HKDF-SHA256).
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "base/result.h"
#include "crypto/keys.h"
#include "crypto/mlkem.h"

namespace quarn::crypto {

inline constexpr const char* kWrappedKeyRejected = "Mot de passe incorrect ou coffre corrompu.";
inline constexpr const char* kSecretKeyCorrupt = "Clé secrète Quarn corrompue.";
inline constexpr const char* kCiphertextCorrupt = "Ciphertext Quarn corrompu.";

// Opens the wrapped KEM secret key with the password key, decapsulates the KEM ciphertext, and
// derives the final key = HKDF-SHA256(ikm = password key ‖ shared secret, no salt,
// info = "QuarnVault-v2-final-key", 32 bytes). Errors are one of the three texts above.
Result<SymmetricKey, std::string> unwrap_hybrid_key(
    const SymmetricKey& password_key, std::span<const std::uint8_t> kem_ciphertext,
    std::span<const std::uint8_t> wrapped_secret_key, const Nonce& secret_key_nonce);

}  // namespace quarn::crypto
