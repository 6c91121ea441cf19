// What only tests ask of the operating system: user accounts, special files, address space.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quarn::platform {

// The environment variable through which a test gives a child process a profile folder of its
// own (HOME on POSIX). Empty when the system's profile lookup reads no variable (Windows): the
// child then shares this process's profile, and the tests that use it take turns.
std::string profile_variable();

// What a whole-file read of a folder fails with: the system's description and code (on Windows
// the open itself is refused, and the wording is the system's own).
struct ExpectedError {
  std::string description;
  int code;
};
ExpectedError folder_read_error();

// True when file permissions can keep the owner from reading a file (not on Windows, where they
// only make it read-only).
bool permissions_can_deny_reading();

// True when this process may act as any user (root).
bool is_superuser();

struct Account {
  int uid;
  std::string home;
};

// The account called `name` in the account database.
std::optional<Account> find_account(const std::string& name);

// A user id that the account database does not know.
std::optional<int> unknown_user_id();

// Runs `make` with every file and socket that it creates owned by the user `uid`, then goes back
// (on Linux: the calling thread's file-system user id, which needs root). False, without running
// `make`, where that cannot be done.
bool as_owner(int uid, const std::function<void()>& make);

// Whether this system names the owner of a loopback connection's other end, so that the host
// talks to the desktop application at all. Always so on Linux; under Wine, whose TCP table gives
// no owner for a socket that a Windows program listens on or accepted, it is not, and the host
// then refuses every peer.
bool loopback_peer_owners_are_known();

// A named pipe (FIFO) at `path`; false where the system has none or it cannot be made.
bool make_fifo(const std::string& path);

// The user id that owns the process's status in the system's process table (/proc/PID/status).
// The system gives it to root when the process is not dumpable.
std::optional<int> process_table_owner(int pid);

// How much of the process's memory is resident, in bytes.
std::optional<std::size_t> resident_memory(int pid);

// The value of a field of the process's status in the system's process table (the text after
// "Name:" in /proc/PID/status, white space trimmed); nothing where there is no such table.
std::optional<std::string> process_status_field(int pid, const std::string& name);

// How a program ran under a tracer that held it before its first instruction.
struct TracedRun {
  std::string stdout_bytes;
  int exit_status = -1;          // exit code, or 128 + signal number
  std::size_t unread_input = 0;  // bytes of the input the program left in its standard input
  bool timed_out = false;        // killed after 30 s
};

// Runs `path` with `input` in its standard input (a pipe, then its end), stopped before it starts
// and, when `traced`, seized by this process (PTRACE_SEIZE) before it goes on; the tracer then
// only lets it run, passing its signals on. Untraced, the same run is the control. Nothing when
// the system does not let this process trace its own child (or has no tracing).
std::optional<TracedRun> run_stopped_then_traced(const std::string& path, std::string_view input,
                                                 bool traced);

// This process's id.
int current_process_id();

// The page faults this process has taken so far (minor and major).
std::uint64_t page_faults();

// Sends the process the signal of an invalid memory access (SIGSEGV), as a crash would.
void crash_process(int pid);

// Where the system writes a core file: the name pattern, when it is a plain file name that lands
// in the crashing process's working folder (no pipe, no folder); nothing otherwise.
std::optional<std::string> core_file_name_pattern();

// A file held open for reading and writing, as the desktop application holds the vault it has
// open: it shares reading and writing with others, but not deleting (the Windows share mode; on
// POSIX every open file is shared). Closed when the object goes.
class FileHeldOpen {
 public:
  // Nothing when the file cannot be opened.
  static std::optional<FileHeldOpen> open(const std::string& path);
  FileHeldOpen(FileHeldOpen&& other) noexcept;
  FileHeldOpen& operator=(FileHeldOpen&&) = delete;
  FileHeldOpen(const FileHeldOpen&) = delete;
  FileHeldOpen& operator=(const FileHeldOpen&) = delete;
  ~FileHeldOpen();

 private:
  explicit FileHeldOpen(std::intptr_t handle) : handle_(handle) {}
  std::intptr_t handle_;
};

// A socket bound at a path in the file system: the path exists but cannot be opened as a file.
// Removed from the system's view (closed) when the object goes; the path itself stays.
class SocketFile {
 public:
  // Nothing when the system has no such files or the path cannot be bound.
  static std::optional<SocketFile> bind(const std::string& path);
  SocketFile(SocketFile&& other) noexcept;
  SocketFile& operator=(SocketFile&&) = delete;
  SocketFile(const SocketFile&) = delete;
  SocketFile& operator=(const SocketFile&) = delete;
  ~SocketFile();

 private:
  explicit SocketFile(std::intptr_t handle) : handle_(handle) {}
  std::intptr_t handle_;
};

// `size` bytes of address space that no memory backs and no access may touch: a span over it
// can be as long as a test needs without the machine having the memory.
class ReservedAddressSpace {
 public:
  explicit ReservedAddressSpace(std::size_t size);
  ReservedAddressSpace(const ReservedAddressSpace&) = delete;
  ReservedAddressSpace& operator=(const ReservedAddressSpace&) = delete;
  ~ReservedAddressSpace();

  // Nothing when the reservation failed.
  void* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  void* data_;
  std::size_t size_;
};

}  // namespace quarn::platform
