// RealSystem: each operation handed to the platform function that does it on this system.
#include "platform/real_system.h"

#include "platform/confinement.h"
#include "platform/files.h"
#include "platform/heap.h"
#include "platform/loopback.h"
#include "platform/profile.h"
#include "platform/working_area.h"

namespace quarn::platform {

Result<FileInfo, OsError> RealSystem::query_path(std::string_view path) {
  return platform::query_path(path);
}

Result<Bytes, OsError> RealSystem::read_file(std::string_view path, std::uint64_t max_size) {
  return platform::read_file(path, max_size);
}

std::string RealSystem::describe(const OsError& error) const {
  return error_description(error.code);
}

std::optional<std::string> RealSystem::profile_folder() { return platform::profile_folder(); }

std::string RealSystem::join_path(std::string_view folder, std::string_view name) const {
  return platform::join_path(folder, name);
}

Result<std::unique_ptr<LoopbackConnection>, LoopbackError> RealSystem::connect_loopback(
    std::uint16_t port, const LoopbackLimits& limits) {
  return platform::connect_loopback(port, limits);
}

void RealSystem::limit_connections_to(std::uint16_t port) { platform::limit_connections_to(port); }

void RealSystem::prepare_heap(std::size_t bytes) { platform::prepare_heap(bytes); }

std::span<std::uint8_t> RealSystem::acquire_working_area(std::size_t size) {
  return platform::acquire_working_area(size, AreaMethod::kBest);
}

void RealSystem::release_working_area(std::span<std::uint8_t> area) {
  platform::release_working_area(area, AreaMethod::kBest);
}

}  // namespace quarn::platform
