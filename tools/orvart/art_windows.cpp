// The product's skin: one description per window, the pop-up menus, the texts of Menu.xml and
// the small pictures kept at fixed paths.
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <cmath>

#include "art_generate.h"
#include "art_paint.h"

namespace orv::art {

namespace {

// --- control makers ------------------------------------------------------------------------------

Control Button(const QString& key, QRect r, const QString& caption, const QString& tooltip) {
  Control c;
  c.key = key;
  c.rect = r;
  c.kind = Kind::Plate;
  c.caption = caption;
  c.tooltip = tooltip;
  return c;
}

// A plate whose caption the program draws from the tooltip.
Control Face(const QString& key, QRect r, const QString& tooltip, CaptionLayout layout = CaptionLayout::Plain) {
  Control c;
  c.key = key;
  c.rect = r;
  c.kind = Kind::Plate;
  c.tooltip = tooltip;
  c.drawn = layout;
  return c;
}

Control IconButton(const QString& key, QRect r, Glyph g, const QString& tooltip) {
  Control c;
  c.key = key;
  c.rect = r;
  c.kind = Kind::Icon;
  c.glyph = g;
  c.tooltip = tooltip;
  return c;
}

Control Make(const QString& key, QRect r, Kind kind, const QString& tooltip = {}) {
  Control c;
  c.key = key;
  c.rect = r;
  c.kind = kind;
  c.tooltip = tooltip;
  return c;
}

Control InLayout(Control c, int layouts) {
  c.layouts = layouts;
  return c;
}

Text Label(const QString& key, QPoint at, const QString& text, int layouts = kBothLayouts) {
  Text t;
  t.key = key;
  t.pos = at;
  t.text = text;
  t.layouts = layouts;
  return t;
}

Text Title(const QString& key, int centreX, int y, const QString& text, int px = 12) {
  Text t;
  t.key = key;
  t.pos = QPoint(centreX, y);
  t.text = text;
  t.centred = true;
  t.px = px;
  return t;
}

// --- shared art pieces ----------------------------------------------------------------------------

// The product's mark: a gold-edged diamond holding a wave crest.
void PaintEmblem(QPainter& p, QPointF c, qreal r) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  QPainterPath diamond;
  diamond.moveTo(c + QPointF(0, -r));
  diamond.lineTo(c + QPointF(r, 0));
  diamond.lineTo(c + QPointF(0, r));
  diamond.lineTo(c + QPointF(-r, 0));
  diamond.closeSubpath();
  QLinearGradient rim(c + QPointF(0, -r), c + QPointF(0, r));
  rim.setColorAt(0, QColor(255, 236, 150));
  rim.setColorAt(0.45, colour::kGold);
  rim.setColorAt(1, QColor(120, 80, 0));
  p.fillPath(diamond, rim);
  const qreal k = r * 0.8;
  QPainterPath inner;
  inner.moveTo(c + QPointF(0, -k));
  inner.lineTo(c + QPointF(k, 0));
  inner.lineTo(c + QPointF(0, k));
  inner.lineTo(c + QPointF(-k, 0));
  inner.closeSubpath();
  QRadialGradient body(c - QPointF(0, k * 0.4), k * 1.2);
  body.setColorAt(0, QColor(44, 52, 66));
  body.setColorAt(1, QColor(8, 10, 14));
  p.fillPath(inner, body);
  // the crest of a wave breaking over a blade
  QPainterPath wave;
  wave.moveTo(c + QPointF(-k * 0.62, k * 0.18));
  wave.cubicTo(c + QPointF(-k * 0.35, -k * 0.30), c + QPointF(k * 0.05, -k * 0.42), c + QPointF(k * 0.42, -k * 0.12));
  wave.cubicTo(c + QPointF(k * 0.18, -k * 0.16), c + QPointF(k * 0.02, -k * 0.02), c + QPointF(k * 0.10, k * 0.14));
  wave.cubicTo(c + QPointF(-k * 0.12, k * 0.02), c + QPointF(-k * 0.36, k * 0.06), c + QPointF(-k * 0.62, k * 0.18));
  p.fillPath(wave, rim);
  p.setPen(QPen(colour::kGold, std::max(1.0, r * 0.06), Qt::SolidLine, Qt::RoundCap));
  p.drawLine(c + QPointF(0, k * 0.05), c + QPointF(0, k * 0.62));
  p.drawLine(c + QPointF(-k * 0.18, k * 0.32), c + QPointF(k * 0.18, k * 0.32));
  p.restore();
}

// A word in the display face with a gold gradient and a dark drop shadow.
void PaintDisplayText(QPainter& p, const QRectF& r, const QString& text, int px, Qt::Alignment align) {
  QFont f = DisplayFont(px);
  QPainterPath path;
  QFontMetricsF fm(f);
  qreal w = fm.horizontalAdvance(text);
  qreal x = align & Qt::AlignHCenter ? r.center().x() - w / 2 : r.left();
  qreal y = r.center().y() + (fm.ascent() - fm.descent()) / 2;
  path.addText(QPointF(std::round(x), std::round(y)), f, text);
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  p.fillPath(path.translated(1, 2), QColor(0, 0, 0, 200));
  QLinearGradient g(0, y - fm.ascent(), 0, y);
  g.setColorAt(0, QColor(255, 240, 170));
  g.setColorAt(0.5, colour::kGold);
  g.setColorAt(1, QColor(170, 112, 0));
  p.fillPath(path, g);
  p.restore();
}

void PaintSmallCaps(QPainter& p, QRect r, const QString& text, Qt::Alignment align, QColor c = QColor(150, 156, 166)) {
  QFont f = UiFont(10, true);
  f.setLetterSpacing(QFont::AbsoluteSpacing, 1.5);
  p.setFont(f);
  p.setPen(c);
  if (QFontMetrics(f).horizontalAdvance(text) > r.width())
    NoteFault(QStringLiteral("the drawn words \"%1\" do not fit their place").arg(text));
  p.drawText(r, align | Qt::AlignVCenter, text);
}

// A recess in a window's rim where a drawer comes out.
void PaintDrawerSlot(QPainter& p, QPointF a, QPointF b) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setPen(QPen(QColor(0, 0, 0, 220), 3, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(a, b);
  p.setPen(QPen(QColor(201, 162, 39, 150), 1, Qt::SolidLine, Qt::RoundCap));
  QPointF d = b - a;
  qreal len = std::hypot(d.x(), d.y());
  QPointF n(-d.y() / len, d.x() / len);
  p.drawLine(a + n * 2, b + n * 2);
  p.setBrush(colour::kGold);
  p.setPen(Qt::NoPen);
  p.drawEllipse(a, 2, 2);
  p.drawEllipse(b, 2, 2);
  p.restore();
}

void PaintBadge(QPainter& p, QPointF c, int n) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  QRadialGradient g(c - QPointF(2, 3), 11);
  g.setColorAt(0, QColor(70, 76, 88));
  g.setColorAt(1, QColor(14, 16, 20));
  p.setBrush(g);
  p.setPen(QPen(colour::kGoldDeep, 1.2));
  p.drawEllipse(c, 9, 9);
  p.setFont(UiFont(n >= 10 ? 9 : 11, true));
  p.setPen(colour::kGold);
  p.drawText(QRectF(c.x() - 9, c.y() - 9, 18, 18), Qt::AlignCenter, QString::number(n));
  p.restore();
}

// The mouse seen from above, in dark metal with gold seams; returns where the leader lines of
// its fourteen buttons end.
std::vector<QPointF> PaintMouse(QPainter& p, QRectF box) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  const qreal x = box.left(), y = box.top(), w = box.width(), h = box.height();
  auto P = [&](qreal fx, qreal fy) { return QPointF(x + fx * w, y + fy * h); };
  QPainterPath body;
  body.moveTo(P(0.50, 0.0));
  body.cubicTo(P(0.78, 0.0), P(0.90, 0.06), P(0.92, 0.24));
  body.cubicTo(P(0.94, 0.40), P(1.0, 0.56), P(0.99, 0.72));
  body.cubicTo(P(0.98, 0.92), P(0.74, 1.0), P(0.50, 1.0));
  body.cubicTo(P(0.26, 1.0), P(0.02, 0.92), P(0.01, 0.72));
  body.cubicTo(P(0.0, 0.56), P(0.06, 0.40), P(0.08, 0.24));
  body.cubicTo(P(0.10, 0.06), P(0.22, 0.0), P(0.50, 0.0));
  // soft glow under the mouse
  QRadialGradient glow(box.center() + QPointF(0, h * 0.08), h * 0.62);
  glow.setColorAt(0, QColor(255, 204, 0, 30));
  glow.setColorAt(1, QColor(255, 204, 0, 0));
  p.setPen(Qt::NoPen);
  p.setBrush(glow);
  p.drawEllipse(box.center() + QPointF(0, h * 0.08), h * 0.62, h * 0.62);
  p.setBrush(Qt::NoBrush);
  QLinearGradient shell(P(0, 0), P(1, 0));
  shell.setColorAt(0, QColor(26, 29, 35));
  shell.setColorAt(0.35, QColor(74, 80, 92));
  shell.setColorAt(0.55, QColor(52, 57, 66));
  shell.setColorAt(1, QColor(18, 20, 25));
  p.fillPath(body, shell);
  // highlight along the back
  QRadialGradient sheen(P(0.42, 0.55), w * 0.55);
  sheen.setColorAt(0, QColor(255, 255, 255, 36));
  sheen.setColorAt(1, QColor(255, 255, 255, 0));
  p.fillPath(body, sheen);
  p.setPen(QPen(colour::kGoldDeep, 1.4));
  p.drawPath(body);
  // the split between the two main buttons and the wheel
  p.setPen(QPen(QColor(0, 0, 0, 220), 2));
  p.drawLine(P(0.50, 0.02), P(0.50, 0.34));
  p.setPen(QPen(QColor(201, 162, 39, 160), 1));
  p.drawLine(P(0.51, 0.02), P(0.51, 0.34));
  QPainterPath seam;
  seam.moveTo(P(0.03, 0.36));
  seam.cubicTo(P(0.30, 0.40), P(0.70, 0.40), P(0.97, 0.36));
  p.setPen(QPen(QColor(201, 162, 39, 170), 1.2));
  p.drawPath(seam);
  QRectF wheel(P(0.43, 0.08), P(0.57, 0.26));
  QLinearGradient wg(wheel.topLeft(), wheel.topRight());
  wg.setColorAt(0, QColor(20, 20, 22));
  wg.setColorAt(0.5, QColor(96, 100, 110));
  wg.setColorAt(1, QColor(20, 20, 22));
  p.setPen(QPen(QColor(0, 0, 0), 1));
  p.setBrush(wg);
  p.drawRoundedRect(wheel, 4, 4);
  p.setPen(QPen(QColor(255, 204, 0, 150), 1));
  for (qreal yy = wheel.top() + 3; yy < wheel.bottom() - 2; yy += 3) p.drawLine(QPointF(wheel.left() + 2, yy), QPointF(wheel.right() - 2, yy));
  // the twelve-key thumb grid on the left flank
  p.setBrush(Qt::NoBrush);
  for (int row = 0; row < 4; ++row)
    for (int col = 0; col < 2; ++col) {
      QRectF key(P(0.10 + col * 0.12, 0.445 + row * 0.075), QSizeF(w * 0.10, h * 0.055));
      if (col == 0) key.translate(w * 0.0, 0);
      QLinearGradient kg(key.topLeft(), key.bottomLeft());
      kg.setColorAt(0, QColor(64, 70, 80));
      kg.setColorAt(1, QColor(22, 24, 29));
      p.setPen(QPen(QColor(0, 0, 0, 230), 1));
      p.setBrush(kg);
      p.drawRoundedRect(key, 2, 2);
    }
  for (int i = 0; i < 5; ++i) {
    const qreal fx[5] = {0.90, 0.93, 0.95, 0.95, 0.90};
    QPointF c = P(fx[i], 0.42 + i * 0.10 + (i == 4 ? 0.02 : 0));
    QRectF key(c.x() - w * 0.05, c.y() - h * 0.025, w * 0.06, h * 0.05);
    p.setPen(QPen(QColor(0, 0, 0, 230), 1));
    p.setBrush(QColor(40, 44, 52));
    p.drawRoundedRect(key, 2, 2);
  }
  p.setBrush(Qt::NoBrush);
  // the glowing mark on the palm rest
  PaintEmblem(p, P(0.60, 0.78), w * 0.11);
  p.restore();
  // ends of the leader lines, seven down each side: the main buttons and the wheel at the
  // top, the thumb keys on the left flank, the sniper and tilt keys on the right
  std::vector<QPointF> ends;
  const qreal leftY[7] = {0.14, 0.26, 0.47, 0.545, 0.62, 0.695, 0.86};
  const qreal leftX[7] = {0.26, 0.45, 0.15, 0.15, 0.15, 0.15, 0.12};
  const qreal rightY[7] = {0.14, 0.26, 0.42, 0.52, 0.62, 0.72, 0.84};
  const qreal rightX[7] = {0.74, 0.55, 0.90, 0.93, 0.95, 0.95, 0.90};
  for (int i = 0; i < 7; ++i) ends.push_back(P(leftX[i], leftY[i]));
  for (int i = 0; i < 7; ++i) ends.push_back(P(rightX[i], rightY[i]));
  return ends;
}

// --- the windows --------------------------------------------------------------------------------

const QString kClose = QStringLiteral("Close");

std::vector<Message> MessagesIn(const QRect& r, const QStringList& texts, int px = 12) {
  std::vector<Message> out;
  for (const QString& t : texts) out.push_back(Message{t, r, px});
  return out;
}

// Every message the one-button notice shows.
QStringList NoticeMessages() {
  return {
      QStringLiteral("Please reduce Macro Size."),
      QStringLiteral("Please reduce loop times of macro less than 256 times if you want to save the profile on-board."),
      QStringLiteral("The \"Change Profile\" functions that has found in this profile can not be saved on-board. Please "
                     "remove all \"Change Profile\" functions if you want to save the profile on-board."),
      QStringLiteral("The macros of \"Copy & Paste\" mode that has found in this profile can not be saved on-board. "
                     "Please use the \"Text / Record Delay / No Delay\" macro modes to create these macros if you want "
                     "to save the profile on-board."),
      QStringLiteral("Failure to save macro on Board"),
      QStringLiteral("Please download and install the free Adobe Reader  to read the user guide."),
  };
}

const QString kWarnChangeProfile = QStringLiteral("Do you want to replace profile %d with a copy of profile %d?");
const QString kWarnRestoreProfile =
    QStringLiteral("The changes you have not applied will be lost. Do you want to continue?");
const QString kEnterCharacter = QStringLiteral("Please enter the name of your character.");
const QString kEnterRealm = QStringLiteral("Please enter the realm of your character.");
const QString kNotFound =
    QStringLiteral("The character could not be found. Please check the region, the realm and the name.");

Window MainWindow() {
  Window w;
  w.section = QStringLiteral("MAIN");
  w.file = QStringLiteral("main");
  w.size = QSize(1000, 560);
  w.chamfer = 30;
  w.rim = 10;
  w.hasDisable = true;
  w.dialogHeader = false;

  // title bar
  w.controls.push_back(Button(QStringLiteral("BUTTON_FILE_MENU"), QRect(330, 20, 64, 26), QStringLiteral("File"),
                              QStringLiteral("Games - export - import - print")));
  w.controls.push_back(Button(QStringLiteral("BUTTON_TOOLS_MENU"), QRect(398, 20, 64, 26), QStringLiteral("Tools"),
                              QStringLiteral("Polling rate - lift distance - warnings")));
  w.controls.push_back(Button(QStringLiteral("BUTTON_HELP_MENU"), QRect(466, 20, 64, 26), QStringLiteral("Help"),
                              QStringLiteral("User guide and version")));
  w.controls.push_back(IconButton(QStringLiteral("HELP"), QRect(862, 19, 28, 28), Glyph::Help, QStringLiteral("User guide")));
  w.controls.push_back(IconButton(QStringLiteral("MINIMIZE"), QRect(896, 19, 28, 28), Glyph::Minimise, QStringLiteral("Minimise")));
  w.controls.push_back(IconButton(QStringLiteral("EXIT"), QRect(930, 19, 28, 28), Glyph::Close, kClose));

  // the three drawer tabs on the edges the drawers come out of
  w.controls.push_back(Face(QStringLiteral("BUTTON_MOUSE_PROPERTIES"), QRect(20, 130, 26, 210),
                            QStringLiteral("Mouse Properties"), CaptionLayout::RotatedUp));
  w.controls.back().kind = Kind::TabUp;
  w.controls.push_back(Face(QStringLiteral("BUTTON_ASSIGNMENTS"), QRect(954, 130, 26, 250),
                            QStringLiteral("Button Assignments"), CaptionLayout::RotatedDown));
  w.controls.back().kind = Kind::TabDown;
  w.controls.push_back(Face(QStringLiteral("BUTTON_ILLUMINATION"), QRect(150, 512, 190, 26),
                            QStringLiteral("Illumination"), CaptionLayout::CentreBold));
  w.controls.back().kind = Kind::TabFlat;

  // left column: game mode, character and defaults, on-board memory
  w.texts.push_back(Label(QStringLiteral("IN_GAME_MODE_TEXT"), QPoint(66, 82), QStringLiteral("In-Game Mode")));
  w.controls.push_back(Make(QStringLiteral("ENABLE_IN_GAME_MODE"), QRect(66, 102, 92, 26), Kind::Switch,
                            QStringLiteral("Locks the button assignments while you play")));
  w.controls.push_back(Face(QStringLiteral("BUTTON_ARMORY"), QRect(66, 154, 152, 30), QStringLiteral("Game Character"),
                            CaptionLayout::Light));
  w.controls.push_back(Button(QStringLiteral("RESTORE"), QRect(66, 190, 152, 30), QStringLiteral("Restore Defaults"),
                              QStringLiteral("Gives the active profile its default settings")));
  w.controls.push_back(Button(QStringLiteral("SAVE_ON_BOARD"), QRect(66, 284, 152, 30), QStringLiteral("Save On-Board"),
                              QStringLiteral("Writes the active profile into the memory of the mouse")));

  // centre: the fourteen assignment labels around the mouse
  for (int i = 0; i < 14; ++i) {
    const bool left = i < 7;
    const int row = left ? i : i - 7;
    Control c = Make(QStringLiteral("MOUSE_BUTTON_%1").arg(i + 1),
                     QRect(left ? 246 : 534, 100 + row * 52, 130, 26), Kind::Slot,
                     QStringLiteral("Button %1: click to choose its function - right-click for the basic ones").arg(i + 1));
    c.label = QStringLiteral("Button %1").arg(i + 1);
    c.drawn = CaptionLayout::Plain;
    static const char* samples[14] = {"Left Click", "Right Click", "Universal Scroll", "Back (Button 4)",
                                      "Forward (Button 5)", "Action Button 1", "Action Button 2",
                                      "Toggle Run", "Toggle Autorun", "Open Chat", "Jump",
                                      "1600 DPI", "Next Profile", "Off"};
    c.drawnTexts = {QLatin1String(samples[i])};
    w.controls.push_back(c);
  }

  // right: the ten profiles
  w.texts.push_back(Title(QStringLiteral("PROFILE"), 815, 80, QStringLiteral("Profiles")));
  for (int i = 0; i < 10; ++i) {
    Control c = Make(QStringLiteral("PROFILE_%1").arg(i + 1), QRect(688 + (i % 2) * 130, 104 + (i / 2) * 74, 124, 64),
                     Kind::Card, QStringLiteral("Profile %1 - drag it onto another profile to copy it").arg(i + 1));
    c.label = QStringLiteral("Profile %1").arg(i + 1);
    c.drawn = CaptionLayout::Plain;
    c.drawnTexts = {c.label};
    w.controls.push_back(c);
  }

  // bottom
  w.controls.push_back(Button(QStringLiteral("BUTTON_OK"), QRect(716, 506, 74, 30), QStringLiteral("OK"),
                              QStringLiteral("Applies the changes and closes")));
  w.controls.push_back(Button(QStringLiteral("BUTTON_CANCEL"), QRect(796, 506, 74, 30), QStringLiteral("Cancel"),
                              QStringLiteral("Closes without applying")));
  w.controls.push_back(Button(QStringLiteral("BUTTON_APPLY"), QRect(876, 506, 74, 30), QStringLiteral("Apply"),
                              QStringLiteral("Saves the changes and sends them to the mouse")));

  w.plains.push_back({QStringLiteral("STRING_WARNING_CHANGE_PROFILE"), kWarnChangeProfile});
  w.plains.push_back({QStringLiteral("STRING_WARNING_RESTORE_PROFILE"), kWarnRestoreProfile});

  w.decorate = [](QPainter& p, int) {
    // title bar
    QLinearGradient band(0, 10, 0, 60);
    band.setColorAt(0, QColor(255, 255, 255, 10));
    band.setColorAt(1, QColor(0, 0, 0, 80));
    p.fillRect(QRect(10, 10, 980, 50), band);
    PaintRule(p, 24, 976, 60);
    PaintEmblem(p, QPointF(48, 34), 19);
    PaintDisplayText(p, QRectF(76, 12, 240, 28), QStringLiteral("ORVANDEL"), 24, Qt::AlignLeft);
    PaintSmallCaps(p, QRect(78, 38, 240, 14), QStringLiteral("TIDEFALL  MMO GAMING MOUSE"), Qt::AlignLeft);
    // drawer slots in the rim
    PaintDrawerSlot(p, QPointF(5, 92), QPointF(5, 474));
    PaintDrawerSlot(p, QPointF(995, 96), QPointF(995, 520));
    PaintDrawerSlot(p, QPointF(106, 555), QPointF(528, 555));
    // panels
    PaintPanel(p, QRect(56, 70, 172, 68));
    PaintPanel(p, QRect(56, 144, 172, 84));
    PaintPanel(p, QRect(56, 234, 172, 92));
    PaintPanel(p, QRect(238, 70, 434, 424));
    PaintPanel(p, QRect(680, 70, 268, 408));
    PaintSmallCaps(p, QRect(56, 238, 172, 14), QStringLiteral("ON-BOARD MEMORY"), Qt::AlignHCenter);
    // memory gauge: the bar at x 79-166, y 255-269 and its percentage up to x 200
    PaintWell(p, QRect(79, 255, 87, 14));
    p.fillRect(QRect(168, 254, 33, 17), QColor(6, 7, 9));
    p.setPen(QColor(58, 63, 72));
    p.drawRect(QRect(168, 253, 33, 17));
    // the mouse and its leader lines
    std::vector<QPointF> ends = PaintMouse(p, QRectF(398, 134, 114, 280));
    p.setRenderHint(QPainter::Antialiasing, true);
    for (int i = 0; i < 14; ++i) {
      const bool left = i < 7;
      const int row = left ? i : i - 7;
      QPointF badge(left ? 389 : 521, 113 + row * 52);
      QPointF end = ends[size_t(i)];
      QPainterPath lead;
      lead.moveTo(badge + QPointF(left ? 9 : -9, 0));
      QPointF knee(left ? 400 : 510, badge.y());
      lead.lineTo(knee);
      lead.lineTo(end);
      p.setPen(QPen(QColor(0, 0, 0, 200), 3));
      p.drawPath(lead);
      p.setPen(QPen(QColor(201, 162, 39, 170), 1));
      p.drawPath(lead);
      p.setPen(Qt::NoPen);
      p.setBrush(colour::kGold);
      p.drawEllipse(end, 2, 2);
      p.setBrush(Qt::NoBrush);
      PaintBadge(p, badge, i + 1);
    }
    // rivets on the cut corners
    for (QPointF c : {QPointF(22, 22), QPointF(978, 22), QPointF(22, 538), QPointF(978, 538)}) PaintRivet(p, c);
    PaintEmblem(p, QPointF(142, 398), 34);
    PaintSmallCaps(p, QRect(56, 440, 172, 14), QStringLiteral("TIDEFALL"), Qt::AlignHCenter, QColor(122, 98, 32));
  };

  w.extras.push_back(Extra{QStringLiteral("MAIN_PRINT"), QStringLiteral("main_print.png"), [] {
                             // the printed page: the composer writes the profile name, the fourteen
                             // labels and the character into its boxes
                             QImage page(700, 940, QImage::Format_RGB32);
                             page.fill(QColor(14, 16, 21));
                             QPainter p(&page);
                             p.setRenderHint(QPainter::Antialiasing, true);
                             QLinearGradient head(0, 0, 0, 100);
                             head.setColorAt(0, QColor(40, 44, 52));
                             head.setColorAt(1, QColor(16, 18, 23));
                             p.fillRect(QRect(0, 0, 700, 100), head);
                             PaintRule(p, 20, 680, 100);
                             PaintEmblem(p, QPointF(60, 50), 30);
                             PaintDisplayText(p, QRectF(104, 20, 400, 40), QStringLiteral("ORVANDEL"), 32, Qt::AlignLeft);
                             PaintSmallCaps(p, QRect(108, 60, 400, 16), QStringLiteral("TIDEFALL  MMO GAMING MOUSE  -  PROFILE SHEET"), Qt::AlignLeft);
                             PaintSmallCaps(p, QRect(40, 118, 200, 14), QStringLiteral("PROFILE"), Qt::AlignLeft);
                             PaintWell(p, QRect(40, 136, 620, 30));
                             PaintSmallCaps(p, QRect(40, 186, 300, 14), QStringLiteral("BUTTON ASSIGNMENTS"), Qt::AlignLeft);
                             for (int i = 0; i < 14; ++i) {
                               int col = i / 7, row = i % 7;
                               QPointF badge(52 + col * 320, 222 + row * 44);
                               PaintWell(p, QRect(72 + col * 320, 210 + row * 44, 268, 24), false);
                               PaintBadge(p, badge, i + 1);
                             }
                             PaintSmallCaps(p, QRect(40, 534, 300, 14), QStringLiteral("CHARACTER"), Qt::AlignLeft);
                             PaintWell(p, QRect(40, 556, 128, 128));
                             for (int i = 0; i < 4; ++i) PaintWell(p, QRect(190, 556 + i * 34, 470, 24), false);
                             PaintRule(p, 20, 680, 900);
                             PaintEmblem(p, QPointF(350, 800), 60);
                             return page;
                           }});
  return w;
}

Window AboutWindow() {
  Window w;
  w.section = QStringLiteral("ABOUT");
  w.file = QStringLiteral("about");
  w.size = QSize(400, 250);
  w.chamfer = 18;
  w.controls.push_back(IconButton(QStringLiteral("BUTTON_EXIT"), QRect(360, 14, 24, 24), Glyph::Close, kClose));
  w.texts.push_back(Title(QStringLiteral("TITLE"), 200, 20, QStringLiteral("Orvandel Tidefall MMO Gaming Mouse")));
  Text sw = Label(QStringLiteral("SOFTWARE_VERSION"), QPoint(150, 110), QStringLiteral("Software version: "));
  sw.suffix = QStringLiteral("1.15");
  Text fw = Label(QStringLiteral("FIRMWARE_VERSION"), QPoint(150, 140), QStringLiteral("Firmware version: "));
  fw.suffix = QStringLiteral("Disconnected");
  w.texts.push_back(sw);
  w.texts.push_back(fw);
  w.decorate = [](QPainter& p, int) {
    PaintEmblem(p, QPointF(86, 140), 50);
    PaintDisplayText(p, QRectF(150, 62, 220, 30), QStringLiteral("ORVANDEL"), 22, Qt::AlignLeft);
    PaintRule(p, 150, 370, 96);
    PaintRule(p, 30, 370, 206);
    PaintSmallCaps(p, QRect(20, 212, 360, 18), QStringLiteral("VELTRIX  -  TIDEFALL MMO GAMING MOUSE"), Qt::AlignHCenter,
                   QColor(120, 126, 136));
  };
  return w;
}

// The notice and the plain question share one layout; the option dialogs add a check box.
Window MessageDialog(const QString& section, const QString& file, QSize size, const QString& title, int titlePx) {
  Window w;
  w.section = section;
  w.file = file;
  w.size = size;
  w.chamfer = 18;
  w.controls.push_back(IconButton(QStringLiteral("BUTTON_EXIT"), QRect(size.width() - 40, 14, 24, 24), Glyph::Close, kClose));
  Text t = Title(section + QStringLiteral("_TITLE"), size.width() / 2, titlePx == 14 ? 19 : 20, title, titlePx);
  w.texts.push_back(t);
  w.decorate = [size](QPainter& p, int) {
    // a gold warning diamond opposite the close button
    QPointF c(34, 26);
    QPainterPath d;
    d.moveTo(c + QPointF(0, -9));
    d.lineTo(c + QPointF(9, 0));
    d.lineTo(c + QPointF(0, 9));
    d.lineTo(c + QPointF(-9, 0));
    d.closeSubpath();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.fillPath(d, colour::kGoldDeep);
    p.setFont(UiFont(12, true));
    p.setPen(QColor(20, 16, 4));
    p.drawText(QRectF(c.x() - 9, c.y() - 9, 18, 18), Qt::AlignCenter, QStringLiteral("!"));
    PaintRule(p, 30, size.width() - 30, size.height() - 58);
    for (QPointF r : {QPointF(16, size.height() - 16), QPointF(size.width() - 16, size.height() - 16)}) PaintRivet(p, r);
  };
  return w;
}

Window WarningOne() {
  Window w = MessageDialog(QStringLiteral("WARNING_ONE"), QStringLiteral("warning_one"), QSize(470, 210),
                           QStringLiteral("Notice"), 14);
  Control text = Make(QStringLiteral("WARNING_ONE_STRING"), QRect(36, 60, 398, 88), Kind::TextBox, QStringLiteral("Message"));
  w.controls.push_back(text);
  w.controls.push_back(Face(QStringLiteral("BUTTON_OK"), QRect(185, 164, 100, 30), QStringLiteral("OK")));
  w.linkMessageKey = text.key;
  QStringList all = NoticeMessages();
  all << kEnterCharacter << kEnterRealm << kNotFound;
  w.messages = MessagesIn(text.rect, all);
  return w;
}

Window WarningTwo() {
  Window w = MessageDialog(QStringLiteral("WARNING_TWO"), QStringLiteral("warning_two"), QSize(440, 210),
                           QStringLiteral("Please Confirm"), 12);
  Control text = Make(QStringLiteral("WARNING_TWO_STRING"), QRect(36, 60, 368, 88), Kind::TextBox, QStringLiteral("Question"));
  w.controls.push_back(text);
  w.controls.push_back(Face(QStringLiteral("BUTTON_YES"), QRect(108, 164, 100, 30), QStringLiteral("Yes")));
  w.controls.push_back(Face(QStringLiteral("BUTTON_NO"), QRect(232, 164, 100, 30), QStringLiteral("No")));
  const QString lift = QStringLiteral("The lift Distance has been reconfigured. Do you want to keep this setting?");
  w.messages = MessagesIn(text.rect,
                          {QStringLiteral("Would you like to save changes?"), QString(kWarnChangeProfile).replace(QStringLiteral("%d"), QStringLiteral("10")),
                           kWarnRestoreProfile, QStringLiteral("Would you like to overwrite the current profile with the on-board profile?")});
  // the countdown writes under the question, 40 pixels lower
  w.messages.push_back(Message{lift, QRect(text.rect.x(), text.rect.y(), text.rect.width(), 40), 12});
  w.messages.push_back(Message{QStringLiteral("Reverting in 10 second"), text.rect.adjusted(0, 40, 0, 0), 12});
  return w;
}

Window OptionDialog(const QString& section, const QString& file, const QString& title, const QString& message) {
  Window w = MessageDialog(section, file, QSize(440, 240), title, 12);
  Control text = Make(section + QStringLiteral("_STRING"), QRect(36, 60, 368, 72), Kind::TextBox, message);
  text.wrapTooltip = true;
  w.controls.push_back(text);
  w.controls.push_back(Make(QStringLiteral("BUTTON_OPTION"), QRect(36, 146, 20, 20), Kind::Check,
                            QStringLiteral("Do not ask again")));
  Control option = Make(section + QStringLiteral("_OPTION"), QRect(64, 146, 340, 20), Kind::TextBox,
                        QStringLiteral("Do not show this message again"));
  option.wrapTooltip = true;
  w.controls.push_back(option);
  w.controls.push_back(Face(QStringLiteral("BUTTON_YES"), QRect(108, 194, 100, 30), QStringLiteral("Yes")));
  w.controls.push_back(Face(QStringLiteral("BUTTON_NO"), QRect(232, 194, 100, 30), QStringLiteral("No")));
  return w;
}

Window WarningFour() {
  Window w = MessageDialog(QStringLiteral("WARNING_FOUR"), QStringLiteral("warning_four"), QSize(480, 340),
                           QStringLiteral("Record a Macro"), 12);
  Control box = Make(QStringLiteral("WARNING_FOUR_STRING"), QRect(36, 60, 408, 168), Kind::Field,
                     QStringLiteral("Please read this notice before you record a macro."));
  w.controls.push_back(box);
  w.controls.push_back(Make(QStringLiteral("BUTTON_OPTION"), QRect(36, 244, 20, 20), Kind::Check,
                            QStringLiteral("Do not show again")));
  Control option = Make(QStringLiteral("WARNING_FOUR_OPTION"), QRect(64, 244, 380, 20), Kind::TextBox,
                        QStringLiteral("Do not show this notice again"));
  option.wrapTooltip = true;
  w.controls.push_back(option);
  w.controls.push_back(Face(QStringLiteral("BUTTON_YES"), QRect(128, 294, 100, 30), QStringLiteral("Record")));
  w.controls.push_back(Face(QStringLiteral("BUTTON_NO"), QRect(252, 294, 100, 30), QStringLiteral("Cancel")));
  const QString notice = QStringLiteral(
      "A macro plays back the keys you record, with the pauses between them.\n\n"
      "Macros that play the game for you while you are away may be against the rules of the game. "
      "Use them to save keystrokes, not to replace your own play: you are responsible for how your "
      "macros are used.\n\n"
      "Press Record to start. Press Cancel if you do not want to record a macro now.");
  w.plains.push_back({QStringLiteral("WARNING_FOUR_LICENSE"), notice});
  // the notice box is an edit control with a small margin
  w.messages.push_back(Message{notice,
                               box.rect.adjusted(4, 4, -8, -4), 12});
  return w;
}

Window ProgressWindow() {
  Window w;
  w.section = QStringLiteral("PROGRESS_DLG");
  w.file = QStringLiteral("progress");
  w.size = QSize(254, 78);
  w.chamfer = 10;
  w.rim = 6;
  w.dialogHeader = false;
  w.normalOnly = true;
  w.texts.push_back(Label(QStringLiteral("PROGRESS_TITLE"), QPoint(16, 11), QStringLiteral("Saving to the mouse")));
  Text wait = Label(QStringLiteral("PROGRESS"), QPoint(16, 53), QStringLiteral("Please wait a moment."));
  wait.bold = false;
  w.texts.push_back(wait);
  w.decorate = [](QPainter& p, int) {
    // the bar at (16, 32)-(238, 46)
    PaintWell(p, QRect(16, 32, 222, 14));
    PaintEmblem(p, QPointF(228, 17), 8);
  };
  w.extras.push_back(Extra{QStringLiteral("PROGRESS_TITLE"), QStringLiteral("progress_title.png"), [] {
                             QImage img(222, 18, QImage::Format_RGB32);
                             img.fill(QColor(14, 16, 21));
                             QPainter p(&img);
                             p.setRenderHint(QPainter::TextAntialiasing, true);
                             p.setFont(UiFont(12, true));
                             p.setPen(colour::kGold);
                             p.drawText(QRect(0, 0, 222, 18), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Saving to the mouse"));
                             return img;
                           }});
  return w;
}

Window EditGameWindow() {
  Window w;
  w.section = QStringLiteral("EDIT_GAME");
  w.file = QStringLiteral("edit_game");
  w.size = QSize(440, 330);
  w.chamfer = 18;
  w.hasDisable = true;
  w.texts.push_back(Title(QStringLiteral("EDIT_GAME"), 220, 20, QStringLiteral("Linked Games")));
  w.controls.push_back(IconButton(QStringLiteral("BUTTON_EXIT"), QRect(400, 14, 24, 24), Glyph::Close, kClose));
  w.controls.push_back(Make(QStringLiteral("BUTTON_PATH"), QRect(28, 64, 276, 24), Kind::Field));
  w.controls.push_back(Face(QStringLiteral("BUTTON_BROWSE"), QRect(316, 61, 96, 30), QStringLiteral("Browse")));
  w.controls.push_back(Make(QStringLiteral("LIST_BOX"), QRect(28, 106, 276, 158), Kind::Field));
  w.controls.push_back(Face(QStringLiteral("BUTTON_ADD"), QRect(316, 104, 96, 30), QStringLiteral("Add")));
  w.controls.push_back(Face(QStringLiteral("BUTTON_REMOVE"), QRect(316, 142, 96, 30), QStringLiteral("Remove")));
  w.controls.push_back(Face(QStringLiteral("BUTTON_OK"), QRect(124, 284, 90, 30), QStringLiteral("OK")));
  w.controls.push_back(Face(QStringLiteral("BUTTON_CANCEL"), QRect(222, 284, 90, 30), QStringLiteral("Cancel")));
  w.controls.push_back(Face(QStringLiteral("BUTTON_APPLY"), QRect(320, 284, 90, 30), QStringLiteral("Apply")));
  w.decorate = [](QPainter& p, int) {
    PaintSmallCaps(p, QRect(308, 190, 112, 14), QStringLiteral("GAMES THAT"), Qt::AlignHCenter, QColor(96, 100, 110));
    PaintSmallCaps(p, QRect(308, 204, 112, 14), QStringLiteral("SWITCH TO"), Qt::AlignHCenter, QColor(96, 100, 110));
    PaintSmallCaps(p, QRect(308, 218, 112, 14), QStringLiteral("THIS PROFILE"), Qt::AlignHCenter, QColor(96, 100, 110));
    PaintRule(p, 30, 410, 272);
  };
  return w;
}

Window MacroWindow() {
  Window w;
  w.section = QStringLiteral("MACRO");
  w.file = QStringLiteral("macro");
  w.size = QSize(640, 440);
  w.chamfer = 20;
  w.imageSets = {ImageSet{QStringLiteral("MACRO"), kFirstLayout}, ImageSet{QStringLiteral("MACRO_PASTE"), kSecondLayout}};
  w.texts.push_back(Title(QStringLiteral("CUSTOM_MACRO"), 320, 20, QStringLiteral("Custom Macro")));
  w.controls.push_back(IconButton(QStringLiteral("BUTTON_EXIT"), QRect(600, 14, 24, 24), Glyph::Close, kClose));
  w.texts.push_back(Label(QStringLiteral("MACRO_NAME"), QPoint(30, 65), QStringLiteral("Macro name")));
  w.controls.push_back(Make(QStringLiteral("EDIT_NAME"), QRect(130, 58, 300, 28), Kind::Field));

  struct Mode {
    const char* key;
    const char* pasteKey;
    const char* text;
    const char* tooltip;
  };
  const Mode modes[] = {
      {"AUTO_DELAY", "PASTE_AUTO_DELAY", "Auto delay", "Fixed short pauses between the keys"},
      {"RECORD_DELAY", "PASTE_RECORD_DELAY", "Record delay", "Keeps the pauses as you press the keys"},
      {"NO_DELAY", "PASTE_NO_DELAY", "No delay", "Plays the keys without pauses"},
      {"PASTE", "PASTE_PASTE", "Copy & paste", "Types a text into the game chat"},
  };
  for (int i = 0; i < 4; ++i) {
    const Mode& m = modes[i];
    const QRect lamp(32, 112 + i * 32, 22, 22);
    w.controls.push_back(InLayout(Make(QStringLiteral("BUTTON_") + QLatin1String(m.key), lamp, Kind::Radio,
                                       QLatin1String(m.tooltip)),
                                  kFirstLayout));
    w.controls.push_back(InLayout(Make(QStringLiteral("BUTTON_") + QLatin1String(m.pasteKey), lamp, Kind::Radio,
                                       QLatin1String(m.tooltip)),
                                  kSecondLayout));
    Text t = Label(QLatin1String(m.key), QPoint(62, lamp.y() + 4), QLatin1String(m.text), kFirstLayout);
    t.maxWidth = 180;
    w.texts.push_back(t);
    t.key = QLatin1String(m.pasteKey);
    t.layouts = kSecondLayout;
    w.texts.push_back(t);
  }
  // normal layout: repeat count and the recorded keys
  w.controls.push_back(InLayout(Make(QStringLiteral("BUTTON_LOOP"), QRect(32, 252, 22, 22), Kind::Check,
                                     QStringLiteral("Repeats the macro the given number of times")),
                                kFirstLayout));
  w.texts.push_back(Label(QStringLiteral("LOOP"), QPoint(62, 256), QStringLiteral("Repeat"), kFirstLayout));
  w.controls.push_back(InLayout(Make(QStringLiteral("EDIT_LOOP"), QRect(128, 250, 52, 26), Kind::Field), kFirstLayout));
  w.controls.push_back(InLayout(Make(QStringLiteral("MACRO_AREA"), QRect(272, 106, 348, 272), Kind::Field), kFirstLayout));
  // paste layout: the keys pressed before and after the text, and the text
  w.controls.push_back(InLayout(Make(QStringLiteral("BUTTON_START_KEY"), QRect(32, 252, 22, 22), Kind::Check,
                                     QStringLiteral("Presses a key before typing the text")),
                                kSecondLayout));
  w.texts.push_back(Label(QStringLiteral("START_KEY"), QPoint(62, 256), QStringLiteral("Start key"), kSecondLayout));
  w.controls.push_back(InLayout(Make(QStringLiteral("START_AREA"), QRect(34, 282, 210, 28), Kind::Field), kSecondLayout));
  w.controls.push_back(InLayout(Make(QStringLiteral("BUTTON_SEND_KEY"), QRect(32, 322, 22, 22), Kind::Check,
                                     QStringLiteral("Presses a key after typing the text")),
                                kSecondLayout));
  w.texts.push_back(Label(QStringLiteral("SEND_KEY"), QPoint(62, 326), QStringLiteral("Send key"), kSecondLayout));
  w.controls.push_back(InLayout(Make(QStringLiteral("SEND_AREA"), QRect(34, 352, 210, 28), Kind::Field), kSecondLayout));
  w.controls.push_back(InLayout(Make(QStringLiteral("EDIT_PASTE"), QRect(272, 106, 348, 272), Kind::Field), kSecondLayout));

  w.controls.push_back(Button(QStringLiteral("BUTTON_CLEAR"), QRect(30, 394, 90, 30), QStringLiteral("Clear"),
                              QStringLiteral("Clears the keys of the selected area")));
  w.controls.push_back(Button(QStringLiteral("BUTTON_OK"), QRect(336, 394, 90, 30), QStringLiteral("OK"),
                              QStringLiteral("Saves the macro and closes")));
  w.controls.push_back(Button(QStringLiteral("BUTTON_CANCEL"), QRect(432, 394, 90, 30), QStringLiteral("Cancel"),
                              QStringLiteral("Closes without saving")));
  w.controls.push_back(Button(QStringLiteral("BUTTON_APPLY"), QRect(528, 394, 90, 30), QStringLiteral("Apply"),
                              QStringLiteral("Apply")));
  w.decorate = [](QPainter& p, int layout) {
    PaintPanel(p, QRect(20, 100, 236, 286));
    PaintSmallCaps(p, QRect(272, 88, 348, 14), layout == kFirstLayout ? QStringLiteral("RECORDED KEYS")
                                                                       : QStringLiteral("TEXT TO TYPE"),
                   Qt::AlignLeft);
    if (layout == kFirstLayout) PaintSmallCaps(p, QRect(188, 250, 54, 26), QStringLiteral("TIMES"), Qt::AlignLeft);
    PaintRule(p, 30, 246, 240);
  };
  return w;
}

Window AssignmentWindow() {
  Window w;
  w.section = QStringLiteral("BUTTON_ASSIGNMENTS");
  w.file = QStringLiteral("assignments");
  w.size = QSize(200, 460);
  w.rim = 8;
  w.outline = [] { return ChamferedRect(QRectF(0, 0, 200, 460), 0, 22, 22, 0); };
  w.texts.push_back(Title(QStringLiteral("BUTTON_ASSIGNMENTS"), 94, 20, QStringLiteral("Button Assignments")));
  Control close = Face(QStringLiteral("CLOSE_ASSIGNMENTS"), QRect(178, 140, 20, 200), kClose, CaptionLayout::RotatedDown);
  close.kind = Kind::TabDown;
  w.controls.push_back(close);
  Control bar = Make(QStringLiteral("FOLDER_BAR"), QRect(0, 53, 176, 387), Kind::Region);
  bar.writeEntry = false;
  w.controls.push_back(bar);
  w.decorate = [](QPainter& p, int) {
    // the folder bar paints itself; the art gives it a dark bed in its colours
    p.fillRect(QRect(0, 53, 176, 387), QColor(41, 41, 41));
    p.setPen(QColor(201, 162, 39, 160));
    p.drawLine(QPointF(176.5, 53), QPointF(176.5, 440));
    PaintRivet(p, QPointF(186, 112));
    PaintRivet(p, QPointF(186, 368));
  };
  return w;
}

Window PropertiesWindow() {
  Window w;
  w.section = QStringLiteral("MOUSE_PROPERTIES");
  w.file = QStringLiteral("properties");
  w.size = QSize(300, 400);
  w.outline = [] { return ChamferedRect(QRectF(0, 0, 300, 400), 24, 0, 0, 24); };
  w.texts.push_back(Title(QStringLiteral("MOUSE_PROPERTIES"), 156, 20, QStringLiteral("Mouse Properties")));
  Control close = Face(QStringLiteral("CLOSE_PROPERTIES"), QRect(4, 110, 22, 180), kClose, CaptionLayout::RotatedUp);
  close.kind = Kind::TabUp;
  w.controls.push_back(close);
  w.texts.push_back(Label(QStringLiteral("DPI_VALUE"), QPoint(40, 56), QStringLiteral("Sensitivity step")));
  Control dpi = Make(QStringLiteral("DPI_MENU"), QRect(40, 74, 130, 26), Kind::Dropdown,
                     QStringLiteral("Chooses the sensitivity step of the mouse"));
  dpi.drawn = CaptionLayout::Plain;
  dpi.drawnTexts = {QStringLiteral("3200 DPI")};
  w.controls.push_back(dpi);
  w.texts.push_back(Label(QStringLiteral("DOUBLE_CLICK_SPEED"), QPoint(40, 114), QStringLiteral("Double-click speed")));
  w.controls.push_back(Make(QStringLiteral("SLIDERS_DOUBLE_CLICK_SPEED"), QRect(40, 132, 220, 22), Kind::SliderH));
  w.texts.push_back(Label(QStringLiteral("SCROLL_SPEED"), QPoint(40, 164), QStringLiteral("Wheel scroll lines")));
  w.controls.push_back(Make(QStringLiteral("SLIDERS_SCROLL_SPEED"), QRect(40, 182, 220, 22), Kind::SliderH));
  w.texts.push_back(Label(QStringLiteral("SENSITIVITY"), QPoint(40, 214), QStringLiteral("Pointer speed")));
  w.controls.push_back(Make(QStringLiteral("SLIDERS_SENSITIVITY"), QRect(40, 232, 220, 22), Kind::SliderH));
  w.texts.push_back(Label(QStringLiteral("ADVANCED_SENSITIVITY"), QPoint(40, 268), QStringLiteral("Advanced sensitivity")));
  w.controls.push_back(Make(QStringLiteral("SLIDERS_ADVANCE_SENSITIVITY_X"), QRect(72, 292, 22, 84), Kind::SliderV));
  w.controls.push_back(Make(QStringLiteral("SLIDERS_ADVANCE_SENSITIVITY_Y"), QRect(172, 292, 22, 84), Kind::SliderV));
  w.texts.push_back(Label(QStringLiteral("ADVANCED_SENSITIVITY_X"), QPoint(102, 326), QStringLiteral("X axis")));
  w.texts.push_back(Label(QStringLiteral("ADVANCED_SENSITIVITY_Y"), QPoint(202, 326), QStringLiteral("Y axis")));
  w.decorate = [](QPainter& p, int) {
    PaintPanel(p, QRect(32, 48, 238, 60));
    PaintPanel(p, QRect(32, 108, 238, 152));
    PaintPanel(p, QRect(32, 262, 238, 124));
    PaintRivet(p, QPointF(286, 40));
    PaintRivet(p, QPointF(286, 360));
  };
  return w;
}

Window IlluminationWindow() {
  Window w;
  w.section = QStringLiteral("ILLUMINATION_SETTING");
  w.stringsSection = QStringLiteral("ILLUMINATION_SETTINGS");
  w.file = QStringLiteral("illumination");
  w.size = QSize(440, 152);
  w.dialogHeader = false;
  w.outline = [] { return ChamferedRect(QRectF(0, 0, 440, 152), 0, 0, 24, 24); };
  w.texts.push_back(Title(QStringLiteral("ILLUMINATION_SETTINGS"), 220, 24, QStringLiteral("Illumination")));
  Text small = Label(QStringLiteral("ILLUMINATION_TITLE"), QPoint(28, 44), QStringLiteral("Light of the active profile"));
  small.px = 10;
  w.texts.push_back(small);
  w.texts.push_back(Label(QStringLiteral("COLOR"), QPoint(28, 66), QStringLiteral("Colour")));
  w.texts.push_back(Label(QStringLiteral("INTENSITY"), QPoint(162, 66), QStringLiteral("Intensity")));
  w.texts.push_back(Label(QStringLiteral("PULSATION"), QPoint(296, 66), QStringLiteral("Pulsation")));
  w.controls.push_back(Make(QStringLiteral("COLOR_MENU"), QRect(28, 84, 120, 26), Kind::Swatch,
                            QStringLiteral("Chooses the colour of the light")));
  Control intensity = Make(QStringLiteral("INTENSITY_MENU"), QRect(162, 84, 120, 26), Kind::Dropdown,
                           QStringLiteral("Chooses how bright the light is"));
  intensity.drawn = CaptionLayout::Plain;
  intensity.drawnTexts = {QStringLiteral("Medium")};
  w.controls.push_back(intensity);
  Control pulsation = Make(QStringLiteral("PULSATION_MENU"), QRect(296, 84, 120, 26), Kind::Dropdown,
                           QStringLiteral("Chooses how fast the light pulses"));
  pulsation.drawn = CaptionLayout::Plain;
  pulsation.drawnTexts = {QStringLiteral("Medium")};
  w.controls.push_back(pulsation);
  Control close = Face(QStringLiteral("CLOSE_ILLUMINATION"), QRect(170, 122, 100, 22), kClose, CaptionLayout::CentreBold);
  close.kind = Kind::TabFlat;
  w.controls.push_back(close);
  w.decorate = [](QPainter& p, int) {
    // the top edge lies under the main window's rim
    PaintRule(p, 20, 420, 40);
    PaintRivet(p, QPointF(24, 128));
    PaintRivet(p, QPointF(416, 128));
  };
  return w;
}

Window ArmoryWindow() {
  Window w;
  w.section = QStringLiteral("ARMORY");
  w.file = QStringLiteral("armory");
  w.size = QSize(420, 300);
  w.chamfer = 18;
  w.texts.push_back(Title(QStringLiteral("ARMORY_TITLE"), 210, 20, QStringLiteral("Game Character")));
  w.controls.push_back(IconButton(QStringLiteral("BUTTON_EXIT"), QRect(380, 14, 24, 24), Glyph::Close, kClose));
  w.texts.push_back(Label(QStringLiteral("REGION"), QPoint(124, 69), QStringLiteral("Region")));
  Control region = Make(QStringLiteral("BUTTON_REGION"), QRect(210, 62, 180, 28), Kind::Dropdown,
                        QStringLiteral("Chooses the region of the game service"));
  region.drawn = CaptionLayout::Plain;
  region.drawnTexts = {QStringLiteral("Europe")};
  w.controls.push_back(region);
  w.texts.push_back(Label(QStringLiteral("SERVER_NAME"), QPoint(124, 111), QStringLiteral("Realm")));
  w.controls.push_back(Make(QStringLiteral("EDIT_SERVER_NAME"), QRect(210, 104, 180, 28), Kind::Field));
  w.texts.push_back(Label(QStringLiteral("CHARACTER_NAME"), QPoint(124, 153), QStringLiteral("Character")));
  w.controls.push_back(Make(QStringLiteral("EDIT_CHARACTER_NAME"), QRect(210, 146, 180, 28), Kind::Field));
  w.controls.push_back(Button(QStringLiteral("BUTTON_OK"), QRect(196, 246, 90, 30), QStringLiteral("OK"),
                              QStringLiteral("Looks the character up")));
  w.controls.push_back(Button(QStringLiteral("BUTTON_CANCEL"), QRect(300, 246, 90, 30), QStringLiteral("Cancel"),
                              QStringLiteral("Closes without changes")));
  w.plains.push_back({QStringLiteral("STRING_ENTER_CHARACTER_NAME"), kEnterCharacter});
  w.plains.push_back({QStringLiteral("STRING_ENTER_REALM_NAME"), kEnterRealm});
  w.plains.push_back({QStringLiteral("STRING_NOT_FIND_CHARACTER"), kNotFound});
  w.decorate = [](QPainter& p, int) {
    PaintEmblem(p, QPointF(66, 118), 44);
    PaintRule(p, 30, 390, 232);
  };
  w.extras.push_back(Extra{QStringLiteral("ARMORY_NO_PICTURE_CHARACTER"), QStringLiteral("armory_no_picture.png"), [] {
                             QImage img(64, 64, QImage::Format_RGB32);
                             QPainter p(&img);
                             p.setRenderHint(QPainter::Antialiasing, true);
                             QRadialGradient bg(32, 24, 46);
                             bg.setColorAt(0, QColor(40, 46, 58));
                             bg.setColorAt(1, QColor(10, 12, 16));
                             p.fillRect(img.rect(), bg);
                             // a hooded figure
                             QPainterPath hood;
                             hood.moveTo(32, 10);
                             hood.cubicTo(46, 10, 50, 24, 48, 36);
                             hood.cubicTo(56, 42, 60, 54, 60, 64);
                             hood.lineTo(4, 64);
                             hood.cubicTo(4, 54, 8, 42, 16, 36);
                             hood.cubicTo(14, 24, 18, 10, 32, 10);
                             QLinearGradient g(0, 10, 0, 64);
                             g.setColorAt(0, QColor(86, 92, 104));
                             g.setColorAt(1, QColor(30, 33, 40));
                             p.fillPath(hood, g);
                             p.setPen(QPen(colour::kGoldDeep, 1));
                             p.drawPath(hood);
                             p.setBrush(QColor(8, 9, 12));
                             p.setPen(Qt::NoPen);
                             p.drawEllipse(QPointF(32, 30), 9, 11);
                             p.setFont(UiFont(14, true));
                             p.setPen(colour::kGold);
                             p.drawText(QRect(23, 19, 18, 22), Qt::AlignCenter, QStringLiteral("?"));
                             p.setPen(QPen(colour::kGoldDull, 1));
                             p.setBrush(Qt::NoBrush);
                             p.drawRect(QRectF(0.5, 0.5, 63, 63));
                             return img;
                           }});
  return w;
}

// --- pop-up menus and small pictures --------------------------------------------------------------

QImage PopupImage(QSize size) {
  QImage img(size, QImage::Format_RGB32);
  img.fill(QColor(12, 13, 16));
  QPainter p(&img);
  for (int y = 20; y < size.height(); y += 20) {
    p.setPen(QColor(34, 36, 41));
    p.drawLine(4, y - 1, size.width() - 5, y - 1);
  }
  p.setPen(QColor(122, 98, 32));
  p.drawRect(0, 0, size.width() - 1, size.height() - 1);
  p.setPen(colour::kGoldDeep);
  p.drawLine(1, 1, size.width() - 2, 1);
  return img;
}

// The plus and minus toggles of the folder headers (17 x 17, cut at (0,0) or (1,1)).
QImage ToggleImage(bool plus, State s) {
  QImage img(18, 18, QImage::Format_RGB32);
  img.fill(QColor(21, 21, 21));
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing, true);
  QRectF box(1.5, 1.5, 15, 15);
  QLinearGradient g(box.topLeft(), box.bottomLeft());
  const bool over = s == State::Over, off = s == State::Disable;
  g.setColorAt(0, off ? QColor(36, 36, 38) : (over ? QColor(74, 80, 92) : QColor(54, 58, 66)));
  g.setColorAt(1, off ? QColor(26, 26, 28) : QColor(20, 22, 26));
  p.setPen(QPen(off ? QColor(60, 60, 62) : (over ? colour::kGold : colour::kGoldDull), 1));
  p.setBrush(g);
  p.drawRoundedRect(box, 3, 3);
  QColor mark = off ? colour::kGrey : (over ? colour::kWhite : colour::kGold);
  p.setPen(QPen(mark, 2, Qt::SolidLine, Qt::FlatCap));
  p.drawLine(QPointF(5, 9), QPointF(13, 9));
  if (plus) p.drawLine(QPointF(9, 5), QPointF(9, 13));
  return img;
}

// The new and delete buttons of the macro folder: a 70 x 25 face in a 76 x 25 picture.
QImage MacroButtonImage(State s) {
  QImage img(76, 25, QImage::Format_RGB32);
  img.fill(QColor(21, 21, 21));
  QPainter p(&img);
  Control c = Make(QStringLiteral("NEW"), QRect(0, 0, 70, 25), Kind::Plate, QStringLiteral("New"));
  PaintControl(p, c, s);
  return img;
}

// The nine-cell scroll-bar picture: columns up, down, thumb, track (vertical), left, right,
// thumb, track (horizontal), corner; rows normal, under the pointer, pressed.
QImage ScrollBarImage() {
  const int cell = 13;
  QImage img(9 * cell, 3 * cell, QImage::Format_RGB32);
  img.fill(QColor(22, 22, 22));
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing, true);
  for (int row = 0; row < 3; ++row) {
    const State s = row == 0 ? State::Normal : (row == 1 ? State::Over : State::Down);
    for (int col = 0; col < 9; ++col) {
      QRectF r(col * cell, row * cell, cell, cell);
      const bool vertical = col < 4;
      switch (col) {
        case 0:
        case 1:
        case 4:
        case 5: {
          QLinearGradient g(r.topLeft(), vertical ? r.topRight() : r.bottomLeft());
          g.setColorAt(0, s == State::Down ? QColor(16, 17, 20) : QColor(64, 69, 78));
          g.setColorAt(1, s == State::Down ? QColor(40, 43, 49) : QColor(26, 28, 33));
          p.setPen(QPen(s == State::Normal ? colour::kGoldDull : colour::kGold, 1));
          p.setBrush(g);
          p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
          QPointF c = r.center();
          QPainterPath tri;
          if (col == 0) { tri.moveTo(c + QPointF(-3.5, 2)); tri.lineTo(c + QPointF(3.5, 2)); tri.lineTo(c + QPointF(0, -2.5)); }
          if (col == 1) { tri.moveTo(c + QPointF(-3.5, -2)); tri.lineTo(c + QPointF(3.5, -2)); tri.lineTo(c + QPointF(0, 2.5)); }
          if (col == 4) { tri.moveTo(c + QPointF(2, -3.5)); tri.lineTo(c + QPointF(2, 3.5)); tri.lineTo(c + QPointF(-2.5, 0)); }
          if (col == 5) { tri.moveTo(c + QPointF(-2, -3.5)); tri.lineTo(c + QPointF(-2, 3.5)); tri.lineTo(c + QPointF(2.5, 0)); }
          tri.closeSubpath();
          p.fillPath(tri, s == State::Normal ? colour::kGold : colour::kWhite);
          break;
        }
        case 2:
        case 6: {
          // thumb: rounded caps in the first and last six pixels, a plain middle that tiles
          const bool v = col == 2;
          QRectF body = v ? r.adjusted(2, 0.5, -2, -0.5) : r.adjusted(0.5, 2, -0.5, -2);
          QLinearGradient g(body.topLeft(), v ? body.topRight() : body.bottomLeft());
          g.setColorAt(0, s == State::Normal ? QColor(120, 96, 24) : QColor(255, 214, 80));
          g.setColorAt(1, s == State::Normal ? QColor(70, 54, 10) : QColor(170, 120, 0));
          p.setPen(QPen(QColor(0, 0, 0, 200), 1));
          p.setBrush(g);
          p.drawRoundedRect(body, 3, 3);
          break;
        }
        case 3:
        case 7: {
          const bool v = col == 3;
          QLinearGradient g(r.topLeft(), v ? r.topRight() : r.bottomLeft());
          g.setColorAt(0, QColor(8, 8, 9));
          g.setColorAt(0.5, QColor(26, 27, 30));
          g.setColorAt(1, QColor(8, 8, 9));
          p.fillRect(r, g);
          break;
        }
        case 8: {
          p.fillRect(r, QColor(22, 22, 22));
          p.setPen(QColor(122, 98, 32));
          if (row == 0) p.drawLine(r.bottomLeft() + QPointF(3, -1), r.topRight() + QPointF(-1, 3));
          else p.drawLine(r.topLeft() + QPointF(1, 3), r.bottomRight() + QPointF(-3, -1));
          break;
        }
      }
      p.setBrush(Qt::NoBrush);
    }
  }
  return img;
}

QImage BulletImage() {
  QImage img(3, 3, QImage::Format_RGB32);
  img.fill(QColor(22, 22, 22));
  const QRgb edge = qRgb(150, 118, 20), mid = qRgb(255, 204, 0);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) img.setPixel(x, y, (x == 1 || y == 1) ? edge : qRgb(60, 50, 20));
  img.setPixel(1, 1, mid);
  return img;
}

// The event display's key markers, drawn on its white background.
QImage MarkerImage(bool down) {
  QImage img(7, 9, QImage::Format_RGB32);
  img.fill(Qt::white);
  const QRgb ink = down ? qRgb(24, 96, 24) : qRgb(150, 28, 28);
  // an arrow: stem and head
  for (int y = 0; y < 9; ++y) img.setPixel(3, y, ink);
  for (int i = 1; i <= 3; ++i) {
    int y = down ? 8 - i : i;
    img.setPixel(3 - i, y, ink);
    img.setPixel(3 + i, y, ink);
  }
  return img;
}

QImage IconImage() {
  QImage img(64, 64, QImage::Format_RGB32);
  img.fill(QColor(14, 16, 21));
  QPainter p(&img);
  PaintEmblem(p, QPointF(32, 32), 30);
  return img;
}

// The colour picker's picture: hues from left to right, pale at the top, deep at the bottom.
QImage ColourImage() {
  QImage img(240, 100, QImage::Format_RGB888);
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      const double hue = double(x) / img.width();
      const double t = double(y) / (img.height() - 1);
      double sat = std::min(1.0, t * 2.0);
      double val = t <= 0.5 ? 1.0 : 1.0 - (t - 0.5) * 1.3;
      QColor c = QColor::fromHsvF(float(hue), float(sat), float(val));
      img.setPixel(x, y, c.rgb());
    }
  return img;
}

std::vector<MenuSection> Menus() {
  auto items = [](std::initializer_list<std::pair<const char*, const char*>> list) {
    std::vector<Plain> out;
    for (const auto& [k, v] : list) out.push_back({QLatin1String(k), QString::fromUtf8(v)});
    return out;
  };
  const auto levels = items({{"HIGH", "High"}, {"MEDIUM", "Medium"}, {"LOW", "Low"}, {"OFF", "Off"}});
  const auto dpi = items({{"DPI_800", "800 DPI"}, {"DPI_1200", "1200 DPI"}, {"DPI_1600", "1600 DPI"},
                          {"DPI_2000", "2000 DPI"}, {"DPI_2400", "2400 DPI"}, {"DPI_3200", "3200 DPI"}});
  std::vector<Plain> changeDpi = dpi;
  changeDpi.push_back({QStringLiteral("DPI_UP"), QStringLiteral("DPI Up")});
  changeDpi.push_back({QStringLiteral("DPI_DOWN"), QStringLiteral("DPI Down")});
  return {
      {QStringLiteral("FILE_MENU"), items({{"EDIT", "Linked Games..."},
                                          {"EXPORT", "Export Profile..."},
                                          {"IMPORT", "Import Profile..."},
                                          {"PRINT", "Print..."},
                                          {"ONLINE_STORAGE", "Online Storage"}})},
      {QStringLiteral("TOOLS_MENU"), items({{"CHANGE_POLLING_RATE", "Polling Rate"},
                                           {"RATE_250", "250 Hz"},
                                           {"RATE_500", "500 Hz"},
                                           {"RATE_1000", "1000 Hz"},
                                           {"LIFT_DISTANCE", "Lift Distance"},
                                           {"LIFT_DEFAULT", "Default"},
                                           {"LIFT_LOWER", "Lower"},
                                           {"LIFT_LOWEST", "Lowest"},
                                           {"SHOW_MACRO", "Warn Before Deleting a Macro"}})},
      {QStringLiteral("HELP_MENU"), items({{"USER_GUIDE", "User Guide"}, {"ABOUT", "About..."}})},
      {QStringLiteral("BUTTON_MENU"), items({{"LEFT_CLICK", "Left Click"},
                                            {"RIGHT_CLICK", "Right Click"},
                                            {"DOUBLE_CLICK", "Double Click"},
                                            {"WINDOWS_BUTTON_4", "Back (Button 4)"},
                                            {"WINDOWS_BUTTON_5", "Forward (Button 5)"},
                                            {"UNIVERSAL_SCROLL", "Universal Scroll"},
                                            {"BUTTON_OFF", "Off"},
                                            {"SCROLL_UP", "Scroll Up"},
                                            {"SCROLL_DOWN", "Scroll Down"},
                                            {"BUTTON_ASSIGNMENTS", "Button Assignments"},
                                            {"STOP_ALL", "Stop All"},
                                            {"FOCUS", "Focus"},
                                            {"DISMOUNT", "Dismount"}})},
      {QStringLiteral("CHANGE_DPI"), changeDpi},
      {QStringLiteral("CHANGE_PROFILE"), items({{"PROFILE_UP", "Next Profile"}, {"PROFILE_DOWN", "Previous Profile"}})},
      {QStringLiteral("DPI_MENU"), dpi},
      {QStringLiteral("INTENSITY_MENU"), levels},
      {QStringLiteral("PULSATION_MENU"), levels},
      {QStringLiteral("ARMORY"), items({{"USA", "USA"}, {"EUROPE", "Europe"}, {"KOREA", "Korea"}, {"TAIWAN", "Taiwan"},
                                        {"CHINA", "China"}})},
  };
}

}  // namespace

Product ProductSkin() {
  Product product;
  product.windows = {MainWindow(),
                     AboutWindow(),
                     WarningOne(),
                     WarningTwo(),
                     OptionDialog(QStringLiteral("WARNING_THREE"), QStringLiteral("warning_three"),
                                  QStringLiteral("Delete Macro"),
                                  QStringLiteral("Do you want to delete the selected macro? Buttons that play it are "
                                                 "set to Off.")),
                     OptionDialog(QStringLiteral("WARNING_THREE2"), QStringLiteral("warning_three2"),
                                  QStringLiteral("Lift Distance"),
                                  QStringLiteral("The mouse tries the new lift distance at once. You then have ten "
                                                 "seconds to keep it before it is reverted.")),
                     WarningFour(),
                     ProgressWindow(),
                     EditGameWindow(),
                     MacroWindow(),
                     AssignmentWindow(),
                     PropertiesWindow(),
                     IlluminationWindow(),
                     ArmoryWindow()};
  product.popups = {
      {QStringLiteral("BUTTON_MENU"), QStringLiteral("menu_button.png"), QSize(130, 140), 7},
      {QStringLiteral("REGION_MENU"), QStringLiteral("menu_region.png"), QSize(174, 100), 5},
      {QStringLiteral("MOUSE_PROPERTIES_MENU"), QStringLiteral("menu_dpi.png"), QSize(130, 120), 6},
      {QStringLiteral("ILLUMINATION_MENU"), QStringLiteral("menu_level.png"), QSize(120, 80), 4},
  };
  product.menus = Menus();
  // where the program shows the menu texts: in the value menus (centred, with a little room)
  // and on the buttons and labels that carry the chosen value
  product.menuFits = {
      {QStringLiteral("BUTTON_MENU"), 130 - 7, 12, false, QStringLiteral("the assignment labels and the button menu")},
      {QStringLiteral("CHANGE_DPI"), 130 - 7, 12, false, QStringLiteral("the assignment labels")},
      {QStringLiteral("CHANGE_PROFILE"), 130 - 7, 12, false, QStringLiteral("the assignment labels")},
      {QStringLiteral("DPI_MENU"), 130 - 2 * 21 - 7, 12, false, QStringLiteral("the DPI button")},
      {QStringLiteral("INTENSITY_MENU"), 120 - 2 * 21 - 7, 12, false, QStringLiteral("the intensity button")},
      {QStringLiteral("PULSATION_MENU"), 120 - 2 * 21 - 7, 12, false, QStringLiteral("the pulsation button")},
      {QStringLiteral("ARMORY"), 174 - 2 * 21 - 7, 12, false, QStringLiteral("the region button and menu")},
  };
  for (const Popup& popup : product.popups) {
    QSize size = popup.size;
    product.fixedImages.push_back({QStringLiteral("skins/") + popup.file, QStringLiteral("PNG"), [size] { return PopupImage(size); }});
  }
  auto jpeg = [&](const QString& name, std::function<QImage()> draw) {
    product.fixedImages.push_back({QStringLiteral("skins/") + name, QStringLiteral("JPEG"), std::move(draw)});
  };
  jpeg(QStringLiteral("Plus Button_normal.jpg"), [] { return ToggleImage(true, State::Normal); });
  jpeg(QStringLiteral("Plus Button_over.jpg"), [] { return ToggleImage(true, State::Over); });
  jpeg(QStringLiteral("Plus Button_disable.jpg"), [] { return ToggleImage(true, State::Disable); });
  jpeg(QStringLiteral("Minus button_normal.jpg"), [] { return ToggleImage(false, State::Normal); });
  jpeg(QStringLiteral("Minus button_over.jpg"), [] { return ToggleImage(false, State::Over); });
  jpeg(QStringLiteral("new_normal.jpg"), [] { return MacroButtonImage(State::Normal); });
  jpeg(QStringLiteral("new_over.jpg"), [] { return MacroButtonImage(State::Over); });
  jpeg(QStringLiteral("new_down.jpg"), [] { return MacroButtonImage(State::Down); });
  product.fixedImages.push_back({QStringLiteral("skins/scrollbar.png"), QStringLiteral("PNG"), ScrollBarImage});
  product.fixedImages.push_back({QStringLiteral("skins/bullet.png"), QStringLiteral("PNG"), BulletImage});
  product.fixedImages.push_back({QStringLiteral("skins/marker_down.png"), QStringLiteral("PNG"), [] { return MarkerImage(true); }});
  product.fixedImages.push_back({QStringLiteral("skins/marker_up.png"), QStringLiteral("PNG"), [] { return MarkerImage(false); }});
  product.fixedImages.push_back({QStringLiteral("skins/icon.png"), QStringLiteral("PNG"), IconImage});
  product.fixedImages.push_back({QStringLiteral("Skins/Color.bmp"), QStringLiteral("BMP"), ColourImage});
  return product;
}

}  // namespace orv::art
