// Running another program with its standard streams in pipes: for tools and tests, not the host.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace quarn::platform {

struct ChildOptions {
  std::vector<std::string> args;               // after argv[0]
  std::map<std::string, std::string> env_set;  // added to (or replacing in) the environment
  std::vector<std::string> env_unset;
  std::string working_dir;          // empty: this process's own
  bool close_stdout_early = false;  // the reader goes away before the child writes
  int run_as_uid = -1;              // >= 0: the child's user and group id (needs root)
  int timeout_ms = 30000;           // then the child is killed
  std::size_t memory_limit = 0;     // > 0: the most address space the child may have, in bytes
  bool allow_core_file = false;     // the child starts with no limit on the size of a core file
  // Called once, with the child's process id, when all of the input has been written; the child
  // runs on meanwhile. Its output is collected after the call returns.
  std::function<void(int pid)> while_running;
};

struct ChildRun {
  std::string stdout_bytes;
  std::string stderr_bytes;
  int exit_status = -1;  // exit code, or 128 + signal number; -1 when it could not be started
  bool timed_out = false;
};

// Starts `path` with `input` on its standard input (then end of input), collects its standard
// output and error while feeding it, and waits for it to end. The child gets the default
// disposition of SIGPIPE, as a browser leaves it.
ChildRun run_child(const std::string& path, std::string_view input, const ChildOptions& options);

}  // namespace quarn::platform
