// Placeholder until the desktop subsystem lands.
#include "desktop/commands.h"

#include "json/reply.h"

namespace quarn::desktop {

json::Value handle_get_last_vault_path() { return json::ok_reply({{"path", ""}}); }

json::Value handle_try_live_session() { return json::no_session_reply(); }

}  // namespace quarn::desktop
