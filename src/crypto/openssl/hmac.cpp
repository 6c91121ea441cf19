// hmac_sha256 through OpenSSL's EVP_MAC "HMAC".
#include "crypto/hmac.h"

#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/params.h>

#include <cstdlib>
#include <memory>

#include "crypto/openssl/context.h"

namespace quarn::crypto {
namespace {

struct MacCtxFree {
  void operator()(EVP_MAC_CTX* ctx) const { EVP_MAC_CTX_free(ctx); }
};

}  // namespace

Sha256Block hmac_sha256(std::span<const std::uint8_t> key,
                        std::initializer_list<std::span<const std::uint8_t>> parts) {
  std::unique_ptr<EVP_MAC_CTX, MacCtxFree> ctx(EVP_MAC_CTX_new(hmac_mac()));
  char digest[] = "SHA256";
  const OSSL_PARAM params[] = {
      OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
      OSSL_PARAM_construct_end(),
  };
  bool ok = ctx && EVP_MAC_init(ctx.get(), key.data(), key.size(), params) == 1;
  for (const auto part : parts) {
    if (!part.empty()) ok = ok && EVP_MAC_update(ctx.get(), part.data(), part.size()) == 1;
  }
  Sha256Block out{};
  std::size_t written = 0;
  ok = ok && EVP_MAC_final(ctx.get(), out.data(), &written, out.size()) == 1 &&
       written == out.size();
  // With a fixed digest and a non-empty key, only a want of memory makes OpenSSL fail.
  if (!ok) std::abort();
  return out;
}

}  // namespace quarn::crypto
