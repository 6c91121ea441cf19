// The current user's profile folder.
#pragma once

#include <optional>
#include <string>

namespace quarn::platform {

// $HOME when it is a non-empty absolute path, otherwise the current user's home folder from the
// account database when that is a non-empty absolute path; nothing when neither is available.
std::optional<std::string> profile_folder();

}  // namespace quarn::platform
