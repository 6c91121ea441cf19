// The password key derivation timed on its own, the same program on Linux (libsodium) and on
// Windows (the reference Argon2), where Google Benchmark is not built.
//   derive_time [RUNS]   prints {"runs":N,"median_ms":M,"min_ms":m} after one warm-up run
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "crypto/password_key.h"
#include "platform/arguments.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args = quarn::platform::program_arguments(argc, argv);
  const int runs = args.empty() ? 15 : std::max(1, std::atoi(args[0].c_str()));
  const std::string password = "correct horse battery staple";
  const quarn::crypto::Salt salt{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  const auto derive_once = [&] {
    const auto start = std::chrono::steady_clock::now();
    (void)quarn::crypto::derive_password_key(quarn::bytes_of(password), salt);
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    return took.count();
  };
  derive_once();
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) times.push_back(derive_once());
  std::sort(times.begin(), times.end());
  std::printf("{\"runs\":%d,\"median_ms\":%.2f,\"min_ms\":%.2f}\n", runs, times[times.size() / 2],
              times.front());
  return 0;
}
