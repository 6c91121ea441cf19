// kem_decapsulate: ML-KEM-1024 decapsulation (FIPS 203), the KEM half of version-2 vaults.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace quarn::crypto {

// ML-KEM-1024 sizes, in bytes.
inline constexpr std::size_t kKemPublicKeySize = 1568;
inline constexpr std::size_t kKemSecretKeySize = 3168;
inline constexpr std::size_t kKemCiphertextSize = 1568;
inline constexpr std::size_t kKemSharedSecretSize = 32;

// The 32-byte shared secret of one decapsulation.
struct KemSharedSecret {
  std::array<std::uint8_t, kKemSharedSecretSize> bytes{};
};

// ML-KEM.Decaps for ML-KEM-1024 without the input checks on the secret key. A ciphertext that
// does not re-encrypt gives the implicit-rejection key SHAKE256(z ‖ ciphertext); there is no
// failure.
KemSharedSecret kem_decapsulate(std::span<const std::uint8_t, kKemCiphertextSize> ciphertext,
                                std::span<const std::uint8_t, kKemSecretKeySize> secret_key);

}  // namespace quarn::crypto
