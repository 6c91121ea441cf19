// The writer's own randomness and AES-256-GCM sealing, straight on the system's crypto library
// (OpenSSL, or CNG on Windows) rather than through the host's code.
#pragma once

#include <cstdint>
#include <span>

namespace quarn::vault_writer {

// Fills `out` from the system's cryptographic random generator; ends the process if it fails.
void fill_random(std::span<std::uint8_t> out);

}  // namespace quarn::vault_writer
