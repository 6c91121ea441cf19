// The native-message frame: a 32-bit little-endian length, then that many bytes of body.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/bytes.h"

namespace quarn {

inline constexpr std::size_t kLengthPrefixSize = 4;

using LengthPrefix = std::array<std::uint8_t, kLengthPrefixSize>;

inline LengthPrefix encode_length_prefix(std::uint32_t length) {
  LengthPrefix prefix{};
  store_le(prefix, length);
  return prefix;
}

inline std::uint32_t decode_length_prefix(const LengthPrefix& prefix) {
  return load_le<std::uint32_t>(prefix);
}

// `body` behind its length prefix; the length is taken modulo 2^32, as the field holds it.
inline std::string frame_native_message(std::string_view body) {
  const LengthPrefix prefix = encode_length_prefix(static_cast<std::uint32_t>(body.size()));
  std::string framed(reinterpret_cast<const char*>(prefix.data()), prefix.size());
  framed.append(body);
  return framed;
}

// The body of `bytes` when they are exactly one frame; nothing otherwise.
inline std::optional<std::string_view> unframe_native_message(std::string_view bytes) {
  if (bytes.size() < kLengthPrefixSize) return std::nullopt;
  const std::uint32_t length = load_le<std::uint32_t>(bytes_of(bytes));
  if (bytes.size() - kLengthPrefixSize != length) return std::nullopt;
  return bytes.substr(kLengthPrefixSize);
}

}  // namespace quarn
