// Byte-building helpers for the decoder tests: little-endian integers and concatenation.
#pragma once

#include <cstdint>
#include <vector>

namespace quarn::vault {

using Bytes = std::vector<std::uint8_t>;

inline Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// `value` as `width` little-endian bytes.
inline Bytes le(std::uint64_t value, int width) {
  Bytes out;
  for (int i = 0; i < width; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  return out;
}

inline Bytes u64(std::uint64_t value) { return le(value, 8); }

}  // namespace quarn::vault
