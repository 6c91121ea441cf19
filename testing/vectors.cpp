// Known-answer vector files and hex text.
#include "testing/vectors.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace quarn::testing {

nlohmann::json load_vectors(std::string_view file_name) {
  const std::string path = std::string(QUARN_VECTORS_DIR) + "/" + std::string(file_name);
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    ADD_FAILURE() << "cannot read " << path;
    return nlohmann::json();
  }
  std::stringstream text;
  text << in.rdbuf();
  return nlohmann::json::parse(text.str());
}

Bytes from_hex(std::string_view hex) {
  const auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  Bytes out;
  if (hex.size() % 2 != 0) {
    ADD_FAILURE() << "odd hex length " << hex.size();
    return out;
  }
  out.reserve(hex.size() / 2);
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int hi = nibble(hex[i]);
    const int lo = nibble(hex[i + 1]);
    if (hi < 0 || lo < 0) {
      ADD_FAILURE() << "bad hex digit near offset " << i;
      return {};
    }
    out.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
  }
  return out;
}

std::string to_hex(ByteView bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (const std::uint8_t b : bytes) {
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 15]);
  }
  return out;
}

}  // namespace quarn::testing
