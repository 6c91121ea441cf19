// The CNG algorithm providers of the cng/ backends, opened once for the life of the process.
#pragma once

// clang-format off
#include <windows.h>
#include <bcrypt.h>
// clang-format on

namespace quarn::crypto {

// AES in GCM chaining mode.
BCRYPT_ALG_HANDLE aes_gcm_provider();

// HMAC-SHA256 (SHA-256 opened with BCRYPT_ALG_HANDLE_HMAC_FLAG).
BCRYPT_ALG_HANDLE hmac_sha256_provider();

// A key object of `provider` over `secret`; destroyed when the object goes.
class CngKey {
 public:
  CngKey(BCRYPT_ALG_HANDLE provider, const unsigned char* secret, ULONG size);
  CngKey(const CngKey&) = delete;
  CngKey& operator=(const CngKey&) = delete;
  ~CngKey();
  BCRYPT_KEY_HANDLE get() const { return handle_; }

 private:
  BCRYPT_KEY_HANDLE handle_ = nullptr;
};

}  // namespace quarn::crypto
