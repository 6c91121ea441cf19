// The reply envelopes that every command handler builds its answer with.
#pragma once

#include <string>

#include "json/value.h"

namespace quarn::protocol {

// {"data": data, "ok": true}
json::Value ok_reply(json::Value data);

// {"error": message, "ok": false}
json::Value error_reply(std::string message);

// {"error": "NO_SESSION", "ok": false}
json::Value no_session_reply();

}  // namespace quarn::protocol
