// Programs on disk, over /proc/self/exe, stat and access.
#include "platform/executable.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "platform/environment.h"

namespace quarn::platform {

std::string executable_path() {
  std::vector<char> buffer(4096);
  const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  return n > 0 ? std::string(buffer.data(), static_cast<std::size_t>(n)) : std::string();
}

std::string program_file_name(std::string_view name) { return std::string(name); }

bool is_executable_file(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         ::access(path.c_str(), X_OK) == 0;
}

bool is_on_path(const std::string& name) {
  const std::string dirs = environment_variable("PATH").value_or("");
  std::size_t start = 0;
  while (start <= dirs.size()) {
    const std::size_t end = std::min(dirs.find(':', start), dirs.size());
    if (end > start && is_executable_file(dirs.substr(start, end - start) + "/" + name)) {
      return true;
    }
    start = end + 1;
  }
  return false;
}

}  // namespace quarn::platform
