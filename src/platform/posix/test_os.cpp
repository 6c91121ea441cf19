// Accounts, socket files and reserved address space over the POSIX interfaces.
#include "platform/test_os.h"

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#if defined(__linux__)
#include <sys/ptrace.h>
#endif
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/fsuid.h>
#endif

#include <cerrno>
#include <chrono>
#include <fstream>
#include <string>
#include <utility>

namespace quarn::platform {

std::string profile_variable() { return "HOME"; }

ExpectedError folder_read_error() { return {"Is a directory", EISDIR}; }

bool permissions_can_deny_reading() { return true; }

bool is_superuser() { return ::geteuid() == 0; }

bool as_owner(int uid, const std::function<void()>& make) {
#if defined(__linux__)
  if (!is_superuser()) return false;
  const auto wanted = static_cast<uid_t>(uid);
  const int before = ::setfsuid(wanted);
  // setfsuid answers with the id it found, so a second call tells whether the first one took.
  if (static_cast<uid_t>(::setfsuid(wanted)) != wanted) {
    (void)::setfsuid(static_cast<uid_t>(before));
    return false;
  }
  make();
  (void)::setfsuid(static_cast<uid_t>(before));
  return true;
#else
  (void)uid;
  (void)make;
  return false;
#endif
}

bool loopback_peer_owners_are_known() { return true; }

bool make_fifo(const std::string& path) { return ::mkfifo(path.c_str(), 0600) == 0; }

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

std::optional<std::string> process_status_field(int pid, const std::string& name) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  const std::string prefix = name + ":";
  while (std::getline(status, line)) {
    if (line.rfind(prefix, 0) != 0) continue;
    const auto start = line.find_first_not_of(" \t", prefix.size());
    return start == std::string::npos ? std::string() : line.substr(start);
  }
  return std::nullopt;
}

#if defined(__linux__)
std::optional<TracedRun> run_stopped_then_traced(const std::string& path, std::string_view input,
                                                 bool traced) {
  int in[2];
  int out[2];
  if (::pipe2(in, O_CLOEXEC) != 0) return std::nullopt;
  if (::pipe2(out, O_CLOEXEC) != 0) {
    ::close(in[0]);
    ::close(in[1]);
    return std::nullopt;
  }
  // The input fits in the pipe: it is all there before the program starts.
  const bool written = input.size() <= 4096 && ::write(in[1], input.data(), input.size()) ==
                                                   static_cast<ssize_t>(input.size());
  ::close(in[1]);
  const pid_t pid = written ? ::fork() : -1;
  if (pid == 0) {
    ::dup2(in[0], 0);
    ::dup2(out[1], 1);
    // Stopped until the parent has seized it: the tracer is there before the program's first
    // instruction, however the two are scheduled.
    ::raise(SIGSTOP);
    char* const argv[] = {const_cast<char*>(path.c_str()), nullptr};
    ::execv(path.c_str(), argv);
    ::_exit(127);
  }
  ::close(out[1]);
  const auto give_up = [&] {
    if (pid > 0) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
    ::close(in[0]);
    ::close(out[0]);
    return std::nullopt;
  };
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, WUNTRACED) != pid || !WIFSTOPPED(status)) {
    return give_up();
  }
  if (traced && ::ptrace(PTRACE_SEIZE, pid, nullptr, PTRACE_O_EXITKILL) != 0) return give_up();
  ::kill(pid, SIGCONT);

  TracedRun run;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  for (;;) {
    const pid_t got = ::waitpid(pid, &status, WNOHANG);
    if (got == pid && WIFSTOPPED(status)) {
      // A stop for the tracer: let the program go on, with its signal unless it is the
      // stop-and-continue pair of the start.
      const int signal = WSTOPSIG(status);
      const bool event = (status >> 16) != 0;
      const int pass = event || signal == SIGSTOP || signal == SIGCONT ? 0 : signal;
      ::ptrace(PTRACE_CONT, pid, nullptr, pass);
      continue;
    }
    if (got == pid) break;
    if (got < 0) return give_up();
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      run.timed_out = true;
      break;
    }
    ::usleep(1000);
  }
  run.exit_status = WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
  char buffer[4096];
  for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) {
    run.stdout_bytes.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(out[0]);
  // The write end is closed: what is left ends with the end of the stream.
  for (ssize_t n; (n = ::read(in[0], buffer, sizeof buffer)) > 0;) {
    run.unread_input += static_cast<std::size_t>(n);
  }
  ::close(in[0]);
  return run;
}
#else
std::optional<TracedRun> run_stopped_then_traced(const std::string&, std::string_view, bool) {
  return std::nullopt;
}
#endif

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
