// derive_password_key: Argon2id over the master password and the vault's salt.
#pragma once

#include <span>

#include "crypto/keys.h"

namespace quarn::crypto {

// Argon2id, version 0x13, t = 4, m = 65536 KiB, p = 1, raw 32-byte tag, no secret, no associated
// data. Cannot fail for passwords under 4 GiB; ends the process if 64 MiB cannot be had.
SymmetricKey derive_password_key(std::span<const std::uint8_t> password, const Salt& salt);

}  // namespace quarn::crypto
