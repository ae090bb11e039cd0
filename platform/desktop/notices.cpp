#include "platform/desktop/notices.h"

#include "base/log.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QPointer>
#include <QSocketNotifier>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/folders.h"

namespace orv {

// ---- DeviceArrivalWatch ----

namespace {
constexpr uint32_t kFolderEvents =
    IN_CREATE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
}

DeviceArrivalWatch::DeviceArrivalWatch(std::string folder, std::string name, QObject* parent)
    : QObject(parent), folder_(std::move(folder)), name_(std::move(name)) {
  if (name_.empty() || name_ == "." || name_ == ".." || name_.find('/') != std::string::npos ||
      name_.size() > NAME_MAX) {
    ORV_LOG(Desktop, Warning, "cannot watch for \"%s\": not a file name", name_.c_str());
    return;
  }
  inotify_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (inotify_ < 0) {
    ORV_LOG(Desktop, Warning, "cannot watch %s for %s: %s", folder_.c_str(), name_.c_str(), std::strerror(errno));
    return;
  }
  notifier_ = new QSocketNotifier(inotify_, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &DeviceArrivalWatch::ReadEvents);
  if (StartWatch()) present_ = present();
}

DeviceArrivalWatch::~DeviceArrivalWatch() {
  delete notifier_;
  if (inotify_ >= 0) ::close(inotify_);  // drops the watch with it
}

bool DeviceArrivalWatch::present() const {
  struct stat st {};
  return ::lstat(JoinPath(folder_, name_).c_str(), &st) == 0;
}

bool DeviceArrivalWatch::StartWatch() {
  watch_ = -1;
  if (!MakeFolders(folder_)) {
    ORV_LOG(Desktop, Warning, "cannot make the folder %s to watch for %s", folder_.c_str(), name_.c_str());
    return false;
  }
  watch_ = ::inotify_add_watch(inotify_, folder_.c_str(), kFolderEvents);
  if (watch_ < 0)
    ORV_LOG(Desktop, Warning, "cannot watch %s for %s: %s", folder_.c_str(), name_.c_str(), std::strerror(errno));
  return watch_ >= 0;
}

void DeviceArrivalWatch::ReadEvents() {
  // Signals are emitted after the whole batch is read; a receiver may delete this object.
  enum Notice { kArrived, kRemoved };
  std::vector<Notice> notices;
  bool folderGone = false;
  bool overflow = false;
  alignas(inotify_event) char buffer[8192];
  for (;;) {
    ssize_t n = ::read(inotify_, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      if (event->mask & IN_Q_OVERFLOW) overflow = true;
      if (event->wd != watch_ || watch_ < 0) continue;
      if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) folderGone = true;
      if (event->len == 0 || name_ != event->name) continue;
      if (event->mask & (IN_CREATE | IN_MOVED_TO)) {
        present_ = true;
        notices.push_back(kArrived);
      } else if (event->mask & (IN_DELETE | IN_MOVED_FROM)) {
        present_ = false;
        notices.push_back(kRemoved);
      }
    }
  }
  if (folderGone) {
    // A moved folder keeps its watch; the watch is meant for the path, so it is dropped.
    if (watch_ >= 0) ::inotify_rm_watch(inotify_, watch_);
    if (present_) notices.push_back(kRemoved);
    present_ = false;
    if (StartWatch()) overflow = true;  // what the new folder already holds
  }
  if (overflow) {
    // Events were lost: compare with what is there now.
    bool now = present();
    if (now != present_) notices.push_back(now ? kArrived : kRemoved);
    present_ = now;
  }
  QPointer<DeviceArrivalWatch> self(this);
  for (Notice notice : notices) {
    if (notice == kArrived)
      emit arrived();
    else
      emit removed();
    if (!self) return;
  }
}

// ---- SessionNotices ----

namespace {

const QString kLogin1 = QStringLiteral("org.freedesktop.login1");
const QString kManagerPath = QStringLiteral("/org/freedesktop/login1");
const QString kManagerInterface = QStringLiteral("org.freedesktop.login1.Manager");
const QString kSessionInterface = QStringLiteral("org.freedesktop.login1.Session");
const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kActive = QStringLiteral("Active");
// logind answers at once or not at all; the agent's start must not wait long for it.
constexpr int kCallTimeoutMs = 2000;

void TellOnce(std::atomic<bool>& told, const QString& text) {
  if (!told.exchange(true)) ORV_LOG(Desktop, Warning, "%s", text.toLocal8Bit().constData());
}

QString SessionPathFrom(const QDBusMessage& reply) {
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
  return reply.arguments().first().value<QDBusObjectPath>().path();
}

// A property value as the bus hands it over: plain, or still wrapped in a D-Bus variant.
QVariant Unwrapped(const QVariant& value) {
  if (value.metaType() == QMetaType::fromType<QDBusVariant>()) return value.value<QDBusVariant>().variant();
  return value;
}

}  // namespace

SessionNotices::SessionNotices(QObject* parent) : SessionNotices(QDBusConnection::systemBus(), parent) {}

SessionNotices::SessionNotices(const QDBusConnection& bus, QObject* parent) : QObject(parent), bus_(bus) { Listen(); }

void SessionNotices::Listen() {
  static std::atomic<bool> told{false};
  QDBusConnection& bus = bus_;
  if (!bus.isConnected()) {
    TellOnce(told, QStringLiteral("no D-Bus system bus (%1): sleep and session changes will not be seen")
                       .arg(bus.lastError().message()));
    return;
  }
  QDBusMessage byPid =
      QDBusMessage::createMethodCall(kLogin1, kManagerPath, kManagerInterface, QStringLiteral("GetSessionByPID"));
  byPid << static_cast<quint32>(::getpid());
  QDBusMessage reply = bus.call(byPid, QDBus::Block, kCallTimeoutMs);
  QString path = SessionPathFrom(reply);
  const QString sessionId = qEnvironmentVariable("XDG_SESSION_ID");
  if (path.isEmpty() && !sessionId.isEmpty()) {
    QDBusMessage byId =
        QDBusMessage::createMethodCall(kLogin1, kManagerPath, kManagerInterface, QStringLiteral("GetSession"));
    byId << sessionId;
    reply = bus.call(byId, QDBus::Block, kCallTimeoutMs);
    path = SessionPathFrom(reply);
  }
  if (path.isEmpty()) {
    TellOnce(told, QStringLiteral("logind does not answer for this session (%1): sleep and session changes will "
                                  "not be seen")
                       .arg(reply.errorMessage()));
    return;
  }
  bool sleepWatched = bus.connect(kLogin1, kManagerPath, kManagerInterface, QStringLiteral("PrepareForSleep"), this,
                                  SLOT(onPrepareForSleep(bool)));
  bool sessionWatched = bus.connect(kLogin1, path, kPropertiesInterface, QStringLiteral("PropertiesChanged"), this,
                                    SLOT(onSessionPropertiesChanged(QString, QVariantMap, QStringList)));
  if (!sleepWatched || !sessionWatched) {
    TellOnce(told, QStringLiteral("cannot listen to logind: %1").arg(bus.lastError().message()));
    bus.disconnect(kLogin1, kManagerPath, kManagerInterface, QStringLiteral("PrepareForSleep"), this,
                   SLOT(onPrepareForSleep(bool)));
    bus.disconnect(kLogin1, path, kPropertiesInterface, QStringLiteral("PropertiesChanged"), this,
                   SLOT(onSessionPropertiesChanged(QString, QVariantMap, QStringList)));
    return;
  }
  sessionPath_ = path;
  // The state to compare later changes with.
  QDBusMessage get = QDBusMessage::createMethodCall(kLogin1, sessionPath_, kPropertiesInterface, QStringLiteral("Get"));
  get << kSessionInterface << kActive;
  reply = bus.call(get, QDBus::Block, kCallTimeoutMs);
  if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
    QVariant value = Unwrapped(reply.arguments().first());
    if (value.metaType() == QMetaType::fromType<bool>()) active_ = value.toBool();
  }
}

void SessionNotices::onPrepareForSleep(bool start) {
  if (!start) emit resumed();
}

void SessionNotices::onSessionPropertiesChanged(const QString& interface, const QVariantMap& changed,
                                                const QStringList& invalidated) {
  if (interface != kSessionInterface) return;
  auto it = changed.constFind(kActive);
  if (it != changed.constEnd()) {
    QVariant value = Unwrapped(it.value());
    if (value.metaType() == QMetaType::fromType<bool>()) onSessionActive(value.toBool());
    return;
  }
  if (invalidated.contains(kActive)) QueryActive();
}

void SessionNotices::onSessionActive(bool active) {
  if (active == active_) return;
  active_ = active;
  if (active)
    emit consoleConnect();
  else
    emit consoleDisconnect();
}

void SessionNotices::QueryActive() {
  if (sessionPath_.isEmpty()) return;
  QDBusMessage get = QDBusMessage::createMethodCall(kLogin1, sessionPath_, kPropertiesInterface, QStringLiteral("Get"));
  get << kSessionInterface << kActive;
  auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(get, kCallTimeoutMs), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
    call->deleteLater();
    QDBusPendingReply<QDBusVariant> reply = *call;
    if (reply.isError()) return;
    QVariant value = reply.value().variant();
    if (value.metaType() == QMetaType::fromType<bool>()) onSessionActive(value.toBool());
  });
}

// ---- TerminationNotice ----

namespace {

constexpr int kSlots = 8;
constexpr int kEndSignals[] = {SIGTERM, SIGINT};

// A slot's pipe is made once and never closed, so the signal handler can never write into a
// descriptor that was closed and reused meanwhile; a notice that ends only gives up its slot.
struct Slot {
  std::atomic<int> writeEnd{-1};
  int readEnd = -1;
  std::atomic<bool> taken{false};
};
std::array<Slot, kSlots> g_slots;
std::mutex g_slotsMutex;  // taking and giving up slots, installing and restoring handlers
int g_taken = 0;
struct sigaction g_previous[std::size(kEndSignals)];

void OnEndSignal(int) {
  const int savedErrno = errno;
  const char byte = 1;
  for (Slot& slot : g_slots) {
    int fd = slot.writeEnd.load(std::memory_order_relaxed);
    if (fd >= 0 && slot.taken.load(std::memory_order_relaxed)) {
      [[maybe_unused]] ssize_t n = ::write(fd, &byte, 1);  // a full pipe already says enough
    }
  }
  errno = savedErrno;
}

void DrainPipe(int fd) {
  char buffer[64];
  while (::read(fd, buffer, sizeof buffer) > 0) {
  }
}

}  // namespace

TerminationNotice::TerminationNotice(QObject* parent) : QObject(parent) {
  std::lock_guard<std::mutex> hold(g_slotsMutex);
  for (int i = 0; i < kSlots && slot_ < 0; ++i) {
    Slot& slot = g_slots[i];
    if (slot.taken.load()) continue;
    if (slot.readEnd < 0) {
      int fds[2];
      if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) {
        ORV_LOG(Desktop, Warning, "cannot listen for the end signals: %s", std::strerror(errno));
        return;
      }
      slot.readEnd = fds[0];
      slot.writeEnd.store(fds[1]);
    }
    DrainPipe(slot.readEnd);  // what a former owner left unread
    slot.taken.store(true);
    slot_ = i;
  }
  if (slot_ < 0) {
    ORV_LOG(Desktop, Warning, "too many listeners for the end signals");
    return;
  }
  if (g_taken++ == 0) {
    struct sigaction action {};
    action.sa_handler = OnEndSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : kEndSignals) sigaddset(&action.sa_mask, signal);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < std::size(kEndSignals); ++i) ::sigaction(kEndSignals[i], &action, &g_previous[i]);
  }
  notifier_ = new QSocketNotifier(g_slots[slot_].readEnd, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &TerminationNotice::Drain);
}

TerminationNotice::~TerminationNotice() {
  delete notifier_;
  if (slot_ < 0) return;
  std::lock_guard<std::mutex> hold(g_slotsMutex);
  if (--g_taken == 0) {
    for (size_t i = 0; i < std::size(kEndSignals); ++i) ::sigaction(kEndSignals[i], &g_previous[i], nullptr);
  }
  g_slots[slot_].taken.store(false);
}

void TerminationNotice::Drain() {
  // Signals that came close together ask for one end.
  DrainPipe(g_slots[slot_].readEnd);
  emit endRequested();
}

}  // namespace orv
