// The decrypted vault payload: its entry table, decoded from the compact binary encoding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "base/result.h"

namespace quarn::vault {

// Most entries reserved before the first pair is read; the table grows as pairs arrive.
inline constexpr std::size_t kMaxReservedEntries = 6898;

// One entry of the vault; every text is valid UTF-8.
struct VaultEntry {
  std::string id;
  std::string title;
  std::string username;
  std::string password;
  std::string url;
  std::uint64_t last_modified = 0;

  bool operator==(const VaultEntry&) const = default;
};

// The decoded payload: one entry per distinct key of the table, in the order in which each key
// first appeared (a later pair with the same key replaced the earlier entry at its place). The
// keys themselves are not kept: they only serve to merge pairs.
struct VaultPayload {
  std::uint32_t header_word = 0;
  std::vector<VaultEntry> entries;

  bool operator==(const VaultPayload&) const = default;
};

// Decodes header_word, the count N and N (key, entry) pairs; bytes after the N-th pair are
// ignored and the count is never judged by itself. Errors are the decoder's English texts:
// "io error: unexpected end of file" (input under 12 bytes, a cut length prefix or
// last_modified), "io error: " (a text longer than the bytes left), or
// "string is not valid utf8: " followed by the position and kind of the first bad sequence.
Result<VaultPayload, std::string> decode_vault_payload(ByteView plaintext);

}  // namespace quarn::vault
