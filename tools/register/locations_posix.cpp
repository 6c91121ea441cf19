// The registration tool on Linux: manifests are found by their folders alone.
#include "locations.h"
#include "platform/environment.h"

namespace quarn::reg {

std::string user_base() {
  const std::string home = platform::environment_variable("HOME").value_or("");
  return !home.empty() && home.front() == '/' ? home : "";
}

const char* const kNoUserBase = "HOME is not set to an absolute path";

bool is_absolute_path(const std::string& path) { return !path.empty() && path.front() == '/'; }

const bool kRelativeHostPathAllowed = false;

std::optional<std::string> user_data_dir_refusal() { return std::nullopt; }

std::string register_manifest(const std::string&, bool, const std::string&) { return ""; }

bool unregister_manifest(const std::string&, bool, std::string&) { return false; }

std::optional<std::string> registered_manifest(const std::string&, bool) { return std::nullopt; }

std::string registration_label(const std::string&, bool) { return ""; }

}  // namespace quarn::reg
