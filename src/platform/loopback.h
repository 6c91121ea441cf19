// TCP connections to a port on the IPv4 loopback address, with per-call time limits.
#pragma once

#include <cstdint>
#include <memory>

#include "base/result.h"
#include "base/system.h"

namespace quarn::platform {

// As System::connect_loopback.
Result<std::unique_ptr<LoopbackConnection>, LoopbackError> connect_loopback(
    std::uint16_t port, const LoopbackLimits& limits);

}  // namespace quarn::platform
