// Files: the metadata query that serves as existence test, and whole-file reads.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/bytes.h"
#include "base/result.h"
#include "base/system.h"

namespace quarn::platform {

// As System::query_path.
Result<FileInfo, OsError> query_path(std::string_view path);

// As System::read_file.
Result<Bytes, OsError> read_file(std::string_view path, std::uint64_t max_size);

// As System::describe: the system's text for an error code, trailing white space removed.
std::string error_description(int code);

}  // namespace quarn::platform
