// A tool's command-line arguments, standard input and file paths, as UTF-8 on every system.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quarn::platform {

// The arguments after the program's name, in UTF-8. `argc` and `argv` are main's; where the
// system hands main another encoding, the arguments are read from the system instead.
std::vector<std::string> program_arguments(int argc, char** argv);

// Everything left on standard input, raw; stops at the first error.
std::string read_standard_input();

// A UTF-8 path as the standard library's path type, for the tools' streams and folders.
std::filesystem::path file_path(std::string_view utf8);

// The UTF-8 text of a path.
std::string path_text(const std::filesystem::path& path);

}  // namespace quarn::platform
