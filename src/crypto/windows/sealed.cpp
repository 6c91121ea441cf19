// decrypt_sealed through CNG's AES-256-GCM.
#include "crypto/sealed.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>

#include "crypto/windows/cng.h"

namespace quarn::crypto {
namespace {

// Longest sealed string accepted, as on every system: GCM covers at most 2^36 - 32 bytes of
// ciphertext.
constexpr std::uint64_t kMaxSealedSize = (std::uint64_t{1} << 36) + 32;

// CNG lengths are ULONG: a longer ciphertext goes in chained calls of whole blocks.
constexpr std::size_t kChunk = std::size_t{1} << 30;

constexpr NTSTATUS kSuccess = 0;

}  // namespace

Result<std::vector<std::uint8_t>, SealedError> decrypt_sealed(
    const SymmetricKey& key, const Nonce& nonce, std::span<const std::uint8_t> sealed) {
  if (sealed.size() < kTagSize || sealed.size() > kMaxSealedSize) {
    return fail(SealedError::kRejected);
  }
  const auto ciphertext = sealed.first(sealed.size() - kTagSize);
  const auto tag = sealed.last(kTagSize);
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

  // The plaintext goes into this buffer, which leaves the function only once CNG has verified
  // the tag; CNG compares it in constant time.
  std::vector<std::uint8_t> plaintext(ciphertext.size());
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
  if (!opened) {
    wipe(plaintext);
    return fail(SealedError::kRejected);
  }
  return plaintext;
}

}  // namespace quarn::crypto
