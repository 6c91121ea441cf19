// Container decoding: version detection, then the fields of the version's record in order.
#include "vault/container.h"

#include <algorithm>
#include <array>
#include <utility>

#include "vault/byte_cursor.h"

namespace quarn::vault {
namespace {

constexpr std::uint8_t kMagic0 = 0x51;  // 'Q'
constexpr std::uint8_t kMagic1 = 0x55;  // 'U'
constexpr std::uint8_t kVersion2 = 0x02;
constexpr std::size_t kHeaderSize = 3;

bool is_version_2(ByteView file) {
  return file.size() >= kHeaderSize && file[0] == kMagic0 && file[1] == kMagic1 &&
         file[2] == kVersion2;
}

// One field of a record into its place; false when the bytes run out.
template <std::size_t N>
[[nodiscard]] bool read_field(ByteCursor& cursor, std::array<std::uint8_t, N>& field) {
  auto bytes = cursor.read_array<N>();
  if (!bytes) return false;
  field = bytes.value();
  return true;
}

// A length-prefixed byte string. Its bytes are known to be present before anything is reserved,
// and even then the first reservation is capped, so a declared length alone never decides how
// much memory is asked for.
[[nodiscard]] bool read_field(ByteCursor& cursor, Bytes& field) {
  auto length = cursor.read_u64();
  if (!length) return false;
  auto bytes = cursor.read_bytes(length.value());
  if (!bytes) return false;
  field.clear();
  field.reserve(std::min(bytes.value().size(), kMaxByteStringReserve));
  field.insert(field.end(), bytes.value().begin(), bytes.value().end());
  return true;
}

[[nodiscard]] bool read_record(ByteCursor& cursor, EncryptedVault& vault) {
  return read_field(cursor, vault.salt) && read_field(cursor, vault.payload_nonce) &&
         read_field(cursor, vault.payload_ciphertext);
}

[[nodiscard]] bool read_record(ByteCursor& cursor, EncryptedVaultV2& vault) {
  return read_field(cursor, vault.salt) && read_field(cursor, vault.kem_ciphertext) &&
         read_field(cursor, vault.wrapped_secret_key) &&
         read_field(cursor, vault.secret_key_nonce) && read_field(cursor, vault.payload_nonce) &&
         read_field(cursor, vault.payload_ciphertext);
}

// The record of type Vault at the start of `record`; a partial record is dropped on failure.
template <class Vault>
Result<VaultContainer, ContainerError> parse_record(ByteView record) {
  ByteCursor cursor(record);
  Vault vault;
  if (!read_record(cursor, vault)) return fail(ContainerError::kTruncated);
  return VaultContainer(std::in_place_type<Vault>, std::move(vault));
}

}  // namespace

Result<VaultContainer, ContainerError> parse_vault_container(ByteView file) {
  if (is_version_2(file)) return parse_record<EncryptedVaultV2>(file.subspan(kHeaderSize));
  return parse_record<EncryptedVault>(file);
}

}  // namespace quarn::vault
