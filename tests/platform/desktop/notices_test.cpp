#include "platform/desktop/notices.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <csignal>
#include <filesystem>
#include <memory>

#include "tests/platform/desktop/desktop_test_support.h"
#include "tests/test_support.h"

namespace orv {
namespace {

constexpr int kWaitMs = 2000;  // only ever reached when a notice fails to come

// A Unix stream socket bound at `path`, as the mouse simulator binds the control device.
class BoundSocket {
 public:
  explicit BoundSocket(const std::string& path) : path_(path) {
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    bound_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && ::listen(fd_, 4) == 0;
  }
  ~BoundSocket() { Close(); }
  bool bound() const { return bound_; }
  void Close() {
    if (fd_ < 0) return;
    ::close(fd_);
    ::unlink(path_.c_str());
    fd_ = -1;
  }

 private:
  std::string path_;
  int fd_ = -1;
  bool bound_ = false;
};

TEST(DesktopArrival, SeesTheDeviceSocketAppearAndGo) {
  test::TempDir dir;
  const std::string folder = dir / "runtime/device";  // not there yet: the watch makes it
  DeviceArrivalWatch watch(folder, "VX-TidefallDevice");
  ASSERT_TRUE(watch.watching());
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  EXPECT_FALSE(watch.present());
  QSignalSpy arrived(&watch, &DeviceArrivalWatch::arrived);
  QSignalSpy removed(&watch, &DeviceArrivalWatch::removed);

  BoundSocket other(folder + "/ORVTidefallMouse");  // another name: no notice
  ASSERT_TRUE(other.bound());
  auto device = std::make_unique<BoundSocket>(folder + "/VX-TidefallDevice");
  ASSERT_TRUE(device->bound());
  ASSERT_TRUE(arrived.wait(kWaitMs));
  EXPECT_EQ(arrived.count(), 1);
  EXPECT_EQ(removed.count(), 0);
  EXPECT_TRUE(watch.present());

  other.Close();
  device->Close();
  ASSERT_TRUE(removed.wait(kWaitMs));
  EXPECT_EQ(removed.count(), 1);
  EXPECT_EQ(arrived.count(), 1);
  EXPECT_FALSE(watch.present());

  // A file renamed into place counts as an arrival too.
  test::WriteFile(folder + "/.staging", "");
  std::filesystem::rename(folder + "/.staging", folder + "/VX-TidefallDevice");
  ASSERT_TRUE(arrived.wait(kWaitMs));
  EXPECT_EQ(arrived.count(), 2);
}

TEST(DesktopArrival, WatchesOnWhenTheFolderIsRemovedAndMadeAgain) {
  test::TempDir dir;
  const std::string folder = dir / "device";
  DeviceArrivalWatch watch(folder, "VX-TidefallDevice");
  ASSERT_TRUE(watch.watching());
  QSignalSpy arrived(&watch, &DeviceArrivalWatch::arrived);
  QSignalSpy removed(&watch, &DeviceArrivalWatch::removed);
  auto device = std::make_unique<BoundSocket>(folder + "/VX-TidefallDevice");
  ASSERT_TRUE(arrived.wait(kWaitMs));

  std::filesystem::remove_all(folder);  // the socket goes with its folder
  ASSERT_TRUE(removed.wait(kWaitMs));
  EXPECT_EQ(removed.count(), 1);
  // The kernel reports the folder gone once nothing holds it: here, once the server closes.
  device.reset();
  // The folder is back and watched.
  for (int i = 0; i < 100 && !std::filesystem::is_directory(folder); ++i) QTest::qWait(5);
  ASSERT_TRUE(std::filesystem::is_directory(folder));
  EXPECT_TRUE(watch.watching());
  BoundSocket again(folder + "/VX-TidefallDevice");
  ASSERT_TRUE(again.bound());
  ASSERT_TRUE(arrived.wait(kWaitMs));
  EXPECT_EQ(arrived.count(), 2);
  EXPECT_EQ(removed.count(), 1);
}

TEST(DesktopArrival, RefusesNamesThatAreNotFileNames) {
  test::TempDir dir;
  testing::internal::CaptureStderr();
  const std::string names[] = {"", ".", "..", "a/b", std::string(300, 'x')};
  for (const std::string& name : names) {
    DeviceArrivalWatch watch(dir.path(), name);
    EXPECT_FALSE(watch.watching()) << name;
  }
  test::WriteFile(dir / "file", "");
  DeviceArrivalWatch underFile(dir / "file/device", "VX-TidefallDevice");
  EXPECT_FALSE(underFile.watching());
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("cannot make the folder"), std::string::npos) << said;
}

TEST(DesktopSession, LogindSignalsBecomeSessionNotices) {
  // A bus that is not connected: only the handlers, called here as the bus would call them.
  SessionNotices notices(QDBusConnection(QStringLiteral("orv-no-bus")));
  EXPECT_FALSE(notices.listening());
  QSignalSpy resumed(&notices, &SessionNotices::resumed);
  QSignalSpy connected(&notices, &SessionNotices::consoleConnect);
  QSignalSpy disconnected(&notices, &SessionNotices::consoleDisconnect);

  const QString session = QStringLiteral("org.freedesktop.login1.Session");
  struct Step {
    const char* what;
    std::function<void()> deliver;
    int resumed, connected, disconnected;  // counts afterwards
    bool active;
  };
  const Step steps[] = {
      {"going to sleep", [&] { notices.onPrepareForSleep(true); }, 0, 0, 0, true},
      {"woken", [&] { notices.onPrepareForSleep(false); }, 1, 0, 0, true},
      {"still active",
       [&] {
         notices.onSessionPropertiesChanged(session, {{"Active", true}}, {});
       },
       1, 0, 0, true},
      {"inactive",
       [&] {
         notices.onSessionPropertiesChanged(session, {{"Active", false}}, {});
       },
       1, 0, 1, false},
      {"inactive again",
       [&] {
         notices.onSessionPropertiesChanged(session, {{"Active", false}}, {});
       },
       1, 0, 1, false},
      {"another interface",
       [&] {
         notices.onSessionPropertiesChanged("org.freedesktop.login1.User", {{"Active", true}}, {});
       },
       1, 0, 1, false},
      {"another property",
       [&] {
         notices.onSessionPropertiesChanged(session, {{"IdleHint", true}}, {});
       },
       1, 0, 1, false},
      {"Active of the wrong type",
       [&] {
         notices.onSessionPropertiesChanged(session, {{"Active", "yes"}}, {});
       },
       1, 0, 1, false},
      {"active, wrapped in a D-Bus variant",
       [&] {
         notices.onSessionPropertiesChanged(session, {{"Active", QVariant::fromValue(QDBusVariant(true))}}, {});
       },
       1, 1, 1, true},
      {"invalidated without a session to ask", [&] { notices.onSessionPropertiesChanged(session, {}, {"Active"}); }, 1,
       1, 1, true},
      {"woken twice", [&] { notices.onPrepareForSleep(false); }, 2, 1, 1, true},
  };
  for (const Step& s : steps) {
    s.deliver();
    EXPECT_EQ(resumed.count(), s.resumed) << s.what;
    EXPECT_EQ(connected.count(), s.connected) << s.what;
    EXPECT_EQ(disconnected.count(), s.disconnected) << s.what;
    EXPECT_EQ(notices.sessionActive(), s.active) << s.what;
  }
}

TEST(DesktopSession, WithoutASystemBusSaysSoOnceAndStaysQuiet) {
  test::TempDir dir;
  testing::internal::CaptureStderr();
  QDBusConnection none = QDBusConnection::connectToBus("unix:path=" + QString::fromStdString(dir / "no-bus"),
                                                       QStringLiteral("orv-missing-bus"));
  ASSERT_FALSE(none.isConnected());
  SessionNotices first(none);
  SessionNotices second(none);
  const std::string said = testing::internal::GetCapturedStderr();
  QDBusConnection::disconnectFromBus(QStringLiteral("orv-missing-bus"));
  EXPECT_FALSE(first.listening());
  EXPECT_FALSE(second.listening());
  size_t lines = 0;
  for (size_t at = said.find("system bus"); at != std::string::npos; at = said.find("system bus", at + 1)) ++lines;
  EXPECT_LE(lines, 1u) << said;
}

TEST(DesktopTermination, EndSignalsBecomeEndRequested) {
  for (int signal : {SIGTERM, SIGINT}) {
    TerminationNotice notice;
    ASSERT_TRUE(notice.listening());
    QSignalSpy ended(&notice, &TerminationNotice::endRequested);
    ASSERT_EQ(::kill(::getpid(), signal), 0);  // the process lives on
    ASSERT_TRUE(ended.wait(kWaitMs)) << strsignal(signal);
    EXPECT_EQ(ended.count(), 1) << strsignal(signal);
  }
}

volatile sig_atomic_t g_before = 0;

TEST(DesktopTermination, EveryLiveNoticeHearsAndTheFormerHandlerReturns) {
  struct sigaction own {
  }, saved{};
  own.sa_handler = [](int) { g_before = g_before + 1; };
  sigemptyset(&own.sa_mask);
  ASSERT_EQ(::sigaction(SIGTERM, &own, &saved), 0);
  {
    std::vector<std::unique_ptr<TerminationNotice>> notices;
    for (int i = 0; i < 8; ++i) {
      notices.push_back(std::make_unique<TerminationNotice>());
      EXPECT_TRUE(notices.back()->listening()) << i;
    }
    testing::internal::CaptureStderr();
    TerminationNotice ninth;
    testing::internal::GetCapturedStderr();
    EXPECT_FALSE(ninth.listening());
    notices.erase(notices.begin() + 3);  // a slot given up
    TerminationNotice again;
    EXPECT_TRUE(again.listening());

    std::vector<std::unique_ptr<QSignalSpy>> spies;
    for (auto& n : notices) spies.push_back(std::make_unique<QSignalSpy>(n.get(), &TerminationNotice::endRequested));
    QSignalSpy againSpy(&again, &TerminationNotice::endRequested);
    ASSERT_EQ(::kill(::getpid(), SIGTERM), 0);
    ASSERT_TRUE(againSpy.wait(kWaitMs));
    QTest::qWait(20);  // the other notifiers fire in the same loop
    for (auto& spy : spies) EXPECT_EQ(spy->count(), 1);
    EXPECT_EQ(g_before, 0);
  }
  ASSERT_EQ(::kill(::getpid(), SIGTERM), 0);  // the handler from before the notices
  EXPECT_EQ(g_before, 1);
  ::sigaction(SIGTERM, &saved, nullptr);
}

}  // namespace
}  // namespace orv
