// The operating system as the command handlers see it: files, folders, loopback connections and
// the heap. The entry routine hands its handlers one System; tests hand them a scripted one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/bytes.h"
#include "base/result.h"
#include "base/working_memory.h"

namespace quarn {

// A failure reported by the operating system, or a file that the reader refused.
struct OsError {
  enum class Kind {
    kSystem,       // `code` says what the system reported
    kOutOfMemory,  // the buffer for the result could not be had
    kNotAFile,     // the path names something other than a regular file: a pipe, a device
    kTooLarge,     // the file holds more bytes than the reader takes
  };
  int code = 0;  // errno, or the Windows error code; for kSystem only
  Kind kind = Kind::kSystem;

  static OsError no_memory() { return {0, Kind::kOutOfMemory}; }
  static OsError not_a_file() { return {0, Kind::kNotAFile}; }
  static OsError too_large() { return {0, Kind::kTooLarge}; }
  bool operator==(const OsError&) const = default;
};

// What a metadata query of a path found.
struct FileInfo {
  std::uint64_t size = 0;  // of what the path names, links followed
};

// Time limits, in milliseconds, of one loopback connection.
struct LoopbackLimits {
  int connect_ms;   // establishing the connection
  int send_ms;      // each single send call
  int receive_ms;   // each single receive call
  int exchange_ms;  // everything together, from the start of the connection to its last call
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

// One connected socket to a loopback port; closed when the object goes.
class LoopbackConnection {
 public:
  virtual ~LoopbackConnection() = default;

  // Sends every byte, call after call; an interrupted call is repeated. False when a call fails,
  // times out or sends nothing.
  [[nodiscard]] virtual bool send_all(std::string_view bytes) = 0;

  // One receive of at most buffer.size() bytes (an empty buffer is a failure); an interrupted
  // call is repeated.
  [[nodiscard]] virtual Received receive(std::span<char> buffer) = 0;

  // Whether the socket on the other end belongs to the user this process runs as, and is not
  // this connection itself. False whenever the owner cannot be found.
  [[nodiscard]] virtual bool peer_is_same_user() = 0;
};

// The working memory (WorkingMemory) of the password key derivation comes through it too.
class System : public WorkingMemory {
 public:
  virtual ~System() = default;

  // The path's metadata, symbolic links followed; the existence test of a file. A path that
  // holds NUL, or that the system cannot represent, names nothing.
  virtual Result<FileInfo, OsError> query_path(std::string_view path) = 0;

  // The whole content of a regular file of at most `max_size` bytes. The file is opened for
  // reading only, without waiting (a pipe with no writer, a device) and without denying others
  // read, write or delete access; what the open handle names is then checked, so that nothing but
  // a regular file is ever read. A folder fails as the system fails its read; anything else that
  // is not a regular file gives OsError::not_a_file(), a file over `max_size` bytes (when opened,
  // or as it is read) OsError::too_large(), and a buffer that cannot be had OsError::no_memory().
  virtual Result<Bytes, OsError> read_file(std::string_view path, std::uint64_t max_size) = 0;

  // The system's description of an error code, without trailing white space ("Permission
  // denied"); for OsError::Kind::kSystem only.
  virtual std::string describe(const OsError& error) const = 0;

  // The current user's profile folder; nothing when it cannot be had.
  virtual std::optional<std::string> profile_folder() = 0;

  // `folder` and `name` joined by the system's separator, which is left out when `folder` already
  // ends in one.
  virtual std::string join_path(std::string_view folder, std::string_view name) const = 0;

  // A connection to 127.0.0.1:port within limits.connect_ms, with the send and receive limits set
  // (a limit that cannot be set is left out) and every call on it ending by limits.exchange_ms
  // after this call began. The socket is not inherited by child processes.
  virtual Result<std::unique_ptr<LoopbackConnection>, LoopbackError> connect_loopback(
      std::uint16_t port, const LoopbackLimits& limits) = 0;

  // From now on outgoing connections may go to 127.0.0.1:port only, for the rest of the process;
  // best effort, never a failure (a system that cannot narrow them leaves them as they are).
  virtual void limit_connections_to(std::uint16_t port) = 0;

  // Readies the heap for about `bytes` of allocations to come; only a hint, which may be ignored.
  virtual void prepare_heap(std::size_t bytes) = 0;
};

}  // namespace quarn
