// The Windows registry, where browsers on Windows find native-messaging hosts. Only the Windows
// build has it; the registration tool's Windows locations are its one user.
#pragma once

#include <optional>
#include <string>

#include "base/result.h"

namespace quarn::platform {

enum class RegistryHive { kCurrentUser, kLocalMachine };

// The default value of `key` (under Software\..., backslash-separated) as text; nothing when the
// key or its default value is missing or is not text.
std::optional<std::string> registry_default_value(RegistryHive hive, const std::string& key);

// Creates `key` and the keys above it as needed, and sets its default value; the system's
// description of the error on failure.
Result<Done, std::string> set_registry_default_value(RegistryHive hive, const std::string& key,
                                                     const std::string& value);

// Removes `key` with everything under it: true when it was there, false when it was not.
Result<bool, std::string> remove_registry_key(RegistryHive hive, const std::string& key);

}  // namespace quarn::platform
