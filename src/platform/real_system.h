// The System of the running host: the operating system itself.
#pragma once

#include "base/system.h"

namespace quarn::platform {

class RealSystem final : public System {
 public:
  Result<FileInfo, OsError> query_path(std::string_view path) override;
  Result<Bytes, OsError> read_file(std::string_view path, std::uint64_t max_size) override;
  std::string describe(const OsError& error) const override;
  std::optional<std::string> profile_folder() override;
  std::string join_path(std::string_view folder, std::string_view name) const override;
  Result<std::unique_ptr<LoopbackConnection>, LoopbackError> connect_loopback(
      std::uint16_t port, const LoopbackLimits& limits) override;
  void limit_connections_to(std::uint16_t port) override;
  void prepare_heap(std::size_t bytes) override;
  std::span<std::uint8_t> acquire_working_area(std::size_t size) override;
  void release_working_area(std::span<std::uint8_t> area) override;
};

}  // namespace quarn::platform
