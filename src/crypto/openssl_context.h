// The OpenSSL objects the host's cryptography runs on, made once in a library context of its own.
#pragma once

#include <openssl/evp.h>
#include <openssl/kdf.h>

namespace quarn::crypto {

// AES-256-GCM and HKDF, fetched from a library context that holds only OpenSSL's built-in default
// provider. No configuration file is read and no environment variable is looked at, so neither
// OPENSSL_CONF nor OPENSSL_MODULES can load code into the host. Ends the process when OpenSSL
// cannot set them up (only for want of memory).
const EVP_CIPHER* aes_256_gcm();
EVP_KDF* hkdf_kdf();

}  // namespace quarn::crypto
