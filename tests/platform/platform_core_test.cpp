#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

#include "platform/folders.h"
#include "tests/test_support.h"

namespace orv {
namespace {

TEST(Folders, ConfAndProfileFoldersFollowXdgConfigHome) {
  test::TempDir dir;
  ::setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
  EXPECT_EQ(ConfFolder(), dir.path() + "/Veltrix/Orvandel Tidefall MMO Gaming Mouse/Conf");
  EXPECT_EQ(ProfileFolder(), dir.path() + "/Veltrix/Orvandel Tidefall MMO Gaming Mouse/Profile");
  EXPECT_EQ(RegistryFile(), dir.path() + "/Veltrix/Registry.ini");
  EXPECT_TRUE(CreateConfFolders());
  EXPECT_TRUE(std::filesystem::is_directory(ConfFolder()));
  EXPECT_EQ(JoinPath("a/", "/b"), "a/b");
  EXPECT_EQ(JoinPath("", "b"), "b");
  ::unsetenv("XDG_CONFIG_HOME");
}

TEST(Folders, ProgramFolderIsTheExecutablesFolderWithASlash) {
  std::string folder = ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_TRUE(std::filesystem::exists(folder + "orv_platform_tests"));
}

}  // namespace
}  // namespace orv
