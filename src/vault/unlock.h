// The unlock command: open a vault file with its master password and return every entry.
#pragma once

#include <string>

#include "json/value.h"

namespace quarn::vault {

// The reply to `unlock`: ok_reply({"entries": [...]}) or error_reply of the failure's text.
json::Value handle_unlock(std::string path, std::string password);

}  // namespace quarn::vault
