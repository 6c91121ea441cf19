// Who owns the other end of a loopback connection.
#pragma once

#include "platform/windows/winsock.h"

namespace quarn::platform {

// Whether the process that owns the other end of the connected IPv4 socket `socket` runs as this
// process's user, and is not this process (a connection to a free port can meet itself). False
// whenever the owner cannot be found.
bool socket_peer_is_same_user(SOCKET socket);

}  // namespace quarn::platform
