// nm-call: sends one native message to the host, as a browser would, and prints the reply.
//
//   nm-call [--host PATH] [--hex] [JSON]
//
// JSON is the request body (read from standard input when absent). The reply body is printed on
// its own line; --hex also prints the raw bytes written and read. The exit status is the host's,
// or 3 when the host wrote no complete frame.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::string default_host_path() {
  std::vector<char> self(4096);
  const ssize_t n = readlink("/proc/self/exe", self.data(), self.size() - 1);
  std::string path = n > 0 ? std::string(self.data(), static_cast<std::size_t>(n)) : "";
  const auto slash = path.rfind('/');
  return (slash == std::string::npos ? std::string(".") : path.substr(0, slash)) + "/quarn-host";
}

void print_hex(const char* label, const std::string& bytes) {
  std::printf("%s (%zu bytes):", label, bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i % 32 == 0) std::printf("\n  ");
    std::printf("%02x ", static_cast<unsigned char>(bytes[i]));
  }
  std::printf("\n");
}

bool write_all(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string host = default_host_path();
  bool hex = false;
  std::string body;
  bool have_body = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--host" && i + 1 < argc) {
      host = argv[++i];
    } else if (arg == "--hex") {
      hex = true;
    } else if (arg == "--help" || arg == "-h") {
      std::printf("usage: nm-call [--host PATH] [--hex] [JSON]\n");
      return 0;
    } else {
      body = arg;
      have_body = true;
    }
  }
  if (!have_body) body.assign(std::istreambuf_iterator<char>(std::cin), {});

  const auto n = static_cast<std::uint32_t>(body.size());
  std::string request{static_cast<char>(n & 0xFF), static_cast<char>((n >> 8) & 0xFF),
                      static_cast<char>((n >> 16) & 0xFF), static_cast<char>((n >> 24) & 0xFF)};
  request += body;

  int to_host[2], from_host[2];
  if (pipe(to_host) != 0 || pipe(from_host) != 0) return 2;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(to_host[0], 0);
    dup2(from_host[1], 1);
    close(to_host[1]);
    close(from_host[0]);
    // Browsers pass the caller's origin as the one argument; so does this client.
    execl(host.c_str(), host.c_str(), "chrome-extension://nmcallnmcallnmcallnmcallnmcallnm/",
          static_cast<char*>(nullptr));
    std::perror(host.c_str());
    _exit(127);
  }
  close(to_host[0]);
  close(from_host[1]);
  write_all(to_host[1], request);
  close(to_host[1]);

  std::string reply;
  char buffer[65536];
  ssize_t got;
  while ((got = read(from_host[0], buffer, sizeof buffer)) > 0) {
    reply.append(buffer, static_cast<std::size_t>(got));
  }
  close(from_host[0]);
  int status = 0;
  waitpid(pid, &status, 0);

  if (hex) {
    print_hex("sent", request);
    print_hex("received", reply);
  }
  if (reply.size() < 4) {
    std::printf("(no reply)\n");
    return 3;
  }
  const std::uint32_t length =
      static_cast<std::uint8_t>(reply[0]) |
      static_cast<std::uint32_t>(static_cast<std::uint8_t>(reply[1])) << 8 |
      static_cast<std::uint32_t>(static_cast<std::uint8_t>(reply[2])) << 16 |
      static_cast<std::uint32_t>(static_cast<std::uint8_t>(reply[3])) << 24;
  if (reply.size() - 4 != length) {
    std::printf("(malformed reply: length %u, %zu body bytes)\n", length, reply.size() - 4);
    return 3;
  }
  std::printf("%s\n", reply.substr(4).c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : 3;
}
