// unwrap_hybrid_key: open the KEM secret key, decapsulate, combine with HKDF-SHA256.
#include "crypto/hybrid_key.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "base/bytes.h"
#include "crypto/hkdf.h"
#include "crypto/mlkem.h"
#include "crypto/sealed.h"

namespace quarn::crypto {
namespace {

// HKDF info: the label's 23 bytes, without terminator.
constexpr std::string_view kFinalKeyLabel = "QuarnVault-v2-final-key";
static_assert(kFinalKeyLabel.size() == 23);

}  // namespace

Result<SymmetricKey, std::string> unwrap_hybrid_key(
    const SymmetricKey& password_key, std::span<const std::uint8_t> kem_ciphertext,
    std::span<const std::uint8_t> wrapped_secret_key, const Nonce& secret_key_nonce) {
  // The wrapped key is opened and its length checked before the ciphertext's length is looked
  // at, so a wrong password is reported as such whatever the rest of the file holds.
  auto opened = decrypt_sealed(password_key, secret_key_nonce, wrapped_secret_key);
  if (!opened) return fail(kWrappedKeyRejected);
  std::vector<std::uint8_t> plaintext = std::move(opened).value();
  if (plaintext.size() != kKemSecretKeySize) {
    wipe_and_release(plaintext);
    return fail(kSecretKeyCorrupt);
  }
  std::array<std::uint8_t, kKemSecretKeySize> secret_key;
  std::copy(plaintext.begin(), plaintext.end(), secret_key.begin());
  wipe_and_release(plaintext);

  if (kem_ciphertext.size() != kKemCiphertextSize) {
    wipe(secret_key);
    return fail(kCiphertextCorrupt);
  }
  KemSharedSecret shared = kem_decapsulate(kem_ciphertext.first<kKemCiphertextSize>(), secret_key);
  wipe(secret_key);

  // Input keying material: password key at 0..31, shared secret at 32..63.
  std::array<std::uint8_t, kKeySize + kKemSharedSecretSize> ikm;
  std::copy(password_key.bytes.begin(), password_key.bytes.end(), ikm.begin());
  std::copy(shared.bytes.begin(), shared.bytes.end(), ikm.begin() + kKeySize);
  wipe(shared.bytes);

  SymmetricKey final_key;
  // No salt: HMAC pads the empty salt to the 32 zero bytes of the default.
  const auto derived = hkdf_sha256(ikm, {}, bytes_of(kFinalKeyLabel), final_key.bytes);
  wipe(ikm);
  if (!derived) std::abort();  // 32 bytes is always a valid HKDF-SHA256 output length
  return final_key;
}

}  // namespace quarn::crypto
