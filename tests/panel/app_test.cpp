#include "panel/main/app.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <stdexcept>

#include "base/files.h"
#include "platform/process_rights.h"
#include "tests/panel/panel_fakes.h"
#include "tests/test_support.h"

namespace orv {
namespace {

using test::TempDir;

class AppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    program = bin.path() + "/";
    test::WriteFile(program + "Config.xml", "default config");
    test::WriteFile(program + "TrayIcon.xml", "default tray");
  }
  void TearDown() override { ::unsetenv("XDG_RUNTIME_DIR"); }
  CAPApp::Environment Env(bool pipe = false) {
    return CAPApp::Environment{[pipe] { return pipe; }, bin.path(), appData.path()};
  }
  std::string Conf() const { return appData.path() + "/Veltrix/Orvandel Tidefall MMO Gaming Mouse/Conf/"; }

  TempDir runtime, bin, appData;
  std::string program;
};

TEST_F(AppTest, StartUpMakesTheFoldersAndCopiesTheDefaultsWithoutOverwriting) {
  // The user's own Config.xml is there already; TrayIcon.xml is not.
  ASSERT_TRUE(MakeFolders(Conf()));
  test::WriteFile(Conf() + "Config.xml", "mine");
  CAPApp app(Env());
  ASSERT_TRUE(app.InitInstance());
  EXPECT_EQ(test::ReadFile(Conf() + "Config.xml"), "mine");
  EXPECT_EQ(test::ReadFile(Conf() + "TrayIcon.xml"), "default tray");
  EXPECT_EQ(app.startup().confFolder, Conf());
  EXPECT_EQ(app.startup().programFolder, program);
  EXPECT_EQ(app.startup().profileFolder, appData.path() + "/Veltrix/Orvandel Tidefall MMO Gaming Mouse/Profile/");
  struct stat st {};
  EXPECT_EQ(::stat(app.startup().profileFolder.c_str(), &st), 0);
  EXPECT_FALSE(app.startup().pipeFlag);
}

TEST_F(AppTest, ThePipeFlagComesFromBothProcessesRights) {
  CAPApp app(Env(true));
  ASSERT_TRUE(app.InitInstance());
  EXPECT_TRUE(app.startup().pipeFlag);
}

TEST_F(AppTest, ASecondPanelEndsWithoutAWordWhileTheFirstRuns) {
  CAPApp first(Env());
  ASSERT_TRUE(first.InitInstance());
  {
    CAPApp second(Env());
    EXPECT_FALSE(second.InitInstance());
  }
  // The first keeps its lock after the second gave up.
  NamedMutex probe("Veltrix_Zr4_V2_AP");
  EXPECT_EQ(probe.outcome(), NamedMutex::Outcome::AlreadyExists);
}

TEST_F(AppTest, WithoutAnApplicationDataFolderThePanelRunsWithNoConfigurationFolder) {
  {
    CAPApp::Environment env = Env();
    env.appDataFolder.clear();
    CAPApp app(env);
    ASSERT_TRUE(app.InitInstance());
    EXPECT_TRUE(app.startup().confFolder.empty());
    EXPECT_EQ(app.startup().profileFolder, program);
  }
  // A folder that cannot be made (a file stands in its way) is not reported either.
  test::WriteFile(appData.path() + "/Veltrix", "in the way");
  CAPApp app(Env());
  ASSERT_TRUE(app.InitInstance());
  EXPECT_TRUE(app.startup().confFolder.empty());
  EXPECT_EQ(app.startup().profileFolder, program);
}

TEST_F(AppTest, FailuresOfTheMainWindowAreShownInABoxTitledError) {
  CAPApp app(Env());
  ASSERT_TRUE(app.InitInstance());
  test::FakeServices services;
  struct SkinFailure {
    std::u16string text;
  };
  auto describe = [](std::exception_ptr e, std::u16string& text) {
    try {
      std::rethrow_exception(e);
    } catch (const SkinFailure& f) {
      text = f.text;
      return true;
    } catch (...) {
      return false;
    }
  };
  EXPECT_EQ(app.RunMainWindow([](const PanelStartup&) { throw SkinFailure{u"Mask is not initialize"}; }, services,
                              describe),
            0);
  EXPECT_EQ(app.RunMainWindow([](const PanelStartup&) { throw std::runtime_error("x"); }, services, describe), 0);
  EXPECT_EQ(app.RunMainWindow([](const PanelStartup&) { throw 42; }, services), 0);
  bool ran = false;
  app.RunMainWindow([&](const PanelStartup& s) { ran = s.programFolder == program; }, services);
  EXPECT_TRUE(ran);
  EXPECT_EQ(services.boxes, (std::vector<std::u16string>{u"Mask is not initialize", u"SomeThing went wrong",
                                                         u"SomeThing went wrong"}));
  EXPECT_EQ(services.boxTitles, (std::vector<std::u16string>(3, u"Error")));
  EXPECT_EQ(services.boxErrors, (std::vector<bool>(3, true)));
}

}  // namespace
}  // namespace orv
