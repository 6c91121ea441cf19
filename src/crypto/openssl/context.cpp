// One library context, one provider, two algorithms; kept for the life of the process.
#include "crypto/openssl/context.h"

#include <openssl/crypto.h>
#include <openssl/provider.h>

#include <cstdlib>

namespace quarn::crypto {
namespace {

struct OpenSsl {
  EVP_CIPHER* gcm;
  EVP_MAC* hmac;
};

const OpenSsl& openssl() {
  static const OpenSsl instance = [] {
    // Before anything else of OpenSSL runs: its implicit initialisation would read the
    // configuration file that OPENSSL_CONF names, or the default one.
    if (OPENSSL_init_crypto(OPENSSL_INIT_NO_LOAD_CONFIG, nullptr) != 1) std::abort();
    OSSL_LIB_CTX* context = OSSL_LIB_CTX_new();
    if (context == nullptr || OSSL_PROVIDER_load(context, "default") == nullptr) std::abort();
    OpenSsl made{EVP_CIPHER_fetch(context, "AES-256-GCM", nullptr),
                 EVP_MAC_fetch(context, "HMAC", nullptr)};
    if (made.gcm == nullptr || made.hmac == nullptr) std::abort();
    return made;
  }();
  return instance;
}

}  // namespace

const EVP_CIPHER* aes_256_gcm() { return openssl().gcm; }

EVP_MAC* hmac_mac() { return openssl().hmac; }

}  // namespace quarn::crypto
