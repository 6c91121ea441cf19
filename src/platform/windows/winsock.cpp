// WSAStartup once; the library stays started until the process ends.
#include "platform/windows/winsock.h"

namespace quarn::platform {

bool start_sockets() {
  static const bool started = [] {
    WSADATA data{};
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

}  // namespace quarn::platform
