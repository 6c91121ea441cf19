// derive_password_key through libsodium's Argon2id.
#include "crypto/password_key.h"

#include <sodium.h>

#include <cstdlib>

namespace quarn::crypto {
namespace {

constexpr unsigned long long kOpsLimit = 4;      // t: passes over memory
constexpr std::size_t kMemLimit = 65536 * 1024;  // m: 65536 KiB, one lane
static_assert(crypto_pwhash_argon2id_SALTBYTES == kSaltSize);

// libsodium is initialised on first use, not at process start: a ping never touches it.
void ensure_sodium() {
  static const bool ready = sodium_init() >= 0;
  if (!ready) std::abort();
}

}  // namespace

SymmetricKey derive_password_key(std::span<const std::uint8_t> password, const Salt& salt) {
  ensure_sodium();
  // An empty span may have a null data(); give the library a valid pointer all the same.
  static const char kNoPassword = 0;
  const char* password_bytes =
      password.empty() ? &kNoPassword : reinterpret_cast<const char*>(password.data());

  SymmetricKey key;
  // The only failure left with these fixed parameters is the 64 MiB working area not being
  // available, and an allocation failure ends the process.
  if (crypto_pwhash_argon2id(key.bytes.data(), key.bytes.size(), password_bytes, password.size(),
                             salt.data(), kOpsLimit, kMemLimit,
                             crypto_pwhash_argon2id_ALG_ARGON2ID13) != 0) {
    std::abort();
  }
  return key;
}

}  // namespace quarn::crypto
