// hkdf_sha256 over the backend's HMAC-SHA256: extract, then expand block by block.
#include "crypto/hkdf.h"

#include <algorithm>

#include "base/wipe.h"
#include "crypto/hmac.h"

namespace quarn::crypto {

Result<Done, HkdfError> hkdf_sha256(std::span<const std::uint8_t> ikm,
                                    std::span<const std::uint8_t> salt,
                                    std::span<const std::uint8_t> info,
                                    std::span<std::uint8_t> out) {
  if (out.size() > kHkdfSha256MaxOutput) return fail(HkdfError::kOutputTooLong);
  if (out.empty()) return Done{};
  // An empty salt is the hash-length string of zeros, which HMAC would pad it to anyway.
  static const Sha256Block kZeroSalt{};
  Sha256Block prk =
      hmac_sha256(salt.empty() ? std::span<const std::uint8_t>(kZeroSalt) : salt, {ikm});
  Sha256Block block{};
  std::size_t done = 0;
  for (std::uint8_t counter = 1; done < out.size(); ++counter) {
    const std::uint8_t counter_byte[1] = {counter};
    const auto previous =
        counter == 1 ? std::span<const std::uint8_t>() : std::span<const std::uint8_t>(block);
    block = hmac_sha256(prk, {previous, info, counter_byte});
    const std::size_t take = std::min(kSha256Size, out.size() - done);
    std::copy_n(block.begin(), take, out.begin() + static_cast<std::ptrdiff_t>(done));
    done += take;
  }
  wipe(prk);
  wipe(block);
  return Done{};
}

}  // namespace quarn::crypto
