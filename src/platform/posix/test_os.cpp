// Accounts, socket files and reserved address space over the POSIX interfaces.
#include "platform/test_os.h"

#include <pwd.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <utility>

namespace quarn::platform {

bool is_superuser() { return ::geteuid() == 0; }

std::optional<Account> find_account(const std::string& name) {
  const passwd* entry = ::getpwnam(name.c_str());
  if (entry == nullptr) return std::nullopt;
  return Account{static_cast<int>(entry->pw_uid), entry->pw_dir ? entry->pw_dir : ""};
}

std::optional<int> unknown_user_id() {
  for (uid_t id = 54321; id < 54400; ++id) {
    if (::getpwuid(id) == nullptr) return static_cast<int>(id);
  }
  return std::nullopt;
}

std::optional<SocketFile> SocketFile::bind(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return std::nullopt;
  path.copy(address.sun_path, path.size());
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return std::nullopt;
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return std::nullopt;
  }
  return SocketFile(fd);
}

SocketFile::SocketFile(SocketFile&& other) noexcept : handle_(std::exchange(other.handle_, -1)) {}

SocketFile::~SocketFile() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

ReservedAddressSpace::ReservedAddressSpace(std::size_t size) : data_(nullptr), size_(size) {
  void* area = ::mmap(nullptr, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (area != MAP_FAILED) data_ = area;
}

ReservedAddressSpace::~ReservedAddressSpace() {
  if (data_ != nullptr) ::munmap(data_, size_);
}

}  // namespace quarn::platform
