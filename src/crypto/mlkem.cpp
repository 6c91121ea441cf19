// kem_decapsulate through PQClean's portable ML-KEM-1024.
#include "crypto/mlkem.h"

extern "C" {
#include "api.h"
}

namespace quarn::crypto {

static_assert(PQCLEAN_MLKEM1024_CLEAN_CRYPTO_PUBLICKEYBYTES == kKemPublicKeySize);
static_assert(PQCLEAN_MLKEM1024_CLEAN_CRYPTO_CIPHERTEXTBYTES == kKemCiphertextSize);
static_assert(PQCLEAN_MLKEM1024_CLEAN_CRYPTO_SECRETKEYBYTES == kKemSecretKeySize);
static_assert(PQCLEAN_MLKEM1024_CLEAN_CRYPTO_BYTES == kKemSharedSecretSize);

KemSharedSecret kem_decapsulate(std::span<const std::uint8_t, kKemCiphertextSize> ciphertext,
                                std::span<const std::uint8_t, kKemSecretKeySize> secret_key) {
  KemSharedSecret secret;
  // Always returns 0: the rejection path is selected in constant time, not reported.
  (void)PQCLEAN_MLKEM1024_CLEAN_crypto_kem_dec(secret.bytes.data(), ciphertext.data(),
                                               secret_key.data());
  return secret;
}

}  // namespace quarn::crypto
