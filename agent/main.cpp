// OrvAgent: the background agent. One instance per user; its whole life is the hidden agent
// window, which ends when the session ends or someone closes it.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QApplication>
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
#include "link/qt/window_timers.h"
#include "platform/desktop/notices.h"
#include "platform/folders.h"
#include "platform/input/input_injector.h"
#include "platform/process_rights.h"
#include "skin/message_dialogs.h"

namespace {

// A Qt application: a widget one when there is a display (the clipboard and the on-board
// question need it), else a plain one.
std::unique_ptr<QCoreApplication> MakeApplication(int& argc, char** argv) {
  const char* display = std::getenv("DISPLAY");
  if (display && *display) {
    auto app = std::make_unique<QApplication>(argc, argv);
    // The agent's only windows are its questions: answering one must not end the agent.
    QApplication::setQuitOnLastWindowClosed(false);
    return app;
  }
  return std::make_unique<QCoreApplication>(argc, argv);
}

// The skinned yes/no question, placed at the bottom right of the desktop; without a display the
// answer is no.
bool AskYesNo(std::u16string_view text) {
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return false;
  // Asked inside the agent window's handler: its posted messages and timer ticks wait while the
  // box's modal loop runs, sends from other programs are answered (see link/window_bus.h).
  orv::bus::ModalScope modal;
  QString question = QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
  try {
    orv::CWarningTwoDlg dialog(orv::ProgramFolder(), question);
    dialog.SetBottomRight(true);
    return dialog.DoModal() == 1;
  } catch (const orv::xException&) {
    return false;
  }
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
  // SIGTERM and SIGINT are taken from here on, before the start-up, which may wait seconds on
  // the device: one that comes meanwhile ends the agent in order once its window exists.
  TerminationNotice termination;
  QtBusPump pump;
  std::unique_ptr<InputInjector> input =
      CreateInjector(InjectorChoiceFromEnvironment(), JoinPath(ConfFolder(), "InputRecord.txt"));
  SystemDesktop desktop;
  BusWindowTimers timers(TimeScaleFromEnvironment());

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
                   [handle] { bus::Post(handle, WM_DEVICECHANGE, CMyWnd::kDbtDeviceArrival, 0); });
  if (session) {
    QObject::connect(session.get(), &SessionNotices::resumed,
                     [handle] { bus::Post(handle, WM_POWERBROADCAST, CMyWnd::kPbtResumeSuspend, 0); });
    QObject::connect(session.get(), &SessionNotices::consoleConnect,
                     [handle] { bus::Post(handle, WM_WTSSESSION_CHANGE, CMyWnd::kWtsConsoleConnect, 0); });
    QObject::connect(session.get(), &SessionNotices::consoleDisconnect,
                     [handle] { bus::Post(handle, WM_WTSSESSION_CHANGE, CMyWnd::kWtsConsoleDisconnect, 0); });
  }
  QObject::connect(&termination, &TerminationNotice::endRequested,
                   [handle] { bus::Post(handle, WM_QUERYENDSESSION, 0, 0); });
  return app->exec();
}
