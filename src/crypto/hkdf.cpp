// hkdf_sha256 through OpenSSL's EVP_KDF "HKDF".
#include "crypto/hkdf.h"

#include <openssl/core_names.h>
#include <openssl/kdf.h>
#include <openssl/params.h>

#include <cstdlib>
#include <memory>

#include "crypto/openssl_context.h"

namespace quarn::crypto {
namespace {

struct KdfCtxFree {
  void operator()(EVP_KDF_CTX* ctx) const { EVP_KDF_CTX_free(ctx); }
};

// OpenSSL takes octet-string parameters as non-const void*; it only reads them.
OSSL_PARAM octets(const char* name, std::span<const std::uint8_t> bytes) {
  return OSSL_PARAM_construct_octet_string(name, const_cast<std::uint8_t*>(bytes.data()),
                                           bytes.size());
}

}  // namespace

Result<Done, HkdfError> hkdf_sha256(std::span<const std::uint8_t> ikm,
                                    std::span<const std::uint8_t> salt,
                                    std::span<const std::uint8_t> info,
                                    std::span<std::uint8_t> out) {
  if (out.size() > kHkdfSha256MaxOutput) return fail(HkdfError::kOutputTooLong);
  if (out.empty()) return Done{};

  std::unique_ptr<EVP_KDF_CTX, KdfCtxFree> ctx(EVP_KDF_CTX_new(hkdf_kdf()));
  if (!ctx) std::abort();

  // A zero-length key, salt or info is an empty octet string, never a null pointer: OpenSSL
  // treats a missing key as an error, while HKDF allows an empty one.
  static const std::uint8_t kEmpty[1] = {0};
  const auto or_empty = [](std::span<const std::uint8_t> s) {
    return s.empty() ? std::span<const std::uint8_t>(kEmpty, 0) : s;
  };
  char digest[] = "SHA256";
  OSSL_PARAM params[] = {
      OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, digest, 0),
      octets(OSSL_KDF_PARAM_KEY, or_empty(ikm)),
      octets(OSSL_KDF_PARAM_SALT, or_empty(salt)),
      octets(OSSL_KDF_PARAM_INFO, or_empty(info)),
      OSSL_PARAM_construct_end(),
  };
  // With a valid length the derivation fails only when OpenSSL runs out of memory.
  if (EVP_KDF_derive(ctx.get(), out.data(), out.size(), params) != 1) std::abort();
  return Done{};
}

}  // namespace quarn::crypto
