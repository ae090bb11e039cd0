// The folder bar, the menu list and the link control.
#include <gtest/gtest.h>

#include <QTest>

#include "skin/bitmap_button.h"
#include "skin/skin_controls.h"
#include "skin/skin_shell.h"
#include "tests/skin/skin_test_support.h"

namespace orv::test {
namespace {

TEST(LayOutFolders, Table) {
  struct Case {
    std::vector<bool> open;
    std::vector<int> headerTops;
    int macroHeaderHeight;
  } cases[] = {
      {{false, true, false, false}, {0, 30, 260, 290}, 50},
      {{false, false, false, false}, {0, 30, 60, 90}, 50},
      {{true, false, false, false}, {0, 250, 280, 310}, 50},
      {{false, false, false, true}, {0, 30, 60, 90}, 50},
  };
  for (const Case& c : cases) {
    auto places = LayOutFolders({220, 200, 240, 240}, c.open, 30, 176);
    ASSERT_EQ(places.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
      EXPECT_EQ(places[i].header.top(), c.headerTops[i]) << i;
      EXPECT_EQ(places[i].body.isEmpty(), !c.open[i]) << i;
    }
    EXPECT_EQ(places[3].header.height(), c.macroHeaderHeight);
  }
  auto places = LayOutFolders({220, 200, 240, 240}, {false, false, false, true}, 30, 176);
  EXPECT_EQ(places[3].body, QRect(0, 140, 176, 240));
}

class TaskBarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window.resize(400, 700);
    bar = new CTaskBar(folder.folder(), &window, QRect(0, 53, 176, 440));
    for (int i = 0; i < 4; ++i) {
      bodies[i] = new QWidget(bar);
      bar->AddFolder(QString("Folder %1").arg(i), bodies[i], heights[i]);
    }
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  }
  void ClickAt(int y) { QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(60, y)); }
  std::vector<bool> Open() {
    std::vector<bool> open;
    for (auto& f : bar->folders()) open.push_back(f.open);
    return open;
  }
  ManualTimers timers;  // the missing button pictures are waited for on the virtual clock
  SkinFolder folder;
  RecordingWindow window;
  CTaskBar* bar = nullptr;
  QWidget* bodies[4] = {};
  int heights[4] = {220, 200, 240, 240};
};

TEST_F(TaskBarTest, ClickingAHeaderOpensItsFolderAndShowsItsControl) {
  EXPECT_EQ(bar->geometry(), QRect(0, 53, 176, 440));
  ClickAt(45);  // folder 1's header
  EXPECT_EQ(Open(), (std::vector<bool>{false, true, false, false}));
  EXPECT_TRUE(bodies[1]->isVisible());
  EXPECT_EQ(bodies[1]->geometry(), QRect(0, 60, 176, 200));
  EXPECT_FALSE(bodies[0]->isVisible());
  EXPECT_EQ(bar->toggleButton(2)->geometry(), QRect(156, 260 + 7, 17, 17));
  EXPECT_EQ(bar->newButton()->geometry(), QRect(6, 290 + 22, 70, 25));
  EXPECT_EQ(bar->deleteButton()->geometry(), QRect(86, 290 + 22, 70, 25));
  EXPECT_EQ(bar->currentFolder(), 1);
  RunPosted();
  using M = RecordingWindow::Message;
  EXPECT_EQ(window.messages, (std::vector<M>{{UM_CLEAR_SELECTIONS, 0, 0}}));
  // Clicking it again closes it: all closed.
  ClickAt(45);
  EXPECT_EQ(Open(), (std::vector<bool>{false, false, false, false}));
  EXPECT_FALSE(bodies[1]->isVisible());
}

TEST_F(TaskBarTest, ClickingBelowTheLastHeaderClosesEverything) {
  bar->SetOpenFolder(2);
  ClickAt(400);
  EXPECT_EQ(Open(), (std::vector<bool>{false, false, false, false}));
  RunPosted();
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(TaskBarTest, ADisabledMacroFolderIgnoresItsHeaderAndDisablesItsButton) {
  bar->SetMacroFolderDisabled(true);
  ClickAt(90 + 10);
  EXPECT_EQ(Open(), (std::vector<bool>{false, false, false, false}));
  EXPECT_FALSE(bar->toggleButton(3)->isEnabled());
  EXPECT_TRUE(bar->toggleButton(2)->isEnabled());
  bar->folderEnabled[0] = 0;
  ClickAt(5);
  EXPECT_EQ(Open(), (std::vector<bool>{false, false, false, false}));
  RunPosted();
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(TaskBarTest, SetOpenFolderPostsNothingAndMinusOneClosesAll) {
  bar->SetOpenFolder(3);
  EXPECT_EQ(Open(), (std::vector<bool>{false, false, false, true}));
  bar->SetOpenFolder(-1);
  EXPECT_EQ(Open(), (std::vector<bool>{false, false, false, false}));
  RunPosted();
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(TaskBarTest, TheToggleButtonAndTheMacroButtonsPostToTheParent) {
  QTest::mouseClick(bar->toggleButton(0), Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(Open(), (std::vector<bool>{true, false, false, false}));
  QTest::mouseClick(bar->newButton(), Qt::LeftButton, {}, QPoint(5, 5));
  QTest::mouseClick(bar->deleteButton(), Qt::LeftButton, {}, QPoint(5, 5));
  RunPosted();
  using M = RecordingWindow::Message;
  EXPECT_EQ(window.messages,
            (std::vector<M>{{UM_CLEAR_SELECTIONS, 0, 0}, {UM_NEW_MACRO, 0, 0}, {UM_DELETE_MACRO, 0, 0}}));
}

TEST_F(TaskBarTest, TheMacroListsEventsArePosted) {
  auto* list = new QListWidget(bar);
  list->addItems({"One", "Two"});
  bar->WatchMacroList(list);
  bar->SetOpenFolder(3);
  list->show();
  list->setFocus();
  list->setCurrentRow(1);
  RunPosted();
  using M = RecordingWindow::Message;
  std::vector<M> seen = window.messages;
  EXPECT_NE(std::find(seen.begin(), seen.end(), M{UM_MACRO_LIST_SELECT, 0, 0}), seen.end());
}

TEST_F(TaskBarTest, MissingButtonPicturesAreWaitedForAndLeaveTheButtonsBlank) {
  // Eight pictures, each tried twice with a second's wait after each try.
  EXPECT_EQ(timers.clock.Pauses(), std::vector<uint32_t>(16, 1000));
  EXPECT_TRUE(bar->newButton()->image(ButtonImage::Normal).isNull());
}

TEST_F(TaskBarTest, PaintsHeadersWithTheirColours) {
  QImage shown = bar->grab().toImage();
  EXPECT_EQ(shown.pixelColor(100, 0), QColor(41, 41, 41));   // line at the header's top
  EXPECT_EQ(shown.pixelColor(120, 15), QColor(21, 21, 21));  // header fill, right of the caption
  EXPECT_EQ(shown.pixelColor(100, 420), QColor(41, 41, 41)); // below the last header
}

TEST(CMenuListBox, RowsAndClosing) {
  QWidget popup;
  auto* list = new CMenuListBox(&popup);
  list->addItems({"High", "A very long value that cannot fit in the row"});
  list->SetTextColour(QColor(255, 204, 0));
  EXPECT_EQ(list->RowText(0, 100), "High");
  EXPECT_TRUE(list->RowText(1, 80).endsWith(QChar(0x2026)));
  EXPECT_EQ(list->RowText(5, 80), "");
  EXPECT_EQ(list->sizeHintForRow(0), CMenuListBox::kRowHeight);
  popup.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&popup));
  QPointer<QWidget> guard(&popup);
  QFocusEvent out(QEvent::FocusOut);
  QCoreApplication::sendEvent(list, &out);
  EXPECT_FALSE(popup.isVisible());
}

TEST(CHyperlink, OpensItsAddressAndSizesToItsText) {
  struct Shell : SkinShell {
    bool OpenUrl(const QString& url) override {
      opened = url;
      return true;
    }
    QRect WorkArea() override { return {}; }
    QString opened;
  } shell;
  SetSkinShell(&shell);
  QWidget window;
  auto* link = new CHyperlink(&window);
  link->setText("Adobe Reader");
  link->SetURL("https://example.org/reader");
  link->SetLinkFont(SkinFont(14, 700));
  link->setGeometry(10, 10, 50, 20);
  link->SizeToContent(false);
  QFontMetrics fm(link->linkFont());
  EXPECT_EQ(link->size(), QSize(fm.horizontalAdvance("Adobe Reader") + 12, fm.height() + 12));
  window.show();
  link->setFocus();
  QTest::keyClick(link, Qt::Key_Space);
  EXPECT_EQ(shell.opened, "https://example.org/reader");
  EXPECT_TRUE(link->visited());
  SetSkinShell(nullptr);
}

}  // namespace
}  // namespace orv::test
