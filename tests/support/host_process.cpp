// Child-process plumbing for the black-box tests.
#include "support/host_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace quarn::testing {

std::string host_path() { return QUARN_HOST_PATH; }

std::string frame(std::string_view body) {
  const auto n = static_cast<std::uint32_t>(body.size());
  std::string out;
  out.push_back(static_cast<char>(n & 0xFF));
  out.push_back(static_cast<char>((n >> 8) & 0xFF));
  out.push_back(static_cast<char>((n >> 16) & 0xFF));
  out.push_back(static_cast<char>((n >> 24) & 0xFF));
  out.append(body);
  return out;
}

std::string unframe(std::string_view bytes) {
  if (bytes.size() < 4) return "<no frame: " + std::to_string(bytes.size()) + " bytes>";
  const std::uint32_t n = static_cast<std::uint8_t>(bytes[0]) |
                          static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[1])) << 8 |
                          static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[2])) << 16 |
                          static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[3])) << 24;
  if (bytes.size() - 4 != n) {
    return "<bad frame: length " + std::to_string(n) + ", " + std::to_string(bytes.size() - 4) +
           " body bytes>";
  }
  return std::string(bytes.substr(4));
}

namespace {

std::vector<std::string> build_environment(const HostOptions& options) {
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

}  // namespace

HostRun run_host(std::string_view input, const HostOptions& options) {
  return run_program(host_path(), input, options);
}

HostRun run_program(const std::string& path, std::string_view input, const HostOptions& options) {
  int in_pipe[2], out_pipe[2], err_pipe[2];
  if (pipe2(in_pipe, O_CLOEXEC) != 0 || pipe2(out_pipe, O_CLOEXEC) != 0 ||
      pipe2(err_pipe, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "pipe: " << std::strerror(errno);
    return {};
  }
  std::vector<std::string> args{path};
  args.insert(args.end(), options.args.begin(), options.args.end());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env = build_environment(options);
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  const pid_t pid = fork();
  if (pid == 0) {
    // The host must cope with the default disposition, as a browser leaves it.
    signal(SIGPIPE, SIG_DFL);
    dup2(in_pipe[0], 0);
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    if (!options.working_dir.empty() && chdir(options.working_dir.c_str()) != 0) _exit(126);
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
  signal(SIGPIPE, SIG_IGN);
  HostRun run;
  std::size_t fed = 0;
  int to_child = in_pipe[1];
  int from_out = options.close_stdout_early ? -1 : out_pipe[0];
  int from_err = err_pipe[0];
  if (input.empty()) {
    close(to_child);
    to_child = -1;
  }
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(options.timeout_ms);
  while (to_child >= 0 || from_out >= 0 || from_err >= 0) {
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
  int status = 0;
  waitpid(pid, &status, 0);
  run.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
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
