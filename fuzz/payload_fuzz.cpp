// decode_vault_payload then build_entries_data and the reply text, over arbitrary plaintext.
//
// Properties: every failure is one of the decoder's message forms; every success yields a reply
// that is valid UTF-8 JSON with six members per entry. Run with -malloc_limit_mb=2: the decoder
// reserves at most 6898 entries and never a text before its bytes are there.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/utf8.h"
#include "json/parse.h"
#include "json/serialize.h"
#include "protocol/reply.h"
#include "testing/fuzz_check.h"
#include "vault/entries.h"
#include "vault/payload.h"

using namespace quarn;
using testing::check;

namespace {

bool is_index(std::string_view s) {
  return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
}

bool is_decoder_message(std::string_view m) {
  if (m == "io error: unexpected end of file" || m == "io error: ") return true;
  constexpr std::string_view kUtf8 = "string is not valid utf8: ";
  constexpr std::string_view kIncomplete = "incomplete utf-8 byte sequence from index ";
  constexpr std::string_view kInvalid = "invalid utf-8 sequence of ";
  constexpr std::string_view kFrom = " bytes from index ";
  if (!m.starts_with(kUtf8)) return false;
  m.remove_prefix(kUtf8.size());
  if (m.starts_with(kIncomplete)) return is_index(m.substr(kIncomplete.size()));
  if (!m.starts_with(kInvalid)) return false;
  m.remove_prefix(kInvalid.size());
  return m.size() > 1 && m[0] >= '1' && m[0] <= '3' && m.substr(1).starts_with(kFrom) &&
         is_index(m.substr(1 + kFrom.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto payload = vault::decode_vault_payload({data, size});
  if (!payload) {
    check(is_decoder_message(payload.error()));
    return 0;
  }
  const std::size_t count = payload.value().entries.size();
  const json::Value reply =
      protocol::ok_reply(vault::build_entries_data(std::move(payload).value()));
  const auto& entries = reply["data"]["entries"];
  check(entries.is_array() && entries.size() == count);
  for (const auto& entry : entries)
    check(entry.size() == 6 && entry["last_modified"].is_number_unsigned());
  const std::string text = json::to_compact_json(reply);
  check(is_valid_utf8(text));
  const auto again = json::parse_strict(text);
  check(again.has_value() && *again == reply);
  return 0;
}
