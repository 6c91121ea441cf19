// Raw standard input and output: exact reads, whole writes, no translation, no buffering.
#pragma once

#include <cstdint>
#include <span>

#include "base/result.h"

namespace quarn::platform {

struct StreamError {
  enum class Kind { kEndOfInput, kOs };
  Kind kind;
  int os_code = 0;  // errno for kOs
};

// Reads exactly buffer.size() bytes from standard input, retrying interrupted reads. End of input
// before the last byte (or no usable standard input) is kEndOfInput.
Result<Done, StreamError> read_stdin_exact(std::span<std::uint8_t> buffer);

// Writes every byte to standard output, continuing after partial writes and retrying interrupted
// ones. A write that accepts nothing fails. Without a usable standard output it succeeds.
Result<Done, StreamError> write_stdout_all(std::span<const std::uint8_t> bytes);

// A write to a closed pipe fails with EPIPE instead of ending the process.
void ignore_broken_pipe();

}  // namespace quarn::platform
