// CNG providers; a provider that cannot be opened leaves the host unable to unlock anything, so
// the process ends.
#include "crypto/cng/providers.h"

#include <cstdlib>

namespace quarn::crypto {
namespace {

bool succeeded(NTSTATUS status) { return status >= 0; }

}  // namespace

BCRYPT_ALG_HANDLE aes_gcm_provider() {
  static const BCRYPT_ALG_HANDLE provider = [] {
    BCRYPT_ALG_HANDLE opened = nullptr;
    if (!succeeded(BCryptOpenAlgorithmProvider(&opened, BCRYPT_AES_ALGORITHM, nullptr, 0)) ||
        !succeeded(
            BCryptSetProperty(opened, BCRYPT_CHAINING_MODE,
                              reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(BCRYPT_CHAIN_MODE_GCM)),
                              sizeof(BCRYPT_CHAIN_MODE_GCM), 0))) {
      std::abort();
    }
    return opened;
  }();
  return provider;
}

BCRYPT_ALG_HANDLE hmac_sha256_provider() {
  static const BCRYPT_ALG_HANDLE provider = [] {
    BCRYPT_ALG_HANDLE opened = nullptr;
    if (!succeeded(BCryptOpenAlgorithmProvider(&opened, BCRYPT_SHA256_ALGORITHM, nullptr,
                                               BCRYPT_ALG_HANDLE_HMAC_FLAG))) {
      std::abort();
    }
    return opened;
  }();
  return provider;
}

CngKey::CngKey(BCRYPT_ALG_HANDLE provider, const unsigned char* secret, ULONG size) {
  // CNG copies the secret into a key object that it allocates and wipes itself.
  if (!succeeded(BCryptGenerateSymmetricKey(provider, &handle_, nullptr, 0,
                                            const_cast<PUCHAR>(secret), size, 0))) {
    std::abort();
  }
}

CngKey::~CngKey() { BCryptDestroyKey(handle_); }

}  // namespace quarn::crypto
