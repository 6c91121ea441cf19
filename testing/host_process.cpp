// The host as a child process, and the frames it reads and writes.
#include "testing/host_process.h"

#include <gtest/gtest.h>

#include "base/native_message.h"
#include "platform/environment.h"

namespace quarn::testing {

std::string host_path() {
  // QUARN_TEST_HOST runs the same tests against another build of the host (an older one, say).
  return platform::environment_variable("QUARN_TEST_HOST").value_or(QUARN_HOST_PATH);
}

std::string frame(std::string_view body) { return frame_native_message(body); }

std::string unframe(std::string_view bytes) {
  if (const auto body = unframe_native_message(bytes)) return std::string(*body);
  return "<not one frame: " + std::to_string(bytes.size()) + " bytes>";
}

HostRun run_host(std::string_view input, const HostOptions& options) {
  return run_program(host_path(), input, options);
}

HostRun run_program(const std::string& path, std::string_view input, const HostOptions& options) {
  HostRun run = platform::run_child(path, input, options);
  EXPECT_NE(run.exit_status, -1) << "cannot start " << path;
  return run;
}

std::string call_host(std::string_view request_json, const HostOptions& options) {
  const HostRun run = run_host(frame(request_json), options);
  EXPECT_FALSE(run.timed_out);
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.stderr_bytes, "");
  return unframe(run.stdout_bytes);
}

}  // namespace quarn::testing
