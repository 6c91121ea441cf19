// The current user's profile folder, and paths within it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quarn::platform {

// The current user's profile folder; nothing when the system cannot tell it.
std::optional<std::string> profile_folder();

// `folder` and `name` joined by the system's separator, left out when `folder` ends in one.
std::string join_path(std::string_view folder, std::string_view name);

}  // namespace quarn::platform
