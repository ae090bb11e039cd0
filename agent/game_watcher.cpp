// Game detection: once a second the process that owns the foreground window is compared with
// the games linked to the profiles; the first profile naming it becomes active, and leaving the
// game restores the profile that was active before.
#include "agent/agent_window.h"
#include "base/text.h"
#include "platform/desktop/processes.h"
#include "profile/profile_files.h"

namespace orv {

void CMyWnd::DetectGame() {
  pid_t foreground = services_.desktop->ForegroundProcessId();
  std::vector<ProcessEntry> processes;
  if (!services_.desktop->TakeProcessSnapshot(processes)) return;
  foregroundName_ = u"unknown";
  int found = -1;
  for (const ProcessEntry& p : processes) {
    if (p.pid != foreground) continue;
    // While the on-screen display program is in front nothing changes.
    if (EqualsIgnoringCase(p.exeName, u"OSD.exe")) return;
    foregroundName_ = p.exeName;
    for (int profile = 0; profile < kProfileCount && found < 0; ++profile) {
      for (const auto& game : m_currentSet->profiles[profile].gameNames) {
        std::u16string_view name = FieldText(game);
        if (!name.empty() && EqualsIgnoringCase(name, foregroundName_)) {
          found = profile;
          break;
        }
      }
    }
  }
  if (found >= 0 && found != m_currentSet->profileId) {
    if (m_autoSwitched == 0) m_savedProfileIndex = m_currentSet->profileId;
    m_autoSwitched = 1;
    SwitchProfile(found);
    if (!confFolder_.empty()) WriteAutoSwitchState(confFolder_, m_savedProfileIndex, m_autoSwitched);
  } else if (found < 0 && m_autoSwitched == 1) {
    // A saved index read from a hand-edited file may be anything; only a real profile is restored.
    SwitchProfile(ProfileIndexOrFirst(m_savedProfileIndex));
    m_autoSwitched = 0;
    if (!confFolder_.empty()) WriteAutoSwitchState(confFolder_, m_savedProfileIndex, m_autoSwitched);
  }
}

}  // namespace orv
