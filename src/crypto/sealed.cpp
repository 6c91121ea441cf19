// decrypt_sealed over the backend's AES-256-GCM: the size limits, the tag split, and the
// plaintext handed out only once the tag has verified.
#include "crypto/sealed.h"

#include "base/wipe.h"
#include "crypto/aes_gcm.h"

namespace quarn::crypto {
namespace {

// Longest sealed string accepted. GCM itself covers at most 2^36 - 32 bytes of ciphertext, and
// the libraries refuse anything beyond that, so the few lengths between the two limits fail too.
constexpr std::uint64_t kMaxSealedSize = (std::uint64_t{1} << 36) + 32;
constexpr std::uint64_t kMaxCiphertext = (std::uint64_t{1} << 36) - 32;

}  // namespace

Result<std::vector<std::uint8_t>, SealedError> decrypt_sealed(
    const SymmetricKey& key, const Nonce& nonce, std::span<const std::uint8_t> sealed) {
  if (sealed.size() < kTagSize || sealed.size() > kMaxSealedSize) {
    return fail(SealedError::kRejected);
  }
  const auto ciphertext = sealed.first(sealed.size() - kTagSize);
  if (ciphertext.size() > kMaxCiphertext) return fail(SealedError::kRejected);
  const auto tag = sealed.last<kTagSize>();

  // The library may write plaintext before it has checked the tag. It goes into this buffer,
  // which leaves the function only once the tag has verified.
  std::vector<std::uint8_t> plaintext(ciphertext.size());
  if (!aes_256_gcm_open(key, nonce, ciphertext, tag, plaintext)) {
    wipe(plaintext);
    return fail(SealedError::kRejected);
  }
  return plaintext;
}

}  // namespace quarn::crypto
