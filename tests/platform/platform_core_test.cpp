#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

#include "platform/atomic_file.h"
#include "platform/folders.h"
#include "platform/registry.h"
#include "test_support.h"

namespace orv {
namespace {

TEST(AtomicFile, ReplacesWholeAndKeepsPermissions) {
  test::TempDir dir;
  const std::string path = dir / "file.xml";
  ASSERT_TRUE(ReplaceFileContents(path, {"abc", "", "def"}));
  EXPECT_EQ(test::ReadFile(path), "abcdef");
  ::chmod(path.c_str(), 0640);
  ASSERT_TRUE(ReplaceFileContents(path, {"x"}));
  EXPECT_EQ(test::ReadFile(path), "x");
  struct stat st {};
  ::stat(path.c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  // Through a symbolic link the target is replaced and the link stays.
  const std::string link = dir / "link.xml";
  std::filesystem::create_symlink(path, link);
  ASSERT_TRUE(ReplaceFileContents(link, {"via link"}));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(test::ReadFile(path), "via link");
  // Failures leave nothing behind.
  EXPECT_FALSE(ReplaceFileContents(dir / "missing/file", {"x"}));
  EXPECT_FALSE(ReplaceFileContents(dir.path(), {"x"}));
  int entries = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 2);
}

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
  EXPECT_TRUE(std::filesystem::exists(folder + "orv_core_tests"));
}

TEST(Folders, DefaultFilesAreCopiedOnlyWhereNoneExists) {
  test::TempDir dir;
  test::WriteFile(dir / "default.xml", "default");
  EXPECT_TRUE(CopyFileIfMissing(dir / "default.xml", dir / "copy.xml"));
  EXPECT_EQ(test::ReadFile(dir / "copy.xml"), "default");
  test::WriteFile(dir / "user.xml", "the user's own");
  EXPECT_FALSE(CopyFileIfMissing(dir / "default.xml", dir / "user.xml"));
  EXPECT_EQ(test::ReadFile(dir / "user.xml"), "the user's own");
  EXPECT_FALSE(CopyFileIfMissing(dir / "missing.xml", dir / "other.xml"));
  EXPECT_FALSE(std::filesystem::exists(dir / "other.xml"));
}

TEST(RegistryStore, KeepsOtherLinesAndUpdatesInPlace) {
  test::TempDir dir;
  const std::string path = dir / "sub/Registry.ini";
  RegistryStore r(path);
  ASSERT_TRUE(r.Open());  // the folder is created, a missing file is empty
  r.SetValue("Control Panel\\Mouse", "DoubleClickSpeed", "500");
  r.SetValue("Control Panel\\Desktop", "WheelScrollLines", "3");
  r.SetValue("Control Panel\\Mouse", "MouseSensitivity", "10");
  ASSERT_TRUE(r.Commit());
  EXPECT_EQ(test::ReadFile(path),
            "[Control Panel\\Mouse]\nDoubleClickSpeed=500\nMouseSensitivity=10\n\n[Control Panel\\Desktop]\nWheelScrollLines=3\n");

  test::WriteFile(path, "; note\r\n[Other]\r\nX=1\r\n[control panel\\mouse]\r\ndoubleclickspeed = 200\r\n");
  RegistryStore again(path);
  ASSERT_TRUE(again.Open());
  EXPECT_EQ(again.GetValue("Control Panel\\Mouse", "DoubleClickSpeed"), "200");
  EXPECT_EQ(again.GetValue("Other", "Missing"), std::nullopt);
  again.SetValue("Control Panel\\Mouse", "DoubleClickSpeed", "650");
  ASSERT_TRUE(again.Commit());
  EXPECT_EQ(test::ReadFile(path), "; note\n[Other]\nX=1\n[control panel\\mouse]\nDoubleClickSpeed=650\n");
}

TEST(RegistryStore, CannotOpenWhereItsFolderCannotBe) {
  test::TempDir dir;
  test::WriteFile(dir / "file", "x");
  EXPECT_FALSE(RegistryStore(dir / "file/Registry.ini").Open());
  // An unreadable store (a folder in its place) cannot be opened either.
  std::filesystem::create_directory(dir / "Registry.ini");
  EXPECT_FALSE(RegistryStore(dir / "Registry.ini").Open());
}

}  // namespace
}  // namespace orv
