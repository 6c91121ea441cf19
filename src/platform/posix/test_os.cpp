// Accounts, socket files and reserved address space over the POSIX interfaces.
#include "platform/test_os.h"

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <string>
#include <utility>

namespace quarn::platform {

std::string profile_variable() { return "HOME"; }

ExpectedError folder_read_error() { return {"Is a directory", EISDIR}; }

bool permissions_can_deny_reading() { return true; }

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

std::optional<int> process_table_owner(int pid) {
  struct stat info {};
  const std::string entry = "/proc/" + std::to_string(pid) + "/status";
  if (::stat(entry.c_str(), &info) != 0) return std::nullopt;
  return static_cast<int>(info.st_uid);
}

std::optional<std::size_t> resident_memory(int pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stoull(line.substr(6)) * 1024;
  }
  return std::nullopt;
}

int current_process_id() { return static_cast<int>(::getpid()); }

std::uint64_t page_faults() {
  rusage usage{};
  if (::getrusage(RUSAGE_SELF, &usage) != 0) return 0;
  return static_cast<std::uint64_t>(usage.ru_minflt) + static_cast<std::uint64_t>(usage.ru_majflt);
}

void crash_process(int pid) { (void)::kill(static_cast<pid_t>(pid), SIGSEGV); }

std::optional<std::string> core_file_name_pattern() {
  std::ifstream in("/proc/sys/kernel/core_pattern");
  std::string pattern;
  if (!std::getline(in, pattern) || pattern.empty()) return std::nullopt;
  if (pattern.front() == '|' || pattern.find('/') != std::string::npos) return std::nullopt;
  return pattern;
}

std::optional<FileHeldOpen> FileHeldOpen::open(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  return FileHeldOpen(fd);
}

FileHeldOpen::FileHeldOpen(FileHeldOpen&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)) {}

FileHeldOpen::~FileHeldOpen() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
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
