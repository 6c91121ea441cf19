// Encoding of vault payloads.
#include "vault_writer/payload.h"

namespace quarn::vault_writer {

void append_u32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void append_u64(std::vector<std::uint8_t>& out, std::uint64_t value) {
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void append_string(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> bytes) {
  append_u64(out, bytes.size());
  out.insert(out.end(), bytes.begin(), bytes.end());
}

void append_string(std::vector<std::uint8_t>& out, std::string_view text) {
  append_u64(out, text.size());
  out.insert(out.end(), text.begin(), text.end());
}

std::vector<std::uint8_t> encode_payload(std::span<const Entry> entries,
                                         std::uint32_t header_word) {
  std::vector<std::uint8_t> out;
  append_u32(out, header_word);
  append_u64(out, entries.size());
  for (const Entry& e : entries) {
    for (const std::string* text : {&e.key, &e.id, &e.title, &e.username, &e.password, &e.url}) {
      append_string(out, *text);
    }
    append_u64(out, e.last_modified);
  }
  return out;
}

}  // namespace quarn::vault_writer
