// aes_256_gcm_open through OpenSSL's EVP AES-256-GCM.
#include "crypto/aes_gcm.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "crypto/openssl/context.h"

namespace quarn::crypto {
namespace {

// EVP lengths are int: feed long ciphertexts in pieces.
constexpr std::size_t kChunk = std::size_t{1} << 30;

struct CipherCtxFree {
  void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};

}  // namespace

bool aes_256_gcm_open(const SymmetricKey& key, const Nonce& nonce,
                      std::span<const std::uint8_t> ciphertext,
                      std::span<const std::uint8_t, kTagSize> tag,
                      std::span<std::uint8_t> plaintext) {
  std::unique_ptr<EVP_CIPHER_CTX, CipherCtxFree> ctx(EVP_CIPHER_CTX_new());
  if (!ctx) std::abort();  // allocation failure
  // The default IV length of GCM in OpenSSL is 12 bytes, the size of our nonces.
  static_assert(kNonceSize == 12);
  if (EVP_DecryptInit_ex(ctx.get(), aes_256_gcm(), nullptr, key.bytes.data(), nonce.data()) != 1 ||
      EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, static_cast<int>(kTagSize),
                          const_cast<std::uint8_t*>(tag.data())) != 1) {
    std::abort();  // cannot happen with a fixed cipher, key size and tag size
  }
  bool opened = true;
  for (std::size_t done = 0; opened && done < ciphertext.size();) {
    const std::size_t piece = std::min(kChunk, ciphertext.size() - done);
    int written = 0;
    opened = EVP_DecryptUpdate(ctx.get(), plaintext.data() + done, &written,
                               ciphertext.data() + done, static_cast<int>(piece)) == 1 &&
             static_cast<std::size_t>(written) == piece;
    done += piece;
  }
  // Final verifies the tag (constant-time comparison inside OpenSSL); GCM writes nothing here.
  int final_written = 0;
  return opened &&
         EVP_DecryptFinal_ex(ctx.get(), plaintext.data() + plaintext.size(), &final_written) == 1;
}

}  // namespace quarn::crypto
