// Reference computations for the crypto tests, made independently of the host's own code.
#pragma once

#include <array>
#include <cstdint>

#include "base/bytes.h"

namespace quarn::testing {

// HMAC-SHA256 through OpenSSL's one-shot HMAC().
std::array<std::uint8_t, 32> hmac_sha256(ByteView key, ByteView message);

// SHAKE256 with a 32-byte output, through OpenSSL's EVP digest.
std::array<std::uint8_t, 32> shake256_32(ByteView message);

}  // namespace quarn::testing
