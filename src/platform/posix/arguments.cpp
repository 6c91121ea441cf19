// Arguments and paths on POSIX: already bytes, taken as UTF-8.
#include "platform/arguments.h"

namespace quarn::platform {

std::vector<std::string> program_arguments(int argc, char** argv) {
  return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
}

std::filesystem::path file_path(std::string_view utf8) { return std::filesystem::path(utf8); }

std::string path_text(const std::filesystem::path& path) { return path.string(); }

}  // namespace quarn::platform
