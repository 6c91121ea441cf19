// One library context, one provider, two algorithms; kept for the life of the process.
#include "crypto/openssl_context.h"

#include <openssl/crypto.h>
#include <openssl/provider.h>

#include <cstdlib>

namespace quarn::crypto {
namespace {

struct OpenSsl {
  EVP_CIPHER* gcm;
  EVP_KDF* hkdf;
};

const OpenSsl& openssl() {
  static const OpenSsl instance = [] {
    // Before anything else of OpenSSL runs: its implicit initialisation would read the
    // configuration file that OPENSSL_CONF names, or the default one.
    if (OPENSSL_init_crypto(OPENSSL_INIT_NO_LOAD_CONFIG, nullptr) != 1) std::abort();
    OSSL_LIB_CTX* context = OSSL_LIB_CTX_new();
    if (context == nullptr || OSSL_PROVIDER_load(context, "default") == nullptr) std::abort();
    OpenSsl made{EVP_CIPHER_fetch(context, "AES-256-GCM", nullptr),
                 EVP_KDF_fetch(context, "HKDF", nullptr)};
    if (made.gcm == nullptr || made.hkdf == nullptr) std::abort();
    return made;
  }();
  return instance;
}

}  // namespace

const EVP_CIPHER* aes_256_gcm() { return openssl().gcm; }

EVP_KDF* hkdf_kdf() { return openssl().hkdf; }

}  // namespace quarn::crypto
