// hkdf_sha256 over CNG's HMAC-SHA256: extract, then expand block by block.
#include "crypto/hkdf.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "base/wipe.h"
#include "crypto/windows/cng.h"

namespace quarn::crypto {
namespace {

constexpr std::size_t kHashSize = 32;
using Block = std::array<std::uint8_t, kHashSize>;

// HMAC-SHA256(key, the parts one after the other). `key` is never empty here.
Block hmac(std::span<const std::uint8_t> key,
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
  Block out{};
  ok = ok && BCryptFinishHash(hash, out.data(), static_cast<ULONG>(out.size()), 0) >= 0;
  BCryptDestroyHash(hash);
  if (!ok) std::abort();
  return out;
}

}  // namespace

Result<Done, HkdfError> hkdf_sha256(std::span<const std::uint8_t> ikm,
                                    std::span<const std::uint8_t> salt,
                                    std::span<const std::uint8_t> info,
                                    std::span<std::uint8_t> out) {
  if (out.size() > kHkdfSha256MaxOutput) return fail(HkdfError::kOutputTooLong);
  if (out.empty()) return Done{};
  // An empty salt is the hash-length string of zeros, which HMAC would pad it to anyway.
  static const Block kZeroSalt{};
  Block prk = hmac(salt.empty() ? std::span<const std::uint8_t>(kZeroSalt) : salt, {ikm});
  Block block{};
  std::size_t done = 0;
  for (std::uint8_t counter = 1; done < out.size(); ++counter) {
    const std::uint8_t counter_byte[1] = {counter};
    const auto previous =
        counter == 1 ? std::span<const std::uint8_t>() : std::span<const std::uint8_t>(block);
    block = hmac(prk, {previous, info, counter_byte});
    const std::size_t take = std::min(kHashSize, out.size() - done);
    std::copy_n(block.begin(), take, out.begin() + static_cast<std::ptrdiff_t>(done));
    done += take;
  }
  wipe(prk);
  wipe(block);
  return Done{};
}

}  // namespace quarn::crypto
