// The reply envelopes that every command handler builds its answer with.
#pragma once

#include <string>

#include "json/value.h"

namespace quarn::json {

// {"data": data, "ok": true}
Value ok_reply(Value data);

// {"error": message, "ok": false}
Value error_reply(std::string message);

// {"error": "NO_SESSION", "ok": false}
Value no_session_reply();

}  // namespace quarn::json
