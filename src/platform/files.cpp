// Files over POSIX open/read/fstat.
#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

namespace quarn::platform {
namespace {

std::string os_error_text(int code) {
  std::string text = std::strerror(code);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\n' || text.back() == '\r' ||
                           text.back() == '\t')) {
    text.pop_back();
  }
  return text + " (os error " + std::to_string(code) + ")";
}

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

}  // namespace

bool path_exists(std::string_view path) {
  std::string c_path;
  if (!to_c_path(path, c_path)) return false;
  struct stat info {};
  return ::stat(c_path.c_str(), &info) == 0;
}

std::uint64_t file_size(std::string_view path) {
  std::string c_path;
  if (!to_c_path(path, c_path)) return 0;
  struct stat info {};
  if (::stat(c_path.c_str(), &info) != 0 || info.st_size < 0) return 0;
  return static_cast<std::uint64_t>(info.st_size);
}

Result<std::string, FileError> read_whole_file(std::string_view path) {
  std::string c_path;
  if (!to_c_path(path, c_path)) return fail(FileError{os_error_text(ENOENT)});
  Descriptor fd(::open(c_path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return fail(FileError{os_error_text(errno)});

  std::string bytes;
  try {
    struct stat info {};
    if (::fstat(fd.get(), &info) == 0 && info.st_size > 0) {
      bytes.reserve(static_cast<std::size_t>(info.st_size));
    }
    // Fill the spare capacity; when it is used up, a small probe read tells end of file from a
    // file that grew, so an exactly-sized buffer is never doubled just to see the end.
    char probe[8192];
    for (;;) {
      const std::size_t used = bytes.size();
      const std::size_t spare = bytes.capacity() - used;
      if (spare == 0) {
        const ssize_t n = ::read(fd.get(), probe, sizeof probe);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return fail(FileError{os_error_text(errno)});
        if (n == 0) break;
        bytes.append(probe, static_cast<std::size_t>(n));
        continue;
      }
      bytes.resize(bytes.capacity());
      const ssize_t n = ::read(fd.get(), bytes.data() + used, spare);
      const int read_errno = errno;
      bytes.resize(used + static_cast<std::size_t>(n > 0 ? n : 0));
      if (n < 0 && read_errno == EINTR) continue;
      if (n < 0) return fail(FileError{os_error_text(read_errno)});
      if (n == 0) break;
    }
  } catch (const std::bad_alloc&) {
    return fail(FileError{"out of memory"});
  }
  return bytes;
}

}  // namespace quarn::platform
