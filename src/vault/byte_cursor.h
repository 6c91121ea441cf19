// ByteCursor: reads the compact binary encoding (little-endian integers, raw arrays, byte runs).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "base/bytes.h"
#include "base/result.h"

namespace quarn::vault {

// The bytes asked for are not all there.
struct Underrun {};

// A read position over borrowed bytes. Every read either takes exactly what it asks for and
// advances, or fails with Underrun and leaves the position where it was.
class ByteCursor {
 public:
  explicit ByteCursor(ByteView bytes) : rest_(bytes) {}

  std::size_t remaining() const { return rest_.size(); }

  Result<std::uint32_t, Underrun> read_u32() { return read_le<std::uint32_t>(); }
  Result<std::uint64_t, Underrun> read_u64() { return read_le<std::uint64_t>(); }

  template <std::size_t N>
  Result<std::array<std::uint8_t, N>, Underrun> read_array() {
    if (rest_.size() < N) return fail(Underrun{});
    std::array<std::uint8_t, N> out;
    for (std::size_t i = 0; i < N; ++i) out[i] = rest_[i];
    rest_ = rest_.subspan(N);
    return out;
  }

  // The next `n` bytes, still borrowed from the input; the caller decides how to copy them.
  // `n` is taken as 64 bits because lengths in the encoding are, and may exceed what is left.
  Result<ByteView, Underrun> read_bytes(std::uint64_t n) {
    if (rest_.size() < n) return fail(Underrun{});
    const auto count = static_cast<std::size_t>(n);
    const auto taken = rest_.first(count);
    rest_ = rest_.subspan(count);
    return taken;
  }

 private:
  template <class T>
  Result<T, Underrun> read_le() {
    if (rest_.size() < sizeof(T)) return fail(Underrun{});
    const T value = load_le<T>(rest_);
    rest_ = rest_.subspan(sizeof(T));
    return value;
  }

  ByteView rest_;
};

}  // namespace quarn::vault
