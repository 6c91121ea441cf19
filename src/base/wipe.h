// The one wipe helper: secrets are overwritten with zeros before their memory is given back.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "base/bytes.h"

namespace quarn {

// Overwrites `bytes` with zeros in a way the compiler cannot drop.
void wipe(std::span<std::uint8_t> bytes);

// Overwrites the whole allocation of a buffer (its capacity, not only its size) and releases it;
// the buffer is left empty.
void wipe_and_release(Bytes& buffer);
void wipe_and_release(std::string& text);

}  // namespace quarn
