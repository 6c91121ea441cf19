// The entry routine.
#include "host/run_host.h"

#include <utility>

#include "host/dispatch.h"
#include "host/framing.h"
#include "platform/real_system.h"
#include "platform/stdio.h"
#include "protocol/reply.h"
#include "protocol/request.h"

namespace quarn::host {

inline constexpr const char* kInvalidRequest = "Requête invalide : ";

void run_host() {
  platform::ignore_broken_pipe();
  auto body = read_native_message(platform::read_stdin_exact);
  if (!body) return;

  platform::RealSystem system;
  json::Value reply;
  {
    auto request = protocol::parse_request(body.value());
    Bytes().swap(body.value());  // the body is released once decoded
    reply = request ? handle_request(std::move(request.value()), system)
                    : protocol::error_reply(kInvalidRequest + std::move(request.error()));
  }
  // A failed write ends the exchange just as a successful one does.
  (void)write_native_message(reply, platform::write_stdout_all);
}

}  // namespace quarn::host
