// Known-answer vector files (from the folder QUARN_VECTORS_DIR names) and hex text.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "base/bytes.h"

namespace quarn::testing {

// The parsed JSON of a file in the known-answer vector folder; fails the test when unreadable.
nlohmann::json load_vectors(std::string_view file_name);

// Decodes hex text of either case; fails the test on bad input.
Bytes from_hex(std::string_view hex);

template <std::size_t N>
std::array<std::uint8_t, N> array_from_hex(std::string_view hex) {
  std::array<std::uint8_t, N> out{};
  const auto bytes = from_hex(hex);
  EXPECT_EQ(bytes.size(), N) << "hex of the wrong length";
  if (bytes.size() == N) std::copy(bytes.begin(), bytes.end(), out.begin());
  return out;
}

std::string to_hex(ByteView bytes);

}  // namespace quarn::testing
