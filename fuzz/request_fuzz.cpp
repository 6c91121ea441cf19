// Message bodies through the strict parser, parse_request and the reply serialiser.
//
// Properties: a parsed value re-serialised reads back as the same value; every reply text is
// valid UTF-8 and parses back to the reply; a decoded request re-serialised decodes the same.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

#include "base/bytes.h"
#include "base/utf8.h"
#include "json/parse.h"
#include "json/serialize.h"
#include "protocol/reply.h"
#include "protocol/request.h"
#include "testing/fuzz_check.h"

using namespace quarn;
using testing::check;

namespace {

json::Value request_as_json(const protocol::Request& request) {
  static constexpr const char* kNames[] = {"ping", "get_last_vault_path", "unlock",
                                           "try_live_session"};
  json::Value v = {{"cmd", kNames[request.index()]}};
  if (const auto* unlock = std::get_if<protocol::Unlock>(&request)) {
    v["path"] = unlock->path;
    v["password"] = std::string(unlock->password.view());
  }
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = text_of({data, size});

  if (const auto value = json::parse_strict(text)) {
    const std::string compact = json::to_compact_json(*value);
    const auto again = json::parse_strict(compact);
    check(again.has_value() && *again == *value);
    check(json::to_compact_json(*again) == compact);
  }

  auto request = protocol::parse_request({data, size});
  const json::Value reply = request
                                ? protocol::ok_reply(request_as_json(request.value()))
                                : protocol::error_reply("Requête invalide : " + request.error());
  const std::string reply_text = json::to_compact_json(reply);
  check(is_valid_utf8(reply_text));
  const auto reply_again = json::parse_strict(reply_text);
  check(reply_again.has_value() && *reply_again == reply);

  if (request) {
    const std::string canonical = json::to_compact_json(request_as_json(request.value()));
    auto decoded = protocol::parse_request(bytes_of(canonical));
    check(decoded.ok() && request_as_json(decoded.value()) == request_as_json(request.value()));
  }
  return 0;
}
