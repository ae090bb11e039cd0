#include "panel/main/app.h"

#include <exception>

#include "base/files.h"
#include "base/log.h"
#include "base/text.h"
#include "link/agent_link.h"
#include "link/messages.h"
#include "platform/folders.h"
#include "platform/process_rights.h"
#include "profile/profile_files.h"

namespace orv {
namespace {

std::string WithSlash(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace

CAPApp::Environment CAPApp::ThisProcess() {
  return Environment{AgentNeedsPipe, ProgramFolder(), AppDataFolder()};
}

CAPApp::CAPApp(Environment environment) : environment_(std::move(environment)) {}

CAPApp::~CAPApp() = default;

bool CAPApp::InitInstance() {
  startup_.programFolder = WithSlash(environment_.programFolder);
  startup_.pipeFlag = environment_.agentNeedsPipe && environment_.agentNeedsPipe();

  mutex_ = std::make_unique<NamedMutex>(std::string(kPanelMutexName));
  if (mutex_->outcome() == NamedMutex::Outcome::AlreadyExists) {
    mutex_.reset();
    return false;
  }
  if (mutex_->outcome() == NamedMutex::Outcome::Failed)
    ORV_LOG(Panel, Warning, "the single-instance lock cannot be made; going on without it");

  startup_.profileFolder = startup_.programFolder;
  if (!environment_.appDataFolder.empty()) {
    const std::string product =
        JoinPath(JoinPath(environment_.appDataFolder, "Veltrix"), "Orvandel Tidefall MMO Gaming Mouse");
    const std::string conf = JoinPath(product, "Conf");
    const std::string profile = JoinPath(product, "Profile");
    if (MakeFolders(conf)) {
      // A user's own files are never replaced by the defaults.
      CopyFileIfMissing(startup_.programFolder + kConfigFileName, JoinPath(conf, kConfigFileName), kMaxConfigFileSize);
      CopyFileIfMissing(startup_.programFolder + kTrayIconFileName, JoinPath(conf, kTrayIconFileName), kMaxTrayIconFileSize);
      startup_.confFolder = WithSlash(conf);
    } else {
      ORV_LOG(Panel, Warning, "the configuration folder %s cannot be made", conf.c_str());
    }
    if (MakeFolders(profile)) startup_.profileFolder = WithSlash(profile);
  }
  return true;
}

int CAPApp::RunMainWindow(const std::function<void(const PanelStartup&)>& run, PanelDesktop& desktop,
                          const DescribeFailure& describe) {
  try {
    run(startup_);
  } catch (...) {
    std::u16string text;
    if (describe && describe(std::current_exception(), text)) {
      ORV_LOG(Panel, Error, "the main window failed: %s", ToUtf8(text).c_str());
      desktop.MessageBox(text, kErrorTitle, true);
    } else {
      ORV_LOG(Panel, Error, "the main window failed");
      desktop.MessageBox(kSomethingWentWrong, kErrorTitle, true);
    }
  }
  return 0;
}

}  // namespace orv
