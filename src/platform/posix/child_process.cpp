// Child processes over fork, execve and pipes, fed and drained with poll.
#include "platform/child_process.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

extern char** environ;

namespace quarn::platform {
namespace {

std::vector<std::string> build_environment(const ChildOptions& options) {
  std::map<std::string, std::string> env;
  for (char** e = environ; *e; ++e) {
    std::string entry = *e;
    const auto eq = entry.find('=');
    if (eq != std::string::npos) env[entry.substr(0, eq)] = entry.substr(eq + 1);
  }
  for (const auto& name : options.env_unset) env.erase(name);
  for (const auto& [name, value] : options.env_set) env[name] = value;
  std::vector<std::string> out;
  for (const auto& [name, value] : env) out.push_back(name + "=" + value);
  return out;
}

std::vector<char*> pointers_to(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (auto& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

}  // namespace

ChildRun run_child(const std::string& path, std::string_view input, const ChildOptions& options) {
  ChildRun run;
  int in_pipe[2], out_pipe[2], err_pipe[2];
  if (pipe2(in_pipe, O_CLOEXEC) != 0 || pipe2(out_pipe, O_CLOEXEC) != 0 ||
      pipe2(err_pipe, O_CLOEXEC) != 0) {
    return run;
  }
  std::vector<std::string> args{path};
  args.insert(args.end(), options.args.begin(), options.args.end());
  std::vector<std::string> env = build_environment(options);
  std::vector<char*> argv = pointers_to(args);
  std::vector<char*> envp = pointers_to(env);

  const pid_t pid = fork();
  if (pid == 0) {
    signal(SIGPIPE, SIG_DFL);
    dup2(in_pipe[0], 0);
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    if (!options.working_dir.empty() && chdir(options.working_dir.c_str()) != 0) _exit(126);
    if (options.memory_limit > 0) {
      const rlimit limit{options.memory_limit, options.memory_limit};
      if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(124);
    }
    if (options.allow_core_file) {
      const rlimit limit{RLIM_INFINITY, RLIM_INFINITY};
      if (setrlimit(RLIMIT_CORE, &limit) != 0) _exit(124);
    }
    if (options.run_as_uid >= 0) {
      const auto id = static_cast<uid_t>(options.run_as_uid);
      if (setgroups(0, nullptr) != 0 || setgid(id) != 0 || setuid(id) != 0) _exit(125);
    }
    execve(path.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  close(in_pipe[0]);
  close(out_pipe[1]);
  close(err_pipe[1]);
  if (options.close_stdout_early) close(out_pipe[0]);

  // Feed stdin and drain stdout/stderr together, so neither side blocks on a full pipe.
  const auto old_sigpipe = signal(SIGPIPE, SIG_IGN);
  std::size_t fed = 0;
  int to_child = in_pipe[1];
  int from_out = options.close_stdout_early ? -1 : out_pipe[0];
  int from_err = err_pipe[0];
  if (input.empty()) {
    close(to_child);
    to_child = -1;
  }
  bool told = false;
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(options.timeout_ms);
  while (to_child >= 0 || from_out >= 0 || from_err >= 0) {
    if (to_child < 0 && !told) {
      told = true;
      if (options.while_running) options.while_running(static_cast<int>(pid));
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) {
      run.timed_out = true;
      kill(pid, SIGKILL);
      break;
    }
    pollfd fds[3] = {{to_child, POLLOUT, 0}, {from_out, POLLIN, 0}, {from_err, POLLIN, 0}};
    if (poll(fds, 3, static_cast<int>(left)) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (to_child >= 0 && (fds[0].revents & (POLLOUT | POLLERR | POLLHUP))) {
      const ssize_t n = write(to_child, input.data() + fed, input.size() - fed);
      if (n > 0) fed += static_cast<std::size_t>(n);
      if (n < 0 || fed == input.size()) {
        close(to_child);
        to_child = -1;
      }
    }
    for (int i = 1; i < 3; ++i) {
      int& fd = i == 1 ? from_out : from_err;
      if (fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char buffer[65536];
      const ssize_t n = read(fd, buffer, sizeof buffer);
      if (n > 0) {
        (i == 1 ? run.stdout_bytes : run.stderr_bytes).append(buffer, static_cast<std::size_t>(n));
      } else {
        close(fd);
        fd = -1;
      }
    }
  }
  for (int fd : {to_child, from_out, from_err}) {
    if (fd >= 0) close(fd);
  }
  signal(SIGPIPE, old_sigpipe);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  run.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

}  // namespace quarn::platform
