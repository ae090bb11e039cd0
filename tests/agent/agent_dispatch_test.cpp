// Button reports turned into actions: the map from reported ids to logical buttons, the masks of
// the previous reports, forwarding to the panel while it is in front, what each assignment code
// performs, macro playback, and switching profiles by the game in front.
#include <unistd.h>

#include <climits>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <string_view>
#include <thread>

#include "base/text.h"
#include "platform/input/input_codes.h"
#include "platform/input/scan_codes.h"
#include "tests/agent/agent_fixture.h"

namespace orv::test {
namespace {

using Kind = RecordedInput::Kind;

// One synthesised input as the tests compare it: everything but its time.
struct Input {
  Kind kind = Kind::kKey;
  uint32_t key = 0;     // key: virtual key
  uint32_t scan = 0;    // key: scan code
  uint32_t flags = 0;   // key, mouse
  uint32_t data = 0;    // mouse: mouse data; layout: the layout
  std::u16string text;  // clipboard
  bool ansi = false;    // clipboard
  bool operator==(const Input&) const = default;
  friend void PrintTo(const Input& i, std::ostream* os) {
    switch (i.kind) {
      case Kind::kKey:
        *os << "key " << i.key << " scan 0x" << std::hex << i.scan << std::dec << " flags " << i.flags;
        break;
      case Kind::kMouse:
        *os << "mouse flags 0x" << std::hex << i.flags << std::dec << " data " << static_cast<int32_t>(i.data);
        break;
      case Kind::kClipboard:
        *os << "clipboard " << (i.ansi ? "ansi " : "unicode ") << N(i.text);
        break;
      case Kind::kLayout:
        *os << "layout 0x" << std::hex << i.data << std::dec;
        break;
    }
  }
};
using Inputs = std::vector<Input>;
using Pauses = std::vector<uint32_t>;
using Requests = std::vector<std::pair<uint32_t, std::vector<uint8_t>>>;
using Posted = StandInWindow::Message;
using Messages = std::vector<Posted>;

// Keyboard flags.
constexpr uint32_t kDown = 0, kUp = KEYEVENTF_KEYUP, kExtDown = KEYEVENTF_EXTENDEDKEY,
                   kExtUp = KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP;

Input KeyScan(int vk, uint32_t scan, uint32_t flags) {
  Input i;
  i.key = static_cast<uint32_t>(vk);
  i.scan = scan;
  i.flags = flags;
  return i;
}
// A key with the scan code the system maps from it.
Input Key(int vk, uint32_t flags) { return KeyScan(vk, MapVirtualKeyW(vk, MAPVK_VK_TO_VSC), flags); }
// A key of macro playback: only the low byte of the mapped scan code.
Input PlayedKey(int vk, uint32_t flags) { return KeyScan(vk, MapVirtualKeyW(vk, MAPVK_VK_TO_VSC) & 0xFF, flags); }
Input Mouse(uint32_t flags, int32_t data = 0) {
  Input i;
  i.kind = Kind::kMouse;
  i.flags = flags;
  i.data = static_cast<uint32_t>(data);
  return i;
}
Input Layout(uint32_t layout) {
  Input i;
  i.kind = Kind::kLayout;
  i.data = layout;
  return i;
}
Input Clipboard(std::u16string text, bool ansi) {
  Input i;
  i.kind = Kind::kClipboard;
  i.text = std::move(text);
  i.ansi = ansi;
  return i;
}

Inputs Seq(std::initializer_list<Inputs> parts) {
  Inputs out;
  for (const Inputs& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}
Inputs Tap(int vk) { return {Key(vk, kDown), Key(vk, kUp)}; }
// A modifier (left Shift 160, left Ctrl 162, left Alt 164) held around a tap.
Inputs With(int modifier, int vk) { return {Key(modifier, kDown), Key(vk, kDown), Key(vk, kUp), Key(modifier, kUp)}; }
Inputs CtrlShift(int vk) {
  return {Key(VK_LCONTROL, kDown), Key(VK_LSHIFT, kDown), Key(vk, kDown), Key(vk, kUp),
          Key(VK_LSHIFT, kUp),     Key(VK_LCONTROL, kUp)};
}
// Taps of typed text: line feed is Enter, '/' the slash key, letters their keys.
Inputs Taps(std::string_view keys) {
  Inputs out;
  for (char c : keys) {
    int vk = c == '\n' ? VK_RETURN : c == '/' ? VK_OEM_2 : c;
    out.push_back(Key(vk, kDown));
    out.push_back(Key(vk, kUp));
  }
  return out;
}

MacroEvent Event(int vk, int up, int32_t delay) {
  MacroEvent e{};
  e.virtualKey = static_cast<uint8_t>(vk);
  e.keyUp = static_cast<uint8_t>(up);
  e.delay = delay;
  return e;
}

// Logical buttons and the ids that report them.
struct IdRow {
  int id;
  int logical;
};
constexpr IdRow kIdMap[] = {{0, 0},     {1, 1},    {2, 2},     {3, 8},     {4, 7},     {1024, 5}, {1032, 6},
                            {1033, 10}, {1034, 9}, {1035, 11}, {1036, 13}, {1037, 12}, {1038, 3}, {1039, 4}};
// Reported ids of the standard and extra buttons for a logical button.
int IdOf(int logical) {
  for (const IdRow& r : kIdMap)
    if (r.logical == logical) return r.id;
  return -1;
}

// A distinct tap per logical button (tap 1 ... 9, 0, -, =, Tab, F1), and the key it sends.
constexpr int kTapCodes[kButtonCount] = {301, 302, 303, 304, 305, 306, 307, 308, 309, 310, 311, 312, 401, 405};
constexpr int kTapKeys[kButtonCount] = {'1', '2', '3', '4',          '5',         '6',    '7',
                                        '8', '9', '0', VK_OEM_MINUS, VK_OEM_PLUS, VK_TAB, VK_F1};

class DispatchTest : public AgentTest {
 protected:
  // The inputs injected since the last call, without their times. Every input carries extra
  // information 0 and no movement.
  Inputs Taken() {
    Inputs out;
    for (const RecordedInput& r : input.Inputs()) {
      EXPECT_EQ(r.extra, 0u);
      EXPECT_EQ(r.dx, 0);
      EXPECT_EQ(r.dy, 0);
      switch (r.kind) {
        case Kind::kKey:
          out.push_back(KeyScan(r.virtualKey, r.scanCode, r.flags));
          break;
        case Kind::kMouse:
          out.push_back(Mouse(r.flags, static_cast<int32_t>(r.mouseData)));
          break;
        case Kind::kClipboard:
          out.push_back(Clipboard(r.text, r.ansi));
          break;
        case Kind::kLayout:
          out.push_back(Layout(r.layout));
          break;
      }
    }
    input.ClearInputs();
    return out;
  }
  Pauses TakePauses() {
    Pauses p = clock.Pauses();
    clock.ClearPauses();
    return p;
  }
  // The pauses without the zero-length ones.
  Pauses TakeRealPauses() {
    Pauses out;
    for (uint32_t p : TakePauses())
      if (p != 0) out.push_back(p);
    return out;
  }
  Requests TakeRequests() {
    Requests out;
    for (auto& r : device->Take()) out.emplace_back(r.code, r.in);
    return out;
  }
  // Gives logical button b the code in every profile.
  void Assign(int b, int code) {
    for (Profile& p : agent->currentSet().profiles) p.buttons[b].code = code;
  }
  // The report of the button with this id pressed alone, and of none.
  void PressId(int id) {
    if (id < kFirstExtraId)
      Standard(1u << id);
    else
      Extra(1u << (id - kFirstExtraId));
  }
  void ReleaseId(int id) {
    if (id < kFirstExtraId)
      Standard(0);
    else
      Extra(0);
  }
  Macro& MacroOf(int m) { return agent->currentSet().profiles[agent->currentSet().profileId].macros[m]; }
  // Puts a macro of the active profile in place: events, loop count and loop switch.
  Macro& SetMacro(int m, std::initializer_list<MacroEvent> events, int loopCount = 0, int loopSwitch = 0) {
    Macro& macro = MacroOf(m);
    std::memset(&macro, 0, sizeof macro);
    CopyText(macro.name, u"test macro");
    macro.delayMode = kDelayRecorded;
    int i = 0;
    for (const MacroEvent& e : events) macro.events[i++] = e;
    macro.loopCount = loopCount;
    macro.loopSwitch = loopSwitch;
    return macro;
  }
  void Tick() { Message(WM_TIMER, CMyWnd::kTimerId, 0); }
  void LinkGame(int profile, int slot, std::u16string_view name) {
    CopyText(agent->currentSet().profiles[profile].gameNames[slot], name);
  }
  static Messages OfCode(const Messages& all, uint32_t code) {
    Messages out;
    for (const Posted& m : all)
      if (m.code == code) out.push_back(m);
    return out;
  }
  static constexpr int kFirstExtraId = 1024;
};

// ---- Reports and logical buttons -------------------------------------------------------------

TEST_F(DispatchTest, EveryReportedIdReachesItsLogicalButtonOnPressAndRelease) {
  StartAgent();
  for (const IdRow& row : kIdMap) {
    // Every other button taps its own key, so a press reaching the wrong button shows; the
    // button under test holds W, so a release reaching the wrong one is missing.
    for (int b = 0; b < kButtonCount; ++b) Assign(b, kTapCodes[b]);
    Assign(row.logical, 102);
    PressId(row.id);
    EXPECT_EQ(Taken(), (Inputs{Key('W', kDown)})) << "id " << row.id;
    ReleaseId(row.id);
    EXPECT_EQ(Taken(), (Inputs{Key('W', kUp)})) << "id " << row.id;
  }
  // The distinct taps themselves, each from its id.
  for (int b = 0; b < kButtonCount; ++b) Assign(b, kTapCodes[b]);
  for (const IdRow& row : kIdMap) {
    PressId(row.id);
    ReleaseId(row.id);
    EXPECT_EQ(Taken(), Tap(kTapKeys[row.logical])) << "id " << row.id;
  }
}

TEST_F(DispatchTest, UnmappedIdsAndBitsBeyondTheButtonsAreIgnored) {
  StartAgent();
  for (int b = 0; b < kButtonCount; ++b) Assign(b, kTapCodes[b]);
  for (int id : {1025, 1026, 1027, 1028, 1029, 1030, 1040, 1041}) {
    PressId(id);
    ReleaseId(id);
    EXPECT_EQ(Taken(), Inputs{}) << "id " << id;
  }
  // Extra bits 18 and up name no button.
  for (uint32_t bit = 18; bit < 28; ++bit) {
    Extra(1u << bit);
    Extra(0);
    EXPECT_EQ(Taken(), Inputs{}) << "extra bit " << bit;
  }
  EXPECT_TRUE(device->Take().empty());
  EXPECT_TRUE(agent->heldKeys().empty());
}

TEST_F(DispatchTest, ChangesAreJudgedAgainstTheLastReportOfTheSameKind) {
  StartAgent();
  // Held keys show presses and releases apart.
  Assign(5, 102);  // id 1024, extra bit 0: W
  Assign(6, 103);  // id 1032, extra bit 8: A
  Assign(9, 107);  // id 1034, extra bit 10: E
  Assign(0, 104);  // id 0: S
  Assign(2, 105);  // id 2: D
  Assign(8, 106);  // id 3: Q
  struct Step {
    LParam kind;
    WParam report;
    Inputs expected;
  } steps[] = {
      {1, 0x1, {Key('W', kDown)}},
      {1, 0x1, {}},               // the same state again
      {1, 0x3, {}},               // id 1025 pressed: ignored
      {1, 0x2, {Key('W', kUp)}},  // bit 0 cleared; 1025 still down
      {1, 0x0, {}},               // 1025 released: ignored
      {1, 0x2, {}},               // 0x2 after 0x0: id 1025, ignored
      {1, 0x0, {}},
      {1, 0x101, {Key('W', kDown), Key('A', kDown)}},  // from bit 0 upwards
      {0, 0x1, {Key('S', kDown)}},                     // standard buttons keep their own mask
      {1, 0x0, {Key('W', kUp), Key('A', kUp)}},
      {1, 0x400, {Key('E', kDown)}},  // an extra report's bits 8-15 are buttons, not a connect
      {1, 0x0, {Key('E', kUp)}},
      {0, 0x5, {Key('D', kDown)}},
      {0, 0x21, {}},  // 0x20 and more: ignored, the mask is not taken
      {0, 0x3F, {}},
      {0, 0x10004, {}},
      {0, 0x0104, {}},  // another high byte: ignored
      {0, 0x0C01, {}},
      {0, 0xFF00, {}},
      {0, 0x4, {Key('S', kUp)}},  // against 0x5, the last report taken
      {0, 0xC, {Key('Q', kDown)}},
      {0, 0x0, {Key('D', kUp), Key('Q', kUp)}},
  };
  int n = 0;
  for (const Step& s : steps) {
    EXPECT_EQ(Message(UM_DEVICE_EVENT, s.report, s.kind), 1);
    EXPECT_EQ(Taken(), s.expected) << "step " << n << ": report 0x" << std::hex << s.report << " kind " << s.kind;
    ++n;
  }
  EXPECT_TRUE(device->Take().empty());
}

TEST_F(DispatchTest, TheStandardDefaultsOnTheirOwnButtonsSynthesiseNothing) {
  StartAgent();  // the installed defaults: left, right, middle click, button 5, button 4
  for (int bit = 0; bit < 5; ++bit) {
    Standard(1u << bit);
    Standard(0);
    EXPECT_EQ(Taken(), Inputs{}) << "standard bit " << bit;
  }
}

TEST_F(DispatchTest, TheSensitivityButtonReadsTheStepBackOnPressOnly) {
  StandInWindow panel(kPanelWindowTitle);
  StartAgent();
  panel.Clear();
  ASSERT_TRUE(device->Mouse(IOCTL_SET_DPI_STEP, {4}));  // the mouse moved to step 4 by itself
  Extra(1u << 7);  // id 1031
  EXPECT_EQ(TakeRequests(), (Requests{{IOCTL_GET_DPI_STEP, {0}}}));
  EXPECT_EQ(panel.Messages(), (Messages{{UM_DPI_CHANGED, 4, 0}}));
  Extra(0);
  EXPECT_TRUE(TakeRequests().empty());
  EXPECT_EQ(Taken(), Inputs{});
  // Together with another button: both, from bit 0 upwards.
  Assign(5, 501);
  Extra(0x81);
  EXPECT_EQ(TakeRequests(), (Requests{{IOCTL_GET_DPI_STEP, {0}}}));
  EXPECT_EQ(Taken(), Tap('C'));
}

TEST_F(DispatchTest, GameModeSuspendsDispatchAndForwardingWhileTheMasksFollow) {
  StandInWindow panel(kPanelWindowTitle);
  StartAgent();
  panel.Clear();
  Assign(5, 102);  // extra bit 0: W
  Assign(3, 103);  // id 1038, extra bit 14: A
  Assign(0, 104);  // standard bit 0: S
  agent->currentSet().gameMode = 1;
  Extra(0x1);
  Standard(0x1);
  Extra(1u << 7);  // the sensitivity button too
  EXPECT_EQ(Taken(), Inputs{});
  EXPECT_TRUE(TakeRequests().empty());
  Extra(0x0);
  Extra(1u << 14);
  desktop.foreground = getpid();  // the panel in front: nothing is forwarded either
  Extra(0x0);
  Extra(0x1);
  EXPECT_EQ(Taken(), Inputs{});
  EXPECT_TRUE(panel.Messages().empty());
  desktop.foreground = 4242;

  // Back to 0: the next reports are compared with what arrived in game mode.
  agent->currentSet().gameMode = 0;
  Extra(0x1);  // unchanged since the last report
  Standard(0x1);
  EXPECT_EQ(Taken(), Inputs{});
  Extra(0x0);
  Standard(0x0);
  EXPECT_EQ(Taken(), (Inputs{Key('W', kUp), Key('S', kUp)}));
  Extra(1u << 14);
  EXPECT_EQ(Taken(), (Inputs{Key('A', kDown)}));
}

// ---- What the codes perform ------------------------------------------------------------------

TEST_F(DispatchTest, InputCodesSendTheGamesKeysAndMouseInputs) {
  StartAgent();
  struct Case {
    int code;
    int logical;
    Inputs press;
    Pauses pauses;  // during the press
    Inputs release;
  } cases[] = {
      // Mouse buttons, and the buttons whose own meaning the driver passes through.
      {1, 5, {Mouse(MOUSEEVENTF_LEFTDOWN)}, {}, {Mouse(MOUSEEVENTF_LEFTUP)}},
      {1, 0, {}, {}, {}},
      {1, 1, {Mouse(MOUSEEVENTF_LEFTDOWN)}, {}, {Mouse(MOUSEEVENTF_LEFTUP)}},
      {2, 5, {Mouse(MOUSEEVENTF_RIGHTDOWN)}, {}, {Mouse(MOUSEEVENTF_RIGHTUP)}},
      {2, 1, {}, {}, {}},
      {2, 0, {Mouse(MOUSEEVENTF_RIGHTDOWN)}, {}, {Mouse(MOUSEEVENTF_RIGHTUP)}},
      {3,
       5,
       {Mouse(MOUSEEVENTF_LEFTDOWN), Mouse(MOUSEEVENTF_LEFTUP), Mouse(MOUSEEVENTF_LEFTDOWN), Mouse(MOUSEEVENTF_LEFTUP)},
       {},
       {}},
      {4, 5, {Mouse(MOUSEEVENTF_XDOWN, 1)}, {}, {Mouse(MOUSEEVENTF_XUP, 1)}},
      {4, 8, {}, {}, {}},
      {4, 7, {Mouse(MOUSEEVENTF_XDOWN, 1)}, {}, {Mouse(MOUSEEVENTF_XUP, 1)}},
      {5, 5, {Mouse(MOUSEEVENTF_XDOWN, 2)}, {}, {Mouse(MOUSEEVENTF_XUP, 2)}},
      {5, 7, {}, {}, {}},
      {5, 8, {Mouse(MOUSEEVENTF_XDOWN, 2)}, {}, {Mouse(MOUSEEVENTF_XUP, 2)}},
      {6, 5, {Mouse(MOUSEEVENTF_MIDDLEDOWN)}, {}, {Mouse(MOUSEEVENTF_MIDDLEUP)}},
      {6, 2, {}, {}, {}},
      {9, 5, {}, {}, {}},
      {101, 5, {Mouse(MOUSEEVENTF_MIDDLEDOWN, 1)}, {}, {Mouse(MOUSEEVENTF_MIDDLEUP, 2)}},
      {101, 2, {}, {}, {}},
      {603, 5, {Mouse(MOUSEEVENTF_WHEEL, 120)}, {}, {}},
      {604, 5, {Mouse(MOUSEEVENTF_WHEEL, -120)}, {}, {}},
      // Held movement keys.
      {102, 5, {KeyScan('W', 0x11, kDown)}, {}, {KeyScan('W', 0x11, kUp)}},
      {103, 5, {Key('A', kDown)}, {}, {Key('A', kUp)}},
      {104, 6, {Key('S', kDown)}, {}, {Key('S', kUp)}},
      {105, 13, {Key('D', kDown)}, {}, {Key('D', kUp)}},
      {106, 0, {Key('Q', kDown)}, {}, {Key('Q', kUp)}},
      {107, 2, {Key('E', kDown)}, {}, {Key('E', kUp)}},
      // Timed keys.
      {108, 5, {KeyScan(VK_SPACE, 0x39, kExtDown), KeyScan(VK_SPACE, 0x39, kExtUp)}, {200}, {}},
      {109, 5, {Key('X', kExtDown), Key('X', kExtUp)}, {200}, {}},
      {110, 5, {Key('Z', kDown), Key('Z', kUp)}, {100}, {}},
      // Taps and chords.
      {111, 5, Tap(VK_NUMLOCK), {}, {}},
      {112, 5, Tap(VK_INSERT), {}, {}},
      {113, 5, Tap(VK_DELETE), {}, {}},
      {114, 5, Tap(VK_DIVIDE), {}, {}},
      {201, 5, Tap(VK_RETURN), {}, {}},
      {202, 5, Tap(VK_OEM_2), {}, {}},
      {203, 5, Tap(VK_PRIOR), {}, {}},
      {204, 5, Tap(VK_NEXT), {}, {}},
      {205, 5, With(VK_LSHIFT, VK_NEXT), {}, {}},
      {206, 5, Tap('R'), {}, {}},
      {207, 5, With(VK_LCONTROL, VK_PRIOR), {}, {}},
      {208, 5, With(VK_LCONTROL, VK_NEXT), {}, {}},
      {209, 5, CtrlShift(VK_NEXT), {}, {}},
      {210, 5, With(VK_LSHIFT, 'C'), {}, {}},
      {301, 5, Tap('1'), {}, {}},
      {309, 5, Tap('9'), {}, {}},
      {310, 5, Tap('0'), {}, {}},
      {311, 5, Tap(VK_OEM_MINUS), {}, {}},
      {312, 5, Tap(VK_OEM_PLUS), {}, {}},
      {313, 5, With(VK_LMENU, '1'), {}, {}},
      {322, 5, With(VK_LMENU, '0'), {}, {}},
      {323, 5, With(VK_LMENU, VK_OEM_MINUS), {}, {}},
      {324, 5, With(VK_LMENU, VK_OEM_PLUS), {}, {}},
      {325, 5, With(VK_LCONTROL, VK_F1), {}, {}},
      {334, 5, With(VK_LCONTROL, VK_F10), {}, {}},
      {335, 5, With(VK_LCONTROL, '1'), {}, {}},
      {344, 5, With(VK_LCONTROL, '0'), {}, {}},
      {345, 5, With(VK_LSHIFT, '1'), {}, {}},
      {350, 5, With(VK_LSHIFT, '6'), {}, {}},
      {351,
       5,
       {Key(VK_LSHIFT, kExtDown), Key(VK_UP, kDown), Key(VK_UP, kUp), Key(VK_LSHIFT, kExtUp), Key(VK_LSHIFT, kUp)},
       {50, 50, 50, 50},
       {}},
      {352,
       5,
       {Key(VK_LSHIFT, kExtDown), Key(VK_DOWN, kDown), Key(VK_DOWN, kUp), Key(VK_LSHIFT, kExtUp), Key(VK_LSHIFT, kUp)},
       {50, 50, 50},
       {}},
      {401, 5, Tap(VK_TAB), {}, {}},
      {402,
       5,
       {KeyScan(VK_LSHIFT, 0x2A, kDown), KeyScan(VK_TAB, 0x0F, kDown), KeyScan(VK_TAB, 0x0F, kUp),
        KeyScan(VK_LSHIFT, 0x2A, kUp)},
       {},
       {}},
      {403, 5, With(VK_LCONTROL, VK_TAB), {}, {}},
      {404, 5, CtrlShift(VK_TAB), {}, {}},
      {405, 5, Tap(VK_F1), {}, {}},
      {409, 5, Tap(VK_F5), {}, {}},
      {410, 5, With(VK_LSHIFT, VK_F1), {}, {}},
      {414, 5, With(VK_LSHIFT, VK_F5), {}, {}},
      {417, 5, Tap('V'), {}, {}},
      {418, 5, With(VK_LSHIFT, 'V'), {}, {}},
      {419, 5, With(VK_LCONTROL, 'V'), {}, {}},
      {421, 5, With(VK_LSHIFT, 'T'), {}, {}},
      {501, 5, {KeyScan('C', 0x2E, kDown), KeyScan('C', 0x2E, kUp)}, {}, {}},
      {502, 5, With(VK_LSHIFT, 'B'), {}, {}},
      {503, 5, Tap(VK_F8), {}, {}},
      {506, 5, Tap(VK_F11), {}, {}},
      {509, 5, With(VK_LSHIFT, 'I'), {}, {}},
      {516, 5, Tap(VK_ESCAPE), {}, {}},
      {519, 5, With(VK_LSHIFT, VK_SPACE), {}, {}},
      {521, 5, With(VK_LSHIFT, 'O'), {}, {}},
      {601, 5, Tap(VK_END), {}, {}},
      {602, 5, Tap(VK_HOME), {}, {}},
      {701, 5, Tap(VK_ADD), {}, {}},
      {702, 5, Tap(VK_SUBTRACT), {}, {}},
      {705, 5, With(VK_LCONTROL, VK_OEM_PLUS), {}, {}},
      {706, 5, With(VK_LCONTROL, VK_OEM_MINUS), {}, {}},
      {707, 5, With(VK_LMENU, 'Z'), {}, {}},
      {709, 5, Tap(VK_SNAPSHOT), {}, {}},
      // Chat commands.
      {80, 5, Taps("\n/STOPCASTING\n\n/STOPATTACK\n"), {}, {}},
      {81, 5, Taps("\n/FOCUS\n"), {}, {}},
      {82, 5, Taps("\n/DISMOUNT\n"), {}, {}},
  };
  for (const Case& c : cases) {
    Assign(c.logical, c.code);
    int id = IdOf(c.logical);
    PressId(id);
    EXPECT_EQ(Taken(), c.press) << "code " << c.code << " on logical " << c.logical;
    EXPECT_EQ(TakePauses(), c.pauses) << "code " << c.code << " on logical " << c.logical;
    ReleaseId(id);
    EXPECT_EQ(Taken(), c.release) << "code " << c.code << " on logical " << c.logical << ", release";
    EXPECT_EQ(TakePauses(), Pauses{}) << "code " << c.code << ", release";
    EXPECT_TRUE(device->Take().empty()) << "code " << c.code;
  }
}

TEST_F(DispatchTest, AMovementKeyStaysDownUntilItsOwnButtonIsReleased) {
  StartAgent();
  Assign(5, 102);  // W on extra bit 0
  Assign(6, 501);  // C on extra bit 8
  Extra(0x1);
  Extra(0x101);
  Extra(0x1);
  Extra(0x0);
  EXPECT_EQ(Taken(), Seq({{Key('W', kDown)}, Tap('C'), {Key('W', kUp)}}));
}

TEST_F(DispatchTest, SensitivityCodesSetOrStepTheMousesStep) {
  StartAgent();
  struct Case {
    int code;
    uint8_t reads;  // what the mouse answers for its step
    Requests press;
  } cases[] = {
      {16, 3, {{IOCTL_SET_DPI_STEP, {6}}}},
      {17, 3, {{IOCTL_SET_DPI_STEP, {5}}}},
      {19, 3, {{IOCTL_SET_DPI_STEP, {3}}}},
      {21, 3, {{IOCTL_SET_DPI_STEP, {1}}}},
      {22, 3, {{IOCTL_GET_DPI_STEP, {0}}, {IOCTL_SET_DPI_STEP, {2}}}},
      {22, 1, {{IOCTL_GET_DPI_STEP, {0}}}},  // already at the top
      {23, 3, {{IOCTL_GET_DPI_STEP, {0}}, {IOCTL_SET_DPI_STEP, {4}}}},
      {23, 6, {{IOCTL_GET_DPI_STEP, {0}}}},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(device->Mouse(IOCTL_SET_DPI_STEP, {c.reads}));
    Assign(5, c.code);
    Extra(0x1);
    EXPECT_EQ(TakeRequests(), c.press) << "code " << c.code;
    Extra(0x0);
    EXPECT_TRUE(TakeRequests().empty()) << "code " << c.code << ", release";
    EXPECT_EQ(Taken(), Inputs{}) << "code " << c.code;
  }
}

TEST_F(DispatchTest, ProfileCodesSelectOrStepTheActiveProfile) {
  StandInWindow panel(kPanelWindowTitle);
  StartAgent();
  struct Case {
    int code;
    int from;
    int to;
  } cases[] = {
      {32, 4, 0}, {35, 0, 3}, {41, 0, 9}, {42, 3, 4}, {42, 9, 9}, {43, 3, 2}, {43, 0, 0},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(agent->settings().SelectProfile(c.from), 1);
    Assign(5, c.code);
    panel.Clear();
    TakeRequests();
    Extra(0x1);
    EXPECT_EQ(agent->currentSet().profileId, c.to) << "code " << c.code << " from " << c.from;
    EXPECT_EQ(agent->previousSet().profileId, c.from) << "code " << c.code;
    // Even a step that stays on the last profile re-applies and tells the panel.
    EXPECT_EQ(OfCode(panel.Messages(), UM_PROFILE_CHANGED), (Messages{{UM_PROFILE_CHANGED, WParam(c.to), 0}}))
        << "code " << c.code << " from " << c.from;
    EXPECT_FALSE(TakeRequests().empty()) << "code " << c.code;
    auto loaded = std::make_unique<ProfileSet>();
    LoadProfileSet(ConfigPath(), *loaded);
    EXPECT_EQ(loaded->profileId, c.to) << "code " << c.code;
    panel.Clear();
    Extra(0x0);
    EXPECT_TRUE(panel.Messages().empty()) << "code " << c.code << ", release";
    EXPECT_TRUE(TakeRequests().empty()) << "code " << c.code << ", release";
    EXPECT_EQ(agent->currentSet().profileId, c.to);
  }
}

TEST_F(DispatchTest, WithTheDeviceClosedOnlyProfileStepsStillChangeTheProfile) {
  StartAgent();
  ASSERT_EQ(agent->settings().SelectProfile(4), 1);
  device->alive = false;
  Forget();
  struct Case {
    int code;
    int profileAfter;
  } cases[] = {{16, 4}, {22, 4}, {23, 4}, {32, 4}, {41, 4}, {43, 3}, {42, 4}, {42, 5}};
  for (const Case& c : cases) {
    Assign(5, c.code);
    Extra(0x1);
    Extra(0x0);
    EXPECT_EQ(agent->currentSet().profileId, c.profileAfter) << "code " << c.code;
    EXPECT_TRUE(device->Take().empty()) << "code " << c.code;
  }
  // The step was persisted.
  auto loaded = std::make_unique<ProfileSet>();
  LoadProfileSet(ConfigPath(), *loaded);
  EXPECT_EQ(loaded->profileId, 5);
}

TEST_F(DispatchTest, CodesWithoutAnActionDoNothing) {
  StandInWindow panel(kPanelWindowTitle);
  StartAgent();
  ASSERT_EQ(agent->settings().SelectProfile(9), 1);
  panel.Clear();
  Forget();
  for (int code : {7, 8, 10, 13, 15, 24, 31, 44, 79, 83, 100, 999, 1050, 1200, 0, -5, 99999, INT_MIN, INT_MAX}) {
    for (int logical : {0, 5, 13}) {
      Assign(logical, code);
      PressId(IdOf(logical));
      ReleaseId(IdOf(logical));
      EXPECT_EQ(Taken(), Inputs{}) << "code " << code << " on logical " << logical;
      EXPECT_TRUE(device->Take().empty()) << "code " << code;
      EXPECT_EQ(agent->currentSet().profileId, 9) << "code " << code;
      EXPECT_TRUE(agent->heldKeys().empty()) << "code " << code;
      EXPECT_TRUE(panel.Messages().empty()) << "code " << code;
      Assign(logical, 9);
    }
  }
}

// ---- Forwarding to the panel -----------------------------------------------------------------

TEST_F(DispatchTest, WithThePanelInFrontButtonsTwoToThirteenGoToThePanel) {
  StandInWindow panel(kPanelWindowTitle);
  StartAgent();
  desktop.foreground = getpid();  // the panel's window lives in this process
  for (const IdRow& row : kIdMap) {
    for (int b = 0; b < kButtonCount; ++b) Assign(b, kTapCodes[b]);
    Assign(row.logical, 102);  // W: a release that is performed shows
    panel.Clear();
    PressId(row.id);
    const int b = row.logical;
    if (b >= 2) {
      EXPECT_EQ(Taken(), Inputs{}) << "logical " << b;
      EXPECT_EQ(panel.Messages(), (Messages{{UM_BUTTON_EVENT, WParam(b), 1}})) << "logical " << b;
    } else {
      EXPECT_EQ(Taken(), (Inputs{Key('W', kDown)})) << "logical " << b;
      EXPECT_TRUE(panel.Messages().empty()) << "logical " << b;
    }
    panel.Clear();
    ReleaseId(row.id);
    if (b >= 3) {
      EXPECT_EQ(Taken(), Inputs{}) << "logical " << b;
      EXPECT_EQ(panel.Messages(), (Messages{{UM_BUTTON_EVENT, WParam(b), 0}})) << "logical " << b;
    } else {
      // Logical 2 is forwarded on press only; its release is performed.
      EXPECT_EQ(Taken(), (Inputs{Key('W', kUp)})) << "logical " << b;
      EXPECT_TRUE(panel.Messages().empty()) << "logical " << b;
    }
  }
}

TEST_F(DispatchTest, AForwardedLeftClickIsStillReleased) {
  StandInWindow panel(kPanelWindowTitle);
  StartAgent();
  desktop.foreground = getpid();
  for (int b : {3, 5, 13}) {
    Assign(b, 1);
    panel.Clear();
    PressId(IdOf(b));
    EXPECT_EQ(Taken(), Inputs{});
    ReleaseId(IdOf(b));
    EXPECT_EQ(Taken(), (Inputs{Mouse(MOUSEEVENTF_LEFTUP)})) << "logical " << b;
    EXPECT_EQ(panel.Messages(), (Messages{{UM_BUTTON_EVENT, WParam(b), 1}, {UM_BUTTON_EVENT, WParam(b), 0}}));
  }
  // Other codes with a release are not released.
  Assign(5, 101);
  PressId(1024);
  ReleaseId(1024);
  EXPECT_EQ(Taken(), Inputs{});
}

TEST_F(DispatchTest, ButtonsArePerformedWhenThePanelIsNotInFrontOrAbsent) {
  auto panel = std::make_unique<StandInWindow>(kPanelWindowTitle);
  StartAgent();
  Assign(5, 501);
  desktop.Front(u"notepad.exe");
  Extra(0x1);
  Extra(0x0);
  EXPECT_EQ(Taken(), Tap('C'));
  EXPECT_TRUE(OfCode(panel->Messages(), UM_BUTTON_EVENT).empty());
  panel.reset();
  desktop.foreground = getpid();  // this process in front, but no panel window
  Extra(0x1);
  Extra(0x0);
  EXPECT_EQ(Taken(), Tap('C'));
}

// ---- Releases after a change -----------------------------------------------------------------

// A button's release undoes what its press did, even when the profile or the window in front
// changed while it was held: a key or mouse button is never left down.
TEST_F(DispatchTest, AReleaseUndoesWhatItsPressDidWhateverChangedMeanwhile) {
  StandInWindow panel(kPanelWindowTitle);
  StartAgent();
  LinkGame(3, 0, u"alpha.exe");
  for (int p = 0; p < kProfileCount; ++p) {
    Profile& profile = agent->currentSet().profiles[p];
    profile.buttons[5].code = 501;  // elsewhere: a tap, whose release does nothing
    profile.buttons[6].code = 42;   // id 1032, extra bit 8: the next profile
    Macro& m = profile.macros[0];
    std::memset(&m, 0, sizeof m);
    m.delayMode = kDelayRecorded;
    m.events[0] = Event(p == 0 ? 'Q' : 'Z', 0, 0);  // a single-key macro, another key elsewhere
  }
  struct Held {
    int code;
    Inputs press, release;
  } held[] = {
      {102, {Key('W', kDown)}, {Key('W', kUp)}},
      {2, {Mouse(MOUSEEVENTF_RIGHTDOWN)}, {Mouse(MOUSEEVENTF_RIGHTUP)}},
      {1000, {Key('Q', kExtDown)}, {Key('Q', kExtUp)}},
  };
  struct Change {
    const char* what;
    std::function<void()> apply;
    bool forwarded;  // the release goes to the panel too
  } changes[] = {
      {"the next profile by another button",
       [&] {
         Extra(0x101);
         Extra(0x001);
       },
       false},
      {"a profile chosen in the panel", [&] { Message(UM_SELECT_PROFILE, 2, 0); }, false},
      {"a game in front",
       [&] {
         desktop.Front(u"alpha.exe");
         Tick();
       },
       false},
      {"the panel in front", [&] { desktop.foreground = getpid(); }, true},
  };
  for (const Held& h : held) {
    for (const Change& c : changes) {
      desktop.Front(u"xterm");
      Tick();
      ASSERT_EQ(agent->settings().SelectProfile(0), 1);
      agent->currentSet().profiles[0].buttons[5].code = h.code;
      Taken();
      Extra(0x1);
      EXPECT_EQ(Taken(), h.press) << h.code << ", " << c.what;
      c.apply();
      EXPECT_EQ(Taken(), Inputs{}) << h.code << ", " << c.what;
      panel.Clear();
      Extra(0x0);
      EXPECT_EQ(Taken(), h.release) << "code " << h.code << " held, then " << c.what;
      EXPECT_TRUE(agent->heldKeys().empty()) << h.code << ", " << c.what;
      EXPECT_EQ(panel.Messages(), c.forwarded ? (Messages{{UM_BUTTON_EVENT, 5, 0}}) : Messages{})
          << h.code << ", " << c.what;
    }
  }
  // A press that went to the panel is not performed, so its release performs only what the
  // button holds now: here nothing, since the panel is still in front.
  desktop.foreground = getpid();
  agent->currentSet().profiles[agent->currentSet().profileId].buttons[5].code = 102;
  Extra(0x1);
  Extra(0x0);
  EXPECT_EQ(Taken(), Inputs{});
}

// ---- Macros ----------------------------------------------------------------------------------

TEST_F(DispatchTest, SingleKeyMacrosHoldTheirKeyWhileTheButtonIsHeld) {
  StartAgent();
  struct Case {
    const char* what;
    std::vector<MacroEvent> events;
    int loopCount, loopSwitch;
    int key;
  } cases[] = {
      {"two events", {Event('W', 0, 30), Event('W', 1, 0)}, 0, 0, 'W'},
      {"one event", {Event('Q', 0, 0)}, 0, 0, 'Q'},
      {"looping once", {Event('E', 0, 10), Event('E', 1, 10)}, 1, 1, 'E'},
      {"not looping", {Event('R', 0, 10), Event('R', 1, 10)}, 7, 0, 'R'},
      {"no events", {}, 0, 0, 0},
  };
  for (const Case& c : cases) {
    Macro& m = SetMacro(3, {}, c.loopCount, c.loopSwitch);
    for (size_t i = 0; i < c.events.size(); ++i) m.events[i] = c.events[i];
    Assign(5, 1003);
    Extra(0x1);
    EXPECT_EQ(Taken(), (Inputs{Key(c.key, kExtDown)})) << c.what;
    EXPECT_EQ(agent->heldKeys(), std::vector<int>{c.key}) << c.what;
    EXPECT_EQ(TakePauses(), Pauses{}) << c.what;
    Extra(0x0);
    EXPECT_EQ(Taken(), (Inputs{Key(c.key, kExtUp)})) << c.what;
    EXPECT_TRUE(agent->heldKeys().empty()) << c.what;
  }
}

TEST_F(DispatchTest, SequenceMacrosPlayOnPressAsOftenAsTheirLoopsSay) {
  StartAgent();
  input.SetForegroundLayout(0x04070407);  // the user's own layout
  const Inputs threeEvents = {Layout(kUsLayout), PlayedKey('A', kDown), PlayedKey('B', kDown), PlayedKey('A', kUp),
                              Layout(0x04070407)};
  const Pauses threePauses = {10, 20, 1, 30, 100};
  const Inputs twoEvents = {Layout(kUsLayout), PlayedKey('W', kDown), PlayedKey('W', kUp), Layout(0x04070407)};
  const Pauses twoPauses = {5, 1, 5, 100};
  struct Case {
    const char* what;
    bool three;
    int loopCount, loopSwitch;
    int passes;
  } cases[] = {
      {"three events", true, 0, 0, 1},
      {"not looping, count 5", true, 5, 0, 1},
      {"looping 3", true, 3, 1, 3},
      {"looping 0", true, 0, 1, 0},
      {"looping -2", true, -2, 1, 0},
      {"two events looping 2", false, 2, 1, 2},
      {"two events looping 0", false, 0, 1, 0},
  };
  for (const Case& c : cases) {
    if (c.three)
      SetMacro(49, {Event('A', 0, 10), Event('B', 0, 20), Event('A', 1, 30)}, c.loopCount, c.loopSwitch);
    else
      SetMacro(49, {Event('W', 0, 5), Event('W', 1, 5)}, c.loopCount, c.loopSwitch);
    Assign(12, 1049);  // id 1037, extra bit 13
    Extra(1u << 13);
    Inputs expected;
    Pauses pauses;
    for (int i = 0; i < c.passes; ++i) {
      expected = Seq({expected, c.three ? threeEvents : twoEvents});
      pauses.insert(pauses.end(), (c.three ? threePauses : twoPauses).begin(),
                    (c.three ? threePauses : twoPauses).end());
    }
    EXPECT_EQ(Taken(), expected) << c.what;
    EXPECT_EQ(TakePauses(), pauses) << c.what;
    EXPECT_TRUE(agent->heldKeys().empty()) << c.what;
    Extra(0);
    EXPECT_EQ(Taken(), Inputs{}) << c.what << ", release";
    EXPECT_EQ(TakePauses(), Pauses{}) << c.what << ", release";
  }
}

TEST_F(DispatchTest, AKeyChangingDirectionWithinAPassWaitsOneMillisecond) {
  StartAgent();
  SetMacro(0, {Event('A', 0, 7), Event('A', 0, 8), Event('A', 1, 9), Event('B', 1, 4), Event('B', 0, 3),
               Event('A', 0, 2), Event('C', 0, 0), Event('C', 1, 0)});
  Assign(5, 1000);
  Extra(0x1);
  EXPECT_EQ(Taken(), (Inputs{Layout(kUsLayout), PlayedKey('A', kDown), PlayedKey('A', kDown), PlayedKey('A', kUp),
                             PlayedKey('B', kUp), PlayedKey('B', kDown), PlayedKey('A', kDown), PlayedKey('C', kDown),
                             PlayedKey('C', kUp), Layout(kUsLayout)}));
  EXPECT_EQ(TakeRealPauses(), (Pauses{7, 8, 1, 9, 4, 1, 3, 1, 2, 1, 100}));
  // Each pass starts with a fresh table: a second pass pauses the same way.
  SetMacro(0, {Event('A', 0, 0), Event('A', 1, 0)}, 2, 1);
  Extra(0x0);
  Extra(0x1);
  EXPECT_EQ(TakeRealPauses(), (Pauses{1, 100, 1, 100}));
}

TEST_F(DispatchTest, ANegativeStoredDelayIsNoPause) {
  StartAgent();
  SetMacro(0, {Event('A', 0, -1), Event('A', 1, INT_MIN), Event('B', 0, 0)});
  Assign(5, 1000);
  Extra(0x1);
  EXPECT_EQ(Taken().size(), 5u);
  EXPECT_EQ(TakeRealPauses(), (Pauses{1, 100}));
}

// Left and right modifiers are replayed as the generic keys, each on its own side: the right
// Shift's scan code, the extended flag of right Ctrl and right Alt, as the keyboard reports them.
TEST_F(DispatchTest, LeftAndRightModifiersAreReplayedAsTheGenericKeysOnTheirOwnSide) {
  StartAgent();
  SetMacro(0, {Event(VK_LSHIFT, 0, 0), Event('A', 0, 0), Event('A', 1, 0), Event(VK_RSHIFT, 1, 0),
               Event(VK_RCONTROL, 0, 0), Event(VK_RCONTROL, 1, 0), Event(VK_LMENU, 0, 0), Event(VK_RMENU, 1, 0),
               Event(VK_LCONTROL, 0, 0), Event(VK_LCONTROL, 1, 0)});
  Assign(5, 1000);
  Extra(0x1);
  EXPECT_EQ(Taken(), (Inputs{Layout(kUsLayout), KeyScan(VK_SHIFT, 0x2A, kDown), PlayedKey('A', kDown),
                             PlayedKey('A', kUp), KeyScan(VK_SHIFT, 0x36, kUp), KeyScan(VK_CONTROL, 0x1D, kExtDown),
                             KeyScan(VK_CONTROL, 0x1D, kExtUp), KeyScan(VK_MENU, 0x38, kDown),
                             KeyScan(VK_MENU, 0x38, kExtUp), KeyScan(VK_CONTROL, 0x1D, kDown),
                             KeyScan(VK_CONTROL, 0x1D, kUp), Layout(kUsLayout)}));
  // The pause table goes by the keys as recorded: 160 down then 161 up is no change of direction.
  EXPECT_EQ(TakeRealPauses(), (Pauses{1, 1, 1, 100}));
}

TEST_F(DispatchTest, AHeldKeyThatASequenceLetGoOfIsPressedAgain) {
  StartAgent();
  SetMacro(0, {Event('W', 0, 0), Event('W', 1, 0)});  // single key W
  SetMacro(1, {Event('Q', 0, 0), Event('Q', 1, 0)});  // single key Q
  SetMacro(2, {Event('W', 0, 10), Event('W', 1, 10), Event('A', 0, 10), Event('A', 1, 10)});
  Assign(5, 1000);   // extra bit 0
  Assign(10, 1001);  // id 1033, extra bit 9
  Assign(6, 1002);   // id 1032, extra bit 8
  Extra(0x1);
  Extra(0x201);
  EXPECT_EQ(Taken(), (Inputs{Key('W', kExtDown), Key('Q', kExtDown)}));
  EXPECT_EQ(agent->heldKeys(), (std::vector<int>{'W', 'Q'}));
  Extra(0x301);
  // Only W occurs in the sequence, so only W goes down again.
  EXPECT_EQ(Taken(), (Inputs{Layout(kUsLayout), PlayedKey('W', kDown), PlayedKey('W', kUp), PlayedKey('A', kDown),
                             PlayedKey('A', kUp), Layout(kUsLayout), Key('W', kExtDown)}));
  EXPECT_EQ(agent->heldKeys(), (std::vector<int>{'W', 'Q'}));
  Extra(0x201);  // the sequence's release: nothing
  EXPECT_EQ(Taken(), Inputs{});
  Extra(0x200);
  EXPECT_EQ(Taken(), (Inputs{Key('W', kExtUp)}));
  EXPECT_EQ(agent->heldKeys(), (std::vector<int>{'Q'}));
  // Nothing held that the sequence uses: nothing pressed again.
  Extra(0x300);
  EXPECT_EQ(Taken(), (Inputs{Layout(kUsLayout), PlayedKey('W', kDown), PlayedKey('W', kUp), PlayedKey('A', kDown),
                             PlayedKey('A', kUp), Layout(kUsLayout)}));
}

TEST_F(DispatchTest, PasteMacrosPasteOnReleaseInTheFormTheProgramInFrontReads) {
  StartAgent();
  const std::u16string text = u"/say Caf\u00E9 \u2211";  // the sum sign has no ANSI form
  Macro& m = SetMacro(7, {Event('A', 0, 10), Event('A', 1, 10), Event('B', 0, 10)});
  m.delayMode = kDelayCopyPaste;
  CopyText(m.pasteText, text);
  m.startKeyEvents[0] = Event(VK_RETURN, 0, 999);  // the stored delays are not used
  m.startKeyEvents[1] = Event(VK_RETURN, 1, 999);
  m.sendKeyEvents[0] = Event(VK_RSHIFT, 0, 0);
  m.sendKeyEvents[1] = Event(VK_TAB, 0, 0);
  Assign(5, 1007);
  const Inputs start = {PlayedKey(VK_RETURN, kDown), PlayedKey(VK_RETURN, kUp)};
  const Inputs send = {KeyScan(VK_SHIFT, 0x36, kDown), PlayedKey(VK_TAB, kDown)};  // the right Shift
  const Inputs paste = {Key(VK_CONTROL, kDown), Key('V', kDown), Key('V', kUp), Key(VK_CONTROL, kUp)};
  struct Case {
    std::u16string front;
    bool snapshot;
    int startKey, sendKey;
    bool ansi;
    Inputs keysBefore, keysAfter;
    Pauses pauses;
  } cases[] = {
      {u"orv.exe", true, 1, 1, true, start, send, {50, 1, 50, 50, 50, 50, 50, 50, 50, 50}},
      {u"ORV.EXE", true, 0, 0, true, {}, {}, {50, 50, 50, 50, 50}},
      {u"notepad.exe", true, 1, 0, false, start, {}, {50, 1, 50, 50, 50, 50, 50, 50}},
      {u"notepad.exe", true, 0, 1, false, {}, send, {50, 50, 50, 50, 50, 50, 50}},
      {u"orv.exe", false, 0, 0, false, {}, {}, {50, 50, 50, 50, 50}},  // the game cannot be told
  };
  for (const Case& c : cases) {
    desktop.Front(c.front);
    desktop.snapshotWorks = c.snapshot;
    m.startKey = c.startKey;
    m.sendKey = c.sendKey;
    Extra(0x1);
    EXPECT_EQ(Taken(), Inputs{}) << N(c.front) << ": nothing on press";
    EXPECT_EQ(TakePauses(), Pauses{});
    Extra(0x0);
    Inputs expected = Seq({c.keysBefore, {Clipboard(c.ansi ? u"/say Caf\u00E9 ?" : text, c.ansi)}, paste, c.keysAfter});
    EXPECT_EQ(Taken(), expected) << N(c.front) << " start " << c.startKey << " send " << c.sendKey;
    EXPECT_EQ(TakePauses(), c.pauses) << N(c.front) << " start " << c.startKey << " send " << c.sendKey;
  }
}

TEST_F(DispatchTest, AReportArrivingWhileAMacroPlaysWaitsForIt) {
  StartAgent();
  SetMacro(0, {Event('A', 0, 100), Event('A', 1, 100), Event('B', 0, 100)});
  Assign(5, 1000);  // extra bit 0
  Assign(6, 501);   // extra bit 8: C
  ASSERT_TRUE(bus::Post(agent->handle(), UM_DEVICE_EVENT, 0x1, 1));
  ASSERT_TRUE(bus::Post(agent->handle(), UM_DEVICE_EVENT, 0x101, 1));
  EXPECT_TRUE(input.Inputs().empty());
  const uint32_t start = clock.TickCount();
  bus::DispatchPending();
  std::vector<RecordedInput> recorded = input.Inputs();
  EXPECT_EQ(Taken(), (Inputs{Layout(kUsLayout), PlayedKey('A', kDown), PlayedKey('A', kUp), PlayedKey('B', kDown),
                             Layout(kUsLayout), Key('C', kDown), Key('C', kUp)}));
  ASSERT_EQ(recorded.size(), 7u);
  // The second report was handled once the whole macro, its last 100 ms included, was over.
  EXPECT_EQ(recorded[5].time, start + 100 + 1 + 100 + 100 + 100);
}

// ---- Game detection --------------------------------------------------------------------------

TEST_F(DispatchTest, TheGameInFrontSelectsItsProfileAndLeavingItRestores) {
  StandInWindow panel(kPanelWindowTitle);
  StartAgent();
  LinkGame(3, 0, u"alpha.exe");
  LinkGame(4, 9, u"Beta.exe");
  LinkGame(2, 7, u"twin.exe");  // listed twice: the lower profile wins
  LinkGame(5, 0, u"twin.exe");
  LinkGame(6, 1, u"SIX.EXE");
  Tick();  // the first tick also announces the attached mode
  const std::u16string kMissing = u"(not in the snapshot)";
  struct Step {
    std::u16string front;  // kMissing: a process missing from the snapshot
    int select;            // a manual choice before the tick, -1 for none
    int profile, switched, saved;
    bool changes;
  } steps[] = {
      {u"plasmashell", -1, 0, 0, 0, false}, {u"alpha.exe", -1, 3, 1, 0, true},   {u"ALPHA.EXE", -1, 3, 1, 0, false},
      {u"beta.exe", -1, 4, 1, 0, true},  // another game: the first saved index is kept
      {u"OSD.exe", -1, 4, 1, 0, false},  // the on-screen display changes nothing
      {u"osd.EXE", -1, 4, 1, 0, false},     {u"plasmashell", -1, 0, 0, 0, true}, {u"twin.exe", -1, 2, 1, 0, true},
      {kMissing, -1, 0, 0, 0, true},                                         // "unknown": no game
      {u"six.exe", 7, 6, 1, 7, true},       {u"six.exe", 8, 6, 1, 7, true},  // chosen by hand while in the game: the
                                                                             // game's profile again
      {u"xterm", 8, 7, 0, 7, true},       // a change by hand meanwhile: leaving still restores the saved index
      {u"alpha.exe", 3, 3, 0, 7, false},  // its profile already active: nothing
      {u"plasmashell", -1, 3, 0, 7, false}, {u"", -1, 3, 0, 7, false},  // an empty name matches none of the empty game
                                                                        // slots
  };
  int n = 0;
  for (const Step& s : steps) {
    if (s.select >= 0) {
      ASSERT_EQ(agent->settings().SelectProfile(s.select), 1);
    }
    if (s.front == kMissing) {
      desktop.Front(u"ghost.exe", 5000);
      desktop.foreground = 6000;
    } else {
      desktop.Front(s.front);
    }
    panel.Clear();
    Tick();
    const std::string what = "step " + std::to_string(n++) + " (" + N(s.front) + ")";
    EXPECT_EQ(agent->currentSet().profileId, s.profile) << what;
    EXPECT_EQ(agent->autoSwitched(), s.switched) << what;
    EXPECT_EQ(agent->savedProfileIndex(), s.saved) << what;
    Messages changed = OfCode(panel.Messages(), UM_PROFILE_CHANGED);
    if (s.changes) {
      EXPECT_EQ(changed, (Messages{{UM_PROFILE_CHANGED, WParam(s.profile), 0}})) << what;
    } else {
      EXPECT_TRUE(changed.empty()) << what;
    }
    // The index and, once a game has switched, the switch state are persisted.
    auto loaded = std::make_unique<ProfileSet>();
    LoadProfileSet(ConfigPath(), *loaded);
    EXPECT_EQ(loaded->profileId, s.profile) << what;
    if (n > 1) {
      int saved = -1, switched = -1;
      ReadAutoSwitchState(ConfFolder(), saved, switched);
      EXPECT_EQ(switched, s.switched) << what;
      EXPECT_EQ(saved, s.saved) << what;
    }
  }
}

TEST_F(DispatchTest, AFailedSnapshotSkipsTheStep) {
  StartAgent();
  LinkGame(3, 0, u"alpha.exe");
  desktop.Front(u"alpha.exe");
  desktop.snapshotWorks = false;
  Tick();
  EXPECT_EQ(agent->currentSet().profileId, 0);
  EXPECT_EQ(agent->autoSwitched(), 0);
  desktop.snapshotWorks = true;
  Tick();
  EXPECT_EQ(agent->currentSet().profileId, 3);
  desktop.Front(u"xterm");
  desktop.snapshotWorks = false;
  Tick();
  EXPECT_EQ(agent->currentSet().profileId, 3);
  EXPECT_EQ(agent->autoSwitched(), 1);
  desktop.snapshotWorks = true;
  Tick();
  EXPECT_EQ(agent->currentSet().profileId, 0);
  EXPECT_EQ(agent->autoSwitched(), 0);
}

TEST_F(DispatchTest, ARestartedAgentRestoresTheSavedProfileOnceTheGameIsGone) {
  WriteConfig([](ProfileSet& s) {
    s.profileId = 1;
    CopyText(s.profiles[3].gameNames[2], u"alpha.exe");
  });
  StartAgent();
  desktop.Front(u"alpha.exe");
  Tick();
  ASSERT_EQ(agent->currentSet().profileId, 3);
  int saved = -1, switched = -1;
  ReadAutoSwitchState(ConfFolder(), saved, switched);
  EXPECT_EQ(saved, 1);
  EXPECT_EQ(switched, 1);

  // Still in the game after the restart: it stays, and leaving later restores.
  agent.reset();
  StartAgent();
  EXPECT_EQ(agent->currentSet().profileId, 3);
  EXPECT_EQ(agent->autoSwitched(), 1);
  EXPECT_EQ(agent->savedProfileIndex(), 1);
  Tick();
  EXPECT_EQ(agent->currentSet().profileId, 3);

  // Gone by the next restart: the first tick restores the saved index.
  agent.reset();
  desktop.Front(u"plasmashell");
  StartAgent();
  EXPECT_EQ(agent->currentSet().profileId, 3);
  EXPECT_EQ(agent->autoSwitched(), 1);
  Tick();
  EXPECT_EQ(agent->currentSet().profileId, 1);
  EXPECT_EQ(agent->autoSwitched(), 0);
  ReadAutoSwitchState(ConfFolder(), saved, switched);
  EXPECT_EQ(saved, 1);
  EXPECT_EQ(switched, 0);
  auto loaded = std::make_unique<ProfileSet>();
  LoadProfileSet(ConfigPath(), *loaded);
  EXPECT_EQ(loaded->profileId, 1);
}

TEST_F(DispatchTest, ASavedIndexFromAHandEditedFileRestoresOnlyARealProfile) {
  struct Case {
    int saved;
    int restored;
  } cases[] = {{4, 4}, {9, 9}, {10, 0}, {12, 0}, {-1, 0}, {INT_MAX, 0}};
  for (const Case& c : cases) {
    agent.reset();
    WriteConfig([](ProfileSet& s) { s.profileId = 6; });
    ASSERT_TRUE(WriteAutoSwitchState(ConfFolder(), c.saved, 1));
    desktop.Front(u"xterm");
    StartAgent();
    ASSERT_EQ(agent->autoSwitched(), 1);
    Tick();
    EXPECT_EQ(agent->currentSet().profileId, c.restored) << "saved " << c.saved;
    EXPECT_EQ(agent->autoSwitched(), 0) << "saved " << c.saved;
  }
}

// The device gone, or the mouse pulled out, while buttons hold keys and a mouse button down and a
// single-key macro holds its key: everything goes up at once, as at the end of the agent, the
// mouse's late releases change nothing, and the next press is performed again.
TEST_F(DispatchTest, LosingTheDeviceReleasesWhatItsButtonsAndMacrosHoldDown) {
  struct Case {
    const char* what;
    std::function<void()> lose;
  } cases[] = {
      {"device gone",
       [this] {
         // Its end closes: the event thread finds out at its next wake-up and tells the window.
         std::lock_guard<std::mutex> lock(device->mutex);
         device->alive = false;
         device->semaphore.load()->Release(1);
       }},
      {"mouse pulled out", [this] { Message(UM_DEVICE_EVENT, kEventDisconnect, 0); }},
  };
  for (const Case& c : cases) {
    device->alive = true;
    StartAgent();
    Macro& m = SetMacro(3, {Event('Q', 0, 0)});
    (void)m;
    Assign(5, 1003);  // id 1024: the single-key macro, Q held
    Assign(6, 102);   // id 1032: W held
    Assign(1, 1);     // id 1: the left button held
    Standard(0x2);
    Extra(0x1 | 0x100);
    ASSERT_EQ(Taken(), (Inputs{Mouse(MOUSEEVENTF_LEFTDOWN), Key('Q', kExtDown), KeyScan('W', 0x11, kDown)})) << c.what;
    ASSERT_EQ(agent->heldKeys(), std::vector<int>{'Q'}) << c.what;
    c.lose();
    Inputs released;
    for (int i = 0; i < 2000 && released.size() < 3; ++i) {
      bus::DispatchPending();
      Inputs more = Taken();
      released.insert(released.end(), more.begin(), more.end());
      if (released.size() < 3) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(released, (Inputs{Mouse(MOUSEEVENTF_LEFTUP), KeyScan('W', 0x11, kUp), Key('Q', kExtUp)})) << c.what;
    EXPECT_TRUE(agent->heldKeys().empty()) << c.what;
    // The mouse's own releases, should they still come, find nothing held.
    Standard(0);
    Extra(0);
    EXPECT_EQ(Taken(), Inputs{}) << c.what;
    // A press after it is performed again.
    device->alive = true;
    Extra(0x100);
    EXPECT_EQ(Taken(), (Inputs{KeyScan('W', 0x11, kDown)})) << c.what;
    Extra(0);
    EXPECT_EQ(Taken(), (Inputs{KeyScan('W', 0x11, kUp)})) << c.what;
  }
}

}  // namespace
}  // namespace orv::test
