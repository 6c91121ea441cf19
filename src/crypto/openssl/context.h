// The OpenSSL objects the host's cryptography runs on, made once in a library context of its own.
#pragma once

#include <openssl/evp.h>

namespace quarn::crypto {

// AES-256-GCM and HMAC, fetched from a library context that holds only OpenSSL's built-in default
// provider. No configuration file is read and no environment variable is looked at, so neither
// OPENSSL_CONF nor OPENSSL_MODULES can load code into the host. Ends the process when OpenSSL
// cannot set them up (only for want of memory).
const EVP_CIPHER* aes_256_gcm();
EVP_MAC* hmac_mac();

}  // namespace quarn::crypto
