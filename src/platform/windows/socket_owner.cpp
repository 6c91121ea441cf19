// The owner of a loopback peer: its process from the TCP table, that process's user from its token.
#include "platform/windows/socket_owner.h"

// clang-format off
#include <iphlpapi.h>
// clang-format on

#include <optional>
#include <vector>

namespace quarn::platform {
namespace {

using GetExtendedTcpTableFn = DWORD(WINAPI*)(PVOID, PDWORD, BOOL, ULONG, TCP_TABLE_CLASS, ULONG);

// iphlpapi.dll is not one of the system's known DLLs: it is loaded from System32 alone, and only
// by a live session.
GetExtendedTcpTableFn tcp_table_function() {
  static const GetExtendedTcpTableFn function = [] {
    HMODULE module = LoadLibraryExW(L"iphlpapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module == nullptr) return GetExtendedTcpTableFn{};
    return reinterpret_cast<GetExtendedTcpTableFn>(
        reinterpret_cast<void*>(GetProcAddress(module, "GetExtendedTcpTable")));
  }();
  return function;
}

// The process that owns the connection whose own end is `peer` and whose far end is `us`.
std::optional<DWORD> owning_process(const sockaddr_in& peer, const sockaddr_in& us) {
  const GetExtendedTcpTableFn get_table = tcp_table_function();
  if (get_table == nullptr) return std::nullopt;
  DWORD size = 0;
  std::vector<unsigned char> table;
  // The table may grow between the call that sizes it and the one that fills it.
  for (int attempt = 0; attempt < 4; ++attempt) {
    table.resize(size);
    const DWORD status = get_table(table.empty() ? nullptr : table.data(), &size, FALSE, AF_INET,
                                   TCP_TABLE_OWNER_PID_CONNECTIONS, 0);
    if (status == ERROR_INSUFFICIENT_BUFFER) continue;
    if (status != NO_ERROR || table.size() < sizeof(MIB_TCPTABLE_OWNER_PID)) return std::nullopt;
    const auto* rows = reinterpret_cast<const MIB_TCPTABLE_OWNER_PID*>(table.data());
    for (DWORD i = 0; i < rows->dwNumEntries; ++i) {
      const MIB_TCPROW_OWNER_PID& row = rows->table[i];
      // Ports are in network order in the low 16 bits.
      if (row.dwLocalAddr == peer.sin_addr.s_addr &&
          static_cast<u_short>(row.dwLocalPort) == peer.sin_port &&
          row.dwRemoteAddr == us.sin_addr.s_addr &&
          static_cast<u_short>(row.dwRemotePort) == us.sin_port) {
        return row.dwOwningPid;
      }
    }
    return std::nullopt;
  }
  return std::nullopt;
}

// The TOKEN_USER of a process's token, as bytes; empty when it cannot be read.
std::vector<unsigned char> user_of(HANDLE process) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return {};
  DWORD size = 0;
  (void)GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> user(size);
  if (size == 0 || !GetTokenInformation(token, TokenUser, user.data(), size, &size)) user.clear();
  CloseHandle(token);
  return user;
}

bool runs_as_our_user(DWORD pid) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (process == nullptr) return false;
  const std::vector<unsigned char> theirs = user_of(process);
  CloseHandle(process);
  const std::vector<unsigned char> ours = user_of(GetCurrentProcess());
  if (theirs.empty() || ours.empty()) return false;
  return EqualSid(reinterpret_cast<const TOKEN_USER*>(theirs.data())->User.Sid,
                  reinterpret_cast<const TOKEN_USER*>(ours.data())->User.Sid) != FALSE;
}

}  // namespace

bool socket_peer_is_same_user(SOCKET socket) {
  sockaddr_in us{};
  sockaddr_in peer{};
  int size = sizeof us;
  if (getsockname(socket, reinterpret_cast<sockaddr*>(&us), &size) != 0 || size != sizeof us) {
    return false;
  }
  size = sizeof peer;
  if (getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &size) != 0 || size != sizeof peer) {
    return false;
  }
  // Connected to itself: both ends are this socket, and nobody is listening.
  if (us.sin_port == peer.sin_port && us.sin_addr.s_addr == peer.sin_addr.s_addr) return false;
  const std::optional<DWORD> pid = owning_process(peer, us);
  return pid && runs_as_our_user(*pid);
}

}  // namespace quarn::platform
