// The decoded request and parse_request, which turns a message body into one.
#pragma once

#include <string>
#include <variant>

#include "base/bytes.h"
#include "base/result.h"
#include "base/secret_text.h"

namespace quarn::protocol {

struct Ping {};
struct GetLastVaultPath {};
struct Unlock {
  std::string path;
  SecretText password;
};
struct TryLiveSession {};

// Tagged by the request's "cmd"; alternatives in declaration order.
using Request = std::variant<Ping, GetLastVaultPath, Unlock, TryLiveSession>;

// The request in `body`, or the text of the decoding error ("missing field `cmd`", ...). A body
// that is not one strict JSON text decodes as the value null. The texts of the parsed value are
// overwritten before it is released, since the password is among them.
Result<Request, std::string> parse_request(ByteView body);

}  // namespace quarn::protocol
