// A listening TCP socket on the loopback address, for programs that play the desktop application.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quarn::platform {

// One accepted connection; closed when the object goes. Move-only.
class PeerSocket {
 public:
  PeerSocket(PeerSocket&& other) noexcept;
  PeerSocket& operator=(PeerSocket&&) = delete;
  PeerSocket(const PeerSocket&) = delete;
  PeerSocket& operator=(const PeerSocket&) = delete;
  ~PeerSocket();

  // Appends what one receive gives, waiting at most `timeout_ms`; false at the end of the
  // stream, on an error or on a time-out.
  bool receive_some(std::string& into, int timeout_ms);

  // Sends every byte it can; false when the peer went away before all were sent.
  bool send_all(std::string_view bytes);

 private:
  friend class LoopbackListener;
  explicit PeerSocket(std::intptr_t handle) : handle_(handle) {}
  std::intptr_t handle_;
};

// Listens on 127.0.0.1 at a port that the system picks. Move-only.
class LoopbackListener {
 public:
  // Nothing when the socket cannot be set up. A `backlog` of 0 queues a single connection.
  static std::optional<LoopbackListener> open(int backlog = 16);
  LoopbackListener(LoopbackListener&& other) noexcept;
  LoopbackListener& operator=(LoopbackListener&&) = delete;
  LoopbackListener(const LoopbackListener&) = delete;
  LoopbackListener& operator=(const LoopbackListener&) = delete;
  ~LoopbackListener();

  std::uint16_t port() const { return port_; }

  // The next connection, waiting at most `timeout_ms` (negative: without limit); nothing on a
  // time-out or an error.
  std::optional<PeerSocket> accept(int timeout_ms) const;

 private:
  LoopbackListener(std::intptr_t handle, std::uint16_t port) : handle_(handle), port_(port) {}
  std::intptr_t handle_;
  std::uint16_t port_;
};

}  // namespace quarn::platform
