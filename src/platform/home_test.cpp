// Tests of the profile folder lookup.
#include "platform/home.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace quarn::platform {
namespace {

TEST(ProfileFolder, HomeWhenAbsoluteElseTheAccountDatabase) {
  const char* saved = std::getenv("HOME");
  const std::string saved_home = saved ? saved : "";
  const passwd* account = ::getpwuid(::getuid());
  const std::optional<std::string> from_account = account && account->pw_dir[0] == '/'
                                                      ? std::optional<std::string>(account->pw_dir)
                                                      : std::nullopt;

  ::setenv("HOME", "/srv/users/alice", 1);
  EXPECT_EQ(profile_folder(), "/srv/users/alice");
  ::setenv("HOME", "/", 1);
  EXPECT_EQ(profile_folder(), "/");
  for (const char* unusable : {"", "relative/home", "./home", "~"}) {
    ::setenv("HOME", unusable, 1);
    EXPECT_EQ(profile_folder(), from_account) << "HOME=" << unusable;
  }
  ::unsetenv("HOME");
  EXPECT_EQ(profile_folder(), from_account);

  if (saved) ::setenv("HOME", saved_home.c_str(), 1);
}

}  // namespace
}  // namespace quarn::platform
