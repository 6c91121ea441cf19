// Files over POSIX stat/open/read.
#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <stdexcept>

namespace quarn::platform {
namespace {

// The path as a C string, or nothing when it holds a NUL (which would silently shorten it).
bool to_c_path(std::string_view path, std::string& out) {
  if (path.find('\0') != std::string_view::npos) return false;
  out.assign(path);
  return true;
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Reads until end of file into `bytes`, whose capacity is the first guess of the size.
Result<Done, OsError> read_to_end(int fd, Bytes& bytes) {
  // Fill the spare capacity; when it is used up, a small probe read tells end of file from a file
  // that grew, so an exactly-sized buffer is never doubled just to see the end.
  std::uint8_t probe[8192];
  for (;;) {
    const std::size_t used = bytes.size();
    const std::size_t spare = bytes.capacity() - used;
    if (spare == 0) {
      const ssize_t n = ::read(fd, probe, sizeof probe);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return fail(OsError{errno});
      if (n == 0) return Done{};
      bytes.insert(bytes.end(), probe, probe + n);
      continue;
    }
    bytes.resize(bytes.capacity());
    const ssize_t n = ::read(fd, bytes.data() + used, spare);
    const int read_errno = errno;
    bytes.resize(used + static_cast<std::size_t>(n > 0 ? n : 0));
    if (n < 0 && read_errno == EINTR) continue;
    if (n < 0) return fail(OsError{read_errno});
    if (n == 0) return Done{};
  }
}

}  // namespace

Result<FileInfo, OsError> query_path(std::string_view path) {
  std::string c_path;
  if (!to_c_path(path, c_path)) return fail(OsError{ENOENT});
  struct stat info {};
  if (::stat(c_path.c_str(), &info) != 0) return fail(OsError{errno});
  return FileInfo{info.st_size > 0 ? static_cast<std::uint64_t>(info.st_size) : 0};
}

Result<Bytes, OsError> read_file(std::string_view path, std::uint64_t expected_size) {
  std::string c_path;
  if (!to_c_path(path, c_path)) return fail(OsError{ENOENT});
  Descriptor fd(::open(c_path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return fail(OsError{errno});
  Bytes bytes;
  try {
    if (expected_size > 0) bytes.reserve(static_cast<std::size_t>(expected_size));
    auto read = read_to_end(fd.get(), bytes);
    if (!read) return fail(read.error());
  } catch (const std::bad_alloc&) {
    return fail(OsError::no_memory());
  } catch (const std::length_error&) {
    return fail(OsError::no_memory());
  }
  return bytes;
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
