// Windows Sockets, started once per process on first use.
#pragma once

// clang-format off
#include <winsock2.h>
#include <windows.h>
// clang-format on

namespace quarn::platform {

// Starts Windows Sockets 2.2 the first time it is called; false when it could not be started.
bool start_sockets();

}  // namespace quarn::platform
