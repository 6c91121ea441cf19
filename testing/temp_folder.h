// A fresh folder for one test, removed with everything in it when the object goes.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "base/bytes.h"

namespace quarn::testing {

class TempFolder {
 public:
  // A new folder under the system's temporary folder, its name starting with `prefix`; readable
  // and searchable by every user, so that a child process may run under another id.
  explicit TempFolder(std::string_view prefix = "quarn-test");
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder();

  const std::filesystem::path& path() const { return path_; }
  // `relative` within the folder, as a string.
  std::string file(std::string_view relative) const;
  // Writes `bytes` to `relative` (creating the folders on the way) and returns its path.
  std::string write(std::string_view relative, std::string_view bytes) const;
  std::string write(std::string_view relative, ByteView bytes) const;

 private:
  std::filesystem::path path_;
};

}  // namespace quarn::testing
