// Reference computations for the crypto tests, straight through OpenSSL.
#include "testing/reference_crypto.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

namespace quarn::testing {

std::array<std::uint8_t, 32> hmac_sha256(ByteView key, ByteView message) {
  std::array<std::uint8_t, 32> out{};
  unsigned int len = 0;
  if (HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()), message.data(), message.size(),
           out.data(), &len) == nullptr ||
      len != out.size()) {
    ADD_FAILURE() << "HMAC failed";
  }
  return out;
}

std::array<std::uint8_t, 32> shake256_32(ByteView message) {
  std::array<std::uint8_t, 32> out{};
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  const bool ok = ctx != nullptr && EVP_DigestInit_ex(ctx, EVP_shake256(), nullptr) == 1 &&
                  EVP_DigestUpdate(ctx, message.data(), message.size()) == 1 &&
                  EVP_DigestFinalXOF(ctx, out.data(), out.size()) == 1;
  EVP_MD_CTX_free(ctx);
  if (!ok) ADD_FAILURE() << "SHAKE256 failed";
  return out;
}

}  // namespace quarn::testing
