// What tests ask of Windows. There are no user ids, socket files or core-file patterns here: the
// tests that need them skip.
#include "platform/test_os.h"

// clang-format off
#include <windows.h>
#include <psapi.h>
// clang-format on

#include <utility>

#include "platform/files.h"
#include "platform/listener.h"
#include "platform/loopback.h"
#include "platform/windows/utf16.h"

namespace quarn::platform {

std::string profile_variable() { return std::string(); }

// "Access is denied." on Windows, "Access denied." under Wine: the wording is the system's.
ExpectedError folder_read_error() {
  return {error_description(ERROR_ACCESS_DENIED), ERROR_ACCESS_DENIED};
}

bool permissions_can_deny_reading() { return false; }

bool is_superuser() { return false; }

// Files and sockets belong to the account that made them; a test cannot lend them to another.
bool as_owner(int, const std::function<void()>&) { return false; }

bool loopback_peer_owners_are_known() {
  static const bool known = [] {
    auto listener = LoopbackListener::open();
    if (!listener) return false;
    auto connection = connect_loopback(listener->port(), {1000, 1000, 1000, 5000});
    return connection.ok() && connection.value()->peer_is_same_user();
  }();
  return known;
}

// Windows' named pipes live in their own namespace, not at a path a file could have.
bool make_fifo(const std::string&) { return false; }

std::optional<Account> find_account(const std::string&) { return std::nullopt; }

std::optional<int> unknown_user_id() { return std::nullopt; }

std::optional<int> process_table_owner(int) { return std::nullopt; }

std::optional<std::size_t> resident_memory(int pid) {
  const HANDLE process =
      OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
  if (process == nullptr) return std::nullopt;
  PROCESS_MEMORY_COUNTERS counters{};
  const BOOL ok = K32GetProcessMemoryInfo(process, &counters, sizeof counters);
  CloseHandle(process);
  if (!ok) return std::nullopt;
  return static_cast<std::size_t>(counters.WorkingSetSize);
}

std::optional<std::string> process_status_field(int, const std::string&) { return std::nullopt; }

std::optional<TracedRun> run_stopped_then_traced(const std::string&, std::string_view, bool) {
  return std::nullopt;
}

int current_process_id() { return static_cast<int>(GetCurrentProcessId()); }

std::uint64_t page_faults() {
  PROCESS_MEMORY_COUNTERS counters{};
  if (!K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
  return counters.PageFaultCount;
}

void crash_process(int pid) {
  const HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(pid));
  if (process == nullptr) return;
  TerminateProcess(process, static_cast<UINT>(EXCEPTION_ACCESS_VIOLATION));
  CloseHandle(process);
}

std::optional<std::string> core_file_name_pattern() { return std::nullopt; }

std::optional<FileHeldOpen> FileHeldOpen::open(const std::string& path) {
  const auto wide = to_utf16(path);
  if (!wide) return std::nullopt;
  const HANDLE file =
      CreateFileW(wide->c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  return FileHeldOpen(reinterpret_cast<std::intptr_t>(file));
}

FileHeldOpen::FileHeldOpen(FileHeldOpen&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)) {}

FileHeldOpen::~FileHeldOpen() {
  if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

std::optional<SocketFile> SocketFile::bind(const std::string&) { return std::nullopt; }

SocketFile::SocketFile(SocketFile&& other) noexcept : handle_(std::exchange(other.handle_, -1)) {}

SocketFile::~SocketFile() = default;

ReservedAddressSpace::ReservedAddressSpace(std::size_t size)
    : data_(VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS)), size_(size) {}

ReservedAddressSpace::~ReservedAddressSpace() {
  if (data_ != nullptr) VirtualFree(data_, 0, MEM_RELEASE);
}

}  // namespace quarn::platform
