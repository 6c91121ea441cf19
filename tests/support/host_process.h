// Runs the built quarn-host as a browser does: framed bytes on stdin, the reply read from stdout.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace quarn::testing {

struct HostRun {
  std::string stdout_bytes;
  std::string stderr_bytes;
  int exit_status = -1;  // exit code, or 128 + signal number
  bool timed_out = false;
};

struct HostOptions {
  std::vector<std::string> args;               // after argv[0]
  std::map<std::string, std::string> env_set;  // added to (or replacing in) the environment
  std::vector<std::string> env_unset;
  std::string working_dir;                     // empty: the test's own
  bool close_stdout_early = false;             // the reader goes away before the host writes
  int run_as_uid = -1;                         // >= 0: the host's user and group id (needs root)
  int timeout_ms = 30000;
};

// Path of the host binary under test (QUARN_HOST_PATH compile definition).
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
