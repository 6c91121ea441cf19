// derive_password_key: Argon2id over the master password and the vault's salt.
#pragma once

#include <cstddef>
#include <span>

#include "base/working_memory.h"
#include "crypto/keys.h"

namespace quarn::crypto {

// The size of the derivation's working area: 65536 blocks of 1 KiB.
inline constexpr std::size_t kPasswordKeyWorkingArea = std::size_t{64} << 20;

// Argon2id, version 0x13, t = 4, m = 65536 KiB, p = 1, raw 32-byte tag, no secret, no associated
// data. The 64 MiB working area comes from `memory` and goes back to it before the return.
// Cannot fail for passwords under 4 GiB; ends the process if the area cannot be had.
SymmetricKey derive_password_key(std::span<const std::uint8_t> password, const Salt& salt,
                                 WorkingMemory& memory);

}  // namespace quarn::crypto
