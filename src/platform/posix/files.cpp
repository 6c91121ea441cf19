// Files over POSIX stat/open/read.
#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/posix/descriptor.h"
#include "platform/read_to_end.h"

namespace quarn::platform {
namespace {

// The path as a C string, or nothing when it holds a NUL (which would silently shorten it).
bool to_c_path(std::string_view path, std::string& out) {
  if (path.find('\0') != std::string_view::npos) return false;
  out.assign(path);
  return true;
}

}  // namespace

Result<FileInfo, OsError> query_path(std::string_view path) {
  std::string c_path;
  if (!to_c_path(path, c_path)) return fail(OsError{ENOENT});
  struct stat info {};
  if (::stat(c_path.c_str(), &info) != 0) return fail(OsError{errno});
  return FileInfo{info.st_size > 0 ? static_cast<std::uint64_t>(info.st_size) : 0};
}

Result<Bytes, OsError> read_file(std::string_view path, std::uint64_t max_size) {
  std::string c_path;
  if (!to_c_path(path, c_path)) return fail(OsError{ENOENT});
  // O_NONBLOCK: opening a FIFO without a writer would otherwise wait for one. O_NOCTTY: a terminal
  // named by the path must not become the host's.
  Descriptor fd(::open(c_path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (fd.get() < 0) return fail(OsError{errno});
  // The checks are made on what was opened, not on the path, which may have changed since.
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) return fail(OsError{errno});
  // A folder fails as its read would, with the system's own text.
  if (S_ISDIR(info.st_mode)) return fail(OsError{EISDIR});
  if (!S_ISREG(info.st_mode)) return fail(OsError::not_a_file());
  const std::uint64_t size = info.st_size > 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
  return read_to_end(size, max_size, [&fd](std::uint8_t* into, std::size_t max) {
    for (;;) {
      const ssize_t n = ::read(fd.get(), into, max);
      if (n >= 0) return Result<std::size_t, OsError>(static_cast<std::size_t>(n));
      if (errno != EINTR) return Result<std::size_t, OsError>(fail(OsError{errno}));
    }
  });
}

std::string error_description(int code) {
  std::string text = std::strerror(code);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\n' || text.back() == '\r' ||
                           text.back() == '\t')) {
    text.pop_back();
  }
  return text;
}

}  // namespace quarn::platform
