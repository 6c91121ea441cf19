// The entry routine.
#include "host/run_host.h"

#include <vector>

#include "host/dispatch.h"
#include "host/framing.h"
#include "host/request.h"
#include "json/reply.h"
#include "platform/stdio.h"

namespace quarn::host {

inline constexpr const char* kInvalidRequest = "Requête invalide : ";

void run_host() {
  platform::ignore_broken_pipe();
  auto body = read_native_message(platform::read_stdin_exact);
  if (!body) return;

  json::Value reply;
  {
    auto request = parse_request(body.value());
    std::vector<std::uint8_t>().swap(body.value());  // the body is released once decoded
    reply = request ? handle_request(std::move(request.value()))
                    : json::error_reply(kInvalidRequest + std::move(request.error()));
  }
  // A failed write ends the exchange just as a successful one does.
  (void)write_native_message(reply, platform::write_stdout_all);
}

}  // namespace quarn::host
