// nm-call: sends one native message to the host, as a browser would, and prints the reply.
//
//   nm-call [--host PATH] [--hex] [JSON]
//
// JSON is the request body (read from standard input when absent). The reply body is printed on
// its own line; --hex also prints the raw bytes written and read. The exit status is the host's,
// or 3 when the host wrote no complete frame.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "base/native_message.h"
#include "platform/arguments.h"
#include "platform/child_process.h"
#include "platform/executable.h"

namespace {

std::string default_host_path() {
  const std::filesystem::path self = quarn::platform::file_path(quarn::platform::executable_path());
  return quarn::platform::path_text((self.has_parent_path() ? self.parent_path() : ".") /
                                    quarn::platform::program_file_name("quarn-host"));
}

void print_hex(const char* label, const std::string& bytes) {
  std::printf("%s (%zu bytes):", label, bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i % 32 == 0) std::printf("\n  ");
    std::printf("%02x ", static_cast<unsigned char>(bytes[i]));
  }
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  std::string host = default_host_path();
  bool hex = false;
  std::string body;
  bool have_body = false;
  const std::vector<std::string> args = quarn::platform::program_arguments(argc, argv);
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--host" && i + 1 < args.size()) {
      host = args[++i];
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
  if (!have_body) body = quarn::platform::read_standard_input();

  const std::string request = quarn::frame_native_message(body);
  quarn::platform::ChildOptions options;
  // Browsers pass the caller's origin as the one argument; so does this client.
  options.args = {"chrome-extension://nmcallnmcallnmcallnmcallnmcallnm/"};
  options.timeout_ms = 120000;
  const quarn::platform::ChildRun run = quarn::platform::run_child(host, request, options);
  if (run.exit_status < 0) {
    std::fprintf(stderr, "nm-call: cannot run %s\n", host.c_str());
    return 3;
  }
  std::fputs(run.stderr_bytes.c_str(), stderr);

  const std::string& reply = run.stdout_bytes;
  if (hex) {
    print_hex("sent", request);
    print_hex("received", reply);
  }
  const auto reply_body = quarn::unframe_native_message(reply);
  if (!reply_body) {
    if (reply.empty()) {
      std::printf("(no reply)\n");
    } else {
      std::printf("(malformed reply: %zu bytes)\n", reply.size());
    }
    return 3;
  }
  std::printf("%s\n", std::string(*reply_body).c_str());
  return run.timed_out ? 3 : run.exit_status;
}
