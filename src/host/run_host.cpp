// The entry routine.
#include "host/run_host.h"

#include <cstdlib>
#include <exception>
#include <utility>

#include "base/wipe.h"
#include "host/dispatch.h"
#include "host/framing.h"
#include "json/wipe.h"
#include "platform/confinement.h"
#include "platform/process.h"
#include "platform/real_system.h"
#include "platform/stdio.h"
#include "protocol/reply.h"
#include "protocol/request.h"

namespace quarn::host {
namespace {

inline constexpr const char* kInvalidRequest = "Requête invalide : ";

// How the process ends when it cannot go on (no memory for the reply, say): at once and without
// a word, since standard error is not the host's to write and standard output carries replies
// only. Nothing is unwound, nothing is flushed.
[[noreturn]] void end_silently() { std::_Exit(EXIT_FAILURE); }

void serve_one_message() {
  auto body = read_native_message(platform::read_stdin_exact);
  if (!body) return;

  platform::RealSystem system;
  json::Value reply;
  {
    auto request = protocol::parse_request(body.value());
    // The body may hold a master password; it is released, overwritten, once decoded.
    wipe_and_release(body.value());
    reply = request ? handle_request(std::move(request.value()), system)
                    : protocol::error_reply(kInvalidRequest + std::move(request.error()));
  }
  // A failed write ends the exchange just as a successful one does.
  (void)write_native_message(reply, platform::write_stdout_all);
  // The entries of an unlocked vault, passwords included, do not outlive the exchange.
  json::wipe_and_release(reply);
}

}  // namespace

void run_host() {
  std::set_terminate(end_silently);
  platform::harden_process();
  platform::confine_process();
  platform::ignore_broken_pipe();
  try {
    serve_one_message();
  } catch (...) {
    end_silently();
  }
}

}  // namespace quarn::host
