#include "platform/desktop/processes.h"

#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>

#include "tests/platform/desktop/desktop_test_support.h"
#include "tests/platform/x11/x_client.h"
#include "tests/test_support.h"
#include "tests/x11_server.h"

namespace orv {
namespace {

// The Xvfb process that an XvfbServer of this process started.
pid_t XvfbChild() {
  std::vector<ProcessEntry> all;
  if (!TakeProcessSnapshot(all)) return -1;
  for (const ProcessEntry& p : all) {
    if (p.exeName != u"Xvfb") continue;
    std::string stat = test::ReadFile("/proc/" + std::to_string(p.pid) + "/stat");
    size_t close = stat.rfind(')');
    if (close == std::string::npos) continue;
    char state;
    int parent = 0;
    if (std::sscanf(stat.c_str() + close + 1, " %c %d", &state, &parent) == 2 && parent == ::getpid()) return p.pid;
  }
  return -1;
}

// Plays the window manager: marks a window active on the root and names windows' processes.
using WindowManagerStandIn = test::XClient;
using test::XWindowId;

TEST(DesktopForeground, IsTheProcessOfTheWindowMarkedActive) {
  test::XvfbServer xvfb;
  if (xvfb.display().empty()) GTEST_SKIP() << "Xvfb cannot be started; the foreground window needs an X server";
  WindowManagerStandIn wm;
  ASSERT_TRUE(wm.Connected());
  test::ChildProcess game("/bin/sleep", {"C:\\Games\\ORV.EXE", "30"});
  ASSERT_GT(game.pid(), 0);

  const XWindowId named = wm.NewWindow();
  wm.SetPid(named, static_cast<unsigned long>(game.pid()));
  const XWindowId unnamed = wm.NewWindow();
  const XWindowId pidAsText = wm.NewWindow();
  wm.SetPid(pidAsText, static_cast<unsigned long>(game.pid()), /*asText=*/true);
  const XWindowId gone = wm.NewWindow();
  wm.SetPid(gone, static_cast<unsigned long>(game.pid()));
  wm.Destroy(gone);

  struct Case {
    const char* what;
    std::optional<XWindowId> active;
    pid_t expected;
  };
  const Case cases[] = {
      {"root without _NET_ACTIVE_WINDOW", std::nullopt, 0},
      {"active window names its process", named, game.pid()},
      {"no window active (None)", 0, 0},
      {"active window without _NET_WM_PID", unnamed, 0},
      {"_NET_WM_PID of the wrong type", pidAsText, 0},
      {"active window destroyed meanwhile", gone, 0},
      {"a named window again", named, game.pid()},
  };
  for (const Case& c : cases) {
    wm.SetActive(c.active);
    EXPECT_EQ(ForegroundProcessId(), c.expected) << c.what;
  }
}

TEST(DesktopForeground, OutlivesItsServerAndFindsTheNextOne) {
  test::ChildProcess game("/bin/sleep", {"orv.exe", "30"});
  ASSERT_GT(game.pid(), 0);
  {
    test::XvfbServer first;
    if (first.display().empty()) GTEST_SKIP() << "Xvfb cannot be started; the foreground window needs an X server";
    {
      WindowManagerStandIn wm;
      XWindowId w = wm.NewWindow();
      wm.SetPid(w, static_cast<unsigned long>(game.pid()));
      wm.SetActive(w);
      ASSERT_EQ(ForegroundProcessId(), game.pid());
    }
    // The server dies while DISPLAY still names it: the open connection is lost mid-request.
    pid_t server = XvfbChild();
    ASSERT_GT(server, 0);
    ::kill(server, SIGKILL);
    siginfo_t info{};
    ::waitid(P_PID, static_cast<id_t>(server), &info, WEXITED | WNOWAIT);  // reaped by XvfbServer
    EXPECT_EQ(ForegroundProcessId(), 0);
    EXPECT_EQ(ForegroundProcessId(), 0);
  }
  test::XvfbServer second;
  ASSERT_FALSE(second.display().empty());
  WindowManagerStandIn wm;
  XWindowId w = wm.NewWindow();
  wm.SetPid(w, static_cast<unsigned long>(game.pid()));
  wm.SetActive(w);
  EXPECT_EQ(ForegroundProcessId(), game.pid());
}

// Under a real window manager: a window that carries _NET_WM_PID and a plain Xlib window without
// it, each activated in turn as a pager or a click would. The second one is found through the X
// server's record of its client, and its process, a Windows game as Wine starts it, is then
// known by name through the snapshot as game detection looks it up.
TEST(DesktopForeground, UnderOpenboxWindowsWithAndWithoutTheirPidAreBothSeen) {
  test::XvfbServer xvfb;
  if (xvfb.display().empty()) GTEST_SKIP() << "Xvfb cannot be started; the foreground window needs an X server";
  test::Openbox openbox;
  if (!openbox.why().empty()) GTEST_SKIP() << "no window manager for this test: " << openbox.why();
  // The first window's _NET_WM_PID names another process than its X client, so the answer shows
  // which of the two was taken.
  test::ChildProcess named("/bin/sleep", {"named-program", "30"});
  ASSERT_GT(named.pid(), 0);
  test::XWindowProgram withPid("named-client", named.pid());
  ASSERT_GT(withPid.window(), 0u);
  test::XWindowProgram game("C:\\Games\\orv.exe");  // sets no _NET_WM_PID
  ASSERT_GT(game.window(), 0u);
  test::XClient pager;
  ASSERT_TRUE(pager.Connected());
  // openbox gives the focus to each new window as it comes; once the last one shown is active,
  // no focus change is left pending that could overtake the steps below.
  ASSERT_TRUE(pager.Activate(game.window(), std::chrono::seconds(5)));

  struct Step {
    const char* what;
    XWindowId window;
    pid_t expected;
  };
  const Step steps[] = {
      {"the window with _NET_WM_PID", withPid.window(), named.pid()},
      {"the plain Xlib window", game.window(), game.pid()},
      {"the first one again", withPid.window(), named.pid()},
      {"the plain one again", game.window(), game.pid()},
  };
  for (const Step& s : steps) {
    ASSERT_TRUE(pager.Activate(s.window, std::chrono::seconds(5))) << s.what << ": openbox did not activate it";
    EXPECT_EQ(ForegroundProcessId(), s.expected) << s.what;
  }

  const pid_t foreground = ForegroundProcessId();
  ASSERT_EQ(foreground, game.pid());
  std::vector<ProcessEntry> all;
  ASSERT_TRUE(TakeProcessSnapshot(all));
  auto it = std::find_if(all.begin(), all.end(), [&](const ProcessEntry& p) { return p.pid == foreground; });
  ASSERT_NE(it, all.end());
  EXPECT_EQ(test::N(it->exeName), "orv.exe");
  EXPECT_TRUE(EqualsIgnoringCase(it->exeName, u"ORV.EXE"));
}

TEST(DesktopForeground, IsZeroWithoutADisplayAndSaysSoOnce) {
  testing::internal::CaptureStderr();
  {
    test::ScopedEnv noDisplay("DISPLAY", std::nullopt);
    EXPECT_EQ(ForegroundProcessId(), 0);
    EXPECT_EQ(ForegroundProcessId(), 0);
  }
  {
    test::ScopedEnv deadDisplay("DISPLAY", ":4093");
    EXPECT_EQ(ForegroundProcessId(), 0);
  }
  const std::string said = testing::internal::GetCapturedStderr();
  size_t lines = 0;
  for (size_t at = said.find("no X display"); at != std::string::npos; at = said.find("no X display", at + 1)) ++lines;
  EXPECT_LE(lines, 1u) << said;
}

TEST(DesktopSnapshot, NamesEachProcessByTheBaseNameOfItsArgv0) {
  struct Case {
    std::string argv0;
    std::u16string expected;
  };
  const Case cases[] = {
      {"C:\\Games\\ORV.EXE", u"ORV.EXE"},                  // a Windows game under Wine
      {"/opt/games/orv.exe", u"orv.exe"},                  // a plain path
      {"Z:\\home\\me/.wine/Spiel Ü.exe", u"Spiel Ü.exe"},  // both separators, UTF-8
      {"osd.exe", u"osd.exe"},                             // no folder at all
      {"", u"sleep"},                                      // empty argv[0]: the comm name
      {"games/", u"sleep"},                                // nothing after the last separator
      {std::string(300, 'n'), std::u16string(kMaxExecutableName, u'n')},
  };
  std::vector<std::unique_ptr<test::ChildProcess>> children;
  for (const Case& c : cases) {
    children.push_back(std::make_unique<test::ChildProcess>("/bin/sleep", std::vector<std::string>{c.argv0, "30"}));
    ASSERT_GT(children.back()->pid(), 0) << c.argv0;
  }
  std::vector<ProcessEntry> all;
  ASSERT_TRUE(TakeProcessSnapshot(all));
  std::map<pid_t, std::u16string> byPid;
  for (const ProcessEntry& p : all) EXPECT_TRUE(byPid.emplace(p.pid, p.exeName).second) << "listed twice: " << p.pid;
  EXPECT_EQ(byPid.count(::getpid()), 1u);
  for (size_t i = 0; i < std::size(cases); ++i) {
    const pid_t pid = children[i]->pid();
    ASSERT_EQ(byPid.count(pid), 1u) << cases[i].argv0;
    EXPECT_EQ(test::N(byPid[pid]), test::N(cases[i].expected)) << cases[i].argv0;
    EXPECT_EQ(test::N(ExecutableNameOf(pid)), test::N(cases[i].expected)) << cases[i].argv0;
  }
}

TEST(DesktopSnapshot, AProcessWithoutCommandLineIsNamedByItsCommAndAGoneOneHasNoName) {
  const pid_t zombie = ::fork();
  if (zombie == 0) {
    ::prctl(PR_SET_NAME, "orv-zombie");
    ::_exit(0);
  }
  ASSERT_GT(zombie, 0);
  siginfo_t info{};
  ASSERT_EQ(::waitid(P_PID, static_cast<id_t>(zombie), &info, WEXITED | WNOWAIT), 0);  // a zombie now
  ASSERT_TRUE(test::ReadFile("/proc/" + std::to_string(zombie) + "/cmdline").empty());
  EXPECT_EQ(test::N(ExecutableNameOf(zombie)), "orv-zombie");
  std::vector<ProcessEntry> all;
  ASSERT_TRUE(TakeProcessSnapshot(all));
  auto it = std::find_if(all.begin(), all.end(), [&](const ProcessEntry& p) { return p.pid == zombie; });
  ASSERT_NE(it, all.end());
  EXPECT_EQ(test::N(it->exeName), "orv-zombie");
  // Kernel threads have no command line either; kthreadd is pid 2 where the kernel's are visible.
  if (test::ReadFile("/proc/2/comm") == "kthreadd\n") {
    EXPECT_EQ(test::N(ExecutableNameOf(2)), "kthreadd");
  }

  ::waitpid(zombie, nullptr, 0);
  EXPECT_TRUE(ExecutableNameOf(zombie).empty());
  EXPECT_TRUE(ExecutableNameOf(0).empty());
  EXPECT_TRUE(ExecutableNameOf(-1).empty());
}

TEST(DesktopSnapshot, WalksATreeLaidOutLikeProcAndFailsOnlyWithoutOne) {
  test::TempDir proc;
  auto process = [&](const std::string& pid, std::optional<std::string> cmdline, std::optional<std::string> comm) {
    std::filesystem::create_directories(proc / pid);
    if (cmdline) test::WriteFile(proc / (pid + "/cmdline"), *cmdline);
    if (comm) test::WriteFile(proc / (pid + "/comm"), *comm);
  };
  process("17", std::string("C:\\windows\\ORV.EXE\0-login\0", 26), "ORV.EXE\n");
  process("23", "", "kworker/0:1\n");                  // comm is a name, not a path: kept whole
  process("31", "setproctitle: worker", "python3\n");  // argv[0] without its NUL
  process("99", std::nullopt, std::nullopt);           // ended while walked
  process("self", "x", "x\n");
  process("4294967296", "big", "big\n");
  process("012a", "odd", "odd\n");

  std::vector<ProcessEntry> all = {{1, u"stale"}};
  ASSERT_TRUE(TakeProcessSnapshot(all, proc.path()));
  std::sort(all.begin(), all.end(), [](const ProcessEntry& a, const ProcessEntry& b) { return a.pid < b.pid; });
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0].pid, 17);
  EXPECT_EQ(test::N(all[0].exeName), "ORV.EXE");
  EXPECT_EQ(all[1].pid, 23);
  EXPECT_EQ(test::N(all[1].exeName), "kworker/0:1");
  EXPECT_EQ(all[2].pid, 31);
  EXPECT_EQ(test::N(all[2].exeName), "setproctitle: worker");

  EXPECT_FALSE(TakeProcessSnapshot(all, proc / "missing"));
  EXPECT_TRUE(all.empty());
}

TEST(DesktopSnapshot, NameRuleOnRawProcContents) {
  const std::u16string emoji = u"\U0001F3AE";
  struct Case {
    std::string cmdline;
    std::string comm;
    std::u16string expected;
  };
  const Case cases[] = {
      {std::string("C:\\Games\\ORV.EXE\0arg\0", 21), "wine64-preload\n", u"ORV.EXE"},
      {std::string("\0", 1), "kthreadd\n", u"kthreadd"},
      {"", "", u""},
      {"a/b\\", "comm\n", u"comm"},
      {"/bin/\xff.exe", "x\n", u"\uFFFD.exe"},
      {std::string(259, 'x') + "\xF0\x9F\x8E\xAE", "x\n", std::u16string(259, u'x')},  // no half pair at the cut
      {std::string(258, 'x') + "\xF0\x9F\x8E\xAE", "x\n", std::u16string(258, u'x') + emoji},
  };
  for (const Case& c : cases)
    EXPECT_EQ(test::N(ExecutableNameFrom(c.cmdline, c.comm)), test::N(c.expected)) << c.cmdline.substr(0, 40);
}

TEST(DesktopSnapshot, NamesCompareRegardlessOfCase) {
  struct Case {
    std::u16string a, b;
    bool equal;
  };
  const Case cases[] = {
      {u"ORV.EXE", u"orv.exe", true},   {u"osd.exe", u"OSD.exe", true},  {u"ÄRGER.EXE", u"ärger.exe", true},
      {u"orv.exe", u"orv.ex", false},   {u"orv.exe", u"orw.exe", false}, {u"", u"", true},
      {u"Orv.Exe", u"ORV.EXE ", false},
  };
  for (const Case& c : cases) EXPECT_EQ(EqualsIgnoringCase(c.a, c.b), c.equal) << test::N(c.a) << " / " << test::N(c.b);
}

}  // namespace
}  // namespace orv
