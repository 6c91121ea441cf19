// quarn-host-register: installs, removes and checks the host's native-messaging manifests.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/arguments.h"
#include "registration.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args = quarn::platform::program_arguments(argc, argv);
  quarn::reg::Options options;
  quarn::reg::Outcome outcome = quarn::reg::parse_arguments(args, options);
  const bool parsed = outcome.lines.empty() && outcome.exit_status == 0;
  if (parsed) outcome = quarn::reg::run_command(options);
  for (const std::string& line : outcome.lines) {
    // The usage text carries its own line ends.
    std::fputs(line.c_str(), stdout);
    if (line.empty() || line.back() != '\n') std::fputc('\n', stdout);
  }
  return outcome.exit_status;
}
