// A TCP connection to a port on the IPv4 loopback address, with per-call time limits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "base/result.h"

namespace quarn::platform {

// Time limits, in milliseconds, of one connection.
struct LoopbackLimits {
  int connect_ms;  // establishing the connection
  int send_ms;     // each single send call
  int receive_ms;  // each single receive call
};

enum class LoopbackError {
  kSocket,   // the socket could not be created or switched between modes
  kConnect,  // refused, reset, or failed otherwise
  kTimeout,  // no answer to the connection request within the limit
};

// What one receive call gave.
struct Received {
  enum class Kind {
    kData,    // `size` bytes (at least one) were stored at the front of the buffer
    kEnd,     // the other side ended the stream
    kFailed,  // the receive time limit ran out, or the receive failed
  };
  Kind kind;
  std::size_t size = 0;
};

// One connected socket, closed when the object goes. Move-only.
class LoopbackConnection {
 public:
  // Connects to 127.0.0.1:port within limits.connect_ms, then sets the send and receive limits
  // (a limit that cannot be set is left out). The socket is not inherited by child processes.
  [[nodiscard]] static Result<LoopbackConnection, LoopbackError> open(std::uint16_t port,
                                                                      const LoopbackLimits& limits);

  LoopbackConnection(LoopbackConnection&& other) noexcept;
  LoopbackConnection& operator=(LoopbackConnection&& other) noexcept;
  LoopbackConnection(const LoopbackConnection&) = delete;
  LoopbackConnection& operator=(const LoopbackConnection&) = delete;
  ~LoopbackConnection();

  // Sends every byte, call after call; an interrupted call is repeated. False when a call fails,
  // times out or sends nothing.
  [[nodiscard]] bool send_all(std::string_view bytes);

  // One receive of at most buffer.size() bytes (an empty buffer is a failure); an interrupted
  // call is repeated.
  [[nodiscard]] Received receive(std::span<char> buffer);

 private:
  explicit LoopbackConnection(int fd) : fd_(fd) {}
  void close();

  int fd_ = -1;
};

}  // namespace quarn::platform
