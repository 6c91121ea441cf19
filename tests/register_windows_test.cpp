// quarn-host-register on Windows: manifests named by registry keys, as the browsers there find
// them. Each test registers a host name of its own, since the tests share one registry.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <random>
#include <string>

#include "platform/arguments.h"
#include "platform/registry.h"
#include "testing/host_process.h"

namespace quarn::testing {
namespace {

namespace fs = std::filesystem;

const std::string kTool = std::string(QUARN_BUILD_DIR) + "/quarn-host-register.exe";
const std::string kId = "abcdefghijklmnopabcdefghijklmnop";
constexpr auto kUser = platform::RegistryHive::kCurrentUser;

class RegisterWindows : public ::testing::Test {
 protected:
  void SetUp() override { name_ = "com.quarn.test_" + std::to_string(std::random_device()()); }

  void TearDown() override {
    for (const char* browser : {"chrome", "edge", "firefox"}) {
      tool({"uninstall", "--browser", browser});
    }
  }

  HostRun tool(std::vector<std::string> args) {
    args.insert(args.end(), {"--name", name_});
    HostOptions options;
    options.args = std::move(args);
    return run_program(kTool, "", options);
  }

  std::string key(const std::string& browser_key) const {
    return "Software\\" + browser_key + "\\NativeMessagingHosts\\" + name_;
  }

  static std::string read(const std::string& path) {
    std::ifstream in(platform::file_path(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  std::string name_;
};

TEST_F(RegisterWindows, InstallNamesTheManifestInTheBrowsersKey) {
  const HostRun install = tool({"install", "--browser", "chrome", "--extension-id", kId});
  ASSERT_EQ(install.exit_status, 0) << install.stdout_bytes;
  const auto manifest_path = platform::registry_default_value(kUser, key("Google\\Chrome"));
  ASSERT_TRUE(manifest_path.has_value()) << install.stdout_bytes;
  EXPECT_NE(install.stdout_bytes.find(*manifest_path), std::string::npos);

  const auto m = nlohmann::json::parse(read(*manifest_path));
  EXPECT_EQ(m["name"], name_);
  EXPECT_EQ(m["type"], "stdio");
  const std::string host = m["path"];
  EXPECT_TRUE(fs::equivalent(platform::file_path(host), platform::file_path(host_path()))) << host;
  EXPECT_EQ(m["allowed_origins"], nlohmann::json::array({"chrome-extension://" + kId + "/"}));

  const HostRun status = tool({"status", "--browser", "chrome", "--extension-id", kId});
  EXPECT_EQ(status.exit_status, 0) << status.stdout_bytes;
  EXPECT_NE(status.stdout_bytes.find(": ok"), std::string::npos) << status.stdout_bytes;

  const HostRun uninstall = tool({"uninstall", "--browser", "chrome"});
  EXPECT_EQ(uninstall.exit_status, 0) << uninstall.stdout_bytes;
  EXPECT_FALSE(platform::registry_default_value(kUser, key("Google\\Chrome")).has_value());
  EXPECT_FALSE(fs::exists(platform::file_path(*manifest_path)));
  const HostRun after = tool({"status", "--browser", "chrome"});
  EXPECT_EQ(after.exit_status, 0);
  EXPECT_NE(after.stdout_bytes.find("not installed (HKCU\\" + key("Google\\Chrome") + ")"),
            std::string::npos)
      << after.stdout_bytes;
}

TEST_F(RegisterWindows, EachBrowserHasItsOwnKeyAndManifest) {
  ASSERT_EQ(tool({"install", "--browser", "edge", "--browser", "firefox", "--extension-id", kId,
                  "--firefox-id", "quarn@example.org"})
                .exit_status,
            0);
  const auto edge = platform::registry_default_value(kUser, key("Microsoft\\Edge"));
  const auto firefox = platform::registry_default_value(kUser, key("Mozilla"));
  ASSERT_TRUE(edge && firefox);
  EXPECT_NE(*edge, *firefox);
  EXPECT_TRUE(nlohmann::json::parse(read(*edge)).contains("allowed_origins"));
  EXPECT_EQ(nlohmann::json::parse(read(*firefox))["allowed_extensions"],
            nlohmann::json::array({"quarn@example.org"}));
  EXPECT_FALSE(platform::registry_default_value(kUser, key("Google\\Chrome")).has_value());
}

TEST_F(RegisterWindows, StatusReadsTheManifestTheKeyNames) {
  ASSERT_EQ(tool({"install", "--browser", "chrome", "--extension-id", kId}).exit_status, 0);
  const std::string manifest_path =
      platform::registry_default_value(kUser, key("Google\\Chrome")).value_or("");
  const auto good = nlohmann::json::parse(read(manifest_path));
  const fs::path folder = platform::file_path(manifest_path).parent_path();
  std::ofstream(folder / "beside.exe") << "MZ";

  struct Case {
    const char* what;
    const char* path;
    int exit_status;
    const char* says;
  };
  // A relative "path" is taken from the manifest's folder, as the browsers take it on Windows.
  const Case cases[] = {
      {"relative, beside the manifest", "beside.exe", 0, ": ok"},
      {"relative, missing", "missing.exe", 1, "does not exist"},
      {"not a program", "C:\\Windows\\win.ini", 1, "not an executable"},
  };
  for (const auto& c : cases) {
    auto m = good;
    m["path"] = c.path;
    std::ofstream(platform::file_path(manifest_path), std::ios::trunc) << m.dump();
    const HostRun status = tool({"status", "--browser", "chrome", "--extension-id", kId});
    EXPECT_EQ(status.exit_status, c.exit_status) << c.what << ": " << status.stdout_bytes;
    EXPECT_NE(status.stdout_bytes.find(c.says), std::string::npos)
        << c.what << ": " << status.stdout_bytes;
  }

  fs::remove(platform::file_path(manifest_path));
  const HostRun dangling = tool({"status", "--browser", "chrome"});
  EXPECT_EQ(dangling.exit_status, 1);
  EXPECT_NE(dangling.stdout_bytes.find("which does not exist"), std::string::npos)
      << dangling.stdout_bytes;
}

TEST_F(RegisterWindows, RefusesAUserDataDir) {
  const HostRun install =
      tool({"install", "--user-data-dir", "C:\\profile", "--extension-id", kId});
  EXPECT_EQ(install.exit_status, 1);
  EXPECT_NE(install.stdout_bytes.find("registry"), std::string::npos) << install.stdout_bytes;
}

}  // namespace
}  // namespace quarn::testing
