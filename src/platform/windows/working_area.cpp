// The working area's pages from VirtualAlloc: large pages when the privilege is held, otherwise
// committed pages faulted in by VirtualLock.
#include <windows.h>

#include <cstdlib>

#include "platform/working_pages.h"

namespace quarn::platform {
namespace {

// What VirtualLock needs beyond the area itself: the working set also holds the pages the
// process is running on (the documentation speaks of about eight pages of overhead).
constexpr SIZE_T kWorkingSetSlack = SIZE_T{4} << 20;

// Turns on SeLockMemoryPrivilege when the process's token holds it; few accounts do, and a
// browser's child process normally does not.
bool enable_lock_memory_privilege() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
    return false;
  }
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  bool enabled =
      LookupPrivilegeValueW(nullptr, L"SeLockMemoryPrivilege", &privileges.Privileges[0].Luid) &&
      AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) &&
      GetLastError() == ERROR_SUCCESS;  // not ERROR_NOT_ALL_ASSIGNED
  CloseHandle(token);
  return enabled;
}

// Large pages, or nothing: they need the privilege and physical memory in large runs.
std::uint8_t* large_pages(std::size_t size) {
  const SIZE_T large = GetLargePageMinimum();
  if (large == 0 || !enable_lock_memory_privilege()) return nullptr;
  const SIZE_T rounded = (size + large - 1) / large * large;
  return static_cast<std::uint8_t*>(
      VirtualAlloc(nullptr, rounded, MEM_RESERVE | MEM_COMMIT | MEM_LARGE_PAGES, PAGE_READWRITE));
}

// Committed pages, or the end of the process.
std::uint8_t* committed_pages(std::size_t size) {
  void* const area = VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (area == nullptr) std::abort();
  return static_cast<std::uint8_t*>(area);
}

// Faults the whole area in with one call: VirtualLock brings every page into the working set,
// which is first raised to hold them. The pages stay locked until VirtualFree releases them. A
// refusal leaves them to be faulted in by their first use.
void lock_in(std::uint8_t* area, std::size_t size) {
  SIZE_T minimum = 0;
  SIZE_T maximum = 0;
  if (!GetProcessWorkingSetSize(GetCurrentProcess(), &minimum, &maximum)) return;
  if (!SetProcessWorkingSetSize(GetCurrentProcess(), minimum + size + kWorkingSetSlack,
                                maximum + size + kWorkingSetSlack)) {
    return;
  }
  (void)VirtualLock(area, size);
}

void prefetch(std::uint8_t* area, std::size_t size) {
  WIN32_MEMORY_RANGE_ENTRY range{area, size};
  (void)PrefetchVirtualMemory(GetCurrentProcess(), 1, &range, 0);
}

}  // namespace

std::uint8_t* acquire_pages(std::size_t size, AreaMethod method) {
  std::uint8_t* area = nullptr;
  switch (method) {
    case AreaMethod::kBest:
    case AreaMethod::kHugePages:
      area = large_pages(size);
      if (area != nullptr) break;
      area = committed_pages(size);
      lock_in(area, size);
      break;
    case AreaMethod::kHeap:  // not pages: working_area.cpp takes it from the heap
      std::abort();
    case AreaMethod::kPages:
      area = committed_pages(size);
      break;
    case AreaMethod::kPagesPopulated:
      area = committed_pages(size);
      lock_in(area, size);
      break;
    case AreaMethod::kPagesPrefetched:
      area = committed_pages(size);
      prefetch(area, size);
      break;
  }
  return area;
}

void release_pages(std::span<std::uint8_t> area) { VirtualFree(area.data(), 0, MEM_RELEASE); }

}  // namespace quarn::platform
