// The writer's sealing and randomness through CNG.
// clang-format off
#include <windows.h>
#include <bcrypt.h>
// clang-format on

#include "vault_writer/sealing.h"

#include <array>
#include <climits>
#include <cstdlib>

#include "vault_writer/vault_writer.h"

namespace quarn::vault_writer {
namespace {

[[noreturn]] void library_failure() { std::abort(); }

}  // namespace

void fill_random(std::span<std::uint8_t> out) {
  if (out.size() > ULONG_MAX || BCryptGenRandom(nullptr, out.data(), static_cast<ULONG>(out.size()),
                                                BCRYPT_USE_SYSTEM_PREFERRED_RNG) < 0) {
    library_failure();
  }
}

// One call: the vaults that tests write stay far below CNG's 4 GiB limit of a call.
std::vector<std::uint8_t> seal(const crypto::SymmetricKey& key, const crypto::Nonce& nonce,
                               std::span<const std::uint8_t> plaintext) {
  if (plaintext.size() > ULONG_MAX) library_failure();
  BCRYPT_ALG_HANDLE provider = nullptr;
  BCRYPT_KEY_HANDLE key_handle = nullptr;
  if (BCryptOpenAlgorithmProvider(&provider, BCRYPT_AES_ALGORITHM, nullptr, 0) < 0 ||
      BCryptSetProperty(provider, BCRYPT_CHAINING_MODE,
                        reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(BCRYPT_CHAIN_MODE_GCM)),
                        sizeof(BCRYPT_CHAIN_MODE_GCM), 0) < 0 ||
      BCryptGenerateSymmetricKey(provider, &key_handle, nullptr, 0,
                                 const_cast<PUCHAR>(key.bytes.data()),
                                 static_cast<ULONG>(key.bytes.size()), 0) < 0) {
    library_failure();
  }
  std::vector<std::uint8_t> out(plaintext.size() + crypto::kTagSize);
  BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO info;
  BCRYPT_INIT_AUTH_MODE_INFO(info);
  info.pbNonce = const_cast<PUCHAR>(nonce.data());
  info.cbNonce = static_cast<ULONG>(nonce.size());
  info.pbTag = out.data() + plaintext.size();
  info.cbTag = static_cast<ULONG>(crypto::kTagSize);
  ULONG written = 0;
  UCHAR nothing = 0;
  const NTSTATUS status = BCryptEncrypt(
      key_handle, plaintext.empty() ? &nothing : const_cast<PUCHAR>(plaintext.data()),
      static_cast<ULONG>(plaintext.size()), &info, nullptr, 0,
      plaintext.empty() ? &nothing : out.data(), static_cast<ULONG>(plaintext.size()), &written, 0);
  BCryptDestroyKey(key_handle);
  BCryptCloseAlgorithmProvider(provider, 0);
  if (status < 0 || written != plaintext.size()) library_failure();
  return out;
}

}  // namespace quarn::vault_writer
