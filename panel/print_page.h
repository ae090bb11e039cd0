#pragma once
// The printout of the active profile: a page image composed on the MAIN_PRINT picture with
// the profile's name, the fourteen button labels and, for a profile with a linked character,
// its portrait and card; printed on one page at seven times its size.
#include <QImage>
#include <QString>
#include <string>

#include "profile/records.h"

class QPrinter;

namespace orv {

inline constexpr char kPrintDocumentName[] = "Print Window";
inline constexpr int kPrintScale = 7;
// The text colour of the printout.
inline constexpr unsigned kPrintTextRgb = 0xFFCC00;

struct PrintContent {
  QString profileName;
  QString labels[kButtonCount];
  // The linked character; empty name: none.
  QString characterName;
  QString characterLevel;
  QString characterClass;
  QString characterRace;
  QImage portrait;  // null when there is none
};

// What the printout shows for the set's active profile with the labels the window shows.
PrintContent PrintContentOf(const ProfileSet& set, const std::u16string (&labels)[kButtonCount],
                            const QImage& portrait = {});

// Where the texts go on the page image: the boxes of the print picture, scaled to its size.
struct PrintLayout {
  QRect name;
  QRect labels[kButtonCount];
  QRect portrait;
  QRect character[4];  // name, "Level n", class, race
};
PrintLayout PrintLayoutFor(QSize page);

// The page image: `base` (MAIN_PRINT) with the content drawn on it.
QImage ComposePrintPage(const QImage& base, const PrintContent& content);

// Prints `page` on one page of the document "Print Window", stretched from the page's
// top-left corner to seven times its width and height. False when the printer cannot start.
bool PrintPageImage(QPrinter& printer, const QImage& page);

// The portrait file of a character, "<server>_<name>.jpg" in the configuration folder; empty
// when the names would lead out of it (separators, "..", control characters) or are empty.
std::string PortraitPath(const std::string& confFolder, std::u16string_view server, std::u16string_view name);

}  // namespace orv
