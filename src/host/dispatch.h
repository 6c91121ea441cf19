// handle_request: one request to its command handler, one reply back.
#pragma once

#include "base/system.h"
#include "json/value.h"
#include "protocol/request.h"

namespace quarn::host {

// The command's reply; every failure of a command is already an error reply. The handlers reach
// files, folders and sockets only through `system`.
json::Value handle_request(protocol::Request request, System& system);

}  // namespace quarn::host
