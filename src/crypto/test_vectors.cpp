// Test support for the crypto tests: vector files, hex, and reference OpenSSL calls.
#include "crypto/test_vectors.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <fstream>
#include <sstream>

namespace quarn::crypto::testing {

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

std::vector<std::uint8_t> from_hex(std::string_view hex) {
  const auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::vector<std::uint8_t> out;
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

std::string to_hex(std::span<const std::uint8_t> bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (const std::uint8_t b : bytes) {
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 15]);
  }
  return out;
}

std::vector<std::uint8_t> bytes_of(std::string_view text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

std::vector<std::uint8_t> seal(const SymmetricKey& key, const Nonce& nonce,
                               std::span<const std::uint8_t> plaintext) {
  std::vector<std::uint8_t> out(plaintext.size() + kTagSize);
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  int len = 0;
  bool ok =
      ctx != nullptr &&
      EVP_EncryptInit_ex(ctx, EVP_aes_256_gcm(), nullptr, key.bytes.data(), nonce.data()) == 1 &&
      EVP_EncryptUpdate(ctx, out.data(), &len, plaintext.data(),
                        static_cast<int>(plaintext.size())) == 1 &&
      EVP_EncryptFinal_ex(ctx, out.data() + len, &len) == 1 &&
      EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_GCM_GET_TAG, static_cast<int>(kTagSize),
                          out.data() + plaintext.size()) == 1;
  EVP_CIPHER_CTX_free(ctx);
  if (!ok) ADD_FAILURE() << "sealing failed";
  return out;
}

std::array<std::uint8_t, 32> hmac_sha256(std::span<const std::uint8_t> key,
                                         std::span<const std::uint8_t> message) {
  std::array<std::uint8_t, 32> out{};
  unsigned int len = 0;
  if (HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()), message.data(), message.size(),
           out.data(), &len) == nullptr ||
      len != out.size()) {
    ADD_FAILURE() << "HMAC failed";
  }
  return out;
}

std::array<std::uint8_t, 32> shake256_32(std::span<const std::uint8_t> message) {
  std::array<std::uint8_t, 32> out{};
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  const bool ok = ctx != nullptr && EVP_DigestInit_ex(ctx, EVP_shake256(), nullptr) == 1 &&
                  EVP_DigestUpdate(ctx, message.data(), message.size()) == 1 &&
                  EVP_DigestFinalXOF(ctx, out.data(), out.size()) == 1;
  EVP_MD_CTX_free(ctx);
  if (!ok) ADD_FAILURE() << "SHAKE256 failed";
  return out;
}

}  // namespace quarn::crypto::testing
