// hmac_sha256 through CNG.
#include "crypto/hmac.h"

#include <cstdlib>

#include "crypto/cng/providers.h"

namespace quarn::crypto {

Sha256Block hmac_sha256(std::span<const std::uint8_t> key,
                        std::initializer_list<std::span<const std::uint8_t>> parts) {
  BCRYPT_HASH_HANDLE hash = nullptr;
  if (BCryptCreateHash(hmac_sha256_provider(), &hash, nullptr, 0, const_cast<PUCHAR>(key.data()),
                       static_cast<ULONG>(key.size()), 0) < 0) {
    std::abort();
  }
  bool ok = true;
  for (const auto part : parts) {
    // Inputs here are far below 4 GiB: the key material, the info and one block.
    if (!part.empty()) {
      ok = ok && BCryptHashData(hash, const_cast<PUCHAR>(part.data()),
                                static_cast<ULONG>(part.size()), 0) >= 0;
    }
  }
  Sha256Block out{};
  ok = ok && BCryptFinishHash(hash, out.data(), static_cast<ULONG>(out.size()), 0) >= 0;
  BCryptDestroyHash(hash);
  if (!ok) std::abort();
  return out;
}

}  // namespace quarn::crypto
