// The two commands that talk to the desktop application's side of the host.
#pragma once

#include "base/system.h"
#include "json/value.h"

namespace quarn::desktop {

// ok_reply({"path": last vault path or ""}); never an error reply.
json::Value handle_get_last_vault_path(System& system);

// The desktop application's answer to get_entries as the whole reply, or no_session_reply().
json::Value handle_try_live_session(System& system);

}  // namespace quarn::desktop
