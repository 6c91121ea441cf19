// Writing version-1 and version-2 vault files, field by field, for tests and the demo.
//
// The host only reads vaults; this is the other side. Tests that need a damaged vault take the
// fields from seal_v1/seal_v2, change any of them, and serialise the result.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "base/bytes.h"
#include "crypto/keys.h"
#include "crypto/mlkem.h"

namespace quarn::vault_writer {

using crypto::kKemCiphertextSize;
using crypto::kKemPublicKeySize;
using crypto::kKemSecretKeySize;
using crypto::kKemSharedSecretSize;

// The fields of a version-1 container, in file order.
struct V1Fields {
  crypto::Salt salt{};
  crypto::Nonce payload_nonce{};
  std::vector<std::uint8_t> payload_ciphertext;
};

// The fields of a version-2 container, in file order (after "QU" and the version byte 2).
struct V2Fields {
  crypto::Salt salt{};
  std::vector<std::uint8_t> kem_ciphertext;
  std::vector<std::uint8_t> wrapped_secret_key;
  crypto::Nonce secret_key_nonce{};
  crypto::Nonce payload_nonce{};
  std::vector<std::uint8_t> payload_ciphertext;
};

// File bytes of a container. Each byte string's length prefix is the size of its vector.
std::vector<std::uint8_t> serialize_v1(const V1Fields& fields);
std::vector<std::uint8_t> serialize_v2(const V2Fields& fields);

// Random bytes from OpenSSL's generator.
crypto::Salt random_salt();
crypto::Nonce random_nonce();

// AES-256-GCM with empty associated data: ciphertext ‖ 16-byte tag.
std::vector<std::uint8_t> seal(const crypto::SymmetricKey& key, const crypto::Nonce& nonce,
                               std::span<const std::uint8_t> plaintext);

// ML-KEM-1024 key generation and encapsulation.
struct KemKeyPair {
  std::vector<std::uint8_t> public_key;  // 1568 bytes
  std::vector<std::uint8_t> secret_key;  // 3168 bytes
};
KemKeyPair kem_keypair();
struct KemEncapsulation {
  std::vector<std::uint8_t> ciphertext;  // 1568 bytes
  std::array<std::uint8_t, kKemSharedSecretSize> shared_secret{};
};
KemEncapsulation kem_encapsulate(std::span<const std::uint8_t, kKemPublicKeySize> public_key);

// Final key of a version-2 vault: HKDF-SHA256(password key ‖ shared secret, no salt,
// "QuarnVault-v2-final-key", 32 bytes).
crypto::SymmetricKey final_key(const crypto::SymmetricKey& password_key,
                               std::span<const std::uint8_t, kKemSharedSecretSize> shared_secret);

// A sealed version-1 vault and the key its payload is sealed under.
struct V1Vault {
  V1Fields fields;
  crypto::SymmetricKey password_key;
};

// A sealed version-2 vault and the secrets behind it, so that a test can re-seal any part.
struct V2Vault {
  V2Fields fields;
  crypto::SymmetricKey password_key;
  KemKeyPair kem;
  std::array<std::uint8_t, kKemSharedSecretSize> shared_secret{};
  crypto::SymmetricKey final_key;
};

// Seals `payload` under the password (Argon2id, the host's parameters) with fresh random nonces
// and, unless one is given, a fresh random salt.
V1Vault seal_v1(std::string_view password, std::span<const std::uint8_t> payload,
                std::optional<crypto::Salt> salt = std::nullopt);
// Also generates a KEM key pair, wraps its secret key under the password key, encapsulates to
// it, and seals `payload` under the final key.
V2Vault seal_v2(std::string_view password, std::span<const std::uint8_t> payload,
                std::optional<crypto::Salt> salt = std::nullopt);

}  // namespace quarn::vault_writer
