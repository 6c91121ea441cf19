// derive_password_key through the reference Argon2 (the optimised build of its sources).
#include "crypto/password_key.h"

#include <argon2.h>

#include <cstdlib>

namespace quarn::crypto {
namespace {

constexpr std::uint32_t kPasses = 4;         // t
constexpr std::uint32_t kMemoryKib = 65536;  // m: 64 MiB
constexpr std::uint32_t kLanes = 1;          // p

}  // namespace

SymmetricKey derive_password_key(std::span<const std::uint8_t> password, const Salt& salt) {
  SymmetricKey key;
  // With these fixed parameters the only failures left are a password of 4 GiB or more, which a
  // request cannot carry, and the 64 MiB working area not being available; both end the process.
  if (password.size() > ARGON2_MAX_PWD_LENGTH ||
      argon2id_hash_raw(kPasses, kMemoryKib, kLanes, password.data(),
                        static_cast<std::size_t>(password.size()), salt.data(), salt.size(),
                        key.bytes.data(), key.bytes.size()) != ARGON2_OK) {
    std::abort();
  }
  return key;
}

}  // namespace quarn::crypto
