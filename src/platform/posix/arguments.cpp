// Arguments, input and paths on POSIX: already bytes, taken as UTF-8.
#include "platform/arguments.h"

#include <unistd.h>

#include <cerrno>

namespace quarn::platform {

std::vector<std::string> program_arguments(int argc, char** argv) {
  return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
}

std::string read_standard_input() {
  std::string all;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return all;
    all.append(buffer, static_cast<std::size_t>(n));
  }
}

std::filesystem::path file_path(std::string_view utf8) { return std::filesystem::path(utf8); }

std::string path_text(const std::filesystem::path& path) { return path.string(); }

}  // namespace quarn::platform
