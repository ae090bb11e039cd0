// The assignment drawer's list and tree: the code of each row and command at the catalogue's
// bounds, what a click, Enter, a drag and a drop do, and how a row is drawn.
#include <gtest/gtest.h>

#include <QMimeData>
#include <QTest>

#include "skin/function_list.h"
#include "skin/function_tree.h"
#include "tests/skin/skin_test_support.h"

namespace orv::test {
namespace {

// Rows added without a code take their list's rule: each kind at its bounds and one past them.
TEST(CListBoxEx, RowsTakeTheirListsCodeAtTheBounds) {
  struct Case {
    int kind;
    int rows;
    std::vector<std::pair<int, std::optional<int>>> codes;  // row, code
  } cases[] = {
      {CListBoxEx::kPointerSpeedList, 9, {{0, 16}, {7, 23}, {8, std::nullopt}, {-1, std::nullopt}}},
      {CListBoxEx::kProfileList, 13, {{0, 32}, {9, 41}, {10, 42}, {11, 43}, {12, std::nullopt}}},
      {CListBoxEx::kMacroList, 51, {{0, 1000}, {30, 1030}, {49, 1049}, {50, std::nullopt}}},
      {CListBoxEx::kNoKind, 3, {{0, std::nullopt}, {2, std::nullopt}}},
  };
  for (const Case& c : cases) {
    CListBoxEx list;
    list.SetKind(c.kind);
    for (int r = 0; r < c.rows; ++r) list.AddRow(QString::number(r));
    for (auto [row, code] : c.codes) EXPECT_EQ(list.CodeOfRow(row), code) << c.kind << " row " << row;
  }
  // A row that states its code keeps it wherever it lands (a list whose file lacked a row).
  CListBoxEx speeds;
  speeds.SetKind(CListBoxEx::kPointerSpeedList);
  speeds.AddRow("800", 16);
  speeds.AddRow("1600", 18);
  EXPECT_EQ(speeds.CodeOfRow(1), 18);
  EXPECT_EQ(speeds.RowOfCode(18), 1);
  EXPECT_EQ(speeds.RowOfCode(17), -1);
}

TEST(CTreeCtrlEx, CommandsGiveTheirCodesWithinTheCatalogue) {
  CTreeCtrlEx tree;
  struct Case {
    int category, command;
    std::optional<int> code;
  } cases[] = {
      {1, 14, 114}, {7, 9, 709}, {3, 34, 334}, {1, 1, 101}, {6, 4, 604},
      {1, 15, std::nullopt},  // past the category's fourteen commands
      {6, 5, std::nullopt},   {8, 1, std::nullopt}, {0, 1, std::nullopt}, {4, 0, std::nullopt}, {4, -3, std::nullopt},
  };
  for (const Case& c : cases) {
    QTreeWidgetItem* category = tree.AddCategory("category", c.category);
    QTreeWidgetItem* command = tree.AddCommand(category, "command", c.command);
    EXPECT_EQ(CTreeCtrlEx::CodeOfItem(command), c.code) << c.category << "/" << c.command;
    EXPECT_EQ(CTreeCtrlEx::CodeOfItem(category), std::nullopt);
    if (c.code) EXPECT_EQ(tree.ItemOfCode(*c.code), command);
  }
  // Below a command there is no command.
  QTreeWidgetItem* deeper = new QTreeWidgetItem(tree.ItemOfCode(114), QStringList{"deeper"});
  deeper->setData(0, Qt::UserRole, 1);
  EXPECT_EQ(CTreeCtrlEx::CodeOfItem(deeper), std::nullopt);
  EXPECT_EQ(CTreeCtrlEx::CodeOfItem(nullptr), std::nullopt);
  EXPECT_EQ(tree.ItemOfCode(999), nullptr);
}

class FunctionControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FunctionDragRunner() = [this](QWidget* source, QMimeData* data) {
      dragSources.push_back(source);
      dragged.push_back(data->text());
      delete data;
    };
    owner.resize(400, 400);
    list = new CListBoxEx(&owner);
    list->SetKind(CListBoxEx::kProfileList);
    list->SetOwner(&owner);
    list->dragEnabled = true;
    list->Register();
    list->setGeometry(0, 0, 176, 200);
    for (int r = 0; r < 12; ++r) list->AddRow(QStringLiteral("Row %1").arg(r));
    tree = new CTreeCtrlEx(&owner);
    tree->SetOwner(&owner);
    tree->dragEnabled = true;
    tree->Register();
    tree->setGeometry(180, 0, 200, 300);
    QTreeWidgetItem* movement = tree->AddCategory("Movement", 1);
    for (int c = 1; c <= 14; ++c) tree->AddCommand(movement, QStringLiteral("Command %1").arg(c), c);
    movement->setExpanded(true);
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
  }
  void TearDown() override { FunctionDragRunner() = saved; }
  QPoint RowCentre(int row) {
    list->scrollToItem(list->item(row));
    return list->visualItemRect(list->item(row)).center();
  }
  QPoint ItemCentre(QTreeWidgetItem* item) { return tree->visualItemRect(item).center(); }
  std::vector<RecordingWindow::Message> Picks() {
    RunPosted();
    std::vector<RecordingWindow::Message> picks = owner.messages;
    owner.messages.clear();
    return picks;
  }

  std::function<void(QWidget*, QMimeData*)> saved = FunctionDragRunner();
  RecordingWindow owner;
  CListBoxEx* list = nullptr;
  CTreeCtrlEx* tree = nullptr;
  std::vector<QWidget*> dragSources;
  std::vector<QString> dragged;
};

using Picked = std::vector<RecordingWindow::Message>;

TEST_F(FunctionControlsTest, AClickOrEnterPostsTheCodeToTheOwner) {
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, RowCentre(11));
  EXPECT_EQ(Picks(), (Picked{{UM_PICK_FUNCTION, 43, 0}}));
  // Again on the selected row: a click assigns even so.
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, RowCentre(11));
  EXPECT_EQ(Picks(), (Picked{{UM_PICK_FUNCTION, 43, 0}}));
  QTest::keyClick(list, Qt::Key_Up);
  EXPECT_EQ(Picks(), Picked{});  // moving through the rows assigns nothing
  QTest::keyClick(list, Qt::Key_Return);
  EXPECT_EQ(Picks(), (Picked{{UM_PICK_FUNCTION, 42, 0}}));

  QTreeWidgetItem* run = tree->ItemOfCode(114);
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, ItemCentre(run));
  EXPECT_EQ(Picks(), (Picked{{UM_PICK_FUNCTION, 114, 0}}));
  QTest::keyClick(tree, Qt::Key_Up);
  QTest::keyClick(tree, Qt::Key_Enter);
  EXPECT_EQ(Picks(), (Picked{{UM_PICK_FUNCTION, 113, 0}}));
  // A category gives no code: a click picks nothing, Enter opens or closes it.
  QTreeWidgetItem* movement = tree->topLevelItem(0);
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, ItemCentre(movement));
  tree->setCurrentItem(movement);
  QTest::keyClick(tree, Qt::Key_Return);
  EXPECT_FALSE(movement->isExpanded());
  EXPECT_EQ(Picks(), Picked{});
  // Below the last row of the list, nothing.
  list->setGeometry(0, 0, 176, 300);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(50, 290));
  EXPECT_EQ(Picks(), Picked{});
}

TEST_F(FunctionControlsTest, APressThatMovesDragsTheCodeAsTextAndAssignsNothingHere) {
  QTest::mousePress(list->viewport(), Qt::LeftButton, {}, RowCentre(3));
  QTest::mouseMove(list->viewport(), RowCentre(3) + QPoint(30, 0));
  QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, RowCentre(3) + QPoint(30, 0));
  EXPECT_EQ(dragged, (std::vector<QString>{"35"}));
  QTreeWidgetItem* jump = tree->ItemOfCode(108);
  QTest::mousePress(tree->viewport(), Qt::LeftButton, {}, ItemCentre(jump));
  QTest::mouseMove(tree->viewport(), ItemCentre(jump) + QPoint(0, 40));
  QTest::mouseRelease(tree->viewport(), Qt::LeftButton, {}, ItemCentre(jump) + QPoint(0, 40));
  EXPECT_EQ(dragged, (std::vector<QString>{"35", "108"}));
  EXPECT_EQ(dragSources, (std::vector<QWidget*>{list, tree}));
  // The drag ended elsewhere: neither control assigned.
  EXPECT_EQ(Picks(), Picked{});
  // Without dragging, the same press and move is a selection, not a drag.
  list->dragEnabled = false;
  QTest::mousePress(list->viewport(), Qt::LeftButton, {}, RowCentre(3));
  QTest::mouseMove(list->viewport(), RowCentre(3) + QPoint(30, 0));
  QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, RowCentre(3) + QPoint(30, 0));
  EXPECT_EQ(dragged.size(), 2u);
}

// A text dropped back on a list or the tree is taken and changes nothing; other data is refused.
TEST_F(FunctionControlsTest, DropsOfTextAreTakenAndDoNothing) {
  for (QAbstractItemView* target : {static_cast<QAbstractItemView*>(list), static_cast<QAbstractItemView*>(tree)}) {
    QWidget* viewport = target->viewport();
    EXPECT_TRUE(viewport->acceptDrops());
    for (const char* text : {"501", "not a number", "99999"}) {
      QMimeData data;
      data.setText(QString::fromLatin1(text));
      QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, {});
      QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, {});
      QCoreApplication::sendEvent(viewport, &enter);
      EXPECT_TRUE(enter.isAccepted()) << text;
      QCoreApplication::sendEvent(viewport, &drop);
      EXPECT_TRUE(drop.isAccepted()) << text;
    }
    QMimeData image;
    image.setData("image/png", QByteArray("\x89PNG"));
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &image, Qt::LeftButton, {});
    QCoreApplication::sendEvent(viewport, &enter);
    EXPECT_FALSE(enter.isAccepted());
  }
  EXPECT_EQ(Picks(), Picked{});
  EXPECT_EQ(list->count(), 12);
  EXPECT_EQ(tree->topLevelItem(0)->childCount(), 14);
}

TEST_F(FunctionControlsTest, RowsAreDrawnWithTheBulletAndTheSelectionColours) {
  QImage bullet(3, 3, QImage::Format_RGB32);
  bullet.fill(QColor(250, 10, 10));
  list->SetBullet(bullet);
  list->setCurrentRow(2);
  list->setFocus();
  QApplication::setActiveWindow(&owner);
  const QImage picture = list->viewport()->grab().toImage();
  const QRect plain = list->visualItemRect(list->item(0));
  const QRect selected = list->visualItemRect(list->item(2));
  // Ground, bullet in its 16 x 16 place after 12 pixels, selection fill.
  EXPECT_EQ(picture.pixelColor(plain.left() + 2, plain.top() + 2), QColor(22, 22, 22));
  EXPECT_EQ(picture.pixelColor(plain.left() + 12 + 7, plain.top() + 2 + 7), QColor(250, 10, 10));
  EXPECT_EQ(picture.pixelColor(selected.left() + 2, selected.top() + 2), QColor(41, 41, 41));
  // The texts: amber on plain rows, the focused selection's own colour on the selected one.
  auto hasColour = [&](const QRect& r, const QColor& c) {
    for (int y = r.top(); y <= r.bottom(); ++y)
      for (int x = r.left() + 33; x <= r.right(); ++x)
        if (picture.pixelColor(x, y) == c) return true;
    return false;
  };
  EXPECT_TRUE(hasColour(plain, QColor(255, 204, 0)));
  EXPECT_FALSE(hasColour(plain, QColor(128, 128, 0)));
  ASSERT_TRUE(list->hasFocus());
  EXPECT_TRUE(hasColour(selected, QColor(128, 128, 0)));
  EXPECT_FALSE(hasColour(selected, QColor(255, 204, 0)));
}

}  // namespace
}  // namespace orv::test
