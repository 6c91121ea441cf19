// EnvironmentGuard over the platform's environment variables.
#include "testing/environment_guard.h"

#include "platform/environment.h"

namespace quarn::testing {

EnvironmentGuard::~EnvironmentGuard() {
  // Newest first, so that a variable set twice gets its very first value back.
  for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
    platform::set_environment_variable(it->first, it->second);
  }
}

void EnvironmentGuard::set(const std::string& name, const std::optional<std::string>& value) {
  saved_.emplace_back(name, platform::environment_variable(name));
  platform::set_environment_variable(name, value);
}

}  // namespace quarn::testing
