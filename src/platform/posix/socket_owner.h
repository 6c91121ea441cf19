// Who owns the other end of a loopback connection.
#pragma once

namespace quarn::platform {

// Whether the socket at the other end of the connected IPv4 socket `fd` belongs to this process's
// effective user, and is not `fd` itself (a connection to a free port can meet itself). False
// whenever the owner cannot be found.
bool socket_peer_is_same_user(int fd);

}  // namespace quarn::platform
