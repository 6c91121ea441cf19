// Tests of the confinement, each in a child process of its own: the child confines itself, tries
// what the host must not do and what it must still do, and reports through its exit.
#include "platform/confinement.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/landlock.h>
#include <linux/netlink.h>
#include <netinet/in.h>
#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/listener.h"
#include "platform/loopback.h"
#include "testing/temp_folder.h"

namespace quarn::platform {
namespace {

// The sanitizer runtimes' leak check keeps ptrace() and clone() without CLONE_THREAD.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_LEAK__)
constexpr bool kLeakCheckerRuntime = true;
#else
constexpr bool kLeakCheckerRuntime = false;
#endif

int landlock_abi() {
  const long abi =
      ::syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
  return abi < 0 ? 0 : static_cast<int>(abi);
}

// Runs `body` in a child process and returns its wait status; the child ends with what `body`
// returns, without running this process's exit handlers.
int in_child(const std::function<int()>& body) {
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(body());
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return -1;
  return status;
}

std::string describe(int status) {
  if (WIFSIGNALED(status)) return "killed by signal " + std::to_string(WTERMSIG(status));
  if (WIFEXITED(status)) return "exit " + std::to_string(WEXITSTATUS(status));
  return "status " + std::to_string(status);
}

// A check of the child: the value of errno it expects (0: success), and the call.
struct Expectation {
  const char* what;
  int expected_errno;
  std::function<long()> call;  // negative with errno on failure
};

// Confines the child, makes the calls in order and exits with 100 + the index of the first whose
// outcome differs, 0 when all went as expected.
int run_expectations(const std::vector<Expectation>& expectations,
                     const std::function<void()>& after_confinement = {}) {
  return in_child([&] {
    confine_process();
    if (after_confinement) after_confinement();
    for (std::size_t i = 0; i < expectations.size(); ++i) {
      errno = 0;
      const long result = expectations[i].call();
      const int error = result < 0 ? errno : 0;
      if (error != expectations[i].expected_errno) return static_cast<int>(100 + i);
    }
    return 0;
  });
}

void expect_all_as_expected(const std::vector<Expectation>& expectations, int status) {
  ASSERT_TRUE(WIFEXITED(status)) << describe(status);
  const int code = WEXITSTATUS(status);
  if (code >= 100 && code - 100 < static_cast<int>(expectations.size())) {
    const Expectation& failed = expectations[static_cast<std::size_t>(code - 100)];
    ADD_FAILURE() << failed.what << ": not the expected outcome (errno " << failed.expected_errno
                  << " expected)";
  } else {
    EXPECT_EQ(code, 0);
  }
}

long close_if_open(int fd) {
  if (fd >= 0) ::close(fd);
  return fd;
}

// Every call below is harmless when it is let through, so that a missing filter fails the test
// without changing the machine.
TEST(Confinement, ForbiddenCallsEndTheProcess) {
  struct Row {
    const char* what;
    bool kept_for_leak_checker;
    std::function<void()> call;
  };
  const std::vector<Row> rows = {
      {"execve", false,
       [] {
         char* const argv[] = {const_cast<char*>("true"), nullptr};
         ::execve("/bin/true", argv, nullptr);
       }},
      {"execveat", false,
       [] { ::syscall(SYS_execveat, AT_FDCWD, "/bin/true", nullptr, nullptr, 0); }},
      {"fork", false, [] { ::syscall(SYS_fork); }},
      {"vfork", false, [] { ::syscall(SYS_vfork); }},
      {"clone of a process", true,
       [] { ::syscall(SYS_clone, SIGCHLD, nullptr, nullptr, nullptr, 0); }},
      {"clone into a new network namespace", false,
       [] { ::syscall(SYS_clone, CLONE_NEWNET | SIGCHLD, nullptr, nullptr, nullptr, 0); }},
      {"ptrace", true, [] { ::syscall(SYS_ptrace, 0 /* PTRACE_TRACEME */, 0, 0, 0); }},
      {"process_vm_readv", false,
       [] { ::syscall(SYS_process_vm_readv, ::getppid(), nullptr, 0, nullptr, 0, 0); }},
      {"process_vm_writev", false,
       [] { ::syscall(SYS_process_vm_writev, ::getppid(), nullptr, 0, nullptr, 0, 0); }},
      {"unshare", false, [] { ::syscall(SYS_unshare, CLONE_NEWUSER); }},
      {"setns", false, [] { ::syscall(SYS_setns, -1, 0); }},
      // A target that does not exist: should the filter ever be missing, nothing is mounted.
      {"mount", false,
       [] { ::syscall(SYS_mount, "none", "/nonexistent/quarn-confinement", "tmpfs", 0, nullptr); }},
      {"bpf", false, [] { ::syscall(SYS_bpf, 0, nullptr, 0); }},
      {"perf_event_open", false, [] { ::syscall(SYS_perf_event_open, nullptr, 0, -1, -1, 0); }},
      {"keyctl", false, [] { ::syscall(SYS_keyctl, 0, 0, 0, 0, 0); }},
      {"add_key", false, [] { ::syscall(SYS_add_key, "user", "k", "v", 1, 0); }},
      {"init_module", false, [] { ::syscall(SYS_init_module, nullptr, 0, ""); }},
      {"finit_module", false, [] { ::syscall(SYS_finit_module, -1, "", 0); }},
      {"io_uring_setup", false, [] { ::syscall(SYS_io_uring_setup, 1, nullptr); }},
  };
  for (const Row& row : rows) {
    if (row.kept_for_leak_checker && kLeakCheckerRuntime) continue;
    const int status = in_child([&] {
      confine_process();
      row.call();
      return 0;
    });
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGSYS)
        << row.what << ": " << describe(status);
  }
}

TEST(Confinement, RefusesOtherSocketFamiliesButKeepsWhatTheHostNeeds) {
  const std::vector<Expectation> expectations = {
      {"an IPv4 TCP socket", 0, [] { return close_if_open(::socket(AF_INET, SOCK_STREAM, 0)); }},
      {"a netlink socket-diagnosis socket", 0,
       [] { return close_if_open(::socket(AF_NETLINK, SOCK_RAW, NETLINK_SOCK_DIAG)); }},
      {"an IPv6 socket", EAFNOSUPPORT,
       [] { return close_if_open(::socket(AF_INET6, SOCK_STREAM, 0)); }},
      {"a local socket", EAFNOSUPPORT,
       [] { return close_if_open(::socket(AF_UNIX, SOCK_STREAM, 0)); }},
      {"a netlink routing socket", EAFNOSUPPORT,
       [] { return close_if_open(::socket(AF_NETLINK, SOCK_RAW, NETLINK_ROUTE)); }},
      {"a packet socket", EAFNOSUPPORT,
       [] { return close_if_open(::socket(AF_PACKET, SOCK_RAW, 0)); }},
      {"a Bluetooth socket", EAFNOSUPPORT,
       [] { return close_if_open(::socket(AF_BLUETOOTH, SOCK_STREAM, 0)); }},
      {"a socket pair", EAFNOSUPPORT,
       [] {
         int pair[2];
         const long result = ::socketpair(AF_UNIX, SOCK_STREAM, 0, pair);
         if (result == 0) ::close(pair[0]), ::close(pair[1]);
         return result;
       }},
      // clone3() cannot be inspected: it reports itself missing, and threads come from clone().
      {"clone3", ENOSYS, [] { return ::syscall(SYS_clone3, nullptr, 0); }},
      {"a thread", 0,
       [] {
         int ran = 0;
         std::thread([&ran] { ran = 1; }).join();
         return ran == 1 ? 0L : -1L;
       }},
      // The key derivation's working area.
      {"a huge-page working area, populated and left out of core files", 0,
       [] {
         constexpr std::size_t kSize = std::size_t{4} << 20;
         void* area =
             ::mmap(nullptr, kSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
         if (area == MAP_FAILED) return -1L;
         long result = ::madvise(area, kSize, MADV_HUGEPAGE);
         if (result == 0) result = ::madvise(area, kSize, MADV_DONTDUMP);
         if (result == 0 && ::madvise(area, kSize, MADV_POPULATE_WRITE) != 0 && errno != EINVAL) {
           result = -1;  // EINVAL: a kernel older than the advice
         }
         errno = 0;
         ::munmap(area, kSize);
         return result;
       }},
  };
  expect_all_as_expected(expectations, run_expectations(expectations));
}

TEST(Confinement, NothingCanBeWrittenAndEverythingCanBeRead) {
  const int abi = landlock_abi();
  if (abi < 1) GTEST_SKIP() << "the kernel has no Landlock (or it is turned off)";
  testing::TempFolder folder("quarn-confine");
  const std::string file = folder.write("vault.qv", "the vault");
  const std::string other = folder.file("new");
  const std::string subfolder = folder.file("sub");
  std::vector<Expectation> expectations = {
      {"reading a file", 0,
       [&] {
         const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
         if (fd < 0) return -1L;
         char buffer[32];
         const ssize_t n = ::read(fd, buffer, sizeof buffer);
         ::close(fd);
         return std::string(buffer, n > 0 ? static_cast<std::size_t>(n) : 0) == "the vault" ? 0L
                                                                                            : -1L;
       }},
      {"reading /proc/self/status", 0,
       [] { return close_if_open(::open("/proc/self/status", O_RDONLY | O_CLOEXEC)); }},
      {"listing a folder", 0,
       [&] { return close_if_open(::open(folder.path().c_str(), O_RDONLY | O_DIRECTORY)); }},
      {"opening for writing", EACCES,
       [&] { return close_if_open(::open(file.c_str(), O_WRONLY | O_CLOEXEC)); }},
      {"opening for reading and writing", EACCES,
       [&] { return close_if_open(::open(file.c_str(), O_RDWR | O_CLOEXEC)); }},
      {"creating a file", EACCES,
       [&] { return close_if_open(::open(other.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600)); }},
      {"making a folder", EACCES,
       [&] { return static_cast<long>(::mkdir(subfolder.c_str(), 0700)); }},
      {"making a FIFO", EACCES, [&] { return static_cast<long>(::mkfifo(other.c_str(), 0600)); }},
      {"making a symbolic link", EACCES,
       [&] { return static_cast<long>(::symlink(file.c_str(), other.c_str())); }},
      {"removing a file", EACCES, [&] { return static_cast<long>(::unlink(file.c_str())); }},
      {"renaming a file", EACCES,
       [&] { return static_cast<long>(::rename(file.c_str(), other.c_str())); }},
      {"/dev/null for writing", EACCES,
       [] { return close_if_open(::open("/dev/null", O_WRONLY | O_CLOEXEC)); }},
  };
  if (abi >= 3) {
    expectations.push_back({"truncating a file", EACCES,
                            [&] { return static_cast<long>(::truncate(file.c_str(), 0)); }});
  }
  expect_all_as_expected(expectations, run_expectations(expectations));
}

TEST(Confinement, ConnectsOnlyToTheAllowedPortOnceLimited) {
  if (landlock_abi() < 4) GTEST_SKIP() << "the kernel's Landlock has no network rules (ABI < 4)";
  auto allowed = LoopbackListener::open();
  auto other = LoopbackListener::open();
  ASSERT_TRUE(allowed && other);
  const std::uint16_t allowed_port = allowed->port();
  const std::uint16_t other_port = other->port();
  constexpr LoopbackLimits kLimits{2000, 500, 500, 5000};
  const auto connects = [&](std::uint16_t port) {
    return [port, kLimits] { return connect_loopback(port, kLimits) ? 0L : -1L; };
  };
  const std::vector<Expectation> expectations = {
      {"before the limit, the allowed port", 0, connects(allowed_port)},
      {"before the limit, another port", 0, connects(other_port)},
      {"binding a TCP port", EACCES,
       [] {
         const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
         sockaddr_in address{};
         address.sin_family = AF_INET;
         address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
         const long result = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
         const int error = errno;
         ::close(fd);
         errno = error;
         return result;
       }},
  };
  expect_all_as_expected(expectations, run_expectations(expectations));

  const std::vector<Expectation> limited = {
      {"the allowed port", 0, connects(allowed_port)},
      {"another port", 0,
       [&] { return connect_loopback(other_port, kLimits) ? -1L : (errno = 0, 0L); }},
      {"another port, refused by the system", EACCES,
       [&] {
         const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
         sockaddr_in address{};
         address.sin_family = AF_INET;
         address.sin_port = htons(other_port);
         address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
         const long result = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
         const int error = errno;
         ::close(fd);
         errno = error;
         return result;
       }},
  };
  expect_all_as_expected(limited,
                         run_expectations(limited, [&] { limit_connections_to(allowed_port); }));
}

}  // namespace
}  // namespace quarn::platform
