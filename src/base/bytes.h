// Bytes and views of them: the one byte vocabulary, and little-endian integers in byte strings.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace quarn {

// An owned byte string.
using Bytes = std::vector<std::uint8_t>;
// A borrowed view of bytes.
using ByteView = std::span<const std::uint8_t>;

// The bytes of a text, borrowed.
inline ByteView bytes_of(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// An owned copy of the bytes of a text.
inline Bytes to_bytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

// The same bytes seen as text, borrowed.
inline std::string_view text_of(ByteView bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// The unsigned integer stored little-endian in the first sizeof(T) bytes of `bytes`, which must
// hold at least that many.
template <std::unsigned_integral T>
T load_le(ByteView bytes) {
  T value = 0;
  for (std::size_t i = 0; i < sizeof(T); ++i) {
    value |= static_cast<T>(static_cast<T>(bytes[i]) << (8 * i));
  }
  return value;
}

// Writes `value` little-endian into the first sizeof(T) bytes of `out`.
template <std::unsigned_integral T>
void store_le(std::span<std::uint8_t> out, T value) {
  for (std::size_t i = 0; i < sizeof(T); ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Appends `value` little-endian to `out`.
template <std::unsigned_integral T>
void append_le(Bytes& out, T value) {
  for (std::size_t i = 0; i < sizeof(T); ++i) {
    out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }
}

}  // namespace quarn
