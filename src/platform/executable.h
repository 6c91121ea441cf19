// Programs on disk: this program's own path, and whether a file can be run.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quarn::platform {

// The absolute path of the running program; empty when the system cannot tell.
std::string executable_path();

// The file name of the program called `name`: "name.exe" on Windows, `name` elsewhere.
std::string program_file_name(std::string_view name);

// True when `path` names a regular file that the current user may run.
bool is_executable_file(const std::string& path);

// True when a program called `name` can be run from the folders of the PATH variable.
bool is_on_path(const std::string& name);

}  // namespace quarn::platform
