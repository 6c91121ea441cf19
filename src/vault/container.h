// The two vault container versions and the decoder that recognises and splits them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <variant>

#include "base/bytes.h"
#include "base/result.h"
#include "crypto/keys.h"

namespace quarn::vault {

// Most bytes reserved for one byte string before its bytes are copied; the rest grows with them.
inline constexpr std::size_t kMaxByteStringReserve = 1'048'576;

// Version 1: no magic; the payload is sealed under the password key.
struct EncryptedVault {
  crypto::Salt salt{};
  crypto::Nonce payload_nonce{};
  Bytes payload_ciphertext;  // ciphertext followed by its 16-byte tag

  bool operator==(const EncryptedVault&) const = default;
};

// Version 2 ("QU", 0x02): the payload key also depends on an ML-KEM-1024 shared secret.
struct EncryptedVaultV2 {
  crypto::Salt salt{};
  Bytes kem_ciphertext;      // 1568 bytes when well-formed; not checked here
  Bytes wrapped_secret_key;  // sealed KEM secret key; not checked here
  crypto::Nonce secret_key_nonce{};
  crypto::Nonce payload_nonce{};
  Bytes payload_ciphertext;

  bool operator==(const EncryptedVaultV2&) const = default;
};

using VaultContainer = std::variant<EncryptedVault, EncryptedVaultV2>;

// The file ended before the last field of its container; carries no detail by design.
enum class ContainerError { kTruncated };

// Version 2 exactly when the file has at least 3 bytes and starts "QU" 0x02 (record at offset 3);
// every other file is version 1 from offset 0. Only running out of bytes fails: no field value
// or length is judged here, and bytes after the last field are ignored. The record owns copies
// of everything; nothing refers back to `file`.
Result<VaultContainer, ContainerError> parse_vault_container(ByteView file);

}  // namespace quarn::vault
