// The handlers of get_last_vault_path and try_live_session: every failure becomes its reply here.
#include "desktop/commands.h"

#include <utility>

#include "desktop/live_session.h"
#include "desktop/state_files.h"
#include "json/reply.h"

namespace quarn::desktop {

json::Value handle_get_last_vault_path() {
  json::Value data = json::Value::object();
  data["path"] = read_last_vault_path();
  return json::ok_reply(std::move(data));
}

json::Value handle_try_live_session() {
  const auto session = read_session_info();
  if (!session) return json::no_session_reply();
  auto answer = query_live_session(*session);
  if (!answer) return json::no_session_reply();
  // The application's answer is the whole reply, without an envelope.
  return std::move(*answer);
}

}  // namespace quarn::desktop
