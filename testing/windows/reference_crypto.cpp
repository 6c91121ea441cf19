// Reference computations for the crypto tests on Windows: HMAC-SHA256 from CNG, SHAKE256 from the
// FIPS 202 code that ships with PQClean (CNG has no SHAKE). The HMAC is independent of the host's
// HKDF code; the SHAKE256 shares its Keccak with the KEM under test.
#include "testing/reference_crypto.h"

// clang-format off
#include <windows.h>
#include <bcrypt.h>
// clang-format on
#include <gtest/gtest.h>

extern "C" {
#include "fips202.h"
}

namespace quarn::testing {

std::array<std::uint8_t, 32> hmac_sha256(ByteView key, ByteView message) {
  std::array<std::uint8_t, 32> out{};
  BCRYPT_ALG_HANDLE provider = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  static const std::uint8_t kNoKey[1] = {0};
  const bool ok = BCryptOpenAlgorithmProvider(&provider, BCRYPT_SHA256_ALGORITHM, nullptr,
                                              BCRYPT_ALG_HANDLE_HMAC_FLAG) >= 0 &&
                  BCryptCreateHash(provider, &hash, nullptr, 0,
                                   const_cast<PUCHAR>(key.empty() ? kNoKey : key.data()),
                                   static_cast<ULONG>(key.size()), 0) >= 0 &&
                  (message.empty() || BCryptHashData(hash, const_cast<PUCHAR>(message.data()),
                                                     static_cast<ULONG>(message.size()), 0) >= 0) &&
                  BCryptFinishHash(hash, out.data(), static_cast<ULONG>(out.size()), 0) >= 0;
  if (hash != nullptr) BCryptDestroyHash(hash);
  if (provider != nullptr) BCryptCloseAlgorithmProvider(provider, 0);
  if (!ok) ADD_FAILURE() << "HMAC failed";
  return out;
}

std::array<std::uint8_t, 32> shake256_32(ByteView message) {
  std::array<std::uint8_t, 32> out{};
  shake256(out.data(), out.size(), message.data(), message.size());
  return out;
}

}  // namespace quarn::testing
