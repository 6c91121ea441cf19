// Encoding of vault payloads.
#include "vault_writer/payload.h"

namespace quarn::vault_writer {

void append_string(Bytes& out, ByteView bytes) {
  append_le<std::uint64_t>(out, bytes.size());
  out.insert(out.end(), bytes.begin(), bytes.end());
}

void append_string(Bytes& out, std::string_view text) { append_string(out, bytes_of(text)); }

Bytes encode_payload(std::span<const Entry> entries, std::uint32_t header_word) {
  Bytes out;
  append_le(out, header_word);
  append_le<std::uint64_t>(out, entries.size());
  for (const Entry& e : entries) {
    for (const std::string* text : {&e.key, &e.id, &e.title, &e.username, &e.password, &e.url}) {
      append_string(out, *text);
    }
    append_le(out, e.last_modified);
  }
  return out;
}

}  // namespace quarn::vault_writer
