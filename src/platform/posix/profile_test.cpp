// Tests of the profile folder lookup.
#include "platform/profile.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <optional>
#include <string>

#include "testing/environment_guard.h"

namespace quarn::platform {
namespace {

TEST(ProfileFolder, HomeWhenAbsoluteElseTheAccountDatabase) {
  testing::EnvironmentGuard environment;
  const passwd* account = ::getpwuid(::getuid());
  const std::optional<std::string> from_account = account && account->pw_dir[0] == '/'
                                                      ? std::optional<std::string>(account->pw_dir)
                                                      : std::nullopt;

  environment.set("HOME", "/srv/users/alice");
  EXPECT_EQ(profile_folder(), "/srv/users/alice");
  environment.set("HOME", "/");
  EXPECT_EQ(profile_folder(), "/");
  for (const char* unusable : {"", "relative/home", "./home", "~"}) {
    environment.set("HOME", unusable);
    EXPECT_EQ(profile_folder(), from_account) << "HOME=" << unusable;
  }
  environment.set("HOME", std::nullopt);
  EXPECT_EQ(profile_folder(), from_account);
}

TEST(JoinPath, InsertsOneSeparator) {
  EXPECT_EQ(join_path("/home/a", ".quarn"), "/home/a/.quarn");
  EXPECT_EQ(join_path("/home/a/", ".quarn"), "/home/a/.quarn");
  EXPECT_EQ(join_path("/", ".quarn"), "/.quarn");
  EXPECT_EQ(join_path(".", ".quarn"), "./.quarn");
}

}  // namespace
}  // namespace quarn::platform
