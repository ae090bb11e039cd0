// The macro editor as a widget, offscreen, over the product's skin: keys delivered as the X
// server reports them (keysym, edge, repeat, time stamp), the delay modes, the paste layout, the
// edits, and what OK saves.
#include "panel/editors/macro_dialog.h"

#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>

#include "base/text.h"
#include "panel/editors/macro_display.h"
#include "platform/input/input_codes.h"
#include "platform/x11/xkb_groups.h"
#include "skin/bitmap_button.h"
#include "tests/test_support.h"
#include "tests/x11_server.h"

namespace orv {
namespace {

// Keysyms as the X server names them.
constexpr unsigned long kA = 0x61, kB = 0x62, kEscape = 0xff1b, kSuperR = 0xffec, kShiftR = 0xffe2,
                        kKeypadEnter = 0xff8d, kAudioMute = 0x1008ff12, kExclam = 0x21;

class MacroDialogTest : public ::testing::Test {
 protected:
  std::unique_ptr<CMacroDialog> Open(const Macro* existing = nullptr) {
    auto d = std::make_unique<CMacroDialog>(std::string(ORV_PROGRAM_DIR) + "/", existing);
    d->show();
    d->activateWindow();
    QCoreApplication::processEvents();
    return d;
  }
  // A key as the X server delivers it to the focused display.
  static void Key(CMacroDialog& d, unsigned long keysym, bool up, uint32_t time = 0, bool repeat = false) {
    QKeyEvent e(up ? QEvent::KeyRelease : QEvent::KeyPress, 0, Qt::NoModifier, 0, static_cast<quint32>(keysym), 0,
                QString(), repeat);
    e.setTimestamp(time);
    QWidget* target = d.focusWidget() ? d.focusWidget() : d.eventArea();
    QCoreApplication::sendEvent(target, &e);
  }
  static void Tap(CMacroDialog& d, unsigned long keysym, uint32_t time = 0) {
    Key(d, keysym, false, time);
    Key(d, keysym, true, time);
  }
  static void Click(CMacroDialog& d, const char* button) {
    QTest::mouseClick(d.Button(button), Qt::LeftButton);
    QCoreApplication::processEvents();
  }
};

TEST_F(MacroDialogTest, ANewMacroRecordsKeysWithAutomaticPausesAndSavesThem) {
  auto d = Open();
  EXPECT_TRUE(d->Button("BUTTON_AUTO_DELAY")->latched());
  EXPECT_FALSE(d->Button("BUTTON_RECORD_DELAY")->latched());
  EXPECT_EQ(d->loopEdit()->text(), QStringLiteral("1"));
  EXPECT_FALSE(d->loopEdit()->isEnabled()) << "the loop is off";
  EXPECT_TRUE(d->eventArea()->isVisible());
  EXPECT_FALSE(d->pasteEdit()->isVisible());
  Tap(*d, kA);
  Tap(*d, kEscape);  // recorded, not closing the editor
  Tap(*d, kKeypadEnter);
  Tap(*d, kSuperR);
  Tap(*d, kShiftR);
  EXPECT_TRUE(d->isVisible());
  EXPECT_EQ(d->eventArea()->text(), QStringLiteral("A Esc NumRet RWin RShft "));
  Click(*d, "BUTTON_OK");
  ASSERT_TRUE(d->result());
  const Macro& m = *d->result();
  const int keys[] = {VK_A, VK_ESCAPE, VK_SEPARATOR, VK_RWIN, VK_RSHIFT};
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(m.events[i].virtualKey, keys[i / 2]) << i;
    EXPECT_EQ(m.events[i].keyUp, i % 2) << i;
    EXPECT_EQ(m.events[i].delay, i == 0 ? 10 : 50) << i;
  }
  EXPECT_EQ(m.events[10].virtualKey, 0);
  EXPECT_EQ(FieldText(m.name), u"Custom");
  EXPECT_EQ(m.delayMode, kDelayAutomatic);
  EXPECT_EQ(m.loopSwitch, 0);
  EXPECT_EQ(m.loopCount, 1);
}

TEST_F(MacroDialogTest, RecordedPausesAreTheGapsBetweenTheKeyboardsTimeStamps) {
  auto d = Open();
  Click(*d, "BUTTON_RECORD_DELAY");
  EXPECT_TRUE(d->Button("BUTTON_RECORD_DELAY")->latched());
  EXPECT_FALSE(d->Button("BUTTON_AUTO_DELAY")->latched());
  d->eventArea()->setFocus();
  Key(*d, kA, false, 5000);
  for (uint32_t t = 5030; t < 5300; t += 30) Key(*d, kA, false, t, true);  // the keyboard's repeat
  Key(*d, kA, true, 5300);
  Key(*d, kB, false, 5345);
  Key(*d, kB, true, 5400);
  EXPECT_EQ(d->eventArea()->text(), QStringLiteral("A|<300ms> A^<45ms> B|<55ms> B^ "));
  d->nameEdit()->setText(QStringLiteral("Pull"));
  d->Button("BUTTON_LOOP")->SetLatched(true);
  d->loopEdit()->setText(QStringLiteral("12"));
  Click(*d, "BUTTON_OK");
  ASSERT_TRUE(d->result());
  EXPECT_EQ(d->result()->events[0].delay, 300);
  EXPECT_EQ(d->result()->events[1].delay, 45);
  EXPECT_EQ(d->result()->events[4].virtualKey, 0) << "one key-down for the held key";
  EXPECT_EQ(FieldText(d->result()->name), u"Pull");
  EXPECT_EQ(d->result()->loopCount, 12);
  EXPECT_EQ(d->result()->loopSwitch, 1);
  EXPECT_EQ(d->result()->delayMode, kDelayRecorded);
}

// Keys outside a US keyboard are refused, and the editor says so; the recording goes on.
TEST_F(MacroDialogTest, AKeyThatCannotBeRecordedIsRefusedVisibly) {
  auto d = Open();
  Tap(*d, kAudioMute);
  EXPECT_EQ(d->notice(), kKeyNotRecordedNotice);
  EXPECT_EQ(d->rules().recording().count(), 0);
  // A shifted character is its US key.
  Tap(*d, kExclam);
  EXPECT_EQ(d->eventArea()->text(), QStringLiteral("1 "));
  EXPECT_NE(d->notice(), kKeyNotRecordedNotice) << "gone with the next key kept";
}

// Without the keyboard grab (the offscreen platform has none to give) the editor says that the
// Windows keys are not recorded, keeps saying it, and records the other keys.
TEST_F(MacroDialogTest, WithoutTheKeyboardGrabTheOtherKeysAreStillRecorded) {
  auto d = Open();
  d->eventArea()->clearFocus();
  d->eventArea()->setFocus();
  QCoreApplication::processEvents();
  ASSERT_TRUE(d->eventArea()->hasFocus());
  EXPECT_EQ(d->notice(), kNoWindowsKeysNotice);
  Tap(*d, kA);
  EXPECT_EQ(d->eventArea()->text(), QStringLiteral("A "));
  EXPECT_EQ(d->notice(), kNoWindowsKeysNotice);
}

TEST_F(MacroDialogTest, TheCopyAndPasteLayoutSavesItsTextAndKeys) {
  auto d = Open();
  Click(*d, "BUTTON_PASTE");
  EXPECT_TRUE(d->rules().pasteLayout());
  EXPECT_TRUE(d->pasteEdit()->isVisible());
  EXPECT_FALSE(d->eventArea()->isVisible());
  EXPECT_TRUE(d->startArea()->isVisible());
  EXPECT_TRUE(d->Button("BUTTON_START_KEY")->latched());
  EXPECT_TRUE(d->Button("BUTTON_SEND_KEY")->latched());
  EXPECT_EQ(d->sendArea()->text(), QStringLiteral("Enter| Enter^ "));
  // Characters the chat cannot take are left out, and the text ends at the record's field.
  d->pasteEdit()->setPlainText(QStringLiteral("/yell caf\u00e9 \u65e5\u672c"));
  EXPECT_EQ(d->pasteEdit()->toPlainText(), QStringLiteral("/yell caf\u00e9 "));
  EXPECT_EQ(d->notice(), kPasteCharactersNotice);
  d->pasteEdit()->setPlainText(QString(400, QLatin1Char('x')));
  EXPECT_EQ(d->pasteEdit()->toPlainText().size(), kPasteTextLength);
  d->pasteEdit()->setPlainText(QStringLiteral("/dance"));
  Click(*d, "BUTTON_OK");
  ASSERT_TRUE(d->result());
  EXPECT_EQ(d->result()->delayMode, kDelayCopyPaste);
  EXPECT_EQ(d->result()->startKey, 1);
  EXPECT_EQ(d->result()->sendKey, 1);
  EXPECT_EQ(d->result()->sendKeyEvents[0].virtualKey, VK_RETURN);
  EXPECT_EQ(FieldText(d->result()->pasteText), u"/dance");
}

TEST_F(MacroDialogTest, CancelSavesNothingAndEscInAnEditCloses) {
  auto d = Open();
  Tap(*d, kA);
  Click(*d, "BUTTON_CANCEL");
  EXPECT_FALSE(d->result());
  EXPECT_FALSE(d->isVisible());
  auto e = Open();
  e->nameEdit()->setFocus();
  QTest::keyClick(e->nameEdit(), Qt::Key_Escape);
  EXPECT_FALSE(e->isVisible()) << "Esc in an edit closes without saving";
  EXPECT_FALSE(e->result());
}

TEST_F(MacroDialogTest, AnOpenedMacroShowsItsKeysNameAndLoop) {
  auto m = std::make_unique<Macro>();
  CopyText(m->name, u"Heal");
  m->delayMode = kDelayNone;
  m->loopCount = 3;
  m->loopSwitch = 1;
  m->events[0] = {VK_F1, 0, {}, 0};
  m->events[1] = {VK_F1, 1, {}, 0};
  auto d = Open(m.get());
  EXPECT_EQ(d->nameEdit()->text(), QStringLiteral("Heal"));
  EXPECT_EQ(d->loopEdit()->text(), QStringLiteral("3"));
  EXPECT_TRUE(d->loopEdit()->isEnabled());
  EXPECT_TRUE(d->Button("BUTTON_NO_DELAY")->latched());
  EXPECT_EQ(d->eventArea()->text(), QStringLiteral("F1| F1^ "));
  // A click on the area starts it afresh.
  QTest::mouseClick(d->eventArea(), Qt::LeftButton, {}, QPoint(20, 20));
  QCoreApplication::processEvents();
  EXPECT_EQ(d->eventArea()->text(), QString());
  Tap(*d, kB);
  Click(*d, "BUTTON_OK");
  ASSERT_TRUE(d->result());
  EXPECT_EQ(d->result()->events[0].virtualKey, VK_B);
  EXPECT_EQ(FieldText(d->result()->name), u"Heal");
}

// Many keys: the display breaks them into lines and scrolls to the end once it overflows.
TEST_F(MacroDialogTest, TheDisplayBreaksLinesAndScrolls) {
  auto d = Open();
  Click(*d, "BUTTON_RECORD_DELAY");
  d->eventArea()->setFocus();
  uint32_t time = 1000;
  for (int i = 0; i < 150; ++i) {
    Key(*d, kA + (i % 26), false, time += 40);
    Key(*d, kA + (i % 26), true, time += 40);
  }
  CVesperMacroDisplay& area = *d->eventArea();
  EXPECT_GT(area.lineCount(), area.visibleLines());
  Tap(*d, kB, time + 40);
  EXPECT_EQ(area.firstLine(), area.lineCount() - area.visibleLines()) << "at the end";
  EXPECT_TRUE(area.scrollBar()->isVisible());
  EXPECT_EQ(d->rules().recording().count(), 302);
}

// With a German and a US group, the US one is in force while a key area has the focus, and the
// group before comes back when the focus goes to an edit or the editor closes.
TEST_F(MacroDialogTest, TheUsLayoutIsInForceWhileAnAreaHasTheFocus) {
  test::XvfbServer xvfb;
  if (xvfb.display().empty()) GTEST_SKIP() << "Xvfb could not be started";
  const std::string command = "setxkbmap -display " + xvfb.display() + " -layout de,us 2>/dev/null";
  if (std::system(command.c_str()) != 0) GTEST_SKIP() << "setxkbmap could not give the server two layouts";
  std::unique_ptr<x11::XkbGroups> groups = x11::XkbGroups::Connect();
  ASSERT_TRUE(groups && groups->Available());
  ASSERT_EQ(groups->UsGroup(), 1);
  ASSERT_TRUE(groups->Lock(0));
  auto d = Open();
  d->nameEdit()->setFocus();
  QCoreApplication::processEvents();
  EXPECT_TRUE(test::WaitUntil([&] { return groups->Current() == 0; }, 2000)) << "the German group while typing a name";
  d->eventArea()->setFocus();
  QCoreApplication::processEvents();
  EXPECT_TRUE(test::WaitUntil([&] { return groups->Current() == 1; }, 2000)) << "the US group while recording";
  d->nameEdit()->setFocus();
  QCoreApplication::processEvents();
  EXPECT_TRUE(test::WaitUntil([&] { return groups->Current() == 0; }, 2000)) << "the German group back";
  d->eventArea()->setFocus();
  QCoreApplication::processEvents();
  ASSERT_TRUE(test::WaitUntil([&] { return groups->Current() == 1; }, 2000));
  d.reset();
  EXPECT_TRUE(test::WaitUntil([&] { return groups->Current() == 0; }, 2000)) << "the German group after the editor";
}

}  // namespace
}  // namespace orv
