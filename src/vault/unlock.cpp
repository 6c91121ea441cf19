// The unlock command: file, container, keys, payload, reply; every failure becomes one text.
#include "vault/unlock.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "base/result.h"
#include "crypto/hybrid_key.h"
#include "crypto/keys.h"
#include "crypto/password_key.h"
#include "crypto/sealed.h"
#include "json/reply.h"
#include "platform/files.h"
#include "platform/memory.h"
#include "vault/container.h"
#include "vault/entries.h"
#include "vault/payload.h"

namespace quarn::vault {
namespace {

constexpr std::string_view kNotFoundMessage = "NOT_FOUND";
constexpr std::string_view kReadErrorPrefix = "Erreur de lecture : ";
constexpr std::string_view kInvalidVaultMessage = "Coffre invalide ou corrompu.";
constexpr std::string_view kWrongPasswordMessage = "Mot de passe incorrect.";

// Why an unlock produced no entries; `detail` is the system's or the decoder's text, if any.
struct UnlockFailure {
  enum class Kind { kNotFound, kReadError, kInvalidContainer, kWrongPassword, kBadPayload };
  Kind kind;
  std::string detail;
};

// The one place where failures become reply texts.
json::Value failure_reply(UnlockFailure reason) {
  using Kind = UnlockFailure::Kind;
  switch (reason.kind) {
    case Kind::kNotFound:
      return json::error_reply(std::string(kNotFoundMessage));
    case Kind::kReadError:
      return json::error_reply(std::string(kReadErrorPrefix) + reason.detail);
    case Kind::kInvalidContainer:
      return json::error_reply(std::string(kInvalidVaultMessage));
    case Kind::kWrongPassword:
      return json::error_reply(std::string(kWrongPasswordMessage));
    case Kind::kBadPayload:
      return json::error_reply(std::move(reason.detail));
  }
  return json::error_reply(std::string(kInvalidVaultMessage));  // not reached: every kind is above
}

Failure<UnlockFailure> failure(UnlockFailure::Kind kind, std::string detail = {}) {
  return fail(UnlockFailure{kind, std::move(detail)});
}

std::span<const std::uint8_t> as_bytes(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// An unlock holds the 64 MiB of the password key derivation, then the vault several times over on
// its way to the reply (file bytes, container, plaintext, entries, reply tree, reply text); the
// heap is readied for all of it at once.
void prepare_heap_for(std::uint64_t file_size) {
  constexpr std::uint64_t kDerivationMemory = std::uint64_t{64} << 20;
  constexpr std::uint64_t kCopies = 8;
  constexpr std::uint64_t kLargest = std::uint64_t{1} << 36;
  platform::prepare_heap(
      static_cast<std::size_t>(kDerivationMemory + kCopies * std::min(file_size, kLargest)));
}

// Reads and splits the vault file; the file bytes are released on return, the container owns
// copies of its fields.
Result<VaultContainer, UnlockFailure> read_container(const std::string& path) {
  if (!platform::path_exists(path)) return failure(UnlockFailure::Kind::kNotFound);
  prepare_heap_for(platform::file_size(path));
  auto file = platform::read_whole_file(path);
  if (!file) return failure(UnlockFailure::Kind::kReadError, std::move(file.error().message));
  auto container = parse_vault_container(as_bytes(file.value()));
  if (!container) return failure(UnlockFailure::Kind::kInvalidContainer);
  return std::move(container).value();
}

// Opens the payload with the key that seals it and wipes that key whatever the outcome.
Result<std::vector<std::uint8_t>, UnlockFailure> open_payload(
    crypto::SymmetricKey& payload_key, const crypto::Nonce& nonce,
    std::span<const std::uint8_t> sealed) {
  auto plaintext = crypto::decrypt_sealed(payload_key, nonce, sealed);
  crypto::wipe(payload_key.bytes);
  if (!plaintext) return failure(UnlockFailure::Kind::kWrongPassword);
  return std::move(plaintext).value();
}

// Version 1: the password key seals the payload.
Result<std::vector<std::uint8_t>, UnlockFailure> decrypt_payload(EncryptedVault vault,
                                                                 std::string_view password) {
  crypto::SymmetricKey password_key = crypto::derive_password_key(as_bytes(password), vault.salt);
  return open_payload(password_key, vault.payload_nonce, vault.payload_ciphertext);
}

// Version 2: the final key, from the password key and the KEM shared secret, seals the payload.
// Every unwrap failure looks like a wrong password; its own text is not shown.
Result<std::vector<std::uint8_t>, UnlockFailure> decrypt_payload(EncryptedVaultV2 vault,
                                                                 std::string_view password) {
  crypto::SymmetricKey password_key = crypto::derive_password_key(as_bytes(password), vault.salt);
  auto final_key = crypto::unwrap_hybrid_key(password_key, vault.kem_ciphertext,
                                             vault.wrapped_secret_key, vault.secret_key_nonce);
  crypto::wipe(password_key.bytes);
  if (!final_key) return failure(UnlockFailure::Kind::kWrongPassword);
  return open_payload(final_key.value(), vault.payload_nonce, vault.payload_ciphertext);
}

Result<VaultPayload, UnlockFailure> unlock(const std::string& path, std::string_view password) {
  auto container = read_container(path);
  if (!container) return fail(std::move(container.error()));
  // The container is handed over by value, so it is released as soon as the payload is open.
  auto plaintext = std::visit(
      [&](auto& vault) { return decrypt_payload(std::move(vault), password); }, container.value());
  if (!plaintext) return fail(std::move(plaintext.error()));
  auto payload = decode_vault_payload(plaintext.value());
  if (!payload) return failure(UnlockFailure::Kind::kBadPayload, std::move(payload.error()));
  return std::move(payload).value();
}

}  // namespace

json::Value handle_unlock(std::string path, std::string password) {
  auto payload = unlock(path, password);
  if (!payload) return failure_reply(std::move(payload.error()));
  return json::ok_reply(build_entries_data(std::move(payload).value()));
}

}  // namespace quarn::vault
