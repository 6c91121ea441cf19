// Standard streams over the POSIX file descriptors 0 and 1.
#include "platform/stdio.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace quarn::platform {

Result<Done, StreamError> read_stdin_exact(std::span<std::uint8_t> buffer) {
  std::size_t filled = 0;
  while (filled < buffer.size()) {
    const ssize_t n = ::read(STDIN_FILENO, buffer.data() + filled, buffer.size() - filled);
    if (n > 0) {
      filled += static_cast<std::size_t>(n);
    } else if (n == 0 || errno == EBADF) {
      // A closed or missing standard input reads as end of input.
      return fail(StreamError{StreamError::Kind::kEndOfInput});
    } else if (errno != EINTR) {
      return fail(StreamError{StreamError::Kind::kOs, errno});
    }
  }
  return Done{};
}

Result<Done, StreamError> write_stdout_all(std::span<const std::uint8_t> bytes) {
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::write(STDOUT_FILENO, bytes.data() + written, bytes.size() - written);
    if (n > 0) {
      written += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EBADF) {
      return Done{};  // no standard output at all: writes succeed without effect
    } else if (n == 0) {
      return fail(StreamError{StreamError::Kind::kOs, 0});
    } else if (errno != EINTR) {
      return fail(StreamError{StreamError::Kind::kOs, errno});
    }
  }
  return Done{};
}

void ignore_broken_pipe() { std::signal(SIGPIPE, SIG_IGN); }

}  // namespace quarn::platform
