// The host as a child process, and the frames it reads and writes.
#include "testing/host_process.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <system_error>

#include "base/native_message.h"
#include "platform/environment.h"
#include "testing/temp_folder.h"

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

namespace {

// The host for a run under another user id. The checkout, and the build in it, may lie in a
// folder that no other user can enter (a home of mode 0700 or 0750), so such a run gets a copy in
// a temporary folder open to every user, made once per test process and removed at its end.
std::string host_for(const HostOptions& options) {
  if (options.run_as_uid < 0) return host_path();
  static const TempFolder folder("quarn-host-copy");
  static const std::string copy = [] {
    namespace fs = std::filesystem;
    const fs::path to = folder.path() / fs::path(host_path()).filename();
    std::error_code error;
    fs::copy_file(host_path(), to, fs::copy_options::overwrite_existing, error);
    EXPECT_FALSE(error) << "cannot copy the host: " << error.message();
    fs::permissions(to,
                    fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                        fs::perms::others_read | fs::perms::others_exec,
                    error);
    return to.string();
  }();
  return copy;
}

}  // namespace

HostRun run_host(std::string_view input, const HostOptions& options) {
  return run_program(host_for(options), input, options);
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
