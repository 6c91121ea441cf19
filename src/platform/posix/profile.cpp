// The profile folder from the environment or the account database.
#include "platform/profile.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace quarn::platform {
namespace {

bool usable(const char* path) { return path != nullptr && path[0] == '/'; }

std::optional<std::string> account_home() {
  const long hint = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(hint > 0 ? static_cast<std::size_t>(hint) : 1024);
  // The entry's strings live in the buffer; grow it until they fit, within reason.
  for (;;) {
    passwd entry{};
    passwd* found = nullptr;
    const int rc = ::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found);
    if (rc == ERANGE && buffer.size() < (1u << 20)) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (rc == EINTR) continue;
    if (rc != 0 || found == nullptr || !usable(found->pw_dir)) return std::nullopt;
    return std::string(found->pw_dir);
  }
}

}  // namespace

// $HOME when it is an absolute path, otherwise the home folder of the account database when that
// is an absolute path.
std::optional<std::string> profile_folder() {
  const char* home = std::getenv("HOME");
  if (usable(home)) return std::string(home);
  return account_home();
}

std::string join_path(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (!path.empty() && path.back() != '/') path += '/';
  path += name;
  return path;
}

}  // namespace quarn::platform
