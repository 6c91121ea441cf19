// The one wipe helper of the vault cryptography.
#include "crypto/keys.h"

#include <openssl/crypto.h>

namespace quarn::crypto {

void wipe(std::span<std::uint8_t> bytes) {
  if (!bytes.empty()) OPENSSL_cleanse(bytes.data(), bytes.size());
}

}  // namespace quarn::crypto
