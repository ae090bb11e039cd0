// OrvAgent: the background agent. One instance per user; its whole life is the hidden agent
// window, which ends when the session ends or someone closes it.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QApplication>
#include <QMessageBox>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "agent/agent_window.h"
#include "base/log.h"
#include "agent/system_services.h"
#include "device/device_io.h"
#include "link/messages.h"
#include "link/qt/bus_pump.h"
#include "platform/desktop/notices.h"
#include "platform/folders.h"
#include "platform/input/input_injector.h"
#include "platform/process_rights.h"

namespace {

constexpr orv::WParam kDbtDeviceArrival = 0x8000;
constexpr orv::WParam kPbtResumeSuspend = 7;

// A Qt application: a widget one when there is a display (the clipboard and the on-board
// question need it), else a plain one.
std::unique_ptr<QCoreApplication> MakeApplication(int& argc, char** argv) {
  const char* display = std::getenv("DISPLAY");
  if (display && *display) return std::make_unique<QApplication>(argc, argv);
  return std::make_unique<QCoreApplication>(argc, argv);
}

// A plain yes/no question box; without a display the answer is no.
bool AskYesNo(std::u16string_view text) {
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return false;
  // Asked inside the agent window's handler: its posted messages and timer ticks wait while the
  // box's modal loop runs, sends from other programs are answered (see link/window_bus.h).
  orv::bus::ModalScope modal;
  QString question = QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
  return QMessageBox::question(nullptr, QStringLiteral("Orvandel Tidefall MMO Gaming Mouse"), question,
                               QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace orv;
  std::signal(SIGPIPE, SIG_IGN);
  // A second agent quits at once, without a window.
  NamedMutex mutex{std::string(kAgentMutexName)};
  if (mutex.outcome() == NamedMutex::Outcome::AlreadyExists) return 0;
  bool elevated = ThisProcessElevation() == kElevationFull;

  std::unique_ptr<QCoreApplication> app = MakeApplication(argc, argv);
  QtBusPump pump;
  std::unique_ptr<InputInjector> input =
      CreateInjector(InjectorChoiceFromEnvironment(), JoinPath(ConfFolder(), "InputRecord.txt"));
  SystemDesktop desktop;
  QtWindowTimers timers(TimeScaleFromEnvironment());

  std::unique_ptr<SessionNotices> session;
  AgentServices services;
  services.clock = &ProcessClock();
  services.input = input.get();
  services.desktop = &desktop;
  services.timers = &timers;
  services.openDevice = SystemDeviceOpener();
  services.programFolder = ProgramFolder();
  services.askYesNo = AskYesNo;
  if (QDBusConnection::systemBus().isConnected()) {
    services.registerSessionNotices = [&session] {
      if (!session || !session->listening()) session = std::make_unique<SessionNotices>();
      return session->listening();
    };
  }

  CMyWnd window(std::move(services), elevated);
  window.onDestroyed = [] { QCoreApplication::quit(); };
  // Creation may start timer 100; its first tick comes from the event loop, by when the timers
  // know the window.
  if (!window.Create()) {
    ORV_LOG(Agent, Error, "the agent window cannot be made");
    return 1;
  }
  WindowHandle handle = window.handle();
  timers.SetWindow(handle);

  // Notices become the messages the window knows them by.
  DeviceArrivalWatch arrival(DeviceFolder(), "VX-TidefallDevice");
  QObject::connect(&arrival, &DeviceArrivalWatch::arrived,
                   [handle] { bus::Post(handle, WM_DEVICECHANGE, kDbtDeviceArrival, 0); });
  if (session) {
    QObject::connect(session.get(), &SessionNotices::resumed,
                     [handle] { bus::Post(handle, WM_POWERBROADCAST, kPbtResumeSuspend, 0); });
    QObject::connect(session.get(), &SessionNotices::consoleConnect,
                     [handle] { bus::Post(handle, WM_WTSSESSION_CHANGE, 1, 0); });
    QObject::connect(session.get(), &SessionNotices::consoleDisconnect,
                     [handle] { bus::Post(handle, WM_WTSSESSION_CHANGE, 2, 0); });
  }
  TerminationNotice termination;
  QObject::connect(&termination, &TerminationNotice::endRequested,
                   [handle] { bus::Post(handle, WM_QUERYENDSESSION, 0, 0); });
  return app->exec();
}
