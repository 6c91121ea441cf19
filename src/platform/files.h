// File-system access: existence test and whole-file reads.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/result.h"

namespace quarn::platform {

struct FileError {
  // The system's description of the failure: "<strerror text> (os error N)", or "out of memory"
  // when the buffer for the bytes could not be had.
  std::string message;
};

// True when the path's metadata can be queried (symbolic links followed). A path containing NUL
// names nothing.
bool path_exists(std::string_view path);

// The size in bytes of what the path names (links followed), or 0 when it cannot be queried.
std::uint64_t file_size(std::string_view path);

// The whole content of a file, read until end of file, with no size limit. The file is opened
// read-only; its size serves only as the initial capacity.
Result<std::string, FileError> read_whole_file(std::string_view path);

}  // namespace quarn::platform
