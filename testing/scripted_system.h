// A System whose files, folders and connections a test scripts, and which records what the code
// under test asked of it.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/system.h"

namespace quarn::testing {

// What one receive call on a scripted connection gives.
struct ReceiveStep {
  Received::Kind kind;
  std::string bytes;  // for kData: at most the buffer's size
};

// What happened on one connection.
struct ConnectionLog {
  std::uint16_t port = 0;
  LoopbackLimits limits{};
  std::optional<std::uint16_t> limited_to;  // the last limit_connections_to before the connect
  std::string sent;
  std::vector<std::size_t> receive_sizes;  // the buffer size of each receive call
  bool closed = false;
  bool script_overrun = false;  // a receive after the last scripted step
};

class ScriptedSystem final : public System {
 public:
  // ---- the script ----
  // A readable file.
  void add_file(const std::string& path, std::string_view bytes);
  // A path whose metadata query says it exists with `size` bytes, and whose read fails.
  void add_unreadable(const std::string& path, OsError read_error, std::uint64_t size = 0);

  // What profile_folder() answers.
  std::optional<std::string> profile = "/home/alice";

  // How connect_loopback goes: an error, or a connection that answers `receive_steps` in order.
  std::optional<LoopbackError> connect_error;
  bool peer_is_other_user = false;
  bool send_fails = false;
  std::vector<ReceiveStep> receive_steps;

  // ---- what was asked ----
  std::vector<std::string> queried_paths;
  struct Read {
    std::string path;
    std::uint64_t max_size;
  };
  std::vector<Read> reads;
  std::vector<std::size_t> heap_requests;
  std::vector<std::uint16_t> connection_limits;  // each limit_connections_to, in order
  // Working areas: the size of each acquired, and of each released, in order.
  std::vector<std::size_t> areas_acquired;
  std::vector<std::size_t> areas_released;
  std::vector<ConnectionLog> connections;

  // ---- System ----
  Result<FileInfo, OsError> query_path(std::string_view path) override;
  Result<Bytes, OsError> read_file(std::string_view path, std::uint64_t max_size) override;
  // "scripted error N"
  std::string describe(const OsError& error) const override;
  std::optional<std::string> profile_folder() override { return profile; }
  // Joined with "/".
  std::string join_path(std::string_view folder, std::string_view name) const override;
  Result<std::unique_ptr<LoopbackConnection>, LoopbackError> connect_loopback(
      std::uint16_t port, const LoopbackLimits& limits) override;
  void limit_connections_to(std::uint16_t port) override { connection_limits.push_back(port); }
  void prepare_heap(std::size_t bytes) override { heap_requests.push_back(bytes); }
  // From the heap, 4096-byte aligned, filled with 0xA5 so that nothing relies on zeros.
  std::span<std::uint8_t> acquire_working_area(std::size_t size) override;
  void release_working_area(std::span<std::uint8_t> area) override;

 private:
  struct File {
    Bytes bytes;
    std::optional<OsError> read_error;
    std::uint64_t size = 0;
  };
  std::map<std::string, File, std::less<>> files_;
};

}  // namespace quarn::testing
