#pragma once
// Sources of the notices the agent reacts to besides messages: the driver's control device
// appearing (a device change), the session's sleep and console state, and the request to end.
// Each is a QObject whose signals are emitted on the thread it belongs to, from that thread's
// event loop.
#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <string>

class QSocketNotifier;

namespace orv {

// Watches a folder for a file of one name (the control device's socket) to appear or go.
// `arrived` follows every creation of the file and every file renamed to that name, `removed`
// every deletion or rename away; a file already there when the watch starts is not announced
// (see present()). A missing folder is created (mode 0700 for new folders). When the folder
// itself is deleted or moved, the watch reports the file removed if it was there, makes the
// folder again and watches on. A socket appears when its server binds it, which may be a moment
// before the server listens.
class DeviceArrivalWatch : public QObject {
  Q_OBJECT

 public:
  DeviceArrivalWatch(std::string folder, std::string name, QObject* parent = nullptr);
  ~DeviceArrivalWatch() override;

  // False when the name is not a plain file name or the folder can be neither made nor
  // watched (one line on standard error says which).
  bool watching() const { return watch_ >= 0; }
  // Whether the file exists now.
  bool present() const;
  const std::string& folder() const { return folder_; }
  const std::string& name() const { return name_; }

 signals:
  void arrived();
  void removed();

 private:
  bool StartWatch();
  void ReadEvents();

  std::string folder_;
  std::string name_;
  int inotify_ = -1;
  int watch_ = -1;
  bool present_ = false;
  QSocketNotifier* notifier_ = nullptr;
};

// The session's notices from logind on the D-Bus system bus: `resumed` when the machine wakes
// (PrepareForSleep(false) of org.freedesktop.login1.Manager), and `consoleConnect` /
// `consoleDisconnect` when this process's session (looked up by process id, else by
// XDG_SESSION_ID) becomes active or inactive. Without a system bus or logind, one line goes to
// standard error and nothing is ever emitted. The handlers below are what the bus signals are
// delivered to; they may also be called directly.
class SessionNotices : public QObject {
  Q_OBJECT

 public:
  // Listens on the system bus.
  explicit SessionNotices(QObject* parent = nullptr);
  // Listens on `bus` (a bus that is not connected: listens to nothing).
  explicit SessionNotices(const QDBusConnection& bus, QObject* parent = nullptr);

  // True when logind answered and the session was found.
  bool listening() const { return !sessionPath_.isEmpty(); }
  // The session's object path, empty when not found.
  const QString& sessionPath() const { return sessionPath_; }
  // The last known Active state of the session (true until told otherwise).
  bool sessionActive() const { return active_; }

 signals:
  void resumed();
  void consoleConnect();
  void consoleDisconnect();

 public slots:
  // PrepareForSleep(start): true before sleeping (nothing to do), false after waking.
  void onPrepareForSleep(bool start);
  // org.freedesktop.DBus.Properties.PropertiesChanged of the session object. Only "Active" of
  // org.freedesktop.login1.Session counts; an invalidated "Active" is asked for afresh.
  void onSessionPropertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList& invalidated);
  // A newly learnt Active state: a change to true is a console connect, to false a disconnect;
  // the same state again is nothing.
  void onSessionActive(bool active);

 private:
  void Listen();
  void QueryActive();

  QDBusConnection bus_;
  QString sessionPath_;
  bool active_ = true;
};

// SIGTERM and SIGINT turned into `endRequested`, for an orderly end. While at least one
// TerminationNotice lives, the signals no longer end the process; when the last one goes, the
// handlers that were there before are put back. Up to eight may live at once; each of them
// hears every signal.
class TerminationNotice : public QObject {
  Q_OBJECT

 public:
  explicit TerminationNotice(QObject* parent = nullptr);
  ~TerminationNotice() override;

  // False when no pipe could be made or eight notices already live (then the signals keep
  // their previous effect for this one).
  bool listening() const { return slot_ >= 0; }

 signals:
  void endRequested();

 private:
  void Drain();

  int slot_ = -1;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace orv
