// Tests of the profile folder lookup on Windows.
#include "platform/profile.h"

#include <gtest/gtest.h>

#include "platform/environment.h"

namespace quarn::platform {
namespace {

TEST(ProfileFolder, IsTheUsersProfile) {
  // The system sets USERPROFILE from the same known folder when the user's session starts.
  const auto folder = profile_folder();
  ASSERT_TRUE(folder.has_value());
  EXPECT_EQ(folder, environment_variable("USERPROFILE"));
  ASSERT_GE(folder->size(), 3u);
  EXPECT_EQ(folder->substr(1, 2), ":\\") << *folder;
}

TEST(JoinPath, InsertsOneSeparator) {
  EXPECT_EQ(join_path("C:\\Users\\a", ".quarn"), "C:\\Users\\a\\.quarn");
  EXPECT_EQ(join_path("C:\\Users\\a\\", ".quarn"), "C:\\Users\\a\\.quarn");
  EXPECT_EQ(join_path("C:/Users/a/", ".quarn"), "C:/Users/a/.quarn");
  EXPECT_EQ(join_path(".", ".quarn"), ".\\.quarn");
}

}  // namespace
}  // namespace quarn::platform
