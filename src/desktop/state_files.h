// The state folder that the desktop application shares with the host, and its two files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/system.h"

namespace quarn::desktop {

// Where the running desktop application accepts live-session queries.
struct SessionInfo {
  std::uint16_t port = 0;
  std::string token;
};

// The profile folder (or "." when there is none) joined with ".quarn". Never fails; whether the
// folder exists is not tested.
std::string state_dir(System& system);

// The content of `last_vault.txt` in the state folder without its outer Unicode white space, or
// "" when the file cannot be read or is not UTF-8.
std::string read_last_vault_path(System& system);

// The session in the text of a session file: one object with the members "port" (an integer
// 0..65535 written without fraction or exponent) and "token" (a string), each exactly once, other
// members skipped; or an array of exactly those two values. The text must be UTF-8, without a
// byte-order mark, with only JSON white space around the value. Nothing on any violation.
[[nodiscard]] std::optional<SessionInfo> parse_session_info(std::string_view text);

// The session in `session.json` in the state folder; nothing when the file cannot be read or is
// invalid.
[[nodiscard]] std::optional<SessionInfo> read_session_info(System& system);

}  // namespace quarn::desktop
