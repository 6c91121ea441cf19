// Payload decoding: the entry table, merged by key, with the decoder's own error texts.
#include "vault/payload.h"

#include <algorithm>
#include <initializer_list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "base/utf8.h"
#include "vault/byte_cursor.h"

namespace quarn::vault {
namespace {

constexpr std::string_view kEndOfData = "io error: unexpected end of file";
constexpr std::string_view kShortText = "io error: ";
constexpr std::string_view kBadUtf8 = "string is not valid utf8: ";

std::string utf8_message(const Utf8Error& error) {
  std::string message(kBadUtf8);
  if (error.error_len == 0) {
    message += "incomplete utf-8 byte sequence from index ";
  } else {
    message += "invalid utf-8 sequence of ";
    message += std::to_string(error.error_len);
    message += " bytes from index ";
  }
  message += std::to_string(error.valid_up_to);
  return message;
}

// A length-prefixed UTF-8 text, still in the plaintext; it is checked only once its bytes are
// known to be present.
Result<std::string_view, std::string> read_text(ByteCursor& cursor) {
  auto length = cursor.read_u64();
  if (!length) return fail(std::string(kEndOfData));
  auto bytes = cursor.read_bytes(length.value());
  if (!bytes) return fail(std::string(kShortText));
  const std::string_view text = text_of(bytes.value());
  if (auto error = find_utf8_error(text)) return fail(utf8_message(*error));
  return text;
}

// Reads the five texts of an entry into their places, in table order; the first failure wins.
Result<Done, std::string> read_entry_texts(ByteCursor& cursor, VaultEntry& entry) {
  for (std::string* text :
       {&entry.id, &entry.title, &entry.username, &entry.password, &entry.url}) {
    auto read = read_text(cursor);
    if (!read) return fail(std::move(read.error()));
    text->assign(read.value());
  }
  return Done{};
}

}  // namespace

Result<VaultPayload, std::string> decode_vault_payload(ByteView plaintext) {
  ByteCursor cursor(plaintext);
  VaultPayload payload;
  auto header_word = cursor.read_u32();
  if (!header_word) return fail(std::string(kEndOfData));
  payload.header_word = header_word.value();
  auto count = cursor.read_u64();
  if (!count) return fail(std::string(kEndOfData));

  const auto reserved =
      static_cast<std::size_t>(std::min<std::uint64_t>(count.value(), kMaxReservedEntries));
  payload.entries.reserve(reserved);
  // Key text -> position of its entry, so a repeated key replaces the entry where it stands. The
  // keys are only compared, never kept, so they stay views into the plaintext.
  std::unordered_map<std::string_view, std::size_t> position_of_key;
  position_of_key.reserve(reserved);

  for (std::uint64_t pair = 0; pair < count.value(); ++pair) {
    auto key = read_text(cursor);
    if (!key) return fail(std::move(key.error()));
    VaultEntry entry;
    auto texts = read_entry_texts(cursor, entry);
    if (!texts) return fail(std::move(texts.error()));
    auto last_modified = cursor.read_u64();
    if (!last_modified) return fail(std::string(kEndOfData));
    entry.last_modified = last_modified.value();

    auto [slot, added] = position_of_key.try_emplace(key.value(), payload.entries.size());
    if (added) {
      payload.entries.push_back(std::move(entry));
    } else {
      payload.entries[slot->second] = std::move(entry);
    }
  }
  return payload;
}

}  // namespace quarn::vault
