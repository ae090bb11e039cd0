#pragma once
// CAPApp, the panel's application object: how the panel will reach the agent, one panel at a
// time, the folders and default files of the profile store, then the main window for the
// whole life of the process, with any failure that escapes it shown in a box titled "Error".
#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "panel/panel_services.h"

namespace orv {

class NamedMutex;

inline constexpr std::u16string_view kErrorTitle = u"Error";
inline constexpr std::u16string_view kSomethingWentWrong = u"SomeThing went wrong";

// What start-up hands to the main window.
struct PanelStartup {
  std::string programFolder;  // the executable's folder with a trailing '/'
  std::string confFolder;     // Conf with a trailing '/'; empty without an application-data folder
  std::string profileFolder;  // where the file dialogs start (the program folder when Profile cannot be had)
  bool pipeFlag = false;      // the agent runs with full rights and the panel with limited ones
};

class CAPApp {
 public:
  struct Environment {
    std::function<bool()> agentNeedsPipe;  // the rights of both processes (AgentNeedsPipe)
    std::string programFolder;             // ProgramFolder()
    std::string appDataFolder;             // AppDataFolder(); empty when none can be had
  };
  // The environment of this process.
  static Environment ThisProcess();

  explicit CAPApp(Environment environment);
  ~CAPApp();

  // Start-up: the pipe flag, the single-instance mutex, folders and default files. False when
  // another panel runs: this one then ends at once, without a word.
  bool InitInstance();
  // Gives the text of a failure the main window threw (the skin's exception carries one);
  // false for a failure without a text of its own.
  using DescribeFailure = std::function<bool(std::exception_ptr, std::u16string& text)>;
  // Runs the main window through `run`; anything it throws is shown in a box titled "Error":
  // the failure's own text where `describe` finds one, else "SomeThing went wrong". Returns
  // the process's exit code (0: the process then ends normally).
  int RunMainWindow(const std::function<void(const PanelStartup&)>& run, PanelDesktop& desktop,
                    const DescribeFailure& describe = {});

  const PanelStartup& startup() const { return startup_; }

 private:
  Environment environment_;
  PanelStartup startup_;
  std::unique_ptr<NamedMutex> mutex_;
};

}  // namespace orv
