// SessionNotices against a stand-in logind on a private bus (dbus-daemon), to check the whole
// road from the bus: finding the session, the signal subscriptions and their decoding.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QThread>
#include <atomic>

#include "platform/desktop/notices.h"
#include "tests/platform/desktop/desktop_test_support.h"
#include "tests/test_support.h"

namespace orv {
namespace {

const QString kLogin1 = "org.freedesktop.login1";
const QString kManagerPath = "/org/freedesktop/login1";
const QString kSessionPath = "/org/freedesktop/login1/session/c7";

class FakeManager : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

 public:
  std::atomic<bool> knowsPid{true};
  std::atomic<uint> askedPid{0};

 public slots:
  QDBusObjectPath GetSessionByPID(uint pid) {
    askedPid = pid;
    if (!knowsPid) sendErrorReply("org.freedesktop.login1.NoSessionForPID", "PID does not belong to any session");
    return QDBusObjectPath(kSessionPath);
  }
  QDBusObjectPath GetSession(const QString& id) {
    if (id != "c7") sendErrorReply("org.freedesktop.login1.NoSuchSession", "No session '" + id + "' known");
    return QDBusObjectPath(kSessionPath);
  }
};

class FakeSession : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Session")
  Q_PROPERTY(bool Active READ active)

 public:
  std::atomic<bool> isActive{false};
  bool active() const { return isActive; }
};

// A private bus with logind's objects served from their own thread (the code under test asks
// them with blocking calls from this one).
class FakeLogind {
 public:
  FakeLogind(const test::TempDir& dir) {
    if (QStandardPaths::findExecutable("dbus-daemon").isEmpty()) return;
    const std::string config = dir / "bus.conf";
    test::WriteFile(config,
                    "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
                    "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                    "<busconfig><type>system</type><listen>unix:path=" +
                        (dir / "bus") +
                        "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                        "<allow user=\"*\"/><allow own=\"*\"/><allow send_destination=\"*\"/>"
                        "<allow receive_sender=\"*\"/></policy></busconfig>\n");
    daemon_.start("dbus-daemon", {"--config-file=" + QString::fromStdString(config), "--nofork", "--print-address"});
    if (!daemon_.waitForReadyRead(3000)) return;
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    QDBusConnection service = QDBusConnection::connectToBus(address_, "orv-fake-logind");
    if (!service.isConnected() || !service.registerService(kLogin1)) {
      address_.clear();
      return;
    }
    manager.moveToThread(&thread_);
    session.moveToThread(&thread_);
    thread_.start();
    service.registerObject(kManagerPath, &manager, QDBusConnection::ExportAllSlots);
    service.registerObject(kSessionPath, &session, QDBusConnection::ExportAllProperties);
  }
  ~FakeLogind() {
    QDBusConnection::disconnectFromBus("orv-fake-logind");
    QDBusConnection::disconnectFromBus("orv-fake-client");
    QDBusConnection::disconnectFromBus("orv-fake-stranger");
    thread_.quit();
    thread_.wait();
    daemon_.kill();
    daemon_.waitForFinished();
  }
  bool running() const { return !address_.isEmpty(); }
  QDBusConnection Client() { return QDBusConnection::connectToBus(address_, "orv-fake-client"); }

  void Send(QDBusMessage signal) { QDBusConnection(QStringLiteral("orv-fake-logind")).send(signal); }
  // The same signal from a connection that is not logind.
  void SendAsStranger(QDBusMessage signal) {
    QDBusConnection::connectToBus(address_, "orv-fake-stranger").send(signal);
  }
  static QDBusMessage PrepareForSleep(bool start) {
    QDBusMessage m = QDBusMessage::createSignal(kManagerPath, "org.freedesktop.login1.Manager", "PrepareForSleep");
    m << start;
    return m;
  }
  static QDBusMessage ActiveChanged(std::optional<bool> active) {
    QDBusMessage m = QDBusMessage::createSignal(kSessionPath, "org.freedesktop.DBus.Properties", "PropertiesChanged");
    QVariantMap changed;
    QStringList invalidated;
    if (active)
      changed["Active"] = *active;
    else
      invalidated << "Active";
    m << QString("org.freedesktop.login1.Session") << changed << invalidated;
    return m;
  }

  FakeManager manager;
  FakeSession session;

 private:
  QProcess daemon_;
  QString address_;
  QThread thread_;
};

constexpr int kWaitMs = 2000;

TEST(DesktopSessionBus, FollowsTheSessionOfThisProcessAndTheMachinesSleep) {
  test::TempDir dir;
  FakeLogind logind(dir);
  if (!logind.running()) GTEST_SKIP() << "dbus-daemon is not available; no private bus for a stand-in logind";
  SessionNotices notices(logind.Client());
  ASSERT_TRUE(notices.listening());
  EXPECT_EQ(notices.sessionPath(), kSessionPath);
  EXPECT_EQ(logind.manager.askedPid.load(), static_cast<uint>(::getpid()));
  EXPECT_FALSE(notices.sessionActive());  // read from the session at start

  QSignalSpy resumed(&notices, &SessionNotices::resumed);
  QSignalSpy connected(&notices, &SessionNotices::consoleConnect);
  QSignalSpy disconnected(&notices, &SessionNotices::consoleDisconnect);

  logind.Send(FakeLogind::ActiveChanged(true));
  ASSERT_TRUE(connected.wait(kWaitMs));
  logind.session.isActive = false;
  logind.Send(FakeLogind::ActiveChanged(std::nullopt));  // invalidated: asked for afresh
  ASSERT_TRUE(disconnected.wait(kWaitMs));

  logind.SendAsStranger(FakeLogind::PrepareForSleep(false));  // not from logind: ignored
  logind.Send(FakeLogind::PrepareForSleep(true));
  logind.Send(FakeLogind::PrepareForSleep(false));
  ASSERT_TRUE(resumed.wait(kWaitMs));
  QTest::qWait(20);
  EXPECT_EQ(resumed.count(), 1);
  EXPECT_EQ(connected.count(), 1);
  EXPECT_EQ(disconnected.count(), 1);
}

TEST(DesktopSessionBus, FindsTheSessionByItsIdWhenNotByProcess) {
  test::TempDir dir;
  FakeLogind logind(dir);
  if (!logind.running()) GTEST_SKIP() << "dbus-daemon is not available; no private bus for a stand-in logind";
  logind.manager.knowsPid = false;
  struct Case {
    std::optional<std::string> sessionId;
    bool listening;
  };
  const Case cases[] = {{"c7", true}, {"c8", false}, {std::nullopt, false}};
  testing::internal::CaptureStderr();
  for (const Case& c : cases) {
    test::ScopedEnv id("XDG_SESSION_ID", c.sessionId);
    SessionNotices notices(logind.Client());
    EXPECT_EQ(notices.listening(), c.listening) << c.sessionId.value_or("(unset)");
  }
  testing::internal::GetCapturedStderr();
}

}  // namespace
}  // namespace orv

#include "session_bus_test.moc"
