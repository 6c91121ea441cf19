// The owner of a loopback peer, from the kernel's socket diagnostics (NETLINK_SOCK_DIAG).
#include "platform/posix/socket_owner.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#if defined(__linux__)
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#endif

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "platform/posix/descriptor.h"

namespace quarn::platform {
namespace {

#if defined(__linux__)

// The user that owns the TCP socket whose own end is `peer` and whose far end is `us`: one exact
// lookup, as `ss` makes them. A connection still waiting to be accepted belongs to the listener's
// owner, an accepted one to the user of the process that accepted it.
bool owner_of(const sockaddr_in& peer, const sockaddr_in& us, uid_t& owner) {
  Descriptor diag(::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG));
  if (diag.get() < 0) return false;

  struct {
    nlmsghdr header;
    inet_diag_req_v2 body;
  } request{};
  request.header.nlmsg_len = sizeof request;
  request.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
  request.header.nlmsg_flags = NLM_F_REQUEST;
  request.body.sdiag_family = AF_INET;
  request.body.sdiag_protocol = IPPROTO_TCP;
  request.body.idiag_states = ~0u;
  request.body.id.idiag_sport = peer.sin_port;
  request.body.id.idiag_dport = us.sin_port;
  request.body.id.idiag_src[0] = peer.sin_addr.s_addr;
  request.body.id.idiag_dst[0] = us.sin_addr.s_addr;
  request.body.id.idiag_cookie[0] = INET_DIAG_NOCOOKIE;
  request.body.id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;

  sockaddr_nl kernel{};
  kernel.nl_family = AF_NETLINK;
  ssize_t sent;
  do {
    sent = ::sendto(diag.get(), &request, sizeof request, 0,
                    reinterpret_cast<const sockaddr*>(&kernel), sizeof kernel);
  } while (sent < 0 && errno == EINTR);
  if (sent != static_cast<ssize_t>(sizeof request)) return false;

  // One answer: the socket's description, or an error (no such socket).
  alignas(nlmsghdr) unsigned char answer[1024];
  ssize_t got;
  do {
    got = ::recv(diag.get(), answer, sizeof answer, 0);
  } while (got < 0 && errno == EINTR);
  if (got < static_cast<ssize_t>(sizeof(nlmsghdr))) return false;
  nlmsghdr header;
  std::memcpy(&header, answer, sizeof header);
  if (header.nlmsg_type != SOCK_DIAG_BY_FAMILY ||
      header.nlmsg_len > static_cast<std::uint32_t>(got) ||
      header.nlmsg_len < NLMSG_LENGTH(sizeof(inet_diag_msg))) {
    return false;
  }
  inet_diag_msg found;
  std::memcpy(&found, answer + NLMSG_HDRLEN, sizeof found);
  // The lookup is exact, but the answer is checked against the question all the same.
  if (found.id.idiag_sport != peer.sin_port || found.id.idiag_dport != us.sin_port) return false;
  owner = found.idiag_uid;
  return true;
}

#endif

}  // namespace

bool socket_peer_is_same_user(int fd) {
#if defined(__linux__)
  sockaddr_in us{};
  sockaddr_in peer{};
  socklen_t size = sizeof us;
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&us), &size) != 0 || size != sizeof us) {
    return false;
  }
  size = sizeof peer;
  if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &size) != 0 || size != sizeof peer) {
    return false;
  }
  // Connected to itself: both ends are this socket, and nobody is listening.
  if (us.sin_port == peer.sin_port && us.sin_addr.s_addr == peer.sin_addr.s_addr) return false;
  uid_t owner = 0;
  return owner_of(peer, us, owner) && owner == ::geteuid();
#else
  (void)fd;
  return false;  // no way to tell here: the token is not handed to an unknown owner
#endif
}

}  // namespace quarn::platform
