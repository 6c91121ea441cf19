// Standard streams over the handles of GetStdHandle, read and written with ReadFile and
// WriteFile: raw bytes, no text-mode translation.
#include "platform/stdio.h"

#include <windows.h>

#include <algorithm>

namespace quarn::platform {
namespace {

// ReadFile and WriteFile take a DWORD length.
constexpr std::size_t kMaxCall = 1u << 30;

bool usable(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }

}  // namespace

Result<Done, StreamError> read_stdin_exact(std::span<std::uint8_t> buffer) {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  // A process started without standard input reads end of input.
  if (!usable(input)) return fail(StreamError{StreamError::Kind::kEndOfInput});
  std::size_t filled = 0;
  while (filled < buffer.size()) {
    DWORD got = 0;
    const DWORD ask = static_cast<DWORD>(std::min(kMaxCall, buffer.size() - filled));
    if (!ReadFile(input, buffer.data() + filled, ask, &got, nullptr)) {
      const DWORD error = GetLastError();
      // The writer closed its end of the pipe: end of input.
      if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF ||
          error == ERROR_INVALID_HANDLE) {
        return fail(StreamError{StreamError::Kind::kEndOfInput});
      }
      return fail(StreamError{StreamError::Kind::kOs, static_cast<int>(error)});
    }
    if (got == 0) return fail(StreamError{StreamError::Kind::kEndOfInput});
    filled += got;
  }
  return Done{};
}

Result<Done, StreamError> write_stdout_all(std::span<const std::uint8_t> bytes) {
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  if (!usable(output)) return Done{};  // no standard output: writes succeed without effect
  std::size_t written = 0;
  while (written < bytes.size()) {
    DWORD put = 0;
    const DWORD ask = static_cast<DWORD>(std::min(kMaxCall, bytes.size() - written));
    if (!WriteFile(output, bytes.data() + written, ask, &put, nullptr)) {
      const DWORD error = GetLastError();
      if (error == ERROR_INVALID_HANDLE) return Done{};
      return fail(StreamError{StreamError::Kind::kOs, static_cast<int>(error)});
    }
    if (put == 0) return fail(StreamError{StreamError::Kind::kOs, 0});
    written += put;
  }
  return Done{};
}

// A write to a pipe whose reader has gone fails with ERROR_NO_DATA; nothing ends the process.
void ignore_broken_pipe() {}

}  // namespace quarn::platform
