// The unlock command: open a vault file with its master password and return every entry.
#pragma once

#include <string>

#include "base/secret_text.h"
#include "base/system.h"
#include "json/value.h"

namespace quarn::vault {

// The reply to `unlock`: ok_reply({"entries": [...]}) or error_reply of the failure's text. The
// vault file is reached through `system`. The file's bytes and the decrypted payload are
// overwritten before they are released, and so is the password with `password`.
json::Value handle_unlock(System& system, std::string path, SecretText password);

}  // namespace quarn::vault
