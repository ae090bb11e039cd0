// The skinning sequence on real dialogs, the five message dialogs and the About window.
#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "link/messages.h"
#include "link/qt/bus_pump.h"
#include "link/window_bus.h"
#include "skin/bitmap_button.h"
#include "skin/message_dialogs.h"
#include "skin/skin_controls.h"
#include "skin/skin_shell.h"
#include "skin/skin_window.h"
#include "tests/skin/skin_test_support.h"

namespace orv::test {
namespace {

class FakeShell : public SkinShell {
 public:
  FakeShell() { SetSkinShell(this); }
  ~FakeShell() override { SetSkinShell(nullptr); }
  bool OpenUrl(const QString& url) override {
    opened.push_back(url);
    return true;
  }
  QRect WorkArea() override { return QRect(0, 0, 1024, 700); }
  std::vector<QString> opened;
};

const QSize kDialogSize(300, 150);

std::string Answers(const std::string& prefix) {
  return "<BUTTON_EXIT>Exit,270,5,20,20,Close,FALSE</BUTTON_EXIT>"
         "<BUTTON_YES>Yes,60,110,70,25,Yes,FALSE</BUTTON_YES>"
         "<BUTTON_NO>No,170,110,70,25,No,FALSE</BUTTON_NO>" +
         prefix;
}

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    ::setenv("ORV_BUS_DIR", (runtime / "bus").c_str(), 1);
    MakeFolders(runtime / "bus");
    std::string skins;
    for (const char* s : {"WARNING_ONE", "WARNING_TWO", "WARNING_THREE", "WARNING_THREE2", "WARNING_FOUR", "ABOUT"})
      skins += folder.Images(s, kDialogSize);
    folder.Skins(skins);
    folder.Strings(
        "<WARNING_ONE><BUTTON_EXIT>Exit,270,5,20,20,Close,FALSE</BUTTON_EXIT>"
        "<BUTTON_OK>Ok,115,110,70,25,OK,FALSE</BUTTON_OK>"
        "<WARNING_ONE_TITLE>150,10,Notice</WARNING_ONE_TITLE>"
        "<WARNING_ONE_STRING>Text,20,40,260,60,,FALSE</WARNING_ONE_STRING></WARNING_ONE>"
        "<WARNING_TWO>" + Answers("") +
        "<WARNING_TWO_TITLE>150,10,Question</WARNING_TWO_TITLE>"
        "<WARNING_TWO_STRING>Text,20,40,260,60,,FALSE</WARNING_TWO_STRING></WARNING_TWO>"
        "<WARNING_THREE>" + Answers("<BUTTON_OPTION>Option,20,80,16,16,Do not ask again,FALSE</BUTTON_OPTION>") +
        "<WARNING_THREE_TITLE>150,10,Delete macro</WARNING_THREE_TITLE>"
        "<WARNING_THREE_OPTION>Opt,40,80,200,16,Do not show this again,FALSE</WARNING_THREE_OPTION>"
        "<WARNING_THREE_STRING>Str,20,40,260,30,Delete the macro?,FALSE</WARNING_THREE_STRING></WARNING_THREE>"
        "<WARNING_THREE2>" + Answers("<BUTTON_OPTION>Option,20,80,16,16,Do not ask again,FALSE</BUTTON_OPTION>") +
        "</WARNING_THREE2>"
        "<WARNING_FOUR>" + Answers("<BUTTON_OPTION>Option,20,80,16,16,Do not ask again,FALSE</BUTTON_OPTION>") +
        "<WARNING_FOUR_STRING>Box,20,30,260,45,,FALSE</WARNING_FOUR_STRING>"
        "<WARNING_FOUR_LICENSE>Recording replaces the keys you type.</WARNING_FOUR_LICENSE></WARNING_FOUR>"
        "<ABOUT><BUTTON_EXIT>Exit,270,5,20,20,Close,FALSE</BUTTON_EXIT>"
        "<TITLE>150,10,About</TITLE><SOFTWARE_VERSION>20,50,Software: </SOFTWARE_VERSION>"
        "<FIRMWARE_VERSION>20,80,Firmware: </FIRMWARE_VERSION></ABOUT>");
    WriteFile(conf / "Config.xml", "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<root>\r\n</root>\r\n");
  }
  void Click(CSkinDialog& dialog, const char* key) {
    CBitmapBtn* b = dialog.skin().Button(key);
    ASSERT_NE(b, nullptr) << key;
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(3, 3));
  }
  // Shows the dialog modally and runs `during` once it is up; the dialog's result.
  int Modal(CSkinDialog& dialog, const std::function<void()>& during) {
    QTimer::singleShot(0, &dialog, during);
    return dialog.DoModal();
  }
  TempDir runtime;
  TempDir conf;
  SkinFolder folder;
  ManualTimers timers;
  FakeShell shell;
};

// The skinned window as a drawer or pop-up is one: a plain widget child of another window,
// sized and shaped by its skin, its content over its picture, Enter taken by it alone.
TEST(SkinnedWindowTest, AWidgetIsDressedShapedPaintedAndKeepsEnterToItself) {
  SkinFolder folder;
  folder.Skins(folder.Images("DRAWER", QSize(120, 60)));
  folder.Strings("<DRAWER><BUTTON_CLOSE>Close,100,5,14,14,Close,FALSE</BUTTON_CLOSE></DRAWER>");
  struct Parent : QWidget {
    void keyPressEvent(QKeyEvent* e) override { keys.push_back(e->key()); }
    std::vector<int> keys;
  } parent;
  struct Drawer : SkinnedWindow<QWidget> {
    Drawer(const std::string& folder, QWidget* parent) : SkinnedWindow<QWidget>(folder, parent, Qt::Widget) {
      SkinWindowSetup setup;
      setup.section = QStringLiteral("DRAWER");
      setup.buttonKeys = {QStringLiteral("BUTTON_CLOSE")};
      shaped = SetUpSkin(setup);
    }
    void DrawContent(QPainter& p) override { p.fillRect(QRect(50, 30, 4, 4), Qt::green); }
    bool shaped = false;
  } drawer(folder.folder(), &parent);
  EXPECT_EQ(drawer.size(), QSize(120, 60));
  EXPECT_TRUE(drawer.shaped);
  EXPECT_FALSE(drawer.mask().contains(QPoint(2, 2)));  // the mask's white corner is outside
  EXPECT_TRUE(drawer.mask().contains(QPoint(60, 30)));
  EXPECT_TRUE(drawer.windowFlags() & Qt::FramelessWindowHint);
  ASSERT_NE(drawer.skin().Button(QStringLiteral("BUTTON_CLOSE")), nullptr);
  const QImage shown = drawer.Compose();
  EXPECT_EQ(shown.pixelColor(10, 40), kNormalColour);
  EXPECT_EQ(shown.pixelColor(51, 31), QColor(Qt::green));
  for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(&drawer, &press);
  }
  EXPECT_EQ(parent.keys, std::vector<int>{Qt::Key_Escape});  // only what the drawer does not swallow
}

TEST(VersionTexts, FirmwareAndSoftware) {
  const std::pair<int, const char*> firmware[] = {{203, "2.03"}, {110, "1.0a"}, {0, "Disconnected"},
                                                  {1615, "10.0f"}, {5, "0.05"}, {-3, "Disconnected"}};
  for (auto& [f, text] : firmware) EXPECT_EQ(FirmwareVersionText(f), text) << f;
  const std::pair<int, const char*> software[] = {{115, "1.15"}, {0, "1.15"}, {204, "2.04"}, {7, "7.0"}};
  for (auto& [s, text] : software) EXPECT_EQ(SoftwareVersionText(s), text) << s;
}

TEST_F(DialogTest, TheSequenceSizesShapesAndMakesTheButtons) {
  CWarningTwoDlg dialog(folder.folder(), "Save changes?");
  EXPECT_EQ(dialog.size(), kDialogSize);
  EXPECT_TRUE(dialog.windowFlags() & Qt::FramelessWindowHint);
  // The outline: everything but the white 8 x 8 corner of the mask.
  EXPECT_TRUE(dialog.mask().xored(QRegion(0, 0, 300, 150).subtracted(QRegion(0, 0, 8, 8))).isEmpty());
  CBitmapBtn* yes = dialog.skin().Button("BUTTON_YES");
  ASSERT_NE(yes, nullptr);
  EXPECT_EQ(yes->geometry(), QRect(60, 110, 70, 25));
  EXPECT_EQ(yes->tooltipText(), "Yes");
  EXPECT_EQ(yes->caption, "Yes");                       // answer buttons show their tooltip
  EXPECT_EQ(dialog.skin().Button("BUTTON_EXIT")->caption, "");
  EXPECT_EQ(yes->image(ButtonImage::Down).pixelColor(1, 1), kDownColour);
  EXPECT_EQ(yes->image(ButtonImage::Disable).pixelColor(1, 1), kNormalColour);  // no disable key
}

TEST_F(DialogTest, AWindowWithADisabledPictureAndALatchedButton) {
  folder.Skins(folder.Images("MAIN", QSize(200, 100), true));
  folder.Strings("<MAIN><ENABLE_IN_GAME_MODE>Game,10,10,40,20,Game mode,TRUE</ENABLE_IN_GAME_MODE>"
                 "<BUTTON_APPLY>Apply,60,10,40,20,Apply,FALSE</BUTTON_APPLY></MAIN>");
  QWidget window;
  SkinWindow skin;
  SkinWindowSetup setup{"MAIN", true, true, {"ENABLE_IN_GAME_MODE", "BUTTON_APPLY", "BUTTON_MISSING"}, true, true};
  skin.Skin(&window, folder.folder(), setup);
  EXPECT_EQ(window.size(), QSize(200, 100));
  EXPECT_EQ(skin.images.disable.pixelColor(0, 0), kDisableColour);
  ASSERT_EQ(skin.buttons().size(), 2u);
  EXPECT_TRUE(skin.Button("ENABLE_IN_GAME_MODE")->latched());
  EXPECT_FALSE(skin.Button("BUTTON_APPLY")->latched());
  EXPECT_EQ(skin.Button("BUTTON_APPLY")->image(ButtonImage::Disable).pixelColor(0, 0), kDisableColour);
  EXPECT_EQ(skin.Button("BUTTON_MISSING"), nullptr);
  EXPECT_TRUE(skin.ApplyOutline(&window));
  // A mask that is white all over gives no outline: a window that needs one cannot be made.
  QImage white(200, 100, QImage::Format_RGB32);
  white.fill(Qt::white);
  white.save(QString::fromStdString(folder.path("skins/MAIN_MASK.bmp")));
  QWidget second;
  SkinWindow noOutline;
  try {
    noOutline.Skin(&second, folder.folder(), setup);
    ADD_FAILURE() << "no exception";
  } catch (const xException& e) {
    EXPECT_EQ(e.message(), "Mask is not initialize");
  }
}

TEST_F(DialogTest, DeferredButtonPicturesComeAfterTheWindowAndDamagedOnesLeaveTheNormal) {
  // A later section names a down picture whose header reads but whose data is cut off: the
  // earlier section's down picture is taken instead; the over picture of the only section is
  // damaged the same way and leaves the normal picture.
  std::string first = folder.Images("MAIN", QSize(200, 100), true);
  {
    std::string whole = test::ReadFile(folder.path("skins/MAIN_OVER.png"));
    test::WriteFile(folder.path("skins/MAIN_OVER.png"), whole.substr(0, whole.size() / 3));
    test::WriteFile(folder.path("skins/cut.png"), whole.substr(0, whole.size() / 3));
  }
  folder.Skins(first + "<MAIN><MAIN_DOWN>cut.png</MAIN_DOWN></MAIN>");
  folder.Strings("<MAIN><BUTTON_APPLY>Apply,60,10,40,20,Apply,FALSE</BUTTON_APPLY></MAIN>");
  QWidget window;
  SkinWindow skin;
  SkinWindowSetup setup{"MAIN", true, true, {"BUTTON_APPLY"}, true, true};
  setup.deferButtonStates = true;
  skin.Skin(&window, folder.folder(), setup);
  CBitmapBtn* apply = skin.Button("BUTTON_APPLY");
  ASSERT_NE(apply, nullptr);
  // Until the pictures come, every state shows the normal picture.
  EXPECT_EQ(apply->image(ButtonImage::Down).pixelColor(0, 0), kNormalColour);
  EXPECT_TRUE(test::WaitUntil([&] {
    QCoreApplication::processEvents();
    return apply->image(ButtonImage::Disable).pixelColor(0, 0) == kDisableColour &&
           apply->image(ButtonImage::Down).pixelColor(0, 0) == kDownColour;
  }));
  EXPECT_EQ(apply->image(ButtonImage::Over).pixelColor(0, 0), kNormalColour);
  EXPECT_EQ(skin.images.down.pixelColor(0, 0), kDownColour);

  // A required picture that is not there at all still ends the window at once.
  std::remove(folder.path("skins/MAIN_DOWN.png").c_str());
  std::remove(folder.path("skins/cut.png").c_str());
  QWidget second;
  SkinWindow missing;
  EXPECT_THROW(missing.Skin(&second, folder.folder(), setup), xException);
}

TEST_F(DialogTest, PicturesDecodedAheadAreTakenByTheFirstWindowOnly) {
  folder.Skins(folder.Images("MAIN", QSize(200, 100), true));
  SkinWindowSetup setup{"MAIN", true, true, {}, false, true};
  PrefetchSkinPictures(folder.folder(), "MAIN");
  // The file changes once its decoding is done (a 200 x 100 picture takes well under the pause):
  // the window made next shows what was decoded ahead, with no second reading; the window after
  // it reads the file anew.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  QImage red(200, 100, QImage::Format_RGB32);
  red.fill(Qt::red);
  ASSERT_TRUE(red.save(QString::fromStdString(folder.path("skins/MAIN_NORMAL.png"))));
  QWidget first, second;
  SkinWindow ahead, anew;
  ahead.Skin(&first, folder.folder(), setup);
  EXPECT_EQ(ahead.images.normal.pixelColor(5, 5), kNormalColour);
  EXPECT_EQ(first.size(), QSize(200, 100));
  ASSERT_TRUE(ahead.outline.has_value());
  anew.Skin(&second, folder.folder(), setup);
  EXPECT_EQ(anew.images.normal.pixelColor(5, 5), QColor(Qt::red));

  // A section Skins.xml does not have prefetches nothing and changes nothing.
  PrefetchSkinPictures(folder.folder(), "NO_SUCH_WINDOW");
  QWidget third;
  SkinWindow later;
  later.Skin(&third, folder.folder(), setup);
  EXPECT_EQ(later.images.normal.pixelColor(5, 5), QColor(Qt::red));
}

TEST_F(DialogTest, ALaterSectionOfSkinsXmlOverridesPictureByPicture) {
  std::string first = folder.Images("WARNING_TWO", kDialogSize);
  QImage other(kDialogSize, QImage::Format_RGB32);
  other.fill(QColor(1, 2, 3));
  other.save(QString::fromStdString(folder.path("skins/other.png")));
  folder.Skins(first + "<WARNING_TWO><WARNING_TWO_DOWN>other.png</WARNING_TWO_DOWN></WARNING_TWO>");
  CWarningTwoDlg dialog(folder.folder(), "Two sections");
  EXPECT_EQ(dialog.skin().images.down.pixelColor(5, 5), QColor(1, 2, 3));
  EXPECT_EQ(dialog.skin().images.over.pixelColor(5, 5), kOverColour);
}

TEST_F(DialogTest, AnswersOfTheYesNoQuestion) {
  const std::pair<const char*, int> answers[] = {{"BUTTON_YES", 1}, {"BUTTON_NO", 2}, {"BUTTON_EXIT", 2}};
  for (auto& [key, result] : answers) {
    CWarningTwoDlg dialog(folder.folder(), "Save changes?");
    EXPECT_EQ(Modal(dialog, [&] { Click(dialog, key); }), result) << key;
  }
  CWarningTwoDlg closed(folder.folder(), "Save changes?");
  EXPECT_EQ(Modal(closed, [&] { closed.close(); }), 2);
  CWarningTwoDlg escaped(folder.folder(), "Save changes?");
  EXPECT_EQ(Modal(escaped, [&] { QTest::keyClick(&escaped, Qt::Key_Escape); }), 2);
  CWarningTwoDlg enter(folder.folder(), "Save changes?");
  EXPECT_EQ(Modal(enter, [&] {
              QTest::keyClick(&enter, Qt::Key_Return);  // no default answer
              EXPECT_TRUE(enter.isVisible());
              Click(enter, "BUTTON_NO");
            }),
            2);
}

TEST_F(DialogTest, ACountdownEndsWithNoAfterTenTicks) {
  CWarningTwoDlg dialog(folder.folder(), "Keep the new lift distance?");
  dialog.SetTitle("LiftDistance_Confirm");
  EXPECT_EQ(dialog.windowTitle(), "LiftDistance_Confirm");
  EXPECT_EQ(CWarningTwoDlg::Counter(), 10);  // the first paint shows 10
  std::vector<int> seen;
  int result = Modal(dialog, [&] {
    for (int tick = 1; tick <= 10; ++tick) {
      timers.Advance(1000);
      seen.push_back(CWarningTwoDlg::Counter());
    }
  });
  EXPECT_EQ(result, 2);
  EXPECT_EQ(seen, (std::vector<int>{9, 8, 7, 6, 5, 4, 3, 2, 1, 0}));
  EXPECT_EQ(timers.now(), 10000u);
}

TEST_F(DialogTest, WithoutATitleThereIsNoCountdown) {
  CWarningTwoDlg dialog(folder.folder(), "Question");
  EXPECT_FALSE(dialog.countingDown());
  EXPECT_EQ(Modal(dialog, [&] {
              timers.Advance(60000);
              EXPECT_TRUE(dialog.isVisible());
              Click(dialog, "BUTTON_YES");
            }),
            1);
}

TEST_F(DialogTest, TheCountdownTextChangesWithTheCounter) {
  CWarningTwoDlg dialog(folder.folder(), "Keep it?");
  dialog.SetTitle("LiftDistance_Confirm");
  dialog.show();
  QImage first = dialog.Compose();
  timers.Advance(1000);
  QImage second = dialog.Compose();
  // Only the countdown line, 40 pixels below the message's top, changes.
  EXPECT_EQ(first.copy(0, 0, 300, 80), second.copy(0, 0, 300, 80));
  EXPECT_NE(first.copy(20, 80, 260, 20), second.copy(20, 80, 260, 20));
  dialog.done(2);
}

TEST_F(DialogTest, OptionFlagsAreWrittenOnYesOnly) {
  struct Case {
    const char* section;
    ConfigValue flag;
    bool latch;
    const char* answer;
    int expected;  // -1: not written
  } cases[] = {
      {"WARNING_THREE", ConfigValue::WarningOptionFlag, true, "BUTTON_YES", 1},
      {"WARNING_THREE", ConfigValue::WarningOptionFlag, false, "BUTTON_YES", 0},
      {"WARNING_THREE", ConfigValue::WarningOptionFlag, true, "BUTTON_NO", -1},
      {"WARNING_THREE2", ConfigValue::WarningThree2OptionFlag, true, "BUTTON_YES", 1},
      {"WARNING_THREE2", ConfigValue::WarningThree2OptionFlag, true, "BUTTON_EXIT", -1},
      {"WARNING_FOUR", ConfigValue::WarningFourOptionFlag, true, "BUTTON_YES", 1},
      {"WARNING_FOUR", ConfigValue::WarningFourOptionFlag, false, "BUTTON_NO", -1},
  };
  for (const Case& c : cases) {
    WriteFile(conf / "Config.xml", "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<root>\r\n</root>\r\n");
    std::unique_ptr<COptionWarningDlg> dialog;
    std::string section = c.section;
    if (section == "WARNING_THREE") dialog = std::make_unique<CWarningThreeDlg>(folder.folder(), conf.path());
    if (section == "WARNING_THREE2") dialog = std::make_unique<CWarningThree2Dlg>(folder.folder(), conf.path());
    if (section == "WARNING_FOUR") dialog = std::make_unique<CWarningFourDlg>(folder.folder(), conf.path());
    ASSERT_NE(dialog->optionButton(), nullptr);
    EXPECT_TRUE(dialog->optionButton()->toggle);
    int result = Modal(*dialog, [&] {
      if (c.latch) Click(*dialog, "BUTTON_OPTION");
      EXPECT_TRUE(dialog->isVisible());  // the option does not answer
      Click(*dialog, c.answer);
    });
    EXPECT_EQ(result, std::string(c.answer) == "BUTTON_YES" ? 1 : 2) << c.section << c.answer;
    std::string config = ReadFile(conf / "Config.xml");
    if (c.expected < 0) {
      EXPECT_EQ(config.find("OPTION_FLAG"), std::string::npos) << c.section << " " << c.answer;
    } else {
      EXPECT_EQ(ReadConfigValue(conf.path(), c.flag), c.expected) << c.section << " " << c.answer;
      EXPECT_NE(config.find("OPTION_FLAG>" + std::to_string(c.expected) + "<"), std::string::npos);
    }
  }
}

TEST_F(DialogTest, TheFourthDialogShowsItsNoticeInAReadOnlyBox) {
  CWarningFourDlg dialog(folder.folder(), conf.path());
  ASSERT_NE(dialog.notice(), nullptr);
  EXPECT_EQ(dialog.notice()->objectName(), "4353");
  EXPECT_TRUE(dialog.notice()->isReadOnly());
  EXPECT_EQ(dialog.notice()->geometry(), QRect(20, 30, 260, 45));
  EXPECT_EQ(dialog.notice()->toPlainText(), "Recording replaces the keys you type.");
  EXPECT_EQ(dialog.notice()->palette().color(QPalette::Base), QColor(32, 32, 32));
  EXPECT_EQ(dialog.notice()->palette().color(QPalette::Text), kAmber);
}

TEST_F(DialogTest, TheNoticeNeedsItsPicturesTheQuestionDoesNot) {
  folder.Skins("");
  try {
    CWarningOneDlg notice("Please reduce Macro Size.", folder.folder());
    ADD_FAILURE() << "no exception";
  } catch (const xException& e) {
    EXPECT_EQ(e.message(), "Can't open the picture for software");
  }
  // Each missing picture cost two attempts with a second's wait after each.
  EXPECT_EQ(timers.clock.Pauses().size(), 0u);  // no keys at all: nothing was tried
  CWarningTwoDlg question(folder.folder(), "Still asks");
  EXPECT_EQ(question.skin().Button("BUTTON_YES")->geometry(), QRect(60, 110, 70, 25));
  EXPECT_EQ(Modal(question, [&] { Click(question, "BUTTON_YES"); }), 1);
}

TEST_F(DialogTest, AMissingPictureFileIsWaitedForAndReported) {
  folder.Skins(folder.Images("WARNING_ONE", kDialogSize) +
               "<WARNING_ONE><WARNING_ONE_OVER>gone.jpg</WARNING_ONE_OVER></WARNING_ONE>");
  // The later section names a file that is not there: the earlier picture stays.
  CWarningOneDlg notice("Text", folder.folder());
  EXPECT_EQ(timers.clock.Pauses(), (std::vector<uint32_t>{1000, 1000}));
  EXPECT_EQ(notice.skin().images.over.pixelColor(0, 0), kOverColour);
  folder.Skins("<WARNING_ONE><WARNING_ONE_NORMAL>x.jpg</WARNING_ONE_NORMAL></WARNING_ONE>");
  WriteFile(folder.path("skins/x.jpg"), "not a picture");
  EXPECT_THROW(CWarningOneDlg("Text", folder.folder()), xException);
}

TEST_F(DialogTest, WithoutStringsOnlyClosingRemains) {
  folder.Strings("");
  CWarningTwoDlg dialog(folder.folder(), "No texts");
  EXPECT_TRUE(dialog.skin().buttons().empty());
  EXPECT_EQ(dialog.size(), kDialogSize);
  EXPECT_EQ(Modal(dialog, [&] { dialog.close(); }), 2);
  WriteFile(folder.path("Strings.xml"), "<ROOT><WARNING_TWO>");  // unparsable
  CWarningTwoDlg broken(folder.folder(), "Broken texts");
  EXPECT_TRUE(broken.skin().buttons().empty());
}

TEST_F(DialogTest, BadControlEntriesMakeNoUsableButton) {
  folder.Strings(
      "<WARNING_TWO><BUTTON_YES>Yes,60,110,-70,25,Yes,FALSE</BUTTON_YES><BUTTON_NO>No</BUTTON_NO>"
      "<BUTTON_EXIT>Exit,99999999,99999999,20,20,Close,FALSE</BUTTON_EXIT>"
      "<WARNING_TWO_STRING>x,a,b,c,d,,</WARNING_TWO_STRING></WARNING_TWO>");
  CWarningTwoDlg dialog(folder.folder(), "Bad entries");
  EXPECT_FALSE(dialog.skin().Button("BUTTON_YES")->isVisibleTo(&dialog));
  EXPECT_FALSE(dialog.skin().Button("BUTTON_NO")->isVisibleTo(&dialog));
  EXPECT_FALSE(dialog.rect().intersects(dialog.skin().Button("BUTTON_EXIT")->geometry()));
  EXPECT_FALSE(dialog.Compose().isNull());
}

TEST_F(DialogTest, BottomRightPlacement) {
  CWarningTwoDlg dialog(folder.folder(), "On-board?");
  dialog.SetBottomRight(true);
  Modal(dialog, [&] {
    EXPECT_EQ(dialog.frameGeometry().bottomRight(), QPoint(1023, 699));
    Click(dialog, "BUTTON_NO");
  });
}

TEST_F(DialogTest, ThePdfNoticeIsShownOnceWithItsLink) {
  auto first = std::make_unique<CWarningOneDlg>(kPdfReaderMessage, folder.folder());
  first->SetPdfMode(true);
  ASSERT_TRUE(first->Create());
  EXPECT_TRUE(first->bottomRight());
  CWarningOneDlg second(kPdfReaderMessage, folder.folder());
  second.SetPdfMode(true);
  EXPECT_EQ(second.DoModal(), -1);  // not shown at all
  EXPECT_FALSE(second.isVisible());
  // The link: its text, its address as tooltip, opened through the desktop's handler.
  CHyperlink* link = first->link();
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(link->text(), "Adobe Reader");
  EXPECT_EQ(link->toolTip(), kPdfReaderAddress);
  // The link lies over the message's own words "Adobe Reader", which stay on one line: the
  // dialog with its link looks like the message alone, letter for letter.
  QFontMetrics fm(SkinFont(14, 700));
  EXPECT_LE(link->height(), fm.leading() + 3 * fm.height() / 2);
  EXPECT_GE(link->height(), fm.height());
  EXPECT_TRUE(first->DisplayedMessage().contains(QString("Adobe") + QChar(0x00A0) + "Reader"));
  QImage underLink = first->Compose().copy(link->geometry()).convertToFormat(QImage::Format_RGB32);
  QImage linkItself = link->grab().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(underLink.size(), linkItself.size());
  // Where the ink lies in each: the same place within a pixel.
  auto centre = [](const QImage& image) {
    double sx = 0, sy = 0, total = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) {
        double ink = std::max(0, qRed(image.pixel(x, y)) - kNormalColour.red());
        sx += ink * x;
        sy += ink * y;
        total += ink;
      }
    return std::tuple{total, sx / std::max(total, 1.0), sy / std::max(total, 1.0)};
  };
  auto [inkUnder, xUnder, yUnder] = centre(underLink);
  auto [inkLink, xLink, yLink] = centre(linkItself);
  EXPECT_GT(inkUnder, 1000.0);  // the words are there
  EXPECT_NEAR(inkLink, inkUnder, inkUnder * 0.1);
  EXPECT_NEAR(xLink, xUnder, 1.0);
  EXPECT_NEAR(yLink, yUnder, 1.0);
  first->show();
  QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(2, 2));
  EXPECT_EQ(shell.opened, (std::vector<QString>{kPdfReaderAddress}));
  EXPECT_TRUE(link->visited());
  first.reset();
  // Once the first is gone, the next may show.
  CWarningOneDlg third(kPdfReaderMessage, folder.folder());
  third.SetPdfMode(true);
  EXPECT_TRUE(third.Create());
}

TEST_F(DialogTest, BothButtonsOfTheNoticeClose) {
  for (const char* key : {"BUTTON_OK", "BUTTON_EXIT"}) {
    CWarningOneDlg notice("Please reduce Macro Size.", folder.folder());
    EXPECT_EQ(Modal(notice, [&] { Click(notice, key); }), 2) << key;
  }
}

TEST_F(DialogTest, AboutShowsTheVersionsAndRedrawsThemWhenTheAgentSaysSo) {
  QtBusPump pump;
  WriteFirmwareVersionFile(conf.path(), 203);
  CAboutDialog about(folder.folder(), conf.path());
  EXPECT_EQ(about.windowTitle(), QString::fromStdU16String(std::u16string(kAboutWindowTitle)));
  WindowHandle handle = bus::FindWindow(kAboutWindowTitle);
  ASSERT_NE(handle, 0u);
  const QRect firmwareArea(20, 80, 200, 40);
  QImage at203 = about.skin().images.normal.copy(firmwareArea);
  EXPECT_NE(at203, about.skin().images.disable.copy(firmwareArea));  // text drawn on the clean picture
  WriteFirmwareVersionFile(conf.path(), 0);
  EXPECT_EQ(bus::Send(handle, UM_VERSION_CHANGED, 0, 0), 1);
  QImage disconnected = about.skin().images.normal.copy(firmwareArea);
  EXPECT_NE(at203, disconnected);
  // Back to 203: exactly the first picture, nothing left over from the text before.
  WriteFirmwareVersionFile(conf.path(), 203);
  bus::Send(handle, UM_VERSION_CHANGED, 0, 0);
  EXPECT_EQ(about.skin().images.normal.copy(firmwareArea), at203);
}

TEST_F(DialogTest, AboutClosesOnlyByItsExitButton) {
  CAboutDialog about(folder.folder(), conf.path());
  EXPECT_EQ(Modal(about, [&] {
              QTest::keyClick(&about, Qt::Key_Return);
              EXPECT_TRUE(about.isVisible());
              Click(about, "BUTTON_EXIT");
            }),
            2);
}

TEST_F(DialogTest, AboutIsDraggedByItsBackground) {
  CAboutDialog about(folder.folder(), conf.path());
  about.move(100, 100);
  about.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
  QPoint start = about.pos();
  QTest::mousePress(&about, Qt::LeftButton, {}, QPoint(150, 60));
  QTest::mouseMove(&about, QPoint(170, 90));
  QTest::mouseRelease(&about, Qt::LeftButton, {}, QPoint(170, 90));
  EXPECT_EQ(about.pos(), start + QPoint(20, 30));
}

}  // namespace
}  // namespace orv::test
