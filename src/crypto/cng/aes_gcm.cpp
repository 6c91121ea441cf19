// aes_256_gcm_open through CNG's AES in GCM chaining mode.
#include "crypto/aes_gcm.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>

#include "base/wipe.h"
#include "crypto/cng/providers.h"

namespace quarn::crypto {
namespace {

// CNG lengths are ULONG: a longer ciphertext goes in chained calls of whole blocks.
constexpr std::size_t kChunk = std::size_t{1} << 30;

constexpr NTSTATUS kSuccess = 0;

}  // namespace

bool aes_256_gcm_open(const SymmetricKey& key, const Nonce& nonce,
                      std::span<const std::uint8_t> ciphertext,
                      std::span<const std::uint8_t, kTagSize> tag,
                      std::span<std::uint8_t> plaintext) {
  const CngKey cng_key(aes_gcm_provider(), key.bytes.data(), static_cast<ULONG>(key.bytes.size()));
  BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO info;
  BCRYPT_INIT_AUTH_MODE_INFO(info);
  info.pbNonce = const_cast<PUCHAR>(nonce.data());
  info.cbNonce = static_cast<ULONG>(nonce.size());
  info.pbTag = const_cast<PUCHAR>(tag.data());
  info.cbTag = static_cast<ULONG>(tag.size());
  std::array<std::uint8_t, kTagSize> mac_context{};
  const bool chained = ciphertext.size() > ULONG_MAX;
  if (chained) {
    info.pbMacContext = mac_context.data();
    info.cbMacContext = static_cast<ULONG>(mac_context.size());
  }

  // CNG verifies the tag in the last call, comparing in constant time.
  bool opened = true;
  std::size_t done = 0;
  do {
    const std::size_t piece =
        chained ? std::min(kChunk, ciphertext.size() - done) : ciphertext.size();
    const bool last = done + piece == ciphertext.size();
    if (chained) {
      info.dwFlags = last ? 0 : BCRYPT_AUTH_MODE_CHAIN_CALLS_FLAG;
    }
    ULONG written = 0;
    UCHAR no_output = 0;
    const NTSTATUS status = BCryptDecrypt(
        cng_key.get(), const_cast<PUCHAR>(ciphertext.data() + done), static_cast<ULONG>(piece),
        &info, nullptr, 0, piece == 0 ? &no_output : plaintext.data() + done,
        static_cast<ULONG>(piece), &written, 0);
    // STATUS_AUTH_TAG_MISMATCH and every other failure alike: the string does not open.
    opened = status == kSuccess && written == piece;
    done += piece;
  } while (opened && done < ciphertext.size());
  wipe(mac_context);
  return opened;
}

}  // namespace quarn::crypto
