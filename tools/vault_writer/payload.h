// Encoding of vault payloads (the plaintext inside a vault) for tests and the demo.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/bytes.h"

namespace quarn::vault_writer {

// One pair of the entry table: the table key and the entry's six fields.
struct Entry {
  std::string key;
  std::string id;
  std::string title;
  std::string username;
  std::string password;
  std::string url;
  std::uint64_t last_modified = 0;
};

// A length-prefixed string, the building block of the encoding besides little-endian integers
// (append_le); public so that tests can write malformed payloads byte by byte.
void append_string(Bytes& out, ByteView bytes);
void append_string(Bytes& out, std::string_view text);

// header_word, the entry count, then each pair: key, id, title, username, password, url and
// last_modified. Texts are written as given, valid UTF-8 or not.
Bytes encode_payload(std::span<const Entry> entries, std::uint32_t header_word = 0);

}  // namespace quarn::vault_writer
