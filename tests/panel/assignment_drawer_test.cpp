// The assignment drawer and the button menu as widgets beside a real main window, offscreen:
// sliding out and in on a virtual clock, the function a button has shown in its folder, a click,
// a drag or a menu row giving a button its function, the macro folder, and data files with
// parts missing. A person is played by the stand-in services.
#include "panel/editors/assignment_drawer.h"

#include <gtest/gtest.h>

#include <QMimeData>
#include <QTest>
#include <filesystem>

#include "base/files.h"
#include "base/text.h"
#include "link/messages.h"
#include "panel/editors/assignment_rules.h"
#include "panel/editors/button_menu.h"
#include "panel/main/main_window.h"
#include "profile/function_catalog.h"
#include "profile/settings_files.h"
#include "profile/xml_cursor.h"
#include "skin/bitmap_button.h"
#include "skin/function_list.h"
#include "skin/function_tree.h"
#include "skin/skin_controls.h"
#include "tests/panel/panel_fakes.h"
#include "tests/skin/skin_test_support.h"
#include "tests/test_support.h"

namespace orv {
namespace {

using test::U;

// A program folder whose files are the product's, but for the ones a test replaces or leaves out.
std::string ProgramFolderWith(const test::TempDir& dir, const std::map<std::string, std::string>& replaced) {
  const std::string folder = dir.path() + "/bin/";
  MakeFolders(folder);
  for (const auto& entry : std::filesystem::directory_iterator(ORV_PROGRAM_DIR)) {
    const std::string name = entry.path().filename().string();
    if (replaced.count(name)) continue;
    std::filesystem::create_symlink(entry.path(), folder + name);
  }
  for (const auto& [name, text] : replaced)
    if (!text.empty()) test::WriteFile(folder + name, text);
  return folder;
}

class AssignmentDrawerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    ::setenv("ORV_BUS_DIR", (dir / "bus").c_str(), 1);
    MakeFolders(dir / "bus");
    startup.programFolder = std::string(ORV_PROGRAM_DIR) + "/";
    startup.confFolder = dir / "Conf/";
    startup.profileFolder = dir / "Profile/";
    MakeFolders(startup.confFolder);
    test::WriteFile(startup.confFolder + "Config.xml", test::ReadFile(startup.programFolder + "Config.xml"));
    saved = FunctionDragRunner();
  }
  void TearDown() override {
    FunctionDragRunner() = saved;
    window.reset();
    ::unsetenv("XDG_CONFIG_HOME");
    ::unsetenv("ORV_BUS_DIR");
  }
  CAPDlg& Open() {
    // The built windows, but the macro editor played by the test.
    EditorWindows editors;
    editors.macroEditor = &macroEditor;
    window = std::make_unique<CAPDlg>(startup, CAPDlg::Options{&services, &agent, editors, nullptr});
    window->show();
    return *window;
  }
  AssignmentDrawerWindow& Drawer() { return *dynamic_cast<AssignmentDrawerWindow*>(window->editors().assignments); }
  ButtonMenuPopup& Menu() { return *dynamic_cast<ButtonMenuPopup*>(window->editors().buttonMenu); }
  CAdvanceFunctionDlg& Dlg() { return *Drawer().window(); }
  static void Settle() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  }
  // Lets a slide run to its end (and the main window hear of it).
  void Slide() {
    timers.Advance(600);
    Settle();
  }
  // Label `label` clicked and the drawer out.
  CAdvanceFunctionDlg& EditOut(int label) {
    QTest::mouseClick(window->Label(label), Qt::LeftButton);
    Slide();
    EXPECT_TRUE(Drawer().IsOut());
    return Dlg();
  }
  int Code(int button) { return window->sets().workingSet.profiles[0].buttons[button].code; }
  bool ApplyEnabled() { return window->Control(QStringLiteral("BUTTON_APPLY"))->isEnabled(); }
  void NameMacros(std::initializer_list<int> macroSlots) {
    for (int k : macroSlots) CopyText(window->sets().workingSet.profiles[0].macros[k].name, U("Macro " + std::to_string(k)));
    window->Refresh();
  }
  // The open folder (-1: none) and the code of what is selected in it.
  std::pair<int, std::optional<int>> Shown() {
    CAdvanceFunctionDlg& d = Dlg();
    int open = -1;
    for (size_t i = 0; i < d.folderBar()->folders().size(); ++i)
      if (d.folderBar()->folders()[i].open) open = static_cast<int>(i);
    std::optional<int> code;
    if (open == 0) code = CTreeCtrlEx::CodeOfItem(d.tree()->currentItem());
    CListBoxEx* lists[] = {nullptr, d.pointerSpeedList(), d.profileList(), d.macroList()};
    if (open > 0) code = lists[open]->CodeOfRow(lists[open]->currentRow());
    return {open, code};
  }
  void ClickRow(CListBoxEx* list, int row) {
    list->scrollToItem(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
    Settle();
  }
  void ClickItem(CTreeCtrlEx* tree, QTreeWidgetItem* item) {
    tree->scrollToItem(item);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
    Settle();
  }

  test::ManualTimers timers;
  test::TempDir dir;
  PanelStartup startup;
  test::FakeServices services;
  test::FakeAgent agent;
  test::FakeEditors::FakeMacroEditor macroEditor;
  std::unique_ptr<CAPDlg> window;
  std::function<void(QWidget*, QMimeData*)> saved;
};

TEST_F(AssignmentDrawerTest, ALabelClickSlidesTheDrawerOutOfTheRightEdgeShowingItsFunction) {
  CAPDlg& w = Open();
  EXPECT_FALSE(Drawer().Exists()) << "made on first use";
  QTest::mouseClick(w.Label(6), Qt::LeftButton);
  ASSERT_TRUE(Drawer().Exists());
  CAdvanceFunctionDlg& d = Dlg();
  EXPECT_TRUE(d.isVisible());
  EXPECT_FALSE(Drawer().IsOut());
  // Its tree and lists come right after its first frame, the function shown in them then.
  EXPECT_FALSE(d.controlsBuilt());
  Settle();
  EXPECT_TRUE(d.controlsBuilt());
  EXPECT_EQ(Shown(), (std::pair<int, std::optional<int>>{0, 401}));
  // 15 pixels every 20 ms: after two steps the columns from 185 on show, from the base onwards.
  timers.Advance(20);
  const QRect main = w.frameGeometry();
  EXPECT_EQ(d.mask().boundingRect().left(), d.width() - 15);
  EXPECT_EQ(d.x(), main.x() + main.width() - 18 - (d.width() - 15));
  Slide();
  EXPECT_TRUE(Drawer().IsOut());
  EXPECT_EQ(d.pos(), DrawerAnchor(DrawerKind::kAssignments, w.frameGeometry(), d.size()));
  EXPECT_EQ(d.mask(), *d.skin().outline);
  EXPECT_EQ(d.editedButton(), 6);
  // Button 7 holds TARGET_NEAREST_ENEMY: the game commands open at it, its category expanded.
  EXPECT_EQ(Shown(), (std::pair<int, std::optional<int>>{0, 401}));
  EXPECT_TRUE(d.tree()->currentItem()->parent()->isExpanded());
  EXPECT_FALSE(d.tree()->topLevelItem(0)->isExpanded());
  EXPECT_EQ(w.selectedLabel(), 6);
  // Another label while out: it edits that one, no new slide.
  QTest::mouseClick(w.Label(3), Qt::LeftButton);
  Settle();
  EXPECT_TRUE(Drawer().IsOut());
  EXPECT_EQ(d.editedButton(), 3);
  EXPECT_EQ(Shown(), (std::pair<int, std::optional<int>>{0, 416}));
  // The mouse's own fourth side button pressed while the panel is in front does the same.
  w.HandleMessage(UM_BUTTON_EVENT, 9, 1);
  Settle();
  EXPECT_EQ(d.editedButton(), 9);
  // The close button slides it in; hidden at the end.
  QTest::mouseClick(d.closeButton(), Qt::LeftButton);
  Settle();
  Slide();
  EXPECT_FALSE(d.isVisible());
  EXPECT_FALSE(Drawer().IsOut());
}

// Where each kind of function is shown: its folder opened at its row or command; a function no
// folder offers closes them all.
TEST_F(AssignmentDrawerTest, TheFunctionOfTheEditedButtonIsShownInItsFolder) {
  CAPDlg& w = Open();
  NameMacros({0, 49});
  EditOut(2);
  using Shown_ = std::pair<int, std::optional<int>>;
  const std::pair<int, Shown_> cases[] = {
      {16, {1, 16}},    {23, {1, 23}},    {32, {2, 32}},    {41, {2, 41}},   {42, {2, 42}},
      {43, {2, 43}},    {101, {0, 101}},  {352, {0, 352}},  {709, {0, 709}}, {1000, {3, 1000}},
      {1049, {3, 1049}}, {1030, {-1, {}}}, {1, {-1, {}}},   {9, {-1, {}}},   {80, {-1, {}}},
      {7, {-1, {}}},
  };
  for (const auto& [code, shown] : cases) {
    w.sets().workingSet.profiles[0].buttons[2].code = code;
    QTest::mouseClick(w.Label(2), Qt::LeftButton);
    Settle();
    EXPECT_EQ(Shown(), shown) << code;
  }
}

TEST_F(AssignmentDrawerTest, AClickOnACommandOrARowGivesTheEditedButtonItsFunction) {
  CAPDlg& w = Open();
  CAdvanceFunctionDlg& d = EditOut(6);
  w.rules().ApplyButton();
  ASSERT_FALSE(ApplyEnabled());
  const int units = w.rules().gauge().units;
  QTreeWidgetItem* combatLogBottom = d.tree()->ItemOfCode(209);
  combatLogBottom->parent()->setExpanded(true);
  ClickItem(d.tree(), combatLogBottom);
  EXPECT_EQ(Code(6), 209);
  EXPECT_EQ(w.LabelText(6), combatLogBottom->text(0).toStdU16String());
  EXPECT_EQ(w.Label(6)->caption, combatLogBottom->text(0));
  EXPECT_TRUE(ApplyEnabled());
  EXPECT_EQ(w.rules().gauge().units, units - 1 + 12);  // one key became two modifiers and a key
  // The same command again changes nothing.
  w.rules().ApplyButton();
  ClickItem(d.tree(), combatLogBottom);
  EXPECT_FALSE(ApplyEnabled());

  NameMacros({0, 1, 2});
  struct Case {
    int folder;
    CListBoxEx* list;
    int row;
    int code;
  } cases[] = {
      {1, d.pointerSpeedList(), 0, 16}, {1, d.pointerSpeedList(), 7, 23}, {2, d.profileList(), 0, 32},
      {2, d.profileList(), 11, 43},     {3, d.macroList(), 2, 1002},
  };
  for (const Case& c : cases) {
    d.folderBar()->SetOpenFolder(c.folder);
    ClickRow(c.list, c.row);
    EXPECT_EQ(Code(6), c.code) << c.code;
  }
  // Profile switches and macros show names as labels.
  EXPECT_EQ(w.LabelText(6), u"Macro 2");
  // With no label edited (the tab clicked while out), a choice goes nowhere.
  w.OnButton(QStringLiteral("BUTTON_ASSIGNMENTS"));
  Settle();
  EXPECT_EQ(d.editedButton(), -1);
  d.folderBar()->SetOpenFolder(1);
  ClickRow(d.pointerSpeedList(), 3);
  for (int b = 0; b < kButtonCount; ++b) EXPECT_NE(Code(b), 19) << b;
}

TEST_F(AssignmentDrawerTest, ACommandDraggedOntoALabelIsStoredThereNotOnTheEditedButton) {
  CAPDlg& w = Open();
  CAdvanceFunctionDlg& d = EditOut(6);
  w.rules().ApplyButton();
  // The person lets the drag go over the fifth label.
  FunctionDragRunner() = [&](QWidget*, QMimeData* data) {
    EXPECT_EQ(w.Label(4)->OnDragOver(data), Qt::CopyAction);
    EXPECT_TRUE(w.Label(4)->OnDrop(data));
    delete data;
  };
  QTreeWidgetItem* jump = d.tree()->ItemOfCode(108);
  jump->parent()->setExpanded(true);
  d.tree()->scrollToItem(jump);
  const QPoint at = d.tree()->visualItemRect(jump).center();
  QTest::mousePress(d.tree()->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseMove(d.tree()->viewport(), at + QPoint(40, 10));
  QTest::mouseRelease(d.tree()->viewport(), Qt::LeftButton, {}, at + QPoint(40, 10));
  Settle();
  EXPECT_EQ(Code(4), 108);
  EXPECT_EQ(Code(6), kDefaultButtonCodes[6]);
  EXPECT_EQ(w.LabelText(4), jump->text(0).toStdU16String());
  EXPECT_TRUE(ApplyEnabled());
  // A list row dragged the same way.
  d.folderBar()->SetOpenFolder(1);
  CListBoxEx* speeds = d.pointerSpeedList();
  const QPoint row = speeds->visualItemRect(speeds->item(5)).center();
  QTest::mousePress(speeds->viewport(), Qt::LeftButton, {}, row);
  QTest::mouseMove(speeds->viewport(), row + QPoint(40, 0));
  QTest::mouseRelease(speeds->viewport(), Qt::LeftButton, {}, row + QPoint(40, 0));
  Settle();
  EXPECT_EQ(Code(4), 21);
}

// A right click on a label opens the button menu under it; rows 0-5 store 1-6, row 6 stores 9.
TEST_F(AssignmentDrawerTest, TheButtonMenuUnderALabelStoresItsRowsFunction) {
  CAPDlg& w = Open();
  const int expected[] = {1, 2, 3, 4, 5, 6, 9};
  for (int row = 0; row < 7; ++row) {
    QTest::mouseClick(w.Label(4), Qt::RightButton);
    Settle();
    CButtonMenu* menu = Menu().menu();
    ASSERT_NE(menu, nullptr) << row;
    EXPECT_TRUE(menu->isVisible());
    EXPECT_EQ(w.selectedLabel(), 4);
    EXPECT_EQ(menu->pos(), w.Label(4)->mapToGlobal(QPoint(0, w.Label(4)->height())));
    EXPECT_EQ(menu->list()->count(), 7);
    EXPECT_EQ(menu->height(), 7 * CMenuListBox::kRowHeight);
    QListWidget* list = menu->list();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
    Settle();
    EXPECT_EQ(Code(4), expected[row]) << row;
    EXPECT_EQ(Menu().menu(), nullptr) << "the main window closes the menu";
  }
  // A second menu replaces the first.
  QTest::mouseClick(w.Label(1), Qt::RightButton);
  QPointer<CButtonMenu> first = Menu().menu();
  QTest::mouseClick(w.Label(2), Qt::RightButton);
  Settle();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(first.isNull());
  EXPECT_EQ(Menu().menu()->button(), 2);
}

// Menu.xml without DOUBLE_CLICK: six rows, each still giving its own function.
TEST_F(AssignmentDrawerTest, AButtonMenuRowMissingFromMenuXmlMovesNoOtherRowsFunction) {
  XmlCursor x;
  ASSERT_TRUE(x.LoadFile(std::string(ORV_PROGRAM_DIR) + "/Menu.xml", 1 << 20));
  std::u16string text = x.GetDocument();
  const size_t from = text.find(u"<DOUBLE_CLICK>"), to = text.find(u"</DOUBLE_CLICK>");
  ASSERT_NE(from, std::u16string::npos);
  text.erase(from, to + 15 - from);
  const std::string folder = ProgramFolderWith(dir, {{"Menu.xml", ""}});
  ASSERT_TRUE(x.SetDocument(text));
  ASSERT_TRUE(x.SaveFile(folder + "Menu.xml"));
  test::RecordingWindow main;
  CButtonMenu popup(&main, 3, folder);
  ASSERT_EQ(popup.list()->count(), 6);
  EXPECT_EQ(popup.chooserRows(), (std::vector<int>{0, 1, 3, 4, 5, 6}));
  popup.OpenUnder(QRect(100, 100, 130, 26));
  QListWidget* list = popup.list();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(2)).center());
  test::RunPosted();
  ASSERT_EQ(main.messages.size(), 1u);
  EXPECT_EQ(main.messages[0].code, UM_BUTTON_MENU_PICK);
  EXPECT_EQ(ChooserCode(Chooser::kButtonMenu, static_cast<int>(main.messages[0].w)), 4);  // WINDOWS_BUTTON_4
  EXPECT_EQ(main.messages[0].l, 3);
}

TEST_F(AssignmentDrawerTest, TheMacroFolderDeletesMacrosAfterTheQuestion) {
  CAPDlg& w = Open();
  CAdvanceFunctionDlg& d = EditOut(0);
  CTaskBar& bar = *d.folderBar();
  EXPECT_TRUE(bar.folders()[CTaskBar::kMacroFolder].disabled) << "no macros";
  NameMacros({0, 1, 2, 3});
  EXPECT_FALSE(bar.folders()[CTaskBar::kMacroFolder].disabled);
  EXPECT_EQ(d.macroList()->count(), 4);
  w.sets().workingSet.profiles[0].buttons[5].code = 1001;
  w.sets().workingSet.profiles[0].buttons[6].code = 1003;
  bar.SetOpenFolder(CTaskBar::kMacroFolder);
  ClickRow(d.macroList(), 1);
  EXPECT_TRUE(bar.deleteButton()->isEnabled());
  // Cancelled: nothing changes.
  services.macroDeleteAnswers = {2};
  QTest::mouseClick(bar.deleteButton(), Qt::LeftButton);
  Settle();
  EXPECT_EQ(services.macroDeleteWarnings, 1);
  EXPECT_EQ(d.macroList()->count(), 4);
  // Confirmed: the second macro goes, its button is switched off, the later ones move down.
  QTest::mouseClick(bar.deleteButton(), Qt::LeftButton);
  Settle();
  EXPECT_EQ(services.macroDeleteWarnings, 2);
  ASSERT_EQ(d.macroList()->count(), 3);
  EXPECT_EQ(d.macroList()->item(1)->text(), QStringLiteral("Macro 2"));
  EXPECT_EQ(Code(5), 9);
  EXPECT_EQ(Code(6), 1002);
  EXPECT_EQ(w.LabelText(6), u"Macro 3");
  EXPECT_FALSE(bar.deleteButton()->isEnabled()) << "no row selected any more";
  // Told not to ask again: the question is not put.
  ASSERT_TRUE(WriteConfigValue(startup.confFolder, ConfigValue::WarningOptionFlag, 1));
  for (int left = 3; left > 0; --left) {
    ClickRow(d.macroList(), 0);
    QTest::mouseClick(bar.deleteButton(), Qt::LeftButton);
    Settle();
  }
  EXPECT_EQ(services.macroDeleteWarnings, 2);
  EXPECT_EQ(d.macroList()->count(), 0);
  EXPECT_TRUE(bar.folders()[CTaskBar::kMacroFolder].disabled) << "the last macro gone";
}

// New: after the question, the macro editor; what it saves goes to a free slot and to the
// edited button. Edit: the editor on a copy of the selected macro, which it replaces.
TEST_F(AssignmentDrawerTest, NewAndEditOpenTheMacroEditorAndAFullListRefusesANewOne) {
  CAPDlg& w = Open();
  CAdvanceFunctionDlg& d = EditOut(6);
  NameMacros({0});
  services.newMacroAnswers = {2};
  QTest::mouseClick(d.folderBar()->newButton(), Qt::LeftButton);
  Settle();
  EXPECT_EQ(services.newMacroWarnings, 1);
  EXPECT_TRUE(macroEditor.opened.empty()) << "the question was answered no";
  // Closed without saving: nothing changes.
  QTest::mouseClick(d.folderBar()->newButton(), Qt::LeftButton);
  Settle();
  ASSERT_EQ(macroEditor.opened.size(), 1u);
  EXPECT_EQ(macroEditor.opened[0], std::nullopt) << "opened on a new macro";
  EXPECT_EQ(d.macroList()->count(), 1);
  // Saved: the second slot, given to the edited button, selected in the open macro folder.
  auto fresh = std::make_unique<Macro>();
  CopyText(fresh->name, u"Fresh");
  fresh->delayMode = kDelayNone;
  fresh->events[0] = {0x41, 0, {}, 0};
  macroEditor.saves.push_back(*fresh);
  w.rules().ApplyButton();
  QTest::mouseClick(d.folderBar()->newButton(), Qt::LeftButton);
  Settle();
  EXPECT_EQ(FieldText(w.sets().workingSet.profiles[0].macros[1].name), u"Fresh");
  EXPECT_EQ(w.sets().workingSet.profiles[0].macros[1].events[0].virtualKey, 0x41);
  EXPECT_EQ(Code(6), 1001);
  EXPECT_EQ(w.LabelText(6), u"Fresh");
  EXPECT_TRUE(ApplyEnabled());
  EXPECT_TRUE(d.folderBar()->folders()[CTaskBar::kMacroFolder].open);
  EXPECT_EQ(d.macroList()->CodeOfRow(d.macroList()->currentRow()), 1001);

  // Edit on the first macro: the editor sees its copy; what it saves replaces it in place.
  auto edited = std::make_unique<Macro>(w.sets().workingSet.profiles[0].macros[0]);
  CopyText(edited->name, u"Renamed");
  macroEditor.saves.push_back(*edited);
  d.macroList()->setCurrentRow(0);
  w.sets().workingSet.profiles[0].buttons[2].code = 1000;
  // A double click: the first click's press and release, then the second press as a double click.
  const QPoint first = d.macroList()->visualItemRect(d.macroList()->item(0)).center();
  QTest::mouseClick(d.macroList()->viewport(), Qt::LeftButton, {}, first);
  QTest::mouseDClick(d.macroList()->viewport(), Qt::LeftButton, {}, first);
  Settle();
  ASSERT_EQ(macroEditor.opened.size(), 3u);
  EXPECT_EQ(macroEditor.opened[2], std::optional<std::u16string>(u"Macro 0"));
  EXPECT_EQ(FieldText(w.sets().workingSet.profiles[0].macros[0].name), u"Renamed");
  EXPECT_EQ(Code(2), 1000) << "its buttons keep it";
  EXPECT_EQ(d.macroList()->item(0)->text(), QStringLiteral("Renamed"));

  // Fifty macros: the fifty-first is refused before any question.
  for (int k = 0; k < kMacroCount; ++k)
    CopyText(w.sets().workingSet.profiles[0].macros[k].name, U("Macro " + std::to_string(k)));
  w.Refresh();
  ASSERT_EQ(d.macroList()->count(), kMacroCount);
  services.Reset();
  QTest::mouseClick(d.folderBar()->newButton(), Qt::LeftButton);
  Settle();
  EXPECT_EQ(services.newMacroWarnings, 0);
  EXPECT_EQ(macroEditor.opened.size(), 3u);
  ASSERT_EQ(services.Notices().size(), 1u);
  EXPECT_NE(services.Notices()[0].find(u"fifty"), std::u16string::npos);
  // A macro name at its full length, with characters of every kind, is shown as it is.
  std::u16string longName(kMacroNameCapacity - 1, u'\u00e9');
  longName[0] = u'<';
  longName[1] = u'&';
  CopyText(w.sets().workingSet.profiles[0].macros[7].name, longName);
  w.Refresh();
  EXPECT_EQ(d.macroList()->item(7)->text().toStdU16String(), longName);
}

TEST_F(AssignmentDrawerTest, EscOrAltF4InTheDrawerAskTheMainWindowToClose) {
  for (const auto& [key, modifiers] : {std::pair{Qt::Key_Escape, Qt::NoModifier}, std::pair{Qt::Key_F4, Qt::AltModifier}}) {
    CAPDlg& w = Open();
    CAdvanceFunctionDlg& d = EditOut(0);
    QTest::keyClick(&d, key, modifiers);
    Settle();
    EXPECT_FALSE(w.isVisible()) << key;
    window.reset();
  }
}

// Asked to slide one way while it slides the other: it ends where the last request said.
TEST_F(AssignmentDrawerTest, ASlideAskedForWhileTheOtherRunsFollowsIt) {
  CAPDlg& w = Open();
  QTest::mouseClick(w.Label(0), Qt::LeftButton);
  timers.Advance(60);
  ASSERT_TRUE(Drawer().host().sliding());
  w.HandleMessage(UM_SLIDE_CLOSE, 0, kSlideAssignmentsIn);
  Slide();
  Slide();
  EXPECT_FALSE(Dlg().isVisible());
  EXPECT_FALSE(Drawer().IsOut());
  // In again, then out again before it is in.
  QTest::mouseClick(w.Label(1), Qt::LeftButton);
  Slide();
  ASSERT_TRUE(Drawer().IsOut());
  w.HandleMessage(UM_SLIDE_CLOSE, 0, kSlideAssignmentsIn);
  timers.Advance(40);
  QTest::mouseClick(w.Label(2), Qt::LeftButton);
  Slide();
  Slide();
  EXPECT_TRUE(Drawer().IsOut());
  EXPECT_TRUE(Dlg().isVisible());
  EXPECT_EQ(Dlg().editedButton(), 2);
  EXPECT_EQ(Dlg().pos(), DrawerAnchor(DrawerKind::kAssignments, w.frameGeometry(), Dlg().size()));
}

TEST_F(AssignmentDrawerTest, TheDrawerFollowsTheMainWindowMovedMinimisedAndRestored) {
  CAPDlg& w = Open();
  CAdvanceFunctionDlg& d = EditOut(0);
  w.move(w.pos() + QPoint(37, 21));
  Settle();
  EXPECT_EQ(d.pos(), DrawerAnchor(DrawerKind::kAssignments, w.frameGeometry(), d.size()));
  w.showMinimized();
  Settle();
  EXPECT_FALSE(d.isVisible());
  w.showNormal();
  Settle();
  EXPECT_TRUE(d.isVisible());
  EXPECT_TRUE(Drawer().IsOut());
}

// Every button of the drawer says what it does; the tree and the lists take the keyboard.
TEST_F(AssignmentDrawerTest, EveryButtonHasATooltipAndTheControlsTakeTheKeyboard) {
  CAPDlg& w = Open();
  CAdvanceFunctionDlg& d = EditOut(6);
  const QList<CBitmapBtn*> buttons = d.findChildren<CBitmapBtn*>();
  EXPECT_EQ(buttons.size(), 1 + 4 + 2);  // close, the four folders' toggles, New and Delete
  for (CBitmapBtn* b : buttons) EXPECT_FALSE(b->tooltipText().isEmpty()) << b->objectName().toStdString();
  // Type-ahead and arrows move through the commands; Enter gives the button the current one.
  d.tree()->setFocus();
  QTest::keyClick(d.tree(), Qt::Key_Down);
  QTest::keyClick(d.tree(), Qt::Key_Return);
  Settle();
  EXPECT_EQ(Code(6), 402);
  d.folderBar()->SetOpenFolder(2);
  d.profileList()->setFocus();
  QTest::keyClicks(d.profileList(), "Profile 7");
  EXPECT_EQ(d.profileList()->currentRow(), 6);
  QTest::keyClick(d.profileList(), Qt::Key_Enter);
  Settle();
  EXPECT_EQ(Code(6), 38);
  EXPECT_EQ(w.LabelText(6), u"Profile 7");
}

// In game mode the labels are locked: no label is edited in the drawer either.
TEST_F(AssignmentDrawerTest, GameModeLeavesNoButtonEdited) {
  CAPDlg& w = Open();
  CAdvanceFunctionDlg& d = EditOut(6);
  w.rules().GameModeLatched(true);
  Settle();
  EXPECT_EQ(d.editedButton(), -1);
  d.folderBar()->SetOpenFolder(1);
  ClickRow(d.pointerSpeedList(), 2);
  EXPECT_EQ(Code(6), kDefaultButtonCodes[6]);
}

// Without Functions.xml the drawer has an empty tree and pointer-speed list, the profile list
// still names the ten profiles, and nothing fails.
TEST_F(AssignmentDrawerTest, WithoutFunctionsXmlTheProfilesAreStillOffered) {
  startup.programFolder = ProgramFolderWith(dir, {{"Functions.xml", ""}});
  CAPDlg& w = Open();
  CAdvanceFunctionDlg& d = EditOut(6);
  EXPECT_EQ(d.tree()->topLevelItemCount(), 0);
  EXPECT_EQ(d.pointerSpeedList()->count(), 0);
  EXPECT_EQ(d.profileList()->count(), kProfileCount);
  EXPECT_EQ(Shown().first, 0) << "the game commands' folder opens, with nothing in it";
  d.folderBar()->SetOpenFolder(2);
  ClickRow(d.profileList(), 9);
  EXPECT_EQ(Code(6), 41);
  EXPECT_EQ(w.LabelText(6), u"Profile 10");
}

}  // namespace
}  // namespace orv
