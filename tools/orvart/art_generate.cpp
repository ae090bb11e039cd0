#include "art_generate.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QImageWriter>
#include <QPainter>
#include <algorithm>

#include "art_paint.h"
#include "profile/xml_cursor.h"

namespace orv::art {

namespace {

quint32 Fnv(const QString& s) {
  quint32 h = 2166136261u;
  for (QChar c : s) {
    h ^= c.unicode();
    h *= 16777619u;
  }
  return h;
}

int TextWidth(const QString& text, int px, bool bold) {
  return QFontMetrics(UiFont(px, bold)).horizontalAdvance(text);
}

int TextHeight(int px, bool bold) { return QFontMetrics(UiFont(px, bold)).height(); }

// Height that a word-wrapped text needs in a width, or -1 when a single word is too wide.
int WrappedHeight(const QString& text, int width, int px, bool bold) {
  QFontMetrics fm(UiFont(px, bold));
  const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
  for (const QString& word : words)
    if (fm.horizontalAdvance(word) > width) return -1;
  return fm.boundingRect(QRect(0, 0, width, 10000), Qt::TextWordWrap, text).height();
}

bool IsButton(Kind k) {
  switch (k) {
    case Kind::Field:
    case Kind::TextBox:
    case Kind::Region:
    case Kind::SliderH:
    case Kind::SliderV: return false;
    default: return true;
  }
}

QString StateSuffix(State s) {
  switch (s) {
    case State::Normal: return QStringLiteral("NORMAL");
    case State::Over: return QStringLiteral("OVER");
    case State::Down: return QStringLiteral("DOWN");
    case State::Disable: return QStringLiteral("DISABLE");
  }
  return {};
}

std::vector<ImageSet> SetsOf(const Window& w) {
  if (!w.imageSets.empty()) return w.imageSets;
  return {ImageSet{w.section, kFirstLayout}};
}

QString StringsSection(const Window& w) { return w.stringsSection.isEmpty() ? w.section : w.stringsSection; }

QString Entry(const Control& c) {
  const QString label = c.label.isEmpty() ? c.key : c.label;
  return QStringLiteral("%1,%2,%3,%4,%5,%6,%7")
      .arg(label)
      .arg(c.rect.x())
      .arg(c.rect.y())
      .arg(c.rect.width())
      .arg(c.rect.height())
      .arg(c.tooltip, c.latched ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
}

QString TextEntry(const Text& t) { return QStringLiteral("%1,%2,%3").arg(t.pos.x()).arg(t.pos.y()).arg(t.text); }

// --- XML ---------------------------------------------------------------------------------------

QString Escape(const QString& s) {
  QString out = s;
  out.replace(QLatin1Char('&'), QStringLiteral("&amp;"));
  out.replace(QLatin1Char('<'), QStringLiteral("&lt;"));
  out.replace(QLatin1Char('>'), QStringLiteral("&gt;"));
  return out;
}

struct XmlSection {
  QString name;
  QString value;  // a section that holds its value itself (a pop-up menu image)
  std::vector<std::pair<QString, QString>> keys;
};

QByteArray XmlDocument(const QString& root, const QString& comment, const std::vector<XmlSection>& sections) {
  QString out;
  out += QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n");
  out += QStringLiteral("<!-- %1 -->\n").arg(comment);
  out += QStringLiteral("<%1>\n").arg(root);
  for (const XmlSection& s : sections) {
    if (s.keys.empty()) {
      out += QStringLiteral("  <%1>%2</%1>\n").arg(s.name, Escape(s.value));
      continue;
    }
    out += QStringLiteral("  <%1>\n").arg(s.name);
    for (const auto& [key, value] : s.keys) out += QStringLiteral("    <%1>%2</%1>\n").arg(key, Escape(value));
    out += QStringLiteral("  </%1>\n").arg(s.name);
  }
  out += QStringLiteral("</%1>\n").arg(root);
  return out.toUtf8();
}

// Reads a written document back with the program's own reader and checks that each section
// gives each of its values, as the windows will look them up.
void CheckReadBack(const QString& file, const QByteArray& bytes, const std::vector<XmlSection>& sections,
                   QStringList* errors) {
  XmlCursor cursor;
  if (!cursor.LoadBytes(std::string_view(bytes.constData(), size_t(bytes.size())))) {
    errors->append(QStringLiteral("%1: does not parse").arg(file));
    return;
  }
  for (const XmlSection& s : sections) {
    cursor.ResetPosition();
    if (!cursor.FindChildElement(s.name.toStdU16String())) {
      errors->append(QStringLiteral("%1: section %2 not found").arg(file, s.name));
      continue;
    }
    if (s.keys.empty()) {
      if (QString::fromStdU16String(cursor.GetChildText()) != s.value)
        errors->append(QStringLiteral("%1: %2 reads back differently").arg(file, s.name));
      continue;
    }
    cursor.EnterElement();
    for (const auto& [key, value] : s.keys) {
      cursor.ResetChildPosition();
      if (!cursor.FindChildElement(key.toStdU16String()) ||
          QString::fromStdU16String(cursor.GetChildText()) != value)
        errors->append(QStringLiteral("%1: %2/%3 reads back differently").arg(file, s.name, key));
    }
    cursor.LeaveElement();
  }
}

}  // namespace

// --- checks --------------------------------------------------------------------------------------

QStringList CheckWindow(const Window& w) {
  QStringList errors;
  const QString where = w.section;
  auto fail = [&](const QString& what) { errors.append(QStringLiteral("%1: %2").arg(where, what)); };
  const QRect inside(0, 0, w.size.width(), w.size.height());
  if (w.size.isEmpty()) fail(QStringLiteral("window has no size"));
  const QRect inner = inside.adjusted(w.rim, w.rim, -w.rim, -w.rim);

  for (const Control& c : w.controls) {
    const QString name = c.key;
    QRect need = c.kind == Kind::Field ? c.rect.adjusted(-3, -3, 3, 3) : c.rect;
    if (c.rect.isEmpty()) fail(name + QStringLiteral(": empty rectangle"));
    if (!inside.contains(need)) fail(name + QStringLiteral(": rectangle outside the window"));
    const QString label = c.label.isEmpty() ? c.key : c.label;
    if (label.contains(QLatin1Char(',')) || c.tooltip.contains(QLatin1Char(',')))
      fail(name + QStringLiteral(": a comma in the label or tooltip would split the entry"));
    if (c.tooltip.contains(QStringLiteral("TRUE")) && !c.latched)
      fail(name + QStringLiteral(": the word TRUE in the tooltip would latch the control"));
    if (c.writeEntry && IsButton(c.kind) && c.tooltip.isEmpty()) fail(name + QStringLiteral(": no tooltip"));
    if (!c.caption.isEmpty()) {
      if (TextWidth(c.caption, 12, true) > c.rect.width() - 8 || TextHeight(12, true) > c.rect.height())
        fail(name + QStringLiteral(": caption \"%1\" does not fit").arg(c.caption));
    }
    QStringList drawn = c.drawnTexts;
    if (drawn.isEmpty() && c.drawn != CaptionLayout::None) drawn.append(c.tooltip);
    for (const QString& t : drawn) {
      bool fits = true;
      switch (c.drawn) {
        case CaptionLayout::Plain:
        case CaptionLayout::Light:
          fits = TextWidth(t, 12, false) <= c.rect.width() - 7 && TextHeight(12, false) <= c.rect.height();
          break;
        case CaptionLayout::CentreBold:
          fits = TextWidth(t, 12, true) <= c.rect.width() - 10 && TextHeight(12, true) <= c.rect.height();
          break;
        case CaptionLayout::RotatedUp:
        case CaptionLayout::RotatedDown:
          fits = TextWidth(t, 12, true) <= c.rect.height() - 10 && TextHeight(12, true) <= c.rect.width();
          break;
        case CaptionLayout::None: break;
      }
      if (!fits) fail(name + QStringLiteral(": caption \"%1\" does not fit").arg(t));
    }
    if (c.wrapTooltip) {
      int h = WrappedHeight(c.tooltip, c.rect.width(), 12, false);
      if (h < 0 || h > c.rect.height()) fail(name + QStringLiteral(": text does not fit its rectangle"));
    }
  }
  // controls of one layout must not overlap
  for (size_t i = 0; i < w.controls.size(); ++i)
    for (size_t j = i + 1; j < w.controls.size(); ++j) {
      const Control& a = w.controls[i];
      const Control& b = w.controls[j];
      if ((a.layouts & b.layouts) == 0) continue;
      if (a.rect.intersects(b.rect)) fail(QStringLiteral("%1 and %2 overlap").arg(a.key, b.key));
    }
  for (const Text& t : w.texts) {
    if (t.text.contains(QLatin1Char(','))) fail(t.key + QStringLiteral(": a comma would cut the text"));
    const int width = TextWidth(t.text + t.suffix, t.px, t.bold);
    const int height = TextHeight(t.px, t.bold);
    const int left = t.centred ? t.pos.x() - width / 2 : t.pos.x();
    const int room = t.maxWidth > 0 ? t.maxWidth : inner.right() - 3 - t.pos.x();
    bool fits = t.centred ? (left >= inner.left() + 3 && left + width <= inner.right() - 3 &&
                             (t.maxWidth == 0 || width <= t.maxWidth))
                          : (width <= room && t.pos.x() >= inner.left() + 3);
    if (!fits || t.pos.y() < 0 || t.pos.y() + height > inner.bottom())
      fail(t.key + QStringLiteral(": text \"%1\" does not fit").arg(t.text + t.suffix));
  }
  if (!w.linkMessageKey.isEmpty()) {
    const QRect* message = nullptr;
    for (const Control& c : w.controls)
      if (c.key == w.linkMessageKey) message = &c.rect;
    if (!message) {
      fail(w.linkMessageKey + QStringLiteral(": no such control"));
    } else {
      const QFontMetrics fm(UiFont(14, true));
      const int avg = fm.averageCharWidth(), h = fm.height();
      const QRect link(message->left() + 35 * avg - 1, message->top() - h / 4, 15 * avg - 1,
                       fm.leading() + h * 3 / 2);
      if (!message->adjusted(0, -h / 4, 0, 0).contains(link))
        fail(QStringLiteral("the reader link (%1, %2, %3 x %4) leaves the message rectangle")
                 .arg(link.x()).arg(link.y()).arg(link.width()).arg(link.height()));
    }
  }
  for (const Message& m : w.messages) {
    int h = WrappedHeight(m.text, m.rect.width(), m.px, false);
    if (h < 0 || h > m.rect.height())
      fail(QStringLiteral("message \"%1\" does not fit its rectangle").arg(m.text.left(40)));
  }
  return errors;
}

QStringList CheckMenus(const Product& product) {
  QStringList errors;
  for (const MenuFit& fit : product.menuFits) {
    const MenuSection* section = nullptr;
    for (const MenuSection& m : product.menus)
      if (m.section == fit.section) section = &m;
    if (!section) {
      errors.append(QStringLiteral("Menu.xml: no section %1").arg(fit.section));
      continue;
    }
    for (const Plain& item : section->items) {
      if (TextWidth(item.text, fit.px, fit.bold) > fit.width)
        errors.append(QStringLiteral("Menu.xml %1/%2: \"%3\" does not fit %4")
                          .arg(fit.section, item.key, item.text, fit.where));
    }
  }
  return errors;
}

// --- rendering -------------------------------------------------------------------------------------

std::vector<std::pair<QString, QImage>> RenderWindow(const Window& w) {
  std::vector<std::pair<QString, QImage>> out;
  const QPainterPath outline = w.outline ? w.outline() : ChamferedRect(QRectF(0, 0, w.size.width(), w.size.height()), w.chamfer);
  const QImage mask = MaskOf(outline, w.size);
  QImage base(w.size, QImage::Format_RGB32);
  PaintFrame(base, mask, w.rim, Fnv(w.section));
  const std::vector<ImageSet> sets = SetsOf(w);
  for (const ImageSet& set : sets) {
    QImage layer = base.copy();
    {
      QPainter p(&layer);
      p.setRenderHint(QPainter::Antialiasing, true);
      p.setRenderHint(QPainter::TextAntialiasing, true);
      if (w.dialogHeader) PaintHeader(p, QRect(w.rim + 2, w.rim + 2, w.size.width() - 2 * w.rim - 4, 36));
      if (w.decorate) w.decorate(p, set.layout);
      // controls that are not buttons look the same in every state
      for (const Control& c : w.controls)
        if ((c.layouts & set.layout) && !IsButton(c.kind) && c.kind != Kind::SliderH && c.kind != Kind::SliderV)
          PaintControl(p, c, State::Normal);
    }
    std::vector<State> states{State::Normal};
    if (w.hasDisable) states.push_back(State::Disable);
    if (!w.normalOnly) {
      states.push_back(State::Down);
      states.push_back(State::Over);
    }
    for (State s : states) {
      QImage image = layer.copy();
      {
        QPainter p(&image);
        for (const Control& c : w.controls)
          if ((c.layouts & set.layout) && (IsButton(c.kind) || c.kind == Kind::SliderH || c.kind == Kind::SliderV))
            PaintControl(p, c, s);
      }
      // nothing of the art may stray outside the outline
      for (int y = 0; y < image.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const uchar* bits = mask.constScanLine(y);
        for (int x = 0; x < image.width(); ++x)
          if (!(bits[x >> 3] & (0x80 >> (x & 7)))) line[x] = qRgb(0, 0, 0);
      }
      out.emplace_back(set.skinPrefix + QLatin1Char('_') + StateSuffix(s), image);
    }
  }
  out.emplace_back(w.section + QStringLiteral("_MASK"), mask);
  return out;
}

QByteArray EncodeImage(const QImage& image, const QString& format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format.toLatin1());
  if (format == QLatin1String("JPEG")) writer.setQuality(96);
  if (format == QLatin1String("PNG")) writer.setQuality(50);  // small files, quickly made
  writer.write(image);
  return bytes;
}

bool Generate(const Product& product, FileSet* files, QStringList* errors) {
  TakeFaults();
  for (const Window& w : product.windows) errors->append(CheckWindow(w));
  errors->append(CheckMenus(product));
  if (!errors->isEmpty()) return false;

  std::vector<XmlSection> skins, strings, menus;
  for (const Window& w : product.windows) {
    const QString base = w.file.isEmpty() ? w.section.toLower() : w.file;
    XmlSection section{w.section, {}, {}};
    std::map<QString, XmlSection> extraSections;
    for (const auto& [key, image] : RenderWindow(w)) {
      QString stem = key.toLower();
      if (stem.startsWith(w.section.toLower())) stem = base + stem.mid(w.section.size());
      const QString file = stem + QStringLiteral(".png");
      (*files)[QStringLiteral("skins/") + file] = EncodeImage(image, QStringLiteral("PNG"));
      section.keys.emplace_back(key, file);
      // a second image set also has a section of its own
      for (const ImageSet& set : SetsOf(w)) {
        if (set.skinPrefix == w.section || !key.startsWith(set.skinPrefix + QLatin1Char('_'))) continue;
        XmlSection& own = extraSections[set.skinPrefix];
        own.name = set.skinPrefix;
        own.keys.emplace_back(key, file);
      }
    }
    for (const Extra& extra : w.extras) {
      (*files)[QStringLiteral("skins/") + extra.file] = EncodeImage(extra.draw(), QStringLiteral("PNG"));
      section.keys.emplace_back(extra.key, extra.file);
    }
    skins.push_back(section);
    for (auto& [name, own] : extraSections) skins.push_back(own);

    XmlSection text{StringsSection(w), {}, {}};
    for (const Text& t : w.texts) text.keys.emplace_back(t.key, TextEntry(t));
    for (const Control& c : w.controls)
      if (c.writeEntry) text.keys.emplace_back(c.key, Entry(c));
    for (const Plain& pl : w.plains) text.keys.emplace_back(pl.key, pl.text);
    strings.push_back(text);
  }
  for (const MenuSection& m : product.menus) {
    XmlSection section{m.section, {}, {}};
    for (const Plain& item : m.items) section.keys.emplace_back(item.key, item.text);
    menus.push_back(section);
  }
  for (const FixedImage& fixed : product.fixedImages)
    (*files)[fixed.path] = EncodeImage(fixed.draw(), fixed.format);
  for (const Popup& popup : product.popups) {
    // drawn by the fixed images of the product; here only named
    skins.push_back(XmlSection{popup.section, popup.file, {}});
  }

  errors->append(TakeFaults());
  const QString note = QStringLiteral("Made by orvart from the window descriptions in tools/orvart; edit those, not this file.");
  const QByteArray skinsXml = XmlDocument(QStringLiteral("SKINS"), note, skins);
  const QByteArray stringsXml = XmlDocument(QStringLiteral("STRINGS"), note, strings);
  const QByteArray menuXml = XmlDocument(QStringLiteral("MENU"), note, menus);
  CheckReadBack(QStringLiteral("Skins.xml"), skinsXml, skins, errors);
  CheckReadBack(QStringLiteral("Strings.xml"), stringsXml, strings, errors);
  CheckReadBack(QStringLiteral("Menu.xml"), menuXml, menus, errors);
  (*files)[QStringLiteral("Skins.xml")] = skinsXml;
  (*files)[QStringLiteral("Strings.xml")] = stringsXml;
  (*files)[QStringLiteral("Menu.xml")] = menuXml;
  // every image a section names must exist
  for (const XmlSection& s : skins) {
    QStringList names;
    if (s.keys.empty()) names.append(s.value);
    for (const auto& kv : s.keys) names.append(kv.second);
    for (const QString& n : names)
      if (!files->count(QStringLiteral("skins/") + n))
        errors->append(QStringLiteral("Skins.xml %1 names %2, which is not made").arg(s.name, n));
  }
  return errors->isEmpty();
}

// --- previews --------------------------------------------------------------------------------------

QImage RenderMockup(const Window& w, int layout, bool over) {
  QImage image;
  QString prefix;
  for (const ImageSet& set : SetsOf(w))
    if (set.layout == layout) prefix = set.skinPrefix;
  for (const auto& [key, img] : RenderWindow(w))
    if (key == prefix + (over ? QStringLiteral("_OVER") : QStringLiteral("_NORMAL"))) image = img.convertToFormat(QImage::Format_RGB32);
  if (image.isNull()) return image;
  const bool amber = w.section.startsWith(QLatin1String("WARNING")) || w.section == QLatin1String("ABOUT");
  const QColor textColour = amber ? colour::kAmber : colour::kGold;
  QPainter p(&image);
  p.setRenderHint(QPainter::TextAntialiasing, true);
  for (const Text& t : w.texts) {
    if (!(t.layouts & layout)) continue;
    p.setFont(UiFont(t.px, t.bold));
    p.setPen(textColour);
    const QString text = t.text + t.suffix;
    const int width = QFontMetrics(p.font()).horizontalAdvance(text);
    const int x = t.centred ? t.pos.x() - width / 2 : t.pos.x();
    p.drawText(QRect(x, t.pos.y(), width + 2, QFontMetrics(p.font()).height()), Qt::AlignLeft | Qt::AlignTop, text);
  }
  for (const Control& c : w.controls) {
    if (!(c.layouts & layout)) continue;
    const QString caption = c.drawnTexts.isEmpty() ? c.tooltip : c.drawnTexts.first();
    const QColor capColour = over ? colour::kWhite : colour::kGold;
    if (c.kind == Kind::TextBox) {
      QString text = c.tooltip;
      if (c.key.endsWith(QLatin1String("_STRING")) && !w.messages.empty()) text = w.messages.front().text;
      p.setFont(UiFont(12, false));
      p.setPen(textColour);
      p.drawText(c.rect, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, text);
      continue;
    }
    if (c.drawn == CaptionLayout::None || caption.isEmpty()) continue;
    p.setPen(capColour);
    const QFontMetrics fm(UiFont(12, c.drawn != CaptionLayout::Plain && c.drawn != CaptionLayout::Light));
    const int cx = fm.horizontalAdvance(caption), cy = fm.height();
    const QRect r = c.rect;
    switch (c.drawn) {
      case CaptionLayout::RotatedUp:
        p.save();
        p.setFont(UiFont(12, true));
        p.translate(r.left() + 5, r.top() + r.height() / 2 + cx / 2 + 5);
        p.rotate(-90);
        p.drawText(QPoint(0, fm.ascent()), caption);
        p.restore();
        break;
      case CaptionLayout::RotatedDown:
        p.save();
        p.setFont(UiFont(12, true));
        p.translate(r.left() + 15, r.top() + r.height() / 2 - cx / 2 + 5);
        p.rotate(90);
        p.drawText(QPoint(0, fm.ascent()), caption);
        p.restore();
        break;
      case CaptionLayout::CentreBold:
        p.setFont(UiFont(12, true));
        p.drawText(QPoint(r.left() + 5 + (r.width() - cx) / 2 - 5, r.top() + r.height() / 2 - cy / 2 - 2 + fm.ascent()), caption);
        break;
      default:
        p.setFont(UiFont(12, false));
        p.drawText(QRect(r.left() + 5, r.top() + r.height() / 2 - cy / 2, r.width() - 7, cy), Qt::AlignCenter,
                   fm.elidedText(caption, Qt::ElideRight, r.width() - 7));
        break;
    }
  }
  return image;
}

// --- contact sheet -------------------------------------------------------------------------------

QImage ContactSheet(const Product& product) {
  struct Row {
    QString title;
    std::vector<std::pair<QString, QImage>> images;
  };
  std::vector<Row> rows;
  for (const Window& w : product.windows) {
    Row row{w.section, RenderWindow(w)};
    for (const Extra& e : w.extras) row.images.emplace_back(e.key, e.draw());
    rows.push_back(row);
  }
  Row small{QStringLiteral("Fixed images and pop-up menus"), {}};
  for (const FixedImage& f : product.fixedImages) small.images.emplace_back(QFileInfo(f.path).fileName(), f.draw());
  rows.push_back(small);

  const int maxThumb = 420, gap = 14, labelH = 18, titleH = 26, sheetW = 5 * (maxThumb + gap) + gap;
  auto scaleOf = [&](const QImage& img) {
    double s = std::min(1.0, double(maxThumb) / img.width());
    if (img.width() < 40 && img.height() < 40) s = 3.0;  // small pictures enlarged
    return s;
  };
  // lay out rows, wrapping images to further lines
  int height = gap;
  for (const Row& r : rows) {
    height += titleH;
    int x = gap, lineH = 0;
    for (const auto& [name, img] : r.images) {
      double s = scaleOf(img);
      int w = int(img.width() * s), h = int(img.height() * s);
      if (x + w > sheetW - gap) {
        height += lineH + labelH + gap;
        x = gap;
        lineH = 0;
      }
      x += std::max(w, 90) + gap;
      lineH = std::max(lineH, h);
    }
    height += lineH + labelH + gap;
  }
  QImage sheet(sheetW, height, QImage::Format_RGB32);
  sheet.fill(QColor(44, 46, 52));
  QPainter p(&sheet);
  p.setRenderHint(QPainter::SmoothPixmapTransform, true);
  int y = gap;
  for (const Row& r : rows) {
    p.setFont(UiFont(16, true));
    p.setPen(colour::kGold);
    p.drawText(QRect(gap, y, sheetW, titleH), Qt::AlignLeft | Qt::AlignVCenter, r.title);
    y += titleH;
    int x = gap, lineH = 0;
    for (const auto& [name, img] : r.images) {
      double s = scaleOf(img);
      int w = int(img.width() * s), h = int(img.height() * s);
      if (x + w > sheetW - gap) {
        y += lineH + labelH + gap;
        x = gap;
        lineH = 0;
      }
      QImage shown = img.convertToFormat(QImage::Format_RGB32);
      p.drawImage(QRect(x, y, w, h), shown);
      p.setFont(UiFont(11, false));
      p.setPen(QColor(210, 210, 214));
      p.drawText(QRect(x, y + h + 2, std::max(w, 90), labelH), Qt::AlignLeft | Qt::AlignTop, name);
      x += std::max(w, 90) + gap;
      lineH = std::max(lineH, h);
    }
    y += lineH + labelH + gap;
  }
  return sheet;
}

bool WriteFiles(const FileSet& files, const QString& folder, QString* error) {
  for (const auto& [path, bytes] : files) {
    const QString full = folder + QLatin1Char('/') + path;
    if (!QDir().mkpath(QFileInfo(full).absolutePath())) {
      *error = QStringLiteral("cannot make the folder of %1").arg(full);
      return false;
    }
    QFile file(full);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
      *error = QStringLiteral("cannot write %1").arg(full);
      return false;
    }
  }
  return true;
}

}  // namespace orv::art
