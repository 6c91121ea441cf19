// The writer's sealing and randomness through OpenSSL.
#include "vault_writer/sealing.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "vault_writer/vault_writer.h"

namespace quarn::vault_writer {
namespace {

[[noreturn]] void library_failure() { std::abort(); }

}  // namespace

void fill_random(std::span<std::uint8_t> out) {
  if (RAND_bytes(out.data(), static_cast<int>(out.size())) != 1) library_failure();
}

std::vector<std::uint8_t> seal(const crypto::SymmetricKey& key, const crypto::Nonce& nonce,
                               std::span<const std::uint8_t> plaintext) {
  std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                      &EVP_CIPHER_CTX_free);
  if (!ctx || EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, key.bytes.data(),
                                 nonce.data()) != 1) {
    library_failure();
  }
  std::vector<std::uint8_t> out(plaintext.size() + crypto::kTagSize);
  // EVP lengths are int: large payloads go in pieces.
  constexpr std::size_t kChunk = std::size_t{1} << 30;
  for (std::size_t done = 0; done < plaintext.size();) {
    const std::size_t piece = std::min(kChunk, plaintext.size() - done);
    int written = 0;
    if (EVP_EncryptUpdate(ctx.get(), out.data() + done, &written, plaintext.data() + done,
                          static_cast<int>(piece)) != 1) {
      library_failure();
    }
    done += piece;
  }
  int final_written = 0;
  if (EVP_EncryptFinal_ex(ctx.get(), out.data() + plaintext.size(), &final_written) != 1 ||
      EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, static_cast<int>(crypto::kTagSize),
                          out.data() + plaintext.size()) != 1) {
    library_failure();
  }
  return out;
}
}  // namespace quarn::vault_writer
