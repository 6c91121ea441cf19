// The unlock command: file, container, keys, payload, reply; every failure becomes one text.
#include "vault/unlock.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "base/bytes.h"
#include "base/result.h"
#include "base/wipe.h"
#include "crypto/hybrid_key.h"
#include "crypto/keys.h"
#include "crypto/password_key.h"
#include "crypto/sealed.h"
#include "protocol/reply.h"
#include "vault/container.h"
#include "vault/entries.h"
#include "vault/payload.h"

namespace quarn::vault {
namespace {

constexpr std::string_view kNotFoundMessage = "NOT_FOUND";
constexpr std::string_view kReadErrorPrefix = "Erreur de lecture : ";
constexpr std::string_view kInvalidVaultMessage = "Coffre invalide ou corrompu.";
constexpr std::string_view kWrongPasswordMessage = "Mot de passe incorrect.";

constexpr std::string_view kOutOfMemory = "out of memory";
constexpr std::string_view kNotAFile = "le chemin ne désigne pas un fichier ordinaire.";
constexpr std::string_view kTooLargeStart = "fichier trop volumineux (limite ";
constexpr std::string_view kTooLargeEnd = " octets).";

// The largest vault file read. A vault anywhere near it could never reach a browser, whose
// messages stop at 1 MiB; the cap keeps a path to a device or a huge file from taking the memory.
constexpr std::uint64_t kMaxVaultFileSize = std::uint64_t{64} << 20;

// Why an unlock produced no entries: the system's error of a failed read, or the decoder's text.
struct UnlockFailure {
  enum class Kind { kNotFound, kReadError, kInvalidContainer, kWrongPassword, kBadPayload };
  Kind kind;
  OsError read_error{};
  std::string decoder_message;
};

// "<the system's description> (os error N)", or what kept the reader from the file.
std::string read_error_text(const System& system, const OsError& error) {
  switch (error.kind) {
    case OsError::Kind::kSystem:
      break;
    case OsError::Kind::kOutOfMemory:
      return std::string(kOutOfMemory);
    case OsError::Kind::kNotAFile:
      return std::string(kNotAFile);
    case OsError::Kind::kTooLarge:
      return std::string(kTooLargeStart) + std::to_string(kMaxVaultFileSize) +
             std::string(kTooLargeEnd);
  }
  return system.describe(error) + " (os error " + std::to_string(error.code) + ")";
}

// The one place where failures become reply texts.
json::Value failure_reply(const System& system, UnlockFailure reason) {
  using Kind = UnlockFailure::Kind;
  switch (reason.kind) {
    case Kind::kNotFound:
      return protocol::error_reply(std::string(kNotFoundMessage));
    case Kind::kReadError:
      return protocol::error_reply(std::string(kReadErrorPrefix) +
                                   read_error_text(system, reason.read_error));
    case Kind::kInvalidContainer:
      return protocol::error_reply(std::string(kInvalidVaultMessage));
    case Kind::kWrongPassword:
      return protocol::error_reply(std::string(kWrongPasswordMessage));
    case Kind::kBadPayload:
      return protocol::error_reply(std::move(reason.decoder_message));
  }
  return protocol::error_reply(std::string(kInvalidVaultMessage));  // not reached
}

Failure<UnlockFailure> failure(UnlockFailure::Kind kind) {
  return fail(UnlockFailure{kind, {}, {}});
}

// An unlock holds the vault several times over on its way to the reply (file bytes, container,
// plaintext, entries, reply tree, reply text); the heap is readied for all of it at once. The
// derivation's 64 MiB come from the system's pages, not from the heap.
std::size_t heap_for(std::uint64_t file_size) {
  constexpr std::uint64_t kCopies = 8;
  return static_cast<std::size_t>(kCopies * std::min(file_size, kMaxVaultFileSize));
}

// Reads and splits the vault file; the file bytes are wiped and released on return, the container
// owns copies of its fields. The one metadata query is both the existence test and the size.
Result<VaultContainer, UnlockFailure> read_container(System& system, const std::string& path) {
  auto info = system.query_path(path);
  if (!info) return failure(UnlockFailure::Kind::kNotFound);
  system.prepare_heap(heap_for(info.value().size));
  auto file = system.read_file(path, kMaxVaultFileSize);
  if (!file) return fail(UnlockFailure{UnlockFailure::Kind::kReadError, file.error(), {}});
  auto container = parse_vault_container(file.value());
  wipe_and_release(file.value());
  if (!container) return failure(UnlockFailure::Kind::kInvalidContainer);
  return std::move(container).value();
}

// Opens the payload with the key that seals it and wipes that key whatever the outcome.
Result<Bytes, UnlockFailure> open_payload(crypto::SymmetricKey& payload_key,
                                          const crypto::Nonce& nonce, ByteView sealed) {
  auto plaintext = crypto::decrypt_sealed(payload_key, nonce, sealed);
  wipe(payload_key.bytes);
  if (!plaintext) return failure(UnlockFailure::Kind::kWrongPassword);
  return std::move(plaintext).value();
}

// Version 1: the password key seals the payload.
Result<Bytes, UnlockFailure> decrypt_payload(EncryptedVault vault, std::string_view password,
                                             WorkingMemory& memory) {
  crypto::SymmetricKey password_key =
      crypto::derive_password_key(bytes_of(password), vault.salt, memory);
  return open_payload(password_key, vault.payload_nonce, vault.payload_ciphertext);
}

// Version 2: the final key, from the password key and the KEM shared secret, seals the payload.
// Every unwrap failure looks like a wrong password; its own text is not shown.
Result<Bytes, UnlockFailure> decrypt_payload(EncryptedVaultV2 vault, std::string_view password,
                                             WorkingMemory& memory) {
  crypto::SymmetricKey password_key =
      crypto::derive_password_key(bytes_of(password), vault.salt, memory);
  auto final_key = crypto::unwrap_hybrid_key(password_key, vault.kem_ciphertext,
                                             vault.wrapped_secret_key, vault.secret_key_nonce);
  wipe(password_key.bytes);
  if (!final_key) return failure(UnlockFailure::Kind::kWrongPassword);
  return open_payload(final_key.value(), vault.payload_nonce, vault.payload_ciphertext);
}

Result<VaultPayload, UnlockFailure> unlock(System& system, const std::string& path,
                                           std::string_view password) {
  auto container = read_container(system, path);
  if (!container) return fail(std::move(container.error()));
  // The container is handed over by value, so it is released as soon as the payload is open.
  auto plaintext =
      std::visit([&](auto& vault) { return decrypt_payload(std::move(vault), password, system); },
                 container.value());
  if (!plaintext) return fail(std::move(plaintext.error()));
  auto payload = decode_vault_payload(plaintext.value());
  wipe_and_release(plaintext.value());
  if (!payload) {
    return fail(UnlockFailure{UnlockFailure::Kind::kBadPayload, {}, std::move(payload.error())});
  }
  return std::move(payload).value();
}

}  // namespace

json::Value handle_unlock(System& system, std::string path, SecretText password) {
  auto payload = unlock(system, path, password.view());
  if (!payload) return failure_reply(system, std::move(payload.error()));
  return protocol::ok_reply(build_entries_data(std::move(payload).value()));
}

}  // namespace quarn::vault
