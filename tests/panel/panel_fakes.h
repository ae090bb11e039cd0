#pragma once
// Stand-ins for what a person answers and what the desktop and the agent do, for the panel's
// rules: each records what it was asked and answers from a queue.
#include <QImage>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/text.h"
#include "panel/editors/editor_windows.h"
#include "panel/main_state.h"
#include "panel/panel_services.h"
#include "panel/panel_store.h"

namespace orv::test {

class FakeServices : public PanelServices {
 public:
  void WarningOne(std::u16string_view text) override {
    std::lock_guard lock(mutex_);
    notices.emplace_back(text);
  }
  int WarningTwo(std::u16string_view text, std::u16string_view title) override {
    questions.emplace_back(text);
    questionTitles.emplace_back(title);
    return Next(answers, 2);
  }
  int WarningThree2() override {
    ++liftWarnings;
    return Next(liftWarningAnswers, 1);
  }
  int WarningThree() override {
    ++macroDeleteWarnings;
    return Next(macroDeleteAnswers, 1);
  }
  int WarningFour() override {
    ++newMacroWarnings;
    return Next(newMacroAnswers, 1);
  }
  void MessageBox(std::u16string_view text, std::u16string_view title, bool error) override {
    boxes.emplace_back(text);
    boxTitles.emplace_back(title);
    boxErrors.push_back(error);
  }
  std::optional<std::string> OpenFileName(const FileDialogRequest& request) override {
    openRequests.push_back(request);
    return NextPath();
  }
  std::optional<std::string> SaveFileName(const FileDialogRequest& request) override {
    saveRequests.push_back(request);
    return NextPath();
  }
  bool OpenDocument(const std::string& path) override {
    documents.push_back(path);
    return documentOpens;
  }
  bool PrintPage(const QImage& page) override {
    printed.push_back(page);
    return printerPresent;
  }
  std::vector<std::u16string> Notices() {
    std::lock_guard lock(mutex_);
    return notices;
  }
  void Reset() {
    std::lock_guard lock(mutex_);
    notices.clear();
    answers.clear();
    liftWarningAnswers.clear();
    paths.clear();
    documentOpens = true;
    printerPresent = true;
    printed.clear();
    questions.clear(), questionTitles.clear(), boxes.clear(), boxTitles.clear(), boxErrors.clear();
    openRequests.clear(), saveRequests.clear(), documents.clear();
    liftWarnings = 0;
    macroDeleteAnswers.clear(), newMacroAnswers.clear();
    macroDeleteWarnings = newMacroWarnings = 0;
  }

  std::deque<int> answers;             // WarningTwo answers; 2 when empty
  std::deque<int> liftWarningAnswers;  // WarningThree2 answers; 1 when empty
  std::deque<int> macroDeleteAnswers;  // WarningThree answers; 1 when empty
  std::deque<int> newMacroAnswers;     // WarningFour answers; 1 when empty
  std::deque<std::optional<std::string>> paths;  // file dialog answers; cancelled when empty
  bool documentOpens = true;
  bool printerPresent = true;
  std::vector<QImage> printed;

  std::vector<std::u16string> questions, questionTitles, boxes, boxTitles;
  std::vector<bool> boxErrors;
  std::vector<FileDialogRequest> openRequests, saveRequests;
  std::vector<std::string> documents;
  int liftWarnings = 0;
  int macroDeleteWarnings = 0;
  int newMacroWarnings = 0;

 private:
  static int Next(std::deque<int>& q, int otherwise) {
    if (q.empty()) return otherwise;
    int a = q.front();
    q.pop_front();
    return a;
  }
  std::optional<std::string> NextPath() {
    if (paths.empty()) return std::nullopt;
    auto p = paths.front();
    paths.pop_front();
    return p;
  }
  std::mutex mutex_;
  std::vector<std::u16string> notices;
};

struct SentMessage {
  bool sent;  // Send rather than Post
  uint32_t code;
  WParam wParam;
  LParam lParam;
  bool operator==(const SentMessage&) const = default;
};

class FakeAgent : public AgentTransport {
 public:
  bool UsesPipe() const override { return pipe; }
  bool AgentPresent() override { return present; }
  LResult Post(uint32_t code, WParam w, LParam l) override {
    std::lock_guard lock(mutex_);
    messages.push_back({false, code, w, l});
    return present || pipe ? 1 : 0;
  }
  LResult Send(uint32_t code, WParam w, LParam l, bus::SendOutcome* outcome = nullptr) override {
    std::lock_guard lock(mutex_);
    messages.push_back({true, code, w, l});
    bus::SendOutcome ignored;
    bus::SendOutcome& said = outcome ? *outcome : ignored;
    said = bus::SendOutcome::kDelivered;
    if (pipe) return 1;
    said = present ? bus::SendOutcome::kTimedOut : bus::SendOutcome::kNotDelivered;
    if (!present || hung) return 0;
    said = bus::SendOutcome::kDelivered;
    if (sendResults.empty()) return 1;
    LResult r = sendResults.front();
    sendResults.pop_front();
    if (r != kNoAnswer) return r;
    said = bus::SendOutcome::kTimedOut;
    return 0;
  }
  bool PostToWindow(std::u16string_view title, uint32_t code, WParam w, LParam l) override {
    std::lock_guard lock(mutex_);
    if (!windowPresent) return false;
    windowPosts.push_back({std::u16string(title), {false, code, w, l}});
    cv_.notify_all();
    return true;
  }
  std::vector<SentMessage> Messages() {
    std::lock_guard lock(mutex_);
    return messages;
  }
  void Reset() {
    std::lock_guard lock(mutex_);
    present = true, pipe = false, windowPresent = true, hung = false;
    sendResults.clear(), messages.clear(), windowPosts.clear();
  }
  // Waits (at most `ms` of real time) for a post to another window.
  bool WaitForWindowPost(int ms) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return !windowPosts.empty(); });
  }

  bool present = true;
  bool pipe = false;
  bool hung = false;  // the agent's window is there but its program does not run: sends time out
  // In sendResults: that send times out (the agent stopped just then).
  static constexpr LResult kNoAnswer = INT64_MIN;
  bool windowPresent = true;
  std::deque<LResult> sendResults;
  std::vector<SentMessage> messages;
  std::vector<std::pair<std::u16string, SentMessage>> windowPosts;

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
};

class FakeView : public MainView {
 public:
  void EnableApply(bool on) override { applyEnabled = on; }
  void Refresh() override { ++refreshes; }
  void RedrawGauge() override { ++gaugeRedraws; }
  void SelectLabel(int label) override { selected = label; }
  void CloseWindow() override { ++closes; }
  void SlideInAssignments() override { ++slideIns; }
  void CloseButtonMenu() override { ++menuCloses; }

  bool applyEnabled = false;
  int refreshes = 0, gaugeRedraws = 0, selected = -2, closes = 0, slideIns = 0, menuCloses = 0;
};

// The editor windows as the main window reaches them: each call written down as a line in one
// log ("assignments SlideDone out", "buttonMenu Open 5"), but for Anchor and SetProfileSet,
// which go with almost everything.
class FakeEditors {
 public:
  class FakeDrawer : public AssignmentDrawer {
   public:
    FakeDrawer(FakeEditors& owner, std::string name) : owner_(owner), name_(std::move(name)) {}
    void Create(const DrawerContext&) override { Log("Create"); }
    void SlideOut(const QRect&) override { Log("SlideOut"); }
    void SlideIn() override { Log("SlideIn"); }
    void SlideDone(bool out) override { Log(out ? "SlideDone out" : "SlideDone in"); }
    bool Exists() const override { return exists; }
    void Destroy() override { Log("Destroy"); }
    void EditButton(int label) override { Log("EditButton " + std::to_string(label)); }
    void Toggle() override { Log("Toggle"); }
    void Retarget(int label) override { Log("Retarget " + std::to_string(label)); }
    bool exists = false;

   private:
    void Log(const std::string& call) { owner_.calls.push_back(name_ + " " + call); }
    FakeEditors& owner_;
    std::string name_;
  };
  class FakeMenu : public ButtonMenuWindow {
   public:
    explicit FakeMenu(FakeEditors& owner) : owner_(owner) {}
    void Open(int label, const QRect& under) override {
      owner_.calls.push_back("buttonMenu Open " + std::to_string(label));
      owner_.menuUnder = under;
    }
    void Close() override { owner_.calls.push_back("buttonMenu Close"); }

   private:
    FakeEditors& owner_;
  };
  class FakeGameList : public GameListWindow {
   public:
    explicit FakeGameList(FakeEditors& owner) : owner_(owner) {}
    void Edit(ProfileSet&) override { owner_.calls.push_back("gameList Edit"); }

   private:
    FakeEditors& owner_;
  };
  class FakeCharacter : public CharacterWindow {
   public:
    explicit FakeCharacter(FakeEditors& owner) : owner_(owner) {}
    void Open(ProfileSet&) override { owner_.calls.push_back("character Open"); }

   private:
    FakeEditors& owner_;
  };

  // The macro editor: what it was opened on, and the records it hands back in turn (closed
  // without saving when none is left).
  class FakeMacroEditor : public MacroEditorWindow {
   public:
    std::optional<Macro> Edit(QWidget*, const Macro* existing) override {
      opened.push_back(existing ? std::optional<std::u16string>(FieldText(existing->name)) : std::nullopt);
      if (saves.empty()) return std::nullopt;
      std::optional<Macro> next = saves.front();
      saves.pop_front();
      return next;
    }
    std::vector<std::optional<std::u16string>> opened;  // the names of the macros edited; nothing for new
    std::deque<std::optional<Macro>> saves;
  };

  EditorWindows Windows() {
    return {&assignments, &properties, &illumination, &menu, &macroEditor, &gameList, &character};
  }
  // The calls so far, and none kept.
  std::vector<std::string> Taken() {
    std::vector<std::string> out;
    out.swap(calls);
    return out;
  }

  std::vector<std::string> calls;
  QRect menuUnder;
  FakeDrawer assignments{*this, "assignments"};
  FakeDrawer properties{*this, "properties"};
  FakeDrawer illumination{*this, "illumination"};
  FakeMenu menu{*this};
  FakeMacroEditor macroEditor;
  FakeGameList gameList{*this};
  FakeCharacter character{*this};
};

// A store whose writes can be made to fail, over a real one.
class FailingStore : public PanelStore {
 public:
  explicit FailingStore(PanelStore& inner) : inner_(inner) {}
  ProfileSetLoad Load(ProfileSet& set) override { return inner_.Load(set); }
  bool Save(const ProfileSet& set) override {
    ++saves;
    return failSaves ? false : inner_.Save(set);
  }
  bool WriteValue(ConfigValue v, int n) override { return failValues ? false : inner_.WriteValue(v, n); }
  int ReadValue(ConfigValue v) override { return inner_.ReadValue(v); }
  int ToggleMacroWarning() override { return inner_.ToggleMacroWarning(); }

  bool failSaves = false;
  bool failValues = false;
  int saves = 0;

 private:
  PanelStore& inner_;
};

}  // namespace orv::test
