// Confinement on Linux: no_new_privs, two Landlock layers and the seccomp filter compiled from
// seccomp_policy.cpp. Elsewhere (other POSIX systems) the host runs unconfined.
#include "platform/confinement.h"

#if defined(__linux__)
#include <linux/filter.h>
#include <linux/landlock.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <valgrind/valgrind.h>

#include <cstddef>
#include <iterator>
#endif

namespace quarn::platform {

#if defined(__linux__)
namespace {

#include "seccomp_filter.inc"

// The sanitizer runtimes' leak check needs calls that the filter otherwise ends the process on.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_LEAK__)
constexpr bool kLeakCheckerRuntime = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(leak_sanitizer)
constexpr bool kLeakCheckerRuntime = true;
#else
constexpr bool kLeakCheckerRuntime = false;
#endif
#else
constexpr bool kLeakCheckerRuntime = false;
#endif

// Landlock's interface by value: the rights and structures of ABI 3 and later are newer than the
// kernel headers the host may be built with, and the running kernel says which it knows.
constexpr std::uint64_t kFsExecute = 1ULL << 0;
constexpr std::uint64_t kFsWriteFile = 1ULL << 1;
constexpr std::uint64_t kFsRemoveDir = 1ULL << 4;
constexpr std::uint64_t kFsRemoveFile = 1ULL << 5;
constexpr std::uint64_t kFsMakeChar = 1ULL << 6;
constexpr std::uint64_t kFsMakeDir = 1ULL << 7;
constexpr std::uint64_t kFsMakeReg = 1ULL << 8;
constexpr std::uint64_t kFsMakeSock = 1ULL << 9;
constexpr std::uint64_t kFsMakeFifo = 1ULL << 10;
constexpr std::uint64_t kFsMakeBlock = 1ULL << 11;
constexpr std::uint64_t kFsMakeSym = 1ULL << 12;
constexpr std::uint64_t kFsRefer = 1ULL << 13;                 // ABI 2
constexpr std::uint64_t kFsTruncate = 1ULL << 14;              // ABI 3
constexpr std::uint64_t kFsIoctlDev = 1ULL << 15;              // ABI 5
constexpr std::uint64_t kNetBindTcp = 1ULL << 0;               // ABI 4
constexpr std::uint64_t kNetConnectTcp = 1ULL << 1;            // ABI 4
constexpr std::uint64_t kScopeAbstractUnixSocket = 1ULL << 0;  // ABI 6
constexpr std::uint64_t kScopeSignal = 1ULL << 1;              // ABI 6
constexpr int kRuleNetPort = 2;

struct RulesetAttr {
  std::uint64_t handled_access_fs = 0;
  std::uint64_t handled_access_net = 0;  // ABI 4
  std::uint64_t scoped = 0;              // ABI 6
};
// The size an older kernel accepts: the fields it knows.
std::size_t ruleset_size(int abi) {
  if (abi >= 6) return sizeof(RulesetAttr);
  if (abi >= 4) return offsetof(RulesetAttr, scoped);
  return offsetof(RulesetAttr, handled_access_net);
}

struct NetPortAttr {
  std::uint64_t allowed_access;
  std::uint64_t port;  // host byte order
};

// The Landlock ABI of the running kernel; 0 when it has none or has it turned off.
int landlock_abi() {
  const long abi =
      ::syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
  return abi < 0 ? 0 : static_cast<int>(abi);
}

// Adds a layer of rules to the process's Landlock domain: what `attr` handles is refused except
// for a TCP connection to `connect_port`, when given. Layers only ever narrow what is allowed.
void enforce_layer(const RulesetAttr& attr, int abi, const std::uint16_t* connect_port) {
  const long ruleset = ::syscall(SYS_landlock_create_ruleset, &attr, ruleset_size(abi), 0U);
  if (ruleset < 0) return;
  const int fd = static_cast<int>(ruleset);
  bool ok = true;
  if (connect_port != nullptr) {
    const NetPortAttr rule{kNetConnectTcp, *connect_port};
    ok = ::syscall(SYS_landlock_add_rule, fd, kRuleNetPort, &rule, 0U) == 0;
  }
  // Without its rule the layer would refuse the one connection the host needs: left out.
  if (ok) (void)::syscall(SYS_landlock_restrict_self, fd, 0U);
  ::close(fd);
}

// First layer, for the process's whole life: no file may be written, made, removed, renamed,
// linked, truncated or executed, no device controlled, no TCP port bound, and no signal or
// abstract socket may reach outside the domain. Reading is not handled, so it stays allowed
// everywhere; TCP connections are left to the second layer.
void enforce_start_layer(int abi) {
  RulesetAttr attr;
  attr.handled_access_fs = kFsExecute | kFsWriteFile | kFsRemoveDir | kFsRemoveFile | kFsMakeChar |
                           kFsMakeDir | kFsMakeReg | kFsMakeSock | kFsMakeFifo | kFsMakeBlock |
                           kFsMakeSym;
  if (abi >= 2) attr.handled_access_fs |= kFsRefer;
  if (abi >= 3) attr.handled_access_fs |= kFsTruncate;
  if (abi >= 5) attr.handled_access_fs |= kFsIoctlDev;
  if (abi >= 4) attr.handled_access_net = kNetBindTcp;
  if (abi >= 6) attr.scoped = kScopeAbstractUnixSocket | kScopeSignal;
  enforce_layer(attr, abi, nullptr);
}

void install_syscall_filter() {
  const sock_filter* program = kLeakCheckerRuntime ? kSyscallFilterForSanitizers : kSyscallFilter;
  const std::size_t length =
      kLeakCheckerRuntime ? std::size(kSyscallFilterForSanitizers) : std::size(kSyscallFilter);
  sock_fprog filter{static_cast<unsigned short>(length), const_cast<sock_filter*>(program)};
  // Every thread at once (a sanitizer runtime may have started some); a kernel without TSYNC
  // takes the plain form.
  if (::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, SECCOMP_FILTER_FLAG_TSYNC, &filter) != 0) {
    (void)::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0U, &filter);
  }
}

}  // namespace

void confine_process() {
  // Valgrind runs the host on its own CPU inside this very process: it does not know the Landlock
  // and seccomp calls (it refuses them with a warning on standard error), and a filter would bind
  // Valgrind's own calls too. Its memory checks go on unconfined; the check costs no call.
  if (RUNNING_ON_VALGRIND) return;
  // Landlock and an unprivileged seccomp filter both need it: no program this process could still
  // run would gain privileges.
  if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return;
  const int abi = landlock_abi();
  if (abi >= 1) enforce_start_layer(abi);
  install_syscall_filter();
}

void limit_connections_to(std::uint16_t port) {
  if (RUNNING_ON_VALGRIND) return;
  const int abi = landlock_abi();
  if (abi < 4) return;
  RulesetAttr attr;
  attr.handled_access_net = kNetConnectTcp;
  enforce_layer(attr, abi, &port);
}

#else

void confine_process() {}
void limit_connections_to(std::uint16_t) {}

#endif

}  // namespace quarn::platform
