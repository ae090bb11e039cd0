// Tests of the skin art tool: its fit and layout checks refuse what the windows could not
// show, its output is deterministic, the masks are exact, the art sits at the positions the
// program draws into, and the three XML files hold every section and key the windows read.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QFontMetrics>
#include <QPainter>
#include <QGuiApplication>
#include <QImageReader>
#include <QSet>
#include <map>
#include <string>

#include "art_generate.h"
#include "art_paint.h"
#include "profile/profile_files.h"
#include "profile/xml_cursor.h"

using namespace orv::art;

namespace {

QImage Decode(const QByteArray& bytes, QByteArray* format = nullptr) {
  QBuffer buffer;
  buffer.setData(bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  if (format) *format = reader.format();
  return reader.read();
}

// A small valid window to change one thing at a time.
Window SmallWindow() {
  Window w;
  w.section = QStringLiteral("TEST_WINDOW");
  w.size = QSize(300, 160);
  Control ok;
  ok.key = QStringLiteral("BUTTON_OK");
  ok.rect = QRect(100, 110, 90, 30);
  ok.caption = QStringLiteral("OK");
  ok.tooltip = QStringLiteral("Closes the window");
  w.controls.push_back(ok);
  Text title;
  title.key = QStringLiteral("TITLE");
  title.pos = QPoint(150, 20);
  title.text = QStringLiteral("Title");
  title.centred = true;
  w.texts.push_back(title);
  return w;
}

struct Product& Skin() {
  static Product product = ProductSkin();
  return product;
}

const FileSet& Files() {
  static FileSet files;
  static bool made = false;
  if (!made) {
    QStringList errors;
    made = Generate(Skin(), &files, &errors);
    EXPECT_TRUE(made) << errors.join(QLatin1Char('\n')).toStdString();
  }
  return files;
}

// Reads a value the way the windows do: the section among the root's children, the key
// among the section's children.
bool ReadValue(const QByteArray& xml, const QString& section, const QString& key, QString* value) {
  orv::XmlCursor cursor;
  if (!cursor.LoadBytes(std::string_view(xml.constData(), size_t(xml.size())))) return false;
  if (!cursor.FindChildElement(section.toStdU16String())) return false;
  if (key.isEmpty()) {
    *value = QString::fromStdU16String(cursor.GetChildText());
    return true;
  }
  cursor.EnterElement();
  if (!cursor.FindChildElement(key.toStdU16String())) return false;
  *value = QString::fromStdU16String(cursor.GetChildText());
  return true;
}

// The control entry parser of the windows: label, x, y, width, height, tooltip, flag.
struct ParsedEntry {
  QRect rect;
  QString tooltip;
  bool latched;
};
ParsedEntry ParseEntry(const QString& v) {
  const QString rest = v.mid(v.indexOf(QLatin1Char(',')) + 1);
  const QStringList n = rest.split(QLatin1Char(','));
  ParsedEntry e;
  e.rect = QRect(n.value(0).toInt(), n.value(1).toInt(), n.value(2).toInt(), n.value(3).toInt());
  e.latched = rest.contains(QStringLiteral("TRUE"));
  const QString cut = rest.left(rest.lastIndexOf(QLatin1Char(',')));
  e.tooltip = cut.mid(cut.lastIndexOf(QLatin1Char(',')) + 1);
  return e;
}

}  // namespace

// --- the checks refuse what a window could not show ---------------------------------------------

struct FaultCase {
  const char* name;
  std::function<void(Window&)> change;
  const char* expected;  // part of the message
};

TEST(ArtChecks, RefuseWhatTheWindowCannotShow) {
  const FaultCase cases[] = {
      {"caption wider than its button", [](Window& w) { w.controls[0].caption = QStringLiteral("A caption far too long"); },
       "does not fit"},
      {"caption the program draws", [](Window& w) {
         w.controls[0].caption.clear();
         w.controls[0].drawn = CaptionLayout::Plain;
         w.controls[0].tooltip = QStringLiteral("Closes the window now");
       }, "does not fit"},
      {"rotated caption longer than the tab", [](Window& w) {
         w.controls[0].rect = QRect(10, 40, 20, 60);
         w.controls[0].caption.clear();
         w.controls[0].drawn = CaptionLayout::RotatedUp;
         w.controls[0].tooltip = QStringLiteral("Mouse Properties");
       }, "does not fit"},
      {"title wider than the window", [](Window& w) { w.texts[0].text = QStringLiteral("A title far wider than this small window can hold"); },
       "does not fit"},
      {"version appended past the edge", [](Window& w) {
         w.texts[0].centred = false;
         w.texts[0].pos = QPoint(150, 60);
         w.texts[0].text = QStringLiteral("Firmware: ");
         w.texts[0].suffix = QStringLiteral("Disconnected");
       }, "does not fit"},
      {"comma in a tooltip", [](Window& w) { w.controls[0].tooltip = QStringLiteral("Saves, then closes"); }, "comma"},
      {"comma in a positioned text", [](Window& w) { w.texts[0].text = QStringLiteral("Yes, no"); }, "comma"},
      {"TRUE in the tooltip of an unlatched button", [](Window& w) { w.controls[0].tooltip = QStringLiteral("TRUE colours"); },
       "TRUE"},
      {"button outside the window", [](Window& w) { w.controls[0].rect.moveLeft(250); }, "outside"},
      {"overlapping buttons", [](Window& w) {
         Control c = w.controls[0];
         c.key = QStringLiteral("BUTTON_NO");
         c.rect.translate(40, 0);
         w.controls.push_back(c);
       }, "overlap"},
      {"button without tooltip", [](Window& w) { w.controls[0].tooltip.clear(); }, "no tooltip"},
      {"message taller than its rectangle", [](Window& w) {
         w.messages.push_back(Message{QStringLiteral("one two three four five six seven eight nine ten eleven twelve "
                                                     "thirteen fourteen fifteen sixteen seventeen"),
                                      QRect(20, 50, 120, 30), 12});
       }, "does not fit its rectangle"},
      {"word wider than the message rectangle", [](Window& w) {
         w.messages.push_back(Message{QStringLiteral("Incomprehensibilities"), QRect(20, 50, 60, 80), 12});
       }, "does not fit its rectangle"},
  };
  EXPECT_TRUE(CheckWindow(SmallWindow()).isEmpty()) << CheckWindow(SmallWindow()).join(QLatin1Char('\n')).toStdString();
  for (const FaultCase& c : cases) {
    Window w = SmallWindow();
    c.change(w);
    const QStringList errors = CheckWindow(w);
    ASSERT_FALSE(errors.isEmpty()) << c.name;
    EXPECT_TRUE(errors.join(QLatin1Char('\n')).contains(QLatin1String(c.expected)))
        << c.name << ": " << errors.join(QLatin1Char('\n')).toStdString();
  }
}

TEST(ArtChecks, TheReaderLinkStaysInsideTheNoticeMessage) {
  const Window* notice = nullptr;
  for (const Window& w : Skin().windows)
    if (w.section == QStringLiteral("WARNING_ONE")) notice = &w;
  ASSERT_NE(notice, nullptr);
  EXPECT_TRUE(CheckWindow(*notice).isEmpty());
  Window narrow = *notice;
  for (Control& c : narrow.controls)
    if (c.key == narrow.linkMessageKey) c.rect.setWidth(300);
  narrow.messages.clear();
  const QStringList errors = CheckWindow(narrow);
  ASSERT_EQ(errors.size(), 1);
  EXPECT_TRUE(errors[0].contains(QStringLiteral("reader link")));
}

TEST(ArtChecks, ControlsOfDifferentLayoutsMayShareARectangle) {
  Window w = SmallWindow();
  Control a = w.controls[0];
  a.layouts = kFirstLayout;
  Control b = a;
  b.key = QStringLiteral("BUTTON_PASTE_OK");
  b.layouts = kSecondLayout;
  w.controls = {a, b};
  EXPECT_TRUE(CheckWindow(w).isEmpty());
  w.controls[1].layouts = kBothLayouts;
  EXPECT_FALSE(CheckWindow(w).isEmpty());
}

TEST(ArtChecks, GenerationFailsOnAMenuTextTooWide) {
  Product product;
  product.menus = {MenuSection{QStringLiteral("INTENSITY_MENU"), {{QStringLiteral("HIGH"), QStringLiteral("Blinding brightness")}}}};
  product.menuFits = {MenuFit{QStringLiteral("INTENSITY_MENU"), 60, 12, false, QStringLiteral("the button")}};
  FileSet files;
  QStringList errors;
  EXPECT_FALSE(Generate(product, &files, &errors));
  ASSERT_EQ(errors.size(), 1);
  EXPECT_TRUE(errors[0].contains(QStringLiteral("HIGH")));
  EXPECT_TRUE(files.empty());
}

// --- masks and images --------------------------------------------------------------------------------

TEST(ArtImages, MaskIsExactlyWhiteOutsideAndBlackInside) {
  const QImage mask = MaskOf(ChamferedRect(QRectF(0, 0, 40, 30), 8), QSize(40, 30));
  ASSERT_EQ(mask.size(), QSize(40, 30));
  EXPECT_EQ(mask.pixel(0, 0), qRgb(255, 255, 255));   // cut corner
  EXPECT_EQ(mask.pixel(39, 29), qRgb(255, 255, 255));
  EXPECT_EQ(mask.pixel(20, 15), qRgb(0, 0, 0));
  EXPECT_EQ(mask.pixel(0, 15), qRgb(0, 0, 0));        // the straight edge is inside
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      QRgb c = mask.pixel(x, y);
      ASSERT_TRUE(c == qRgb(255, 255, 255) || c == qRgb(0, 0, 0)) << x << "," << y;
    }
}

// The pictures of each window as Skins.xml names them, decoded from the written files.
std::map<QString, QImage> WindowImages(const Window& w) {
  std::map<QString, QImage> out;
  orv::XmlCursor cursor;
  const QByteArray& skins = Files().at(QStringLiteral("Skins.xml"));
  cursor.LoadBytes(std::string_view(skins.constData(), size_t(skins.size())));
  if (!cursor.FindChildElement(w.section.toStdU16String())) return out;
  cursor.EnterElement();
  while (cursor.FindChildElement()) {
    const QString key = QString::fromStdU16String(cursor.GetChildTagName());
    const QString file = QStringLiteral("skins/") + QString::fromStdU16String(cursor.GetChildText());
    if (Files().count(file)) out[key] = Decode(Files().at(file)).convertToFormat(QImage::Format_RGB32);
  }
  return out;
}

TEST(ArtImages, EveryWindowImageHasTheWindowSizeAndNothingOutsideTheMask) {
  for (const Window& w : Skin().windows) {
    const auto images = WindowImages(w);
    auto m = images.find(w.section + QStringLiteral("_MASK"));
    ASSERT_NE(m, images.end()) << w.section.toStdString();
    const QImage& mask = m->second;
    int inside = 0;
    for (int y = 0; y < mask.height(); ++y)
      for (int x = 0; x < mask.width(); ++x) inside += mask.pixel(x, y) == qRgb(0, 0, 0);
    EXPECT_GT(inside, mask.width() * mask.height() * 8 / 10) << w.section.toStdString();
    EXPECT_LT(inside, mask.width() * mask.height()) << w.section.toStdString() << ": the outline is not shaped";
    for (const auto& [key, img] : images) {
      if (key.endsWith(QLatin1String("_PRINT")) || key.endsWith(QLatin1String("_NO_PICTURE_CHARACTER")) ||
          key == QLatin1String("PROGRESS_TITLE"))
        continue;
      EXPECT_EQ(img.size(), w.size) << key.toStdString();
      if (key.endsWith(QLatin1String("_MASK"))) continue;
      for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
          if (mask.pixel(x, y) == qRgb(255, 255, 255)) {
            ASSERT_EQ(img.pixel(x, y), qRgb(0, 0, 0)) << key.toStdString();
          }
    }
  }
}

TEST(ArtImages, StatesDifferOnlyInsideTheControls) {
  const Window main = Skin().windows.front();
  ASSERT_EQ(main.section, QStringLiteral("MAIN"));
  std::map<QString, QImage> images = WindowImages(main);
  const QImage& normal = images[QStringLiteral("MAIN_NORMAL")];
  ASSERT_FALSE(normal.isNull());
  for (const char* other : {"MAIN_OVER", "MAIN_DOWN", "MAIN_DISABLE"}) {
    const QImage& state = images[QLatin1String(other)];
    ASSERT_FALSE(state.isNull()) << other;
    int changedInside = 0;
    for (int y = 0; y < normal.height(); ++y)
      for (int x = 0; x < normal.width(); ++x) {
        if (normal.pixel(x, y) == state.pixel(x, y)) continue;
        bool inControl = false;
        for (const Control& c : main.controls) inControl = inControl || c.rect.contains(x, y);
        ASSERT_TRUE(inControl) << other << " changes the pixel " << x << "," << y << " outside every control";
        ++changedInside;
      }
    EXPECT_GT(changedInside, 1000) << other << " looks like the normal image";
  }
}

// The program draws the gauge, the progress bar and the folder bar at fixed places; the art
// must have its wells there and nothing else.
TEST(ArtImages, WellsAtTheFixedPositions) {
  struct Place {
    const char* key;
    QRect inner;   // filled by the program
    QRgb colour;   // what the art leaves there
  };
  const Place places[] = {
      {"skins/main_normal.png", QRect(79, 255, 87, 14), qRgb(7, 8, 11)},
      {"skins/progress_normal.png", QRect(16, 32, 222, 14), qRgb(7, 8, 11)},
      {"skins/assignments_normal.png", QRect(0, 53, 176, 387), qRgb(41, 41, 41)},
  };
  for (const Place& place : places) {
    const QImage img = Decode(Files().at(QLatin1String(place.key)));
    ASSERT_FALSE(img.isNull()) << place.key;
    for (int y = place.inner.top(); y <= place.inner.bottom(); ++y)
      for (int x = place.inner.left(); x <= place.inner.right(); ++x)
        ASSERT_EQ(img.pixel(x, y) & 0xFFFFFF, place.colour & 0xFFFFFF) << place.key << " at " << x << "," << y;
    // the well has a frame: the pixel left of it is not the well's colour
    if (place.inner.left() > 0) {
      EXPECT_NE(img.pixel(place.inner.left() - 2, place.inner.center().y()) & 0xFFFFFF, place.colour & 0xFFFFFF)
          << place.key;
    }
  }
}

// --- the files -----------------------------------------------------------------------------------------

TEST(ArtFiles, SameBytesEveryRun) {
  FileSet again;
  QStringList errors;
  ASSERT_TRUE(Generate(ProductSkin(), &again, &errors));
  ASSERT_EQ(again.size(), Files().size());
  for (const auto& [path, bytes] : Files()) EXPECT_TRUE(again.at(path) == bytes) << path.toStdString();
}

TEST(ArtFiles, FixedNamesAndFormats) {
  struct Fixed {
    const char* path;
    const char* format;
    QSize size;
  };
  const Fixed fixed[] = {
      {"Skins/Color.bmp", "bmp", QSize()},
      {"skins/Plus Button_normal.jpg", "jpeg", QSize(18, 18)},
      {"skins/Plus Button_over.jpg", "jpeg", QSize(18, 18)},
      {"skins/Plus Button_disable.jpg", "jpeg", QSize(18, 18)},
      {"skins/Minus button_normal.jpg", "jpeg", QSize(18, 18)},
      {"skins/Minus button_over.jpg", "jpeg", QSize(18, 18)},
      {"skins/new_normal.jpg", "jpeg", QSize(76, 25)},
      {"skins/new_over.jpg", "jpeg", QSize(76, 25)},
      {"skins/new_down.jpg", "jpeg", QSize(76, 25)},
      {"skins/scrollbar.png", "png", QSize(117, 39)},
      {"skins/bullet.png", "png", QSize(3, 3)},
      {"skins/marker_down.png", "png", QSize(7, 9)},
      {"skins/marker_up.png", "png", QSize(7, 9)},
  };
  for (const Fixed& f : fixed) {
    auto it = Files().find(QLatin1String(f.path));
    ASSERT_NE(it, Files().end()) << f.path;
    QByteArray format;
    const QImage img = Decode(it->second, &format);
    EXPECT_FALSE(img.isNull()) << f.path;
    EXPECT_EQ(format, QByteArray(f.format)) << f.path;
    if (f.size.isValid()) {
      EXPECT_EQ(img.size(), f.size) << f.path;
    }
  }
}

TEST(ArtFiles, MasksAreLosslessTwoColourFiles) {
  int masks = 0;
  for (const auto& [path, bytes] : Files()) {
    if (!path.endsWith(QLatin1String("_mask.png"))) continue;
    ++masks;
    const QImage img = Decode(bytes).convertToFormat(QImage::Format_RGB32);
    QSet<QRgb> colours;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x) {
        colours.insert(img.pixel(x, y));
      }
    EXPECT_EQ(colours, (QSet<QRgb>{qRgb(255, 255, 255), qRgb(0, 0, 0)})) << path.toStdString();
  }
  EXPECT_EQ(masks, 14);
}

// Every image Skins.xml names decodes and has its window's size; every control entry of
// Strings.xml reads back as the rectangle the art was drawn for.
TEST(ArtFiles, XmlAndArtAgree) {
  const QByteArray skins = Files().at(QStringLiteral("Skins.xml"));
  const QByteArray strings = Files().at(QStringLiteral("Strings.xml"));
  for (const Window& w : Skin().windows) {
    for (const char* state : {"_NORMAL", "_DOWN", "_OVER", "_MASK"}) {
      const bool stateOfButtons = QLatin1String(state) == QLatin1String("_DOWN") || QLatin1String(state) == QLatin1String("_OVER");
      if (w.normalOnly && stateOfButtons) continue;
      QString file;
      ASSERT_TRUE(ReadValue(skins, w.section, w.section + QLatin1String(state), &file)) << w.section.toStdString() << state;
      const QImage img = Decode(Files().at(QStringLiteral("skins/") + file));
      EXPECT_EQ(img.size(), w.size) << file.toStdString();
    }
    const QString section = w.stringsSection.isEmpty() ? w.section : w.stringsSection;
    for (const Control& c : w.controls) {
      if (!c.writeEntry) continue;
      QString value;
      ASSERT_TRUE(ReadValue(strings, section, c.key, &value)) << c.key.toStdString();
      const ParsedEntry e = ParseEntry(value);
      EXPECT_EQ(e.rect, c.rect) << c.key.toStdString();
      EXPECT_EQ(e.tooltip, c.tooltip) << c.key.toStdString();
      EXPECT_EQ(e.latched, c.latched) << c.key.toStdString();
    }
    for (const Text& t : w.texts) {
      QString value;
      ASSERT_TRUE(ReadValue(strings, section, t.key, &value)) << t.key.toStdString();
      const QStringList parts = value.split(QLatin1Char(','));
      EXPECT_EQ(QPoint(parts.value(0).toInt(), parts.value(1).toInt()), t.pos) << t.key.toStdString();
      EXPECT_EQ(value.mid(value.lastIndexOf(QLatin1Char(',')) + 1), t.text) << t.key.toStdString();
    }
  }
}

// The sections and keys the windows look up, by file.
TEST(ArtFiles, EverySectionAndKeyTheWindowsRead) {
  struct Need {
    const char* file;
    const char* section;
    const char* keys;  // space separated; empty: the section holds a file name itself
  };
  const Need needs[] = {
      {"Skins.xml", "MAIN", "MAIN_NORMAL MAIN_DISABLE MAIN_DOWN MAIN_OVER MAIN_MASK MAIN_PRINT"},
      {"Skins.xml", "ABOUT", "ABOUT_NORMAL ABOUT_DOWN ABOUT_OVER ABOUT_MASK"},
      {"Skins.xml", "WARNING_ONE", "WARNING_ONE_NORMAL WARNING_ONE_DOWN WARNING_ONE_OVER WARNING_ONE_MASK"},
      {"Skins.xml", "WARNING_TWO", "WARNING_TWO_NORMAL WARNING_TWO_DOWN WARNING_TWO_OVER WARNING_TWO_MASK"},
      {"Skins.xml", "WARNING_THREE", "WARNING_THREE_NORMAL WARNING_THREE_DOWN WARNING_THREE_OVER WARNING_THREE_MASK"},
      {"Skins.xml", "WARNING_THREE2", "WARNING_THREE2_NORMAL WARNING_THREE2_DOWN WARNING_THREE2_OVER WARNING_THREE2_MASK"},
      {"Skins.xml", "WARNING_FOUR", "WARNING_FOUR_NORMAL WARNING_FOUR_DOWN WARNING_FOUR_OVER WARNING_FOUR_MASK"},
      {"Skins.xml", "PROGRESS_DLG", "PROGRESS_DLG_NORMAL PROGRESS_DLG_MASK PROGRESS_TITLE"},
      {"Skins.xml", "EDIT_GAME", "EDIT_GAME_NORMAL EDIT_GAME_DISABLE EDIT_GAME_DOWN EDIT_GAME_OVER EDIT_GAME_MASK"},
      {"Skins.xml", "ILLUMINATION_SETTING",
       "ILLUMINATION_SETTING_NORMAL ILLUMINATION_SETTING_DOWN ILLUMINATION_SETTING_OVER ILLUMINATION_SETTING_MASK"},
      {"Skins.xml", "MOUSE_PROPERTIES", "MOUSE_PROPERTIES_NORMAL MOUSE_PROPERTIES_DOWN MOUSE_PROPERTIES_OVER MOUSE_PROPERTIES_MASK"},
      {"Skins.xml", "BUTTON_ASSIGNMENTS",
       "BUTTON_ASSIGNMENTS_NORMAL BUTTON_ASSIGNMENTS_DOWN BUTTON_ASSIGNMENTS_OVER BUTTON_ASSIGNMENTS_MASK"},
      {"Skins.xml", "MACRO", "MACRO_NORMAL MACRO_DOWN MACRO_OVER MACRO_MASK MACRO_PASTE_NORMAL MACRO_PASTE_DOWN MACRO_PASTE_OVER"},
      {"Skins.xml", "MACRO_PASTE", "MACRO_PASTE_NORMAL MACRO_PASTE_DOWN MACRO_PASTE_OVER"},
      {"Skins.xml", "ARMORY", "ARMORY_NORMAL ARMORY_DOWN ARMORY_OVER ARMORY_MASK ARMORY_NO_PICTURE_CHARACTER"},
      {"Skins.xml", "BUTTON_MENU", ""},
      {"Skins.xml", "REGION_MENU", ""},
      {"Skins.xml", "MOUSE_PROPERTIES_MENU", ""},
      {"Skins.xml", "ILLUMINATION_MENU", ""},
      {"Strings.xml", "MAIN",
       "PROFILE IN_GAME_MODE_TEXT HELP EXIT MINIMIZE BUTTON_OK BUTTON_CANCEL BUTTON_APPLY RESTORE ENABLE_IN_GAME_MODE "
       "SAVE_ON_BOARD BUTTON_MOUSE_PROPERTIES BUTTON_ILLUMINATION BUTTON_ASSIGNMENTS BUTTON_ARMORY BUTTON_FILE_MENU "
       "BUTTON_TOOLS_MENU BUTTON_HELP_MENU MOUSE_BUTTON_1 MOUSE_BUTTON_7 MOUSE_BUTTON_14 PROFILE_1 PROFILE_10 "
       "STRING_WARNING_CHANGE_PROFILE STRING_WARNING_RESTORE_PROFILE"},
      {"Strings.xml", "PROGRESS_DLG", "PROGRESS PROGRESS_TITLE"},
      {"Strings.xml", "ABOUT", "BUTTON_EXIT TITLE SOFTWARE_VERSION FIRMWARE_VERSION"},
      {"Strings.xml", "WARNING_ONE", "BUTTON_EXIT BUTTON_OK WARNING_ONE_TITLE WARNING_ONE_STRING"},
      {"Strings.xml", "WARNING_TWO", "BUTTON_EXIT BUTTON_YES BUTTON_NO WARNING_TWO_TITLE WARNING_TWO_STRING"},
      {"Strings.xml", "WARNING_THREE",
       "BUTTON_EXIT BUTTON_YES BUTTON_NO BUTTON_OPTION WARNING_THREE_TITLE WARNING_THREE_OPTION WARNING_THREE_STRING"},
      {"Strings.xml", "WARNING_THREE2",
       "BUTTON_EXIT BUTTON_YES BUTTON_NO BUTTON_OPTION WARNING_THREE2_TITLE WARNING_THREE2_OPTION WARNING_THREE2_STRING"},
      {"Strings.xml", "WARNING_FOUR",
       "BUTTON_EXIT BUTTON_YES BUTTON_NO BUTTON_OPTION WARNING_FOUR_TITLE WARNING_FOUR_OPTION WARNING_FOUR_STRING "
       "WARNING_FOUR_LICENSE"},
      {"Strings.xml", "BUTTON_ASSIGNMENTS", "BUTTON_ASSIGNMENTS CLOSE_ASSIGNMENTS"},
      {"Strings.xml", "MACRO",
       "MACRO_AREA BUTTON_EXIT BUTTON_OK BUTTON_CLEAR BUTTON_CANCEL BUTTON_APPLY BUTTON_AUTO_DELAY BUTTON_RECORD_DELAY "
       "BUTTON_NO_DELAY BUTTON_PASTE START_AREA SEND_AREA BUTTON_LOOP EDIT_NAME EDIT_LOOP EDIT_PASTE BUTTON_START_KEY "
       "BUTTON_SEND_KEY BUTTON_PASTE_AUTO_DELAY BUTTON_PASTE_RECORD_DELAY BUTTON_PASTE_NO_DELAY BUTTON_PASTE_PASTE "
       "CUSTOM_MACRO MACRO_NAME AUTO_DELAY RECORD_DELAY NO_DELAY PASTE LOOP PASTE_AUTO_DELAY PASTE_RECORD_DELAY "
       "PASTE_NO_DELAY PASTE_PASTE START_KEY SEND_KEY"},
      {"Strings.xml", "ILLUMINATION_SETTINGS",
       "CLOSE_ILLUMINATION COLOR_MENU INTENSITY_MENU PULSATION_MENU ILLUMINATION_SETTINGS COLOR INTENSITY PULSATION "
       "ILLUMINATION_TITLE"},
      {"Strings.xml", "MOUSE_PROPERTIES",
       "CLOSE_PROPERTIES DPI_MENU SLIDERS_DOUBLE_CLICK_SPEED SLIDERS_SCROLL_SPEED SLIDERS_SENSITIVITY "
       "SLIDERS_ADVANCE_SENSITIVITY_X SLIDERS_ADVANCE_SENSITIVITY_Y MOUSE_PROPERTIES DPI_VALUE DOUBLE_CLICK_SPEED "
       "SCROLL_SPEED SENSITIVITY ADVANCED_SENSITIVITY ADVANCED_SENSITIVITY_X ADVANCED_SENSITIVITY_Y"},
      {"Strings.xml", "EDIT_GAME",
       "BUTTON_EXIT BUTTON_BROWSE BUTTON_ADD BUTTON_REMOVE BUTTON_OK BUTTON_CANCEL BUTTON_APPLY BUTTON_PATH LIST_BOX EDIT_GAME"},
      {"Strings.xml", "ARMORY",
       "BUTTON_EXIT BUTTON_OK BUTTON_CANCEL BUTTON_REGION EDIT_SERVER_NAME EDIT_CHARACTER_NAME STRING_ENTER_CHARACTER_NAME "
       "STRING_ENTER_REALM_NAME STRING_NOT_FIND_CHARACTER ARMORY_TITLE SERVER_NAME CHARACTER_NAME REGION"},
      {"Menu.xml", "FILE_MENU", "EDIT EXPORT IMPORT PRINT ONLINE_STORAGE"},
      {"Menu.xml", "TOOLS_MENU", "CHANGE_POLLING_RATE RATE_250 RATE_500 RATE_1000 SHOW_MACRO"},
      {"Menu.xml", "HELP_MENU", "USER_GUIDE ABOUT"},
      {"Menu.xml", "BUTTON_MENU",
       "LEFT_CLICK RIGHT_CLICK DOUBLE_CLICK WINDOWS_BUTTON_4 WINDOWS_BUTTON_5 UNIVERSAL_SCROLL BUTTON_OFF SCROLL_UP "
       "SCROLL_DOWN BUTTON_ASSIGNMENTS STOP_ALL FOCUS DISMOUNT"},
      {"Menu.xml", "CHANGE_DPI", "DPI_800 DPI_1200 DPI_1600 DPI_2000 DPI_2400 DPI_3200 DPI_UP DPI_DOWN"},
      {"Menu.xml", "CHANGE_PROFILE", "PROFILE_UP PROFILE_DOWN"},
      {"Menu.xml", "DPI_MENU", "DPI_800 DPI_1200 DPI_1600 DPI_2000 DPI_2400 DPI_3200"},
      {"Menu.xml", "INTENSITY_MENU", "HIGH MEDIUM LOW OFF"},
      {"Menu.xml", "PULSATION_MENU", "HIGH MEDIUM LOW OFF"},
      {"Menu.xml", "ARMORY", "USA EUROPE KOREA TAIWAN CHINA"},
  };
  for (const Need& need : needs) {
    const QByteArray& xml = Files().at(QLatin1String(need.file));
    const QStringList keys = QString::fromLatin1(need.keys).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (keys.isEmpty()) {
      QString value;
      ASSERT_TRUE(ReadValue(xml, QLatin1String(need.section), QString(), &value)) << need.section;
      EXPECT_TRUE(Files().count(QStringLiteral("skins/") + value)) << need.section << " names " << value.toStdString();
      continue;
    }
    for (const QString& key : keys) {
      QString value;
      EXPECT_TRUE(ReadValue(xml, QLatin1String(need.section), key, &value) && !value.isEmpty())
          << need.file << " " << need.section << "/" << key.toStdString();
    }
  }
}

// Functions.xml is kept by hand; its captions land on skinned controls of fixed size: the
// folder headers (from x 6 up to the toggle at 156, bold) and the 70-pixel new and delete
// buttons of the macro folder (plain captions between x 5 and 68).
TEST(ArtFiles, FunctionCatalogueCaptionsFitTheFolderBar) {
  orv::XmlCursor cursor;
  ASSERT_TRUE(cursor.LoadFile(ORV_DATA_DIR "/Functions.xml", orv::kMaxProgramDataFileSize));
  const QFontMetrics bold(UiFont(12, true)), plain(UiFont(12, false));
  for (const char* folder : {"GAME_COMMANDS", "CHANGE_DPI", "CHANGE_PROFILE", "CUSTOM_MACROS"}) {
    cursor.ResetPosition();
    ASSERT_TRUE(cursor.FindChildElement(QString::fromLatin1(folder).toStdU16String())) << folder;
    const QString caption = QString::fromStdU16String(cursor.GetChildAttribute(u"Strings"));
    EXPECT_FALSE(caption.isEmpty()) << folder;
    EXPECT_LE(bold.horizontalAdvance(caption), 150 - 6) << folder;
  }
  cursor.EnterElement();
  for (const char* key : {"DELETE", "NEW_MACRO"}) {
    cursor.ResetChildPosition();
    ASSERT_TRUE(cursor.FindChildElement(QString::fromLatin1(key).toStdU16String())) << key;
    const QString caption = QString::fromStdU16String(cursor.GetChildText());
    EXPECT_LE(plain.horizontalAdvance(caption), 70 - 7) << key << " \"" << caption.toStdString() << "\"";
  }
}

// Words painted into the art are measured like the texts of Strings.xml.
TEST(ArtChecks, GenerationFailsOnADrawnWordTooWide) {
  Product product;
  Window w = SmallWindow();
  w.decorate = [](QPainter&, int) { NoteFault(QStringLiteral("the drawn words \"WIDE\" do not fit their place")); };
  product.windows = {w};
  FileSet files;
  QStringList errors;
  EXPECT_FALSE(Generate(product, &files, &errors));
  EXPECT_TRUE(errors.join(QLatin1Char('\n')).contains(QStringLiteral("WIDE")));
  // and the next generation starts clean
  product.windows[0].decorate = nullptr;
  errors.clear();
  EXPECT_TRUE(Generate(product, &files, &errors)) << errors.join(QLatin1Char('\n')).toStdString();
}

TEST(ArtFiles, DefaultProfileNamesAreTheLabelsOfTheProfileEntries) {
  const QByteArray strings = Files().at(QStringLiteral("Strings.xml"));
  for (int i = 1; i <= 10; ++i) {
    QString value;
    ASSERT_TRUE(ReadValue(strings, QStringLiteral("MAIN"), QStringLiteral("PROFILE_%1").arg(i), &value));
    EXPECT_EQ(value.section(QLatin1Char(','), 0, 0), QStringLiteral("Profile %1").arg(i));
  }
}

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  QString error;
  if (!LoadFaces(&error)) {
    fprintf(stderr, "%s\n", qPrintable(error));
    return 1;
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
