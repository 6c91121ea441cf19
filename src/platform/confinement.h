// What the host gives up of the system at start, and once it knows the desktop application's port.
#pragma once

#include <cstdint>

namespace quarn::platform {

// Confines the process for the rest of its life, before it reads any input. Afterwards it cannot
// run a program, make a process, trace or read another process, write, create, remove, rename or
// truncate a file anywhere, bind a TCP port, or open a socket of a family other than IPv4 (and, on
// Linux, the netlink socket-diagnosis family). Reading stays allowed everywhere. Best effort:
// what the system lacks (an older Landlock, no seccomp, a Windows mitigation Wine does not know)
// is left out, and nothing here ever fails.
//   Linux: no_new_privs, a Landlock ruleset, a seccomp filter that ends the process on a forbidden
//   call. Windows: process mitigation policies (no dynamic code, no extension points, images from
//   System32 only and never remote or low-integrity, strict handle checks).
void confine_process();

// Narrows the confinement: from now on outgoing TCP connections go to `port` only (Linux, with
// Landlock's network rules; elsewhere, or on an older kernel, nothing changes).
void limit_connections_to(std::uint16_t port);

}  // namespace quarn::platform
