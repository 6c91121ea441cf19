// The registration commands as plain functions: what to do comes in as Options, what happened
// goes out as an Outcome, and the program around them only parses and prints.
#pragma once

#include <string>
#include <vector>

#include "manifest.h"

namespace quarn::reg {

struct Options {
  std::string command;  // install, uninstall or status
  std::vector<std::string> browsers;
  std::vector<std::string> chromium_ids;
  std::vector<std::string> firefox_ids;
  std::string host_path;  // empty: the host installed beside this tool
  std::string user_data_dir;
  std::string name = kDefaultHostName;
  bool system = false;
};

// What a command had to say, line by line, and the exit status it ends with: 0 done, 1 a
// manifest could not be written or is broken, 2 the command line was wrong.
struct Outcome {
  std::vector<std::string> lines;
  int exit_status = 0;
};

extern const char* const kUsage;

// The options of a command line (without the program name). On a wrong command line the
// outcome says why and ends with status 2 (or 0 for --help); `options` is then not to be used.
Outcome parse_arguments(const std::vector<std::string>& args, Options& options);

// Runs the command of `options`, which parse_arguments accepted.
Outcome run_command(const Options& options);

}  // namespace quarn::reg
