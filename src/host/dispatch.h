// handle_request: one request to its command handler, one reply back.
#pragma once

#include "host/request.h"
#include "json/value.h"

namespace quarn::host {

inline constexpr const char* kHostVersion = "2.0.0";

// The command's reply; every failure of a command is already an error reply.
json::Value handle_request(Request request);

}  // namespace quarn::host
