// The password key derivation timed on its own, the same program on Linux and on Windows (where
// Google Benchmark is not built), with the working area set up each way the platform knows and
// each build of the fill routine, for the table of variants in docs/performance.md.
//   derive_time [RUNS] [--area best|heap|pages|pages_populated|pages_prefetched|huge_pages]
//               [--fill widest|sse2|avx2|avx512f] [--no-wipe]
// prints {"runs":N,"median_ms":M,"min_ms":m,"faults":F} after one warm-up run; F is the median
// of the page faults of one derivation. Every derivation takes and gives back its own area.
#include <argon2.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "crypto/argon2_fill.h"
#include "crypto/password_key.h"
#include "platform/arguments.h"
#include "platform/test_os.h"
#include "platform/working_area.h"

namespace {

using quarn::platform::AreaMethod;

class MeasuredMemory final : public quarn::WorkingMemory {
 public:
  explicit MeasuredMemory(AreaMethod method) : method_(method) {}
  std::span<std::uint8_t> acquire_working_area(std::size_t size) override {
    return quarn::platform::acquire_working_area(size, method_);
  }
  void release_working_area(std::span<std::uint8_t> area) override {
    quarn::platform::release_working_area(area, method_);
  }

 private:
  AreaMethod method_;
};

[[noreturn]] void usage() {
  std::fputs("usage: derive_time [RUNS] [--area METHOD] [--fill BUILD] [--no-wipe]\n", stderr);
  std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
  const std::map<std::string, AreaMethod> areas = {
      {"best", AreaMethod::kBest},
      {"heap", AreaMethod::kHeap},
      {"pages", AreaMethod::kPages},
      {"pages_populated", AreaMethod::kPagesPopulated},
      {"pages_prefetched", AreaMethod::kPagesPrefetched},
      {"huge_pages", AreaMethod::kHugePages},
  };
  const std::map<std::string, QuarnArgon2Fill> fills = {
      {"widest", QUARN_ARGON2_FILL_WIDEST},
      {"sse2", QUARN_ARGON2_FILL_SSE2},
      {"avx2", QUARN_ARGON2_FILL_AVX2},
      {"avx512f", QUARN_ARGON2_FILL_AVX512F},
  };
  const std::vector<std::string> args = quarn::platform::program_arguments(argc, argv);
  int runs = 15;
  AreaMethod area = AreaMethod::kBest;
  QuarnArgon2Fill fill = QUARN_ARGON2_FILL_WIDEST;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const bool has_value = i + 1 < args.size();
    if (args[i] == "--area" && has_value && areas.count(args[i + 1])) {
      area = areas.at(args[++i]);
    } else if (args[i] == "--fill" && has_value && fills.count(args[i + 1])) {
      fill = fills.at(args[++i]);
    } else if (args[i] == "--no-wipe") {
      FLAG_clear_internal_memory = 0;  // Argon2 then releases its area without overwriting it
    } else if (!args[i].empty() && args[i][0] != '-') {
      runs = std::max(1, std::atoi(args[i].c_str()));
    } else {
      usage();
    }
  }
  if (!quarn_argon2_fill_supported(fill)) {
    std::fputs("derive_time: this processor cannot run that build\n", stderr);
    return 3;
  }
  quarn_argon2_use_fill(fill);

  MeasuredMemory memory(area);
  const std::string password = "correct horse battery staple";
  const quarn::crypto::Salt salt{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  std::vector<double> times;
  std::vector<std::uint64_t> faults;
  for (int i = 0; i <= runs; ++i) {
    const std::uint64_t faults_before = quarn::platform::page_faults();
    const auto start = std::chrono::steady_clock::now();
    (void)quarn::crypto::derive_password_key(quarn::bytes_of(password), salt, memory);
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    if (i == 0) continue;  // the warm-up
    times.push_back(took.count());
    faults.push_back(quarn::platform::page_faults() - faults_before);
  }
  std::sort(times.begin(), times.end());
  std::sort(faults.begin(), faults.end());
  std::printf("{\"runs\":%d,\"median_ms\":%.2f,\"min_ms\":%.2f,\"faults\":%llu}\n", runs,
              times[times.size() / 2], times.front(),
              static_cast<unsigned long long>(faults[faults.size() / 2]));
  return 0;
}
