// The registration tool on Windows: a manifest is found through the default value of the
// browser's registry key, under HKCU for the user or HKLM for --system.
#include "locations.h"
#include "platform/environment.h"
#include "platform/registry.h"

namespace quarn::reg {
namespace {

platform::RegistryHive hive_of(bool system) {
  return system ? platform::RegistryHive::kLocalMachine : platform::RegistryHive::kCurrentUser;
}

}  // namespace

std::string user_base() {
  const std::string base = platform::environment_variable("LOCALAPPDATA").value_or("");
  return is_absolute_path(base) ? base : "";
}

const char* const kNoUserBase = "LOCALAPPDATA is not set to an absolute path";

// "C:\..." or "C:/...", or a UNC path "\\server\share\...".
bool is_absolute_path(const std::string& path) {
  const bool drive = path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/') &&
                     ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
  return drive || path.rfind("\\\\", 0) == 0;
}

const bool kRelativeHostPathAllowed = true;

std::optional<std::string> user_data_dir_refusal() {
  return std::string(
      "--user-data-dir has no use on Windows: every Chromium profile finds hosts through the "
      "registry; name the browser with --browser");
}

std::string register_manifest(const std::string& registry_key, bool system,
                              const std::string& manifest_path) {
  if (registry_key.empty()) return "";
  auto set = platform::set_registry_default_value(hive_of(system), registry_key, manifest_path);
  return set ? "" : "cannot set " + registration_label(registry_key, system) + ": " + set.error();
}

bool unregister_manifest(const std::string& registry_key, bool system, std::string& problem) {
  if (registry_key.empty()) return false;
  auto removed = platform::remove_registry_key(hive_of(system), registry_key);
  if (!removed) {
    problem = "cannot remove " + registration_label(registry_key, system) + ": " + removed.error();
    return false;
  }
  return removed.value();
}

std::optional<std::string> registered_manifest(const std::string& registry_key, bool system) {
  if (registry_key.empty()) return std::nullopt;
  return platform::registry_default_value(hive_of(system), registry_key);
}

std::string registration_label(const std::string& registry_key, bool system) {
  return (system ? "HKLM\\" : "HKCU\\") + registry_key;
}

}  // namespace quarn::reg
