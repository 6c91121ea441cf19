// Temporary folders with names no other test picks.
#include "testing/temp_folder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>

namespace quarn::testing {

namespace fs = std::filesystem;

TempFolder::TempFolder(std::string_view prefix) {
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate =
        fs::temp_directory_path() / (std::string(prefix) + "-" + std::to_string(random()));
    std::error_code error;
    if (fs::create_directory(candidate, error)) {
      path_ = candidate;
      fs::permissions(path_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                 fs::perms::others_read | fs::perms::others_exec);
      return;
    }
  }
  ADD_FAILURE() << "cannot create a temporary folder";
}

TempFolder::~TempFolder() {
  if (path_.empty()) return;
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string TempFolder::file(std::string_view relative) const {
  return (path_ / fs::path(relative)).string();
}

std::string TempFolder::write(std::string_view relative, std::string_view bytes) const {
  return write(relative, bytes_of(bytes));
}

std::string TempFolder::write(std::string_view relative, ByteView bytes) const {
  const fs::path target = path_ / fs::path(relative);
  fs::create_directories(target.parent_path());
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  EXPECT_TRUE(out.good()) << target;
  return target.string();
}

}  // namespace quarn::testing
