#include "panel/print_page.h"

#include <QFont>
#include <algorithm>
#include <QPainter>
#include <QPrinter>

#include "base/files.h"
#include "base/text.h"
#include "skin/qt_text.h"

namespace orv {
namespace {

// "MS Shell Dlg" at a pixel height; the face is substituted on this platform.
QFont ShellFont(int pixelHeight, bool bold) {
  QFont::insertSubstitution(QStringLiteral("MS Shell Dlg"), QStringLiteral("DejaVu Sans"));
  QFont f(QStringLiteral("MS Shell Dlg"));
  f.setPixelSize(pixelHeight);
  f.setBold(bold);
  return f;
}

}  // namespace

PrintContent PrintContentOf(const ProfileSet& set, const std::u16string (&labels)[kButtonCount],
                            const QImage& portrait) {
  const Profile& p = set.profiles[ProfileIndexOrFirst(set.profileId)];
  PrintContent c;
  c.profileName = Q(FieldText(p.profileName));
  for (int b = 0; b < kButtonCount; ++b) c.labels[b] = Q(labels[b]);
  c.characterName = Q(FieldText(p.characterName));
  if (!c.characterName.isEmpty()) {
    c.characterLevel = QStringLiteral("Level ") + Q(FieldText(p.characterLevel));
    c.characterClass = Q(FieldText(p.characterClass));
    c.characterRace = Q(FieldText(p.characterRace));
    c.portrait = portrait;
  }
  return c;
}

PrintLayout PrintLayoutFor(QSize page) {
  // The boxes of the print picture, drawn for a sheet of 700 x 940; a picture of another size
  // gets them scaled.
  const double sx = page.width() / 700.0, sy = page.height() / 940.0;
  const auto box = [&](int x, int y, int w, int h) {
    return QRect(static_cast<int>(x * sx), static_cast<int>(y * sy), std::max(1, static_cast<int>(w * sx)),
                 std::max(1, static_cast<int>(h * sy)));
  };
  PrintLayout l;
  l.name = box(46, 134, 610, 34);
  // Buttons 1 to 7 down the left column, 8 to 14 down the right one.
  for (int b = 0; b < kButtonCount; ++b) l.labels[b] = box(b < 7 ? 76 : 396, 207 + 44 * (b % 7), 262, 30);
  l.portrait = box(40, 555, 128, 129);
  for (int i = 0; i < 4; ++i) l.character[i] = box(194, 553 + 34 * i, 464, 30);
  return l;
}

QImage ComposePrintPage(const QImage& base, const PrintContent& content) {
  QImage page = base.convertToFormat(QImage::Format_RGB32);
  if (page.isNull()) return page;
  const PrintLayout l = PrintLayoutFor(page.size());
  QPainter p(&page);
  p.setPen(QColor::fromRgb(kPrintTextRgb));
  p.setFont(ShellFont(12, true));
  p.drawText(l.name, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, content.profileName);
  p.setFont(ShellFont(14, false));
  for (int b = 0; b < kButtonCount; ++b)
    p.drawText(l.labels[b], Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, content.labels[b]);
  if (!content.characterName.isEmpty()) {
    if (!content.portrait.isNull()) p.drawImage(l.portrait, content.portrait);
    p.setFont(ShellFont(12, true));
    const QString lines[4] = {content.characterName, content.characterLevel, content.characterClass,
                              content.characterRace};
    for (int i = 0; i < 4; ++i) {
      p.drawText(l.character[i], Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, lines[i]);
      if (i == 0) p.setFont(ShellFont(14, false));
    }
  }
  return page;
}

bool PrintPageImage(QPrinter& printer, const QImage& page) {
  printer.setDocName(QString::fromLatin1(kPrintDocumentName));
  printer.setFullPage(true);
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  // A palette printer gets the picture in its colours; every printer here takes true colour.
  // The picture goes to the printer as it is, without lossy compression on the way.
  painter.setRenderHint(QPainter::LosslessImageRendering);
  const QImage bitmap = page.convertToFormat(QImage::Format_RGB32);
  painter.drawImage(QRect(0, 0, bitmap.width() * kPrintScale, bitmap.height() * kPrintScale), bitmap);
  return painter.end();
}

std::string PortraitPath(const std::string& confFolder, std::u16string_view server, std::u16string_view name) {
  if (server.empty() || name.empty() || confFolder.empty()) return {};
  for (std::u16string_view part : {server, name}) {
    if (part == u"." || part == u"..") return {};
    for (char16_t c : part)
      if (c == u'/' || c == u'\\' || c < 0x20 || c == 0x7F) return {};
  }
  return JoinPath(confFolder, ToUtf8(server) + "_" + ToUtf8(name) + ".jpg");
}

}  // namespace orv
