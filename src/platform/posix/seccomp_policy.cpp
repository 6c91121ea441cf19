// The host's system-call policy, compiled at build time into the BPF programs that confinement.cpp
// installs: `seccomp_policy OUTPUT` writes them as C arrays. Building the filter with libseccomp
// costs about a millisecond, more than the whole of a ping; the kernel takes the finished program
// in a fraction of that. A new rule here is a change to what the host may do: make it on purpose.
//
// The policy is a deny-list. The host reads a request, files and one loopback answer, derives a
// key and writes a reply; the libraries under it (the C and C++ runtimes, OpenSSL, the sanitizer
// runtimes) make calls of their own that an allow-list would have to chase from release to release.
// What is refused is what an attacker who took over the process would want and the host never
// does: run another program, make a process, look into or control another process, leave its
// namespaces, load code into the kernel, reach other network families.
#include <linux/netlink.h>
#include <sched.h>
#include <seccomp.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// Calls that end the process on the spot: nothing the host does needs them, and an attacker needs
// them first.
const int kKilled[] = {
    // Running another program.
    SCMP_SYS(execve), SCMP_SYS(execveat),
    // New processes; threads go through clone() with CLONE_THREAD, below.
    SCMP_SYS(fork), SCMP_SYS(vfork),
    // Another process's memory and registers.
    SCMP_SYS(ptrace), SCMP_SYS(process_vm_readv), SCMP_SYS(process_vm_writev),
    // Namespaces and mounts: ways around the Landlock rules and the kernel's own checks.
    SCMP_SYS(unshare), SCMP_SYS(setns), SCMP_SYS(mount), SCMP_SYS(umount2), SCMP_SYS(pivot_root),
    SCMP_SYS(chroot), SCMP_SYS(open_tree), SCMP_SYS(move_mount), SCMP_SYS(fsopen),
    SCMP_SYS(fsconfig), SCMP_SYS(fsmount), SCMP_SYS(fspick), SCMP_SYS(mount_setattr),
    // Code and data for the kernel: the largest attack surface there is.
    SCMP_SYS(bpf), SCMP_SYS(perf_event_open), SCMP_SYS(init_module), SCMP_SYS(finit_module),
    SCMP_SYS(delete_module),
    // The kernel's key rings, which outlive the process.
    SCMP_SYS(add_key), SCMP_SYS(request_key), SCMP_SYS(keyctl),
    // io_uring performs its operations where this filter does not see them.
    SCMP_SYS(io_uring_setup), SCMP_SYS(io_uring_enter), SCMP_SYS(io_uring_register)};

// The sanitizer runtimes' leak check stops the process's threads from a helper made with clone()
// without CLONE_THREAD, which then attaches to them with ptrace(): ptrace() here and that clone()
// below stay allowed in sanitizer builds only.
const int kKilledButNeededBySanitizers[] = {SCMP_SYS(ptrace)};

constexpr std::uint64_t kNamespaceFlags[] = {CLONE_NEWNS,  CLONE_NEWCGROUP, CLONE_NEWUTS,
                                             CLONE_NEWIPC, CLONE_NEWUSER,   CLONE_NEWPID,
                                             CLONE_NEWNET};

bool add(scmp_filter_ctx filter, std::uint32_t action, int call, std::vector<scmp_arg_cmp> args) {
  return seccomp_rule_add_array(filter, action, call, static_cast<unsigned>(args.size()),
                                args.data()) == 0;
}

// The policy; `for_sanitizers` keeps what the sanitizer runtimes need.
scmp_filter_ctx build(bool for_sanitizers) {
  scmp_filter_ctx filter = seccomp_init(SCMP_ACT_ALLOW);
  if (filter == nullptr) return nullptr;
  bool ok = true;
  // Calls of another architecture (the 32-bit entry points) end the process too.
  ok = ok && seccomp_attr_set(filter, SCMP_FLTATR_ACT_BADARCH, SCMP_ACT_KILL_PROCESS) == 0;
  // The host sets no_new_privs itself, before it installs the program.
  ok = ok && seccomp_attr_set(filter, SCMP_FLTATR_CTL_NNP, 0) == 0;
  for (const int call : kKilled) {
    bool needed = false;
    for (const int keep : kKilledButNeededBySanitizers) needed = needed || keep == call;
    if (!(needed && for_sanitizers)) ok = ok && add(filter, SCMP_ACT_KILL_PROCESS, call, {});
  }

  // clone(): a thread (CLONE_THREAD) only, and never into new namespaces.
  if (!for_sanitizers) {
    ok = ok && add(filter, SCMP_ACT_KILL_PROCESS, SCMP_SYS(clone),
                   {SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD, 0)});
  }
  for (const std::uint64_t flag : kNamespaceFlags) {
    ok = ok && add(filter, SCMP_ACT_KILL_PROCESS, SCMP_SYS(clone),
                   {SCMP_A0(SCMP_CMP_MASKED_EQ, flag, flag)});
  }
  // clone3() passes its flags in memory, out of the filter's sight, so it cannot tell a thread
  // from a process: it fails as if the kernel lacked it, and the C library falls back to clone().
  ok = ok && add(filter, SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(clone3), {});

  // Sockets: IPv4 for the desktop application's port, and the netlink socket-diagnosis family
  // through which the host asks who owns that port's listening socket. Everything else fails as
  // an unsupported family. A rule compares an argument once, so the families below and above
  // AF_INET (2) and up to AF_NETLINK (16) are covered by ranges: 0-1, 3, 4-7, 8-15, 17 and above.
  const std::uint32_t refuse = SCMP_ACT_ERRNO(EAFNOSUPPORT);
  const std::vector<std::vector<scmp_arg_cmp>> other_families = {
      {SCMP_A0(SCMP_CMP_LT, AF_INET)},
      {SCMP_A0(SCMP_CMP_EQ, 3)},
      {SCMP_A0(SCMP_CMP_MASKED_EQ, ~std::uint64_t{3}, 4)},
      {SCMP_A0(SCMP_CMP_MASKED_EQ, ~std::uint64_t{7}, 8)},
      {SCMP_A0(SCMP_CMP_GT, AF_NETLINK)},
      {SCMP_A0(SCMP_CMP_EQ, AF_NETLINK), SCMP_A2(SCMP_CMP_NE, NETLINK_SOCK_DIAG)}};
  static_assert(AF_INET == 2 && AF_NETLINK == 16);
  for (const auto& family : other_families)
    ok = ok && add(filter, refuse, SCMP_SYS(socket), family);
  // A socket pair is always a local (AF_UNIX) one.
  ok = ok && add(filter, refuse, SCMP_SYS(socketpair), {});

  if (!ok) {
    seccomp_release(filter);
    return nullptr;
  }
  return filter;
}

// The program's instructions as C initialisers of `struct sock_filter`.
bool export_program(scmp_filter_ctx filter, const char* name, std::string& out) {
  std::FILE* scratch = std::tmpfile();
  if (scratch == nullptr) return false;
  bool ok = seccomp_export_bpf(filter, ::fileno(scratch)) == 0;
  std::rewind(scratch);
  out += "static const struct sock_filter ";
  out += name;
  out += "[] = {\n";
  unsigned char insn[8];
  while (ok && std::fread(insn, 1, sizeof insn, scratch) == sizeof insn) {
    const auto byte = [&insn](int i) { return static_cast<unsigned long>(insn[i]); };
    const auto code = static_cast<unsigned>(byte(0) | (byte(1) << 8));
    const unsigned long k = byte(4) | (byte(5) << 8) | (byte(6) << 16) | (byte(7) << 24);
    char line[64];
    std::snprintf(line, sizeof line, "    {0x%04x, %u, %u, 0x%08lx},\n", code, insn[2], insn[3], k);
    out += line;
  }
  out += "};\n";
  std::fclose(scratch);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: seccomp_policy OUTPUT\n");
    return 2;
  }
  std::string text = "// Generated by seccomp_policy from seccomp_policy.cpp: do not edit.\n";
  const struct {
    const char* name;
    bool for_sanitizers;
  } programs[] = {{"kSyscallFilter", false}, {"kSyscallFilterForSanitizers", true}};
  for (const auto& program : programs) {
    scmp_filter_ctx filter = build(program.for_sanitizers);
    const bool ok = filter != nullptr && export_program(filter, program.name, text);
    if (filter != nullptr) seccomp_release(filter);
    if (!ok) {
      std::fprintf(stderr, "seccomp_policy: libseccomp could not build %s\n", program.name);
      return 1;
    }
  }
  std::FILE* out = std::fopen(argv[1], "w");
  if (out == nullptr || std::fputs(text.c_str(), out) < 0 || std::fclose(out) != 0) {
    std::fprintf(stderr, "seccomp_policy: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
