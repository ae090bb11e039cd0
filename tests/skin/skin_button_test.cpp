// CBitmapBtn and CColorBtn: state images, toggle mode, the right click, drops and drags,
// captions and hover, driven with QTest mouse events and Qt drag events offscreen.
#include <gtest/gtest.h>

#include <QDropEvent>
#include <QMimeData>
#include <QTest>

#include "skin/bitmap_button.h"
#include "tests/skin/skin_test_support.h"

namespace orv::test {
namespace {

TEST(ChooseStateImage, Table) {
  using enum ButtonImage;
  struct Case {
    bool toggle, latched, selected, hovering, disabled;
    ButtonImage expected;
  } cases[] = {
      {false, false, false, false, false, Normal},
      {false, false, false, true, false, Over},
      {false, false, true, true, false, Down},
      {false, true, false, true, false, Down},     // latched wins over the pointer
      {false, false, false, false, true, Disable},
      {false, false, false, true, true, Over},
      {true, false, true, true, false, Normal},    // toggle mode: only the latch counts
      {true, true, false, false, true, Down},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ChooseStateImage(c.toggle, c.latched, c.selected, c.hovering, c.disabled), c.expected)
        << c.toggle << c.latched << c.selected << c.hovering << c.disabled;
}

QImage Flat(const QColor& colour) {
  QImage image(200, 100, QImage::Format_RGB32);
  image.fill(colour);
  return image;
}

class ButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    button = new CBitmapBtn(&window);
    button->setGeometry(QRect(20, 10, 80, 30));
    button->SetSkinImages(QRect(20, 10, 80, 30), Flat(kNormalColour), Flat(kOverColour), Flat(kDownColour),
                          Flat(kDisableColour));
    button->controlId = 0x1234;
    button->show();
  }
  QColor Shown() { return button->grab().toImage().pixelColor(2, 2); }
  RecordingWindow window;
  CBitmapBtn* button = nullptr;
};

TEST_F(ButtonTest, ShowsTheImageOfItsState) {
  EXPECT_EQ(Shown(), kNormalColour);
  QTest::mouseMove(button, QPoint(10, 10));
  EXPECT_TRUE(button->hovering());
  EXPECT_EQ(Shown(), kOverColour);
  QTest::mousePress(button, Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_EQ(Shown(), kDownColour);
  QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_EQ(Shown(), kOverColour);
  button->SetLatched(true);
  EXPECT_EQ(Shown(), kDownColour);  // latched shows down even under the pointer
  button->SetLatched(false);
  QTest::mouseMove(&window, QPoint(300, 200));
  button->setEnabled(false);
  EXPECT_FALSE(button->hovering());
  EXPECT_EQ(Shown(), kDisableColour);
}

TEST_F(ButtonTest, AnEmptyStateImageDrawsNothing) {
  // A fresh button whose over image never loaded.
  CBitmapBtn fresh(&window);
  fresh.setGeometry(QRect(120, 10, 80, 30));
  fresh.SetSkinImages(QRect(0, 0, 80, 30), Flat(kNormalColour), QImage(), Flat(kDownColour), QImage());
  fresh.show();
  QTest::mouseMove(&fresh, QPoint(10, 10));
  ASSERT_TRUE(fresh.hovering());
  QImage shown = fresh.grab().toImage();
  EXPECT_NE(shown.pixelColor(2, 2), kNormalColour);
  EXPECT_NE(shown.pixelColor(2, 2), kOverColour);
}

TEST_F(ButtonTest, ANormalClickIsTheButtonsClick) {
  int clicks = 0;
  QObject::connect(button, &QAbstractButton::clicked, [&] { ++clicks; });
  QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(ButtonTest, InToggleModeTwoClicksComeBackAndSendTwoCommands) {
  button->toggle = true;
  int clicks = 0;
  QObject::connect(button, &QAbstractButton::clicked, [&] { ++clicks; });
  QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_TRUE(button->latched());
  EXPECT_EQ(Shown(), kDownColour);
  QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_FALSE(button->latched());
  EXPECT_EQ(Shown(), kNormalColour);
  using M = RecordingWindow::Message;
  EXPECT_EQ(window.messages, (std::vector<M>{{WM_COMMAND, 0x1234, ControlParam(button)},
                                             {WM_COMMAND, 0x1234, ControlParam(button)}}));
  EXPECT_EQ(clicks, 0);  // the platform's own click is not produced
}

TEST_F(ButtonTest, ARightClickSendsTheMenuCommandFirst) {
  bool downWhenSent = true;
  window.onMessage = [&](uint32_t, WParam, LParam) { downWhenSent = button->isDown(); };
  QTest::mouseClick(button, Qt::RightButton, {}, QPoint(10, 10));
  using M = RecordingWindow::Message;
  EXPECT_EQ(window.messages, (std::vector<M>{{WM_COMMAND, ID_BUTTON_MENU, ControlParam(button)}}));
  EXPECT_FALSE(downWhenSent);
}

// Drops a text on the button as Qt delivers a drag: enter, move, drop. Whether it was accepted.
bool Drop(CBitmapBtn* button, const QString& text, bool asText = true) {
  QMimeData data;
  if (asText)
    data.setText(text);
  else
    data.setData("application/octet-stream", text.toUtf8());
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
  QCoreApplication::sendEvent(button, &enter);
  QDragMoveEvent move(QPoint(6, 6), Qt::CopyAction, &data, Qt::LeftButton, {});
  QCoreApplication::sendEvent(button, &move);
  bool accepted = move.isAccepted() && move.dropAction() == Qt::CopyAction;
  QDropEvent drop(QPointF(6, 6), Qt::CopyAction, &data, Qt::LeftButton, {});
  QCoreApplication::sendEvent(button, &drop);
  return accepted;
}

TEST_F(ButtonTest, DropsOfNumbers) {
  struct Case {
    int kind, index;
    const char* text;
    bool accepted;
    uint32_t message;  // 0: nothing posted
  } cases[] = {
      {1, 3, "9", true, UM_DROP_PROFILE},
      {1, 3, "0", true, UM_DROP_PROFILE},
      {1, 3, "10", false, 0},
      {1, 3, "-1", false, 0},
      {2, 20, "16", true, UM_DROP_FUNCTION},
      {2, 20, "1200", true, UM_DROP_FUNCTION},
      {2, 20, "15", false, 0},
      {2, 20, "1201", false, 0},
      {2, 20, "abc", false, 0},
      {-1, 4, "5", false, 0},   // a button of no kind takes nothing
      {2, 20, "", false, 0},
  };
  button->RegisterDropTarget();
  for (const Case& c : cases) {
    button->dropKind = c.kind;
    button->index = c.index;
    window.messages.clear();
    EXPECT_EQ(Drop(button, QString::fromLatin1(c.text)), c.accepted) << c.text;
    EXPECT_TRUE(window.messages.empty()) << "drops are posted, not sent";
    RunPosted();
    if (c.message == 0) {
      EXPECT_TRUE(window.messages.empty()) << c.text;
    } else {
      using M = RecordingWindow::Message;
      EXPECT_EQ(window.messages, (std::vector<M>{{c.message, static_cast<WParam>(QString(c.text).toInt()), c.index}}))
          << c.text;
    }
  }
}

TEST_F(ButtonTest, DataThatIsNotTextIsRefused) {
  button->RegisterDropTarget();
  button->dropKind = 1;
  EXPECT_FALSE(Drop(button, "5", false));
  RunPosted();
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(ButtonTest, ADragSourceOffersItsIndexAsText) {
  QString dragged;
  auto saved = CBitmapBtn::DragRunner();
  CBitmapBtn::DragRunner() = [&](CBitmapBtn*, QMimeData* data) {
    dragged = data->text();
    delete data;
  };
  button->dragSource = true;
  button->index = 7;
  QTest::mousePress(button, Qt::LeftButton, {}, QPoint(10, 10));
  QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(10, 10));
  CBitmapBtn::DragRunner() = saved;
  EXPECT_EQ(dragged, "7");
  EXPECT_FALSE(button->isDown());
}

TEST_F(ButtonTest, TooltipAndCardTexts) {
  button->SetTooltip("Close the window", true);
  EXPECT_EQ(button->toolTip(), "Close the window");
  button->SetTooltip("Other", false);
  EXPECT_EQ(button->toolTip(), "");
  EXPECT_EQ(button->tooltipText(), "Other");
  // Card mode: the area right of the portrait is filled dark, the portrait part stays.
  button->resize(200, 66);
  button->SetCardImages(Flat(kNormalColour), Flat(kNormalColour), Flat(kNormalColour), Flat(kNormalColour), 200);
  button->SetCardTexts("Realm", "Name", "80", "Mage", "Elf");
  QImage shown = button->grab().toImage();
  EXPECT_TRUE(button->card());
  EXPECT_EQ(shown.pixelColor(10, 60), kNormalColour);
  EXPECT_EQ(shown.pixelColor(195, 62), QColor(17, 15, 16));
}

TEST(CaptionLayout, PlainCaptionsAreCutWithAnEllipsisOthersAreNot) {
  const QString longCaption = "A caption far too long for its button";
  CaptionLayout plain = CBitmapBtn::LayoutCaption(longCaption, QSize(60, 20), false, false, false, false);
  EXPECT_EQ(plain.kind, CaptionLayout::Plain);
  EXPECT_TRUE(plain.text.endsWith(QChar(0x2026))) << plain.text.toStdString();
  EXPECT_LE(QFontMetrics(plain.font).horizontalAdvance(plain.text), plain.rect.width());
  EXPECT_EQ(plain.rect.left(), 5);
  EXPECT_EQ(plain.rect.right() + 1, 60 - 2);
  EXPECT_EQ(plain.font.weight(), QFont::Normal);
  CaptionLayout fits = CBitmapBtn::LayoutCaption("OK", QSize(60, 20), false, false, false, true);
  EXPECT_EQ(fits.text, "OK");
  EXPECT_EQ(fits.font.weight(), QFont::Light);
  // The first layout that applies wins: rotated up, centred bold, rotated down, plain.
  struct Case {
    bool up, centre, down;
    CaptionLayout::Kind kind;
    int angle;
  } cases[] = {{true, true, true, CaptionLayout::RotatedUp, 90},
               {false, true, true, CaptionLayout::CentredBold, 0},
               {false, false, true, CaptionLayout::RotatedDown, 270}};
  for (const Case& c : cases) {
    CaptionLayout l = CBitmapBtn::LayoutCaption(longCaption, QSize(60, 20), c.up, c.centre, c.down, false);
    EXPECT_EQ(l.kind, c.kind);
    EXPECT_EQ(l.angle, c.angle);
    EXPECT_EQ(l.text, longCaption);  // not cut
    EXPECT_EQ(l.font.weight(), QFont::Bold);
  }
}

TEST(CColorBtn, PaintsItsSwatchAndKeepsTheRightEdge) {
  RecordingWindow window;
  window.show();
  CColorBtn button(&window);
  button.setGeometry(0, 0, 60, 20);
  button.SetSkinImages(QRect(0, 0, 60, 20), Flat(kNormalColour), Flat(kOverColour), Flat(kDownColour),
                       Flat(kDisableColour));
  button.colour = QColor(0, 200, 100);
  QImage shown = button.grab().toImage();
  EXPECT_EQ(shown.pixelColor(1, 1), QColor(0, 200, 100));
  EXPECT_EQ(shown.pixelColor(60 - 22, 18), QColor(0, 200, 100));
  EXPECT_EQ(shown.pixelColor(60 - 21, 10), kNormalColour);
  EXPECT_EQ(shown.pixelColor(0, 0), kNormalColour);
  EXPECT_EQ(shown.pixelColor(10, 19), kNormalColour);
}

}  // namespace
}  // namespace orv::test
