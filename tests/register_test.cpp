// quarn-host-register as a person runs it: install, status (good and broken), uninstall.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>

#include "testing/host_process.h"
#include "testing/temp_folder.h"

namespace quarn::testing {
namespace {

namespace fs = std::filesystem;

const std::string kTool = std::string(QUARN_BUILD_DIR) + "/quarn-host-register";
const std::string kId = "abcdefghijklmnopabcdefghijklmnop";

class Register : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = folder_.path();
    home_ = root_ / "home";
    fs::create_directories(home_);
  }

  HostRun tool(std::vector<std::string> args) {
    HostOptions options;
    options.args = std::move(args);
    options.env_set["HOME"] = home_.string();
    options.env_set["PATH"] = "/nonexistent";  // no browser binaries: only what HOME shows
    return run_program(kTool, "", options);
  }

  std::string profile() const { return (root_ / "profile").string(); }
  fs::path manifest() const { return root_ / "profile/NativeMessagingHosts/com.quarn.host.json"; }

  static std::string read(const fs::path& p) {
    std::ifstream in(p);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  TempFolder folder_{"quarn-register"};
  fs::path root_;
  fs::path home_;
};

TEST_F(Register, InstallWritesAManifestThatStatusAccepts) {
  const HostRun install = tool({"install", "--user-data-dir", profile(), "--extension-id", kId});
  ASSERT_EQ(install.exit_status, 0) << install.stdout_bytes;
  const auto m = nlohmann::json::parse(read(manifest()));
  EXPECT_EQ(m["name"], "com.quarn.host");
  EXPECT_EQ(m["type"], "stdio");
  EXPECT_FALSE(m["description"].get<std::string>().empty());
  EXPECT_EQ(m["path"], fs::canonical(host_path()).string());
  EXPECT_EQ(m["allowed_origins"], nlohmann::json::array({"chrome-extension://" + kId + "/"}));
  EXPECT_FALSE(m.contains("allowed_extensions"));

  const HostRun status = tool({"status", "--user-data-dir", profile(), "--extension-id", kId});
  EXPECT_EQ(status.exit_status, 0) << status.stdout_bytes;
  EXPECT_NE(status.stdout_bytes.find(": ok"), std::string::npos) << status.stdout_bytes;

  const HostRun uninstall = tool({"uninstall", "--user-data-dir", profile()});
  EXPECT_EQ(uninstall.exit_status, 0);
  EXPECT_FALSE(fs::exists(manifest()));
}

TEST_F(Register, FirefoxManifestListsAddOnIds) {
  const HostRun install =
      tool({"install", "--browser", "firefox", "--firefox-id", "quarn@example.org"});
  ASSERT_EQ(install.exit_status, 0) << install.stdout_bytes;
  const auto m =
      nlohmann::json::parse(read(home_ / ".mozilla/native-messaging-hosts/com.quarn.host.json"));
  EXPECT_EQ(m["allowed_extensions"], nlohmann::json::array({"quarn@example.org"}));
  EXPECT_FALSE(m.contains("allowed_origins"));
  EXPECT_EQ(
      tool({"status", "--browser", "firefox", "--firefox-id", "quarn@example.org"}).exit_status, 0);
  EXPECT_EQ(
      tool({"status", "--browser", "firefox", "--firefox-id", "other@example.org"}).exit_status, 1);
}

// What the packages install: one browser's manifest, its path as given, nothing written.
TEST_F(Register, ManifestPrintsOneBrowsersManifestWithThePathAsGiven) {
  const HostRun chromium = tool({"manifest", "--browser", "chrome", "--extension-id", kId,
                                 "--host-path", "/usr/libexec/quarn/quarn-host"});
  ASSERT_EQ(chromium.exit_status, 0) << chromium.stdout_bytes;
  const auto c = nlohmann::json::parse(chromium.stdout_bytes);
  EXPECT_EQ(c["path"], "/usr/libexec/quarn/quarn-host");
  EXPECT_EQ(c["allowed_origins"], nlohmann::json::array({"chrome-extension://" + kId + "/"}));
  EXPECT_FALSE(c.contains("allowed_extensions"));

  const HostRun firefox = tool({"manifest", "--browser", "firefox", "--firefox-id", "a@b.org",
                                "--firefox-id", "c@d.org", "--host-path", "quarn-host.exe"});
  ASSERT_EQ(firefox.exit_status, 0) << firefox.stdout_bytes;
  const auto f = nlohmann::json::parse(firefox.stdout_bytes);
  EXPECT_EQ(f["path"], "quarn-host.exe");
  EXPECT_EQ(f["allowed_extensions"], nlohmann::json::array({"a@b.org", "c@d.org"}));
  EXPECT_TRUE(fs::is_empty(home_));

  // One known browser, a host path, and the ids of that browser's family.
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"manifest", "--browser", "firefox", "--host-path", "/h", "--extension-id", kId},
           {"manifest", "--browser", "all", "--host-path", "/h", "--extension-id", kId},
           {"manifest", "--browser", "chrome", "--browser", "edge", "--host-path", "/h",
            "--extension-id", kId},
           {"manifest", "--browser", "chrome", "--extension-id", kId},
           {"manifest", "--browser", "netscape", "--host-path", "/h", "--extension-id", kId}}) {
    const HostRun refused = tool(args);
    EXPECT_EQ(refused.exit_status, 2) << args[2] << ": " << refused.stdout_bytes;
    EXPECT_EQ(refused.stdout_bytes.rfind("error: ", 0), 0u) << refused.stdout_bytes;
  }
}

TEST_F(Register, StatusTellsWhatIsBrokenInAManifest) {
  ASSERT_EQ(tool({"install", "--user-data-dir", profile(), "--extension-id", kId}).exit_status, 0);
  const auto good = nlohmann::json::parse(read(manifest()));
  const fs::path not_executable = root_ / "plain-file";
  std::ofstream(not_executable) << "x";

  struct Case {
    const char* what;
    std::function<void(nlohmann::json&)> damage;
    const char* message;
  };
  const Case cases[] = {
      {"relative path", [](auto& m) { m["path"] = "quarn-host"; }, "not an absolute path"},
      {"missing host", [](auto& m) { m["path"] = "/nonexistent/quarn-host"; }, "does not exist"},
      {"not executable", [&](auto& m) { m["path"] = not_executable.string(); },
       "not an executable"},
      {"name differs from file", [](auto& m) { m["name"] = "com.quarn.other"; },
       "not the file's name"},
      {"no description", [](auto& m) { m.erase("description"); }, "no \"description\""},
      {"wrong type", [](auto& m) { m["type"] = "socket"; }, "not \"stdio\""},
      {"wildcard origin", [](auto& m) { m["allowed_origins"] = {"chrome-extension://*/"}; },
       "malformed"},
      {"origin without slash",
       [&](auto& m) { m["allowed_origins"] = {"chrome-extension://" + kId}; }, "malformed"},
      {"other extension",
       [](auto& m) {
         m["allowed_origins"] = {"chrome-extension://bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb/"};
       },
       "does not allow"},
      {"firefox key", [](auto& m) { m["allowed_extensions"] = {"a@b"}; }, "does not use"},
  };
  for (const auto& c : cases) {
    auto m = good;
    c.damage(m);
    std::ofstream(manifest(), std::ios::trunc) << m.dump();
    const HostRun status = tool({"status", "--user-data-dir", profile(), "--extension-id", kId});
    EXPECT_EQ(status.exit_status, 1) << c.what;
    EXPECT_NE(status.stdout_bytes.find("broken"), std::string::npos) << c.what;
    EXPECT_NE(status.stdout_bytes.find(c.message), std::string::npos)
        << c.what << ": " << status.stdout_bytes;
  }
  std::ofstream(manifest(), std::ios::trunc) << "{not json";
  EXPECT_EQ(tool({"status", "--user-data-dir", profile()}).exit_status, 1);
}

TEST_F(Register, RefusesBadNamesAndIds) {
  EXPECT_EQ(tool({"install", "--user-data-dir", profile(), "--extension-id", "ABC"}).exit_status,
            2);
  EXPECT_EQ(
      tool({"install", "--user-data-dir", profile(), "--extension-id", kId, "--name", "Com.Quarn"})
          .exit_status,
      2);
  EXPECT_EQ(tool({"install", "--browser", "firefox", "--firefox-id", "no at sign"}).exit_status, 2);
  EXPECT_EQ(tool({"status", "--browser", "netscape"}).exit_status, 1);
  EXPECT_FALSE(fs::exists(manifest()));
}

TEST_F(Register, FindsBrowsersByTheirFoldersAndExplainsSandboxedOnes) {
  fs::create_directories(home_ / ".config/chromium");
  fs::create_directories(home_ / ".var/app/org.mozilla.firefox");
  const HostRun install =
      tool({"install", "--extension-id", kId, "--firefox-id", "quarn@example.org"});
  EXPECT_EQ(install.exit_status, 0) << install.stdout_bytes;
  EXPECT_TRUE(fs::exists(home_ / ".config/chromium/NativeMessagingHosts/com.quarn.host.json"));
  EXPECT_FALSE(fs::exists(home_ / ".mozilla"));
  EXPECT_NE(install.stdout_bytes.find("Firefox: Flatpak package found"), std::string::npos)
      << install.stdout_bytes;
}

}  // namespace
}  // namespace quarn::testing
