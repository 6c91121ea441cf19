// The handlers of get_last_vault_path and try_live_session: every failure becomes its reply here.
#include "desktop/commands.h"

#include <utility>

#include "desktop/live_session.h"
#include "desktop/state_files.h"
#include "protocol/reply.h"

namespace quarn::desktop {

json::Value handle_get_last_vault_path(System& system) {
  json::Value data = json::Value::object();
  data["path"] = read_last_vault_path(system);
  return protocol::ok_reply(std::move(data));
}

json::Value handle_try_live_session(System& system) {
  const auto session = read_session_info(system);
  if (!session) return protocol::no_session_reply();
  // The one port the host may still reach, set before it connects anywhere.
  system.limit_connections_to(session->port);
  auto answer = query_live_session(system, *session);
  if (!answer) return protocol::no_session_reply();
  // The application's answer is the whole reply, without an envelope.
  return std::move(*answer);
}

}  // namespace quarn::desktop
