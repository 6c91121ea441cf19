// The process's environment variables, for tests that change what a child process inherits.
#pragma once

#include <optional>
#include <string>

namespace quarn::platform {

// The variable's value; nothing when it is not set.
std::optional<std::string> environment_variable(const std::string& name);

// Sets the variable, or removes it when `value` is nothing.
void set_environment_variable(const std::string& name, const std::optional<std::string>& value);

}  // namespace quarn::platform
