// Runs the built quarn-host as a browser does: framed bytes on stdin, the reply read from stdout.
#pragma once

#include <string>
#include <string_view>

#include "platform/child_process.h"

namespace quarn::testing {

using HostRun = platform::ChildRun;
using HostOptions = platform::ChildOptions;

// Path of the host binary under test: $QUARN_TEST_HOST, else the one this build made.
std::string host_path();

// Runs the host with `input` on its standard input, then end of input.
HostRun run_host(std::string_view input, const HostOptions& options = {});

// The same for any program (the tools beside the host).
HostRun run_program(const std::string& path, std::string_view input,
                    const HostOptions& options = {});

// 4-byte little-endian length followed by the body.
std::string frame(std::string_view body);

// The body of one frame, or a failure marker when the bytes are not exactly one frame.
std::string unframe(std::string_view bytes);

// Frames `request_json`, runs the host and returns the reply body; fails the test on anything but
// exactly one frame, exit status 0 and an empty stderr.
std::string call_host(std::string_view request_json, const HostOptions& options = {});

}  // namespace quarn::testing
