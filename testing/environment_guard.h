// Changes to this process's environment that last as long as the guard.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quarn::testing {

class EnvironmentGuard {
 public:
  EnvironmentGuard() = default;
  EnvironmentGuard(const EnvironmentGuard&) = delete;
  EnvironmentGuard& operator=(const EnvironmentGuard&) = delete;
  // Puts every variable it changed back as it was.
  ~EnvironmentGuard();

  // Sets `name`, or removes it when `value` is nothing.
  void set(const std::string& name, const std::optional<std::string>& value);

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace quarn::testing
