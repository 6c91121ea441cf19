// parse_session_info over arbitrary session-file text.
//
// Property: a session is returned only for text that the general parser reads as an object with
// that port and token, or as the two-element array of them.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "desktop/state_files.h"
#include "json/parse.h"

using namespace quarn;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto session = desktop::parse_session_info(text);
  if (!session) return 0;
  const auto value = json::parse_strict(text);
  if (!value) std::abort();
  const json::Value port = session->port;
  const json::Value token = session->token;
  if (value->is_object()) {
    if ((*value)["port"] != port || (*value)["token"] != token) std::abort();
  } else if (!value->is_array() || value->size() != 2 || (*value)[0] != port ||
             (*value)[1] != token) {
    std::abort();
  }
  return 0;
}
