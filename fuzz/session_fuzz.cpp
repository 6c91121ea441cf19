// parse_session_info over arbitrary session-file text.
//
// Property: a session is returned only for text that the general parser reads as an object with
// that port and token, or as the two-element array of them.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "base/bytes.h"
#include "desktop/state_files.h"
#include "json/parse.h"
#include "testing/fuzz_check.h"

using namespace quarn;
using testing::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = text_of({data, size});
  const auto session = desktop::parse_session_info(text);
  if (!session) return 0;
  const auto value = json::parse_strict(text);
  check(value.has_value());
  const json::Value port = session->port;
  const json::Value token = session->token;
  if (value->is_object()) {
    check((*value)["port"] == port && (*value)["token"] == token);
  } else {
    check(value->is_array() && value->size() == 2 && (*value)[0] == port && (*value)[1] == token);
  }
  return 0;
}
