// ScriptedSystem: files from a map, connections from a list of receive steps.
#include "testing/scripted_system.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

namespace quarn::testing {
namespace {

constexpr int kNoSuchFile = ENOENT;
constexpr std::align_val_t kAreaAlignment{4096};

class ScriptedConnection final : public LoopbackConnection {
 public:
  ScriptedConnection(std::vector<ConnectionLog>& logs, std::size_t index, bool other_user,
                     bool send_fails, const std::vector<ReceiveStep>& steps)
      : logs_(logs),
        index_(index),
        other_user_(other_user),
        send_fails_(send_fails),
        steps_(steps.begin(), steps.end()) {}
  ~ScriptedConnection() override { log().closed = true; }

  bool send_all(std::string_view bytes) override {
    if (send_fails_) return false;
    log().sent.append(bytes);
    return true;
  }

  Received receive(std::span<char> buffer) override {
    log().receive_sizes.push_back(buffer.size());
    if (steps_.empty()) {
      log().script_overrun = true;
      return {Received::Kind::kFailed};
    }
    const ReceiveStep step = steps_.front();
    steps_.pop_front();
    if (step.kind != Received::Kind::kData) return {step.kind};
    const std::size_t n = std::min(step.bytes.size(), buffer.size());
    if (n < step.bytes.size()) log().script_overrun = true;
    std::memcpy(buffer.data(), step.bytes.data(), n);
    return {Received::Kind::kData, n};
  }

  bool peer_is_same_user() override { return !other_user_; }

 private:
  // By index: the list may grow while this connection lives.
  ConnectionLog& log() { return logs_[index_]; }

  std::vector<ConnectionLog>& logs_;
  std::size_t index_;
  bool other_user_;
  bool send_fails_;
  std::deque<ReceiveStep> steps_;
};

}  // namespace

void ScriptedSystem::add_file(const std::string& path, std::string_view bytes) {
  files_[path] = File{to_bytes(bytes), std::nullopt, bytes.size()};
}

void ScriptedSystem::add_unreadable(const std::string& path, OsError read_error,
                                    std::uint64_t size) {
  files_[path] = File{{}, read_error, size};
}

Result<FileInfo, OsError> ScriptedSystem::query_path(std::string_view path) {
  queried_paths.emplace_back(path);
  const auto found = files_.find(path);
  if (found == files_.end()) return fail(OsError{kNoSuchFile});
  return FileInfo{found->second.size};
}

Result<Bytes, OsError> ScriptedSystem::read_file(std::string_view path, std::uint64_t max_size) {
  reads.push_back({std::string(path), max_size});
  const auto found = files_.find(path);
  if (found == files_.end()) return fail(OsError{kNoSuchFile});
  if (found->second.read_error) return fail(*found->second.read_error);
  if (found->second.bytes.size() > max_size) return fail(OsError::too_large());
  return found->second.bytes;
}

std::string ScriptedSystem::describe(const OsError& error) const {
  return "scripted error " + std::to_string(error.code);
}

std::string ScriptedSystem::join_path(std::string_view folder, std::string_view name) const {
  std::string path(folder);
  if (!path.empty() && path.back() != '/') path += '/';
  return path.append(name);
}

Result<std::unique_ptr<LoopbackConnection>, LoopbackError> ScriptedSystem::connect_loopback(
    std::uint16_t port, const LoopbackLimits& limits) {
  if (connect_error) return fail(*connect_error);
  ConnectionLog log;
  log.port = port;
  log.limits = limits;
  if (!connection_limits.empty()) log.limited_to = connection_limits.back();
  connections.push_back(log);
  return std::unique_ptr<LoopbackConnection>(std::make_unique<ScriptedConnection>(
      connections, connections.size() - 1, peer_is_other_user, send_fails, receive_steps));
}

std::span<std::uint8_t> ScriptedSystem::acquire_working_area(std::size_t size) {
  areas_acquired.push_back(size);
  auto* area = static_cast<std::uint8_t*>(::operator new(size, kAreaAlignment));
  std::memset(area, 0xA5, size);
  return {area, size};
}

void ScriptedSystem::release_working_area(std::span<std::uint8_t> area) {
  areas_released.push_back(area.size());
  ::operator delete(area.data(), kAreaAlignment);
}

}  // namespace quarn::testing
