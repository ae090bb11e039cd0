#include "panel/print_page.h"

#include <QFont>
#include <QPainter>
#include <QPrinter>

#include "base/files.h"
#include "base/text.h"

namespace orv {
namespace {

QString Q(std::u16string_view s) { return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size())); }

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
  const int w = page.width(), h = page.height();
  PrintLayout l;
  l.name = QRect(w / 20, h / 40, w - w / 10, h / 14);
  // The labels in two columns of seven, odd buttons left, even buttons right, below the name.
  const int top = h / 40 + h / 14 + h / 40;
  const int rowHeight = (h * 11 / 20) / 7;
  for (int b = 0; b < kButtonCount; ++b) {
    const int column = b % 2, row = b / 2;
    l.labels[b] = QRect(w / 20 + column * (w / 2), top + row * rowHeight, w / 2 - w / 10, rowHeight);
  }
  const int cardTop = top + 7 * rowHeight + h / 40;
  const int side = std::min(w / 4, h - cardTop - h / 40);
  l.portrait = QRect(w / 20, cardTop, std::max(side, 0), std::max(side, 0));
  const int textLeft = l.portrait.right() + w / 20;
  const int lineHeight = std::max(side / 4, 1);
  for (int i = 0; i < 4; ++i) l.character[i] = QRect(textLeft, cardTop + i * lineHeight, w - textLeft - w / 20, lineHeight);
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
