#include "art_paint.h"

#include <QFontDatabase>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace orv::art {

namespace {

const char* kFontFolder = "/usr/share/fonts/truetype/dejavu/";

QString g_sans = QStringLiteral("DejaVu Sans");
QString g_display = QStringLiteral("DejaVu Serif");

// A small fixed-seed generator for the grain of brushed metal and of the body.
struct Grain {
  quint32 state;
  explicit Grain(quint32 seed) : state(seed * 2654435761u + 12345u) {}
  int Next(int spread) {  // -spread .. spread
    state = state * 1664525u + 1013904223u;
    return static_cast<int>((state >> 16) % static_cast<quint32>(2 * spread + 1)) - spread;
  }
};

int Clamp255(double v) { return std::clamp(static_cast<int>(std::lround(v)), 0, 255); }

struct Rgb {
  double r, g, b;
};
Rgb Mix(Rgb a, Rgb b, double t) {
  t = std::clamp(t, 0.0, 1.0);
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
Rgb Add(Rgb a, double v) { return {a.r + v, a.g + v, a.b + v}; }
Rgb Scale(Rgb a, double f) { return {a.r * f, a.g * f, a.b * f}; }
double Smooth(double e0, double e1, double x) {
  double t = std::clamp((x - e0) / (e1 - e0), 0.0, 1.0);
  return t * t * (3 - 2 * t);
}

// Squared Euclidean distance transform along one line (Felzenszwalb and Huttenlocher).
void Edt1d(const std::vector<double>& f, std::vector<double>& d, int n) {
  const double inf = std::numeric_limits<double>::infinity();
  std::vector<int> v(n);
  std::vector<double> z(n + 1);
  int k = 0;
  v[0] = 0;
  z[0] = -inf;
  z[1] = inf;
  for (int q = 1; q < n; ++q) {
    if (f[q] == inf) continue;
    if (f[v[k]] == inf) {  // no finite parabola yet
      v[k] = q;
      continue;
    }
    double s = ((f[q] + double(q) * q) - (f[v[k]] + double(v[k]) * v[k])) / (2.0 * q - 2.0 * v[k]);
    while (s <= z[k]) {
      --k;
      s = ((f[q] + double(q) * q) - (f[v[k]] + double(v[k]) * v[k])) / (2.0 * q - 2.0 * v[k]);
    }
    ++k;
    v[k] = q;
    z[k] = s;
    z[k + 1] = inf;
  }
  k = 0;
  for (int q = 0; q < n; ++q) {
    while (z[k + 1] < q) ++k;
    double dq = double(q) - v[k];
    d[q] = (f[v[k]] == inf) ? inf : dq * dq + f[v[k]];
  }
}

// Distance of every pixel to the nearest pixel outside the mask (the border counts as outside).
std::vector<double> DistanceInside(const QImage& mask) {
  const int w = mask.width() + 2, h = mask.height() + 2;
  const double inf = std::numeric_limits<double>::infinity();
  std::vector<double> grid(size_t(w) * h, 0.0);
  for (int y = 0; y < mask.height(); ++y) {
    const uchar* bits = mask.constScanLine(y);
    for (int x = 0; x < mask.width(); ++x)
      if (bits[x >> 3] & (0x80 >> (x & 7))) grid[size_t(y + 1) * w + x + 1] = inf;
  }
  std::vector<double> f(std::max(w, h)), d(std::max(w, h));
  for (int x = 0; x < w; ++x) {
    for (int y = 0; y < h; ++y) f[y] = grid[size_t(y) * w + x];
    Edt1d(f, d, h);
    for (int y = 0; y < h; ++y) grid[size_t(y) * w + x] = d[y];
  }
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) f[x] = grid[size_t(y) * w + x];
    Edt1d(f, d, w);
    for (int x = 0; x < w; ++x) grid[size_t(y) * w + x] = d[x];
  }
  std::vector<double> out(size_t(mask.width()) * mask.height());
  for (int y = 0; y < mask.height(); ++y)
    for (int x = 0; x < mask.width(); ++x)
      out[size_t(y) * mask.width() + x] = std::sqrt(grid[size_t(y + 1) * w + x + 1]);
  return out;
}

QPainterPath PlatePath(const QRectF& r, qreal cut) {
  return ChamferedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), cut, 0, cut, 0);
}

void FillVertical(QPainter& p, const QPainterPath& path, const QRectF& r, QColor top, QColor bottom) {
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  g.setColorAt(0, top);
  g.setColorAt(1, bottom);
  p.fillPath(path, g);
}

void StrokePath(QPainter& p, const QPainterPath& path, QColor c, qreal width = 1.0) {
  p.strokePath(path, QPen(c, width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
}

struct PlateLook {
  QColor top, bottom, border, inner;
};

PlateLook LookOf(State s) {
  switch (s) {
    case State::Over: return {QColor(62, 68, 78), QColor(30, 33, 39), colour::kGold, QColor(255, 214, 90, 70)};
    case State::Down: return {QColor(14, 15, 18), QColor(38, 41, 47), colour::kGold, QColor(0, 0, 0, 120)};
    case State::Disable: return {QColor(30, 31, 34), QColor(24, 25, 28), QColor(62, 63, 66), QColor(255, 255, 255, 10)};
    case State::Normal: break;
  }
  return {QColor(48, 53, 61), QColor(22, 24, 29), colour::kGoldDull, QColor(255, 255, 255, 34)};
}

// A bevelled plate with two cut corners: the body of every push button.
void PaintPlate(QPainter& p, const QRect& rect, State s, qreal cut = 5) {
  const QRectF r(rect);
  PlateLook look = LookOf(s);
  QPainterPath outer = PlatePath(r, cut);
  FillVertical(p, outer, r, look.top, look.bottom);
  // brushed streaks across the face
  Grain grain(quint32(rect.x() * 31 + rect.y() * 17 + rect.width()));
  p.save();
  p.setClipPath(outer);
  for (int y = rect.top() + 1; y < rect.bottom(); y += 2) {
    int a = 6 + grain.Next(5);
    p.setPen(QColor(255, 255, 255, std::max(0, a)));
    p.drawLine(rect.left() + 2, y, rect.right() - 2, y);
  }
  p.restore();
  if (s == State::Down) {
    // pressed: a shadow along the top edge
    QLinearGradient g(r.topLeft(), r.topLeft() + QPointF(0, 6));
    g.setColorAt(0, QColor(0, 0, 0, 150));
    g.setColorAt(1, QColor(0, 0, 0, 0));
    p.fillPath(outer, g);
  } else {
    QPainterPath inner = PlatePath(r.adjusted(1, 1, -1, -1), cut - 0.5);
    StrokePath(p, inner, look.inner);
  }
  if (s == State::Over) {
    QRadialGradient glow(r.center().x(), r.bottom(), r.width() * 0.6);
    glow.setColorAt(0, QColor(255, 204, 0, 46));
    glow.setColorAt(1, QColor(255, 204, 0, 0));
    p.fillPath(outer, glow);
  }
  StrokePath(p, outer, look.border);
}

void PaintGlyph(QPainter& p, const QRect& r, Glyph g, State s) {
  QColor c = CaptionColour(s);
  p.setPen(QPen(c, 2.0, Qt::SolidLine, Qt::RoundCap));
  const QPointF m = QRectF(r).center();
  const qreal k = std::min(r.width(), r.height()) * 0.22;
  const QPointF shift = s == State::Down ? QPointF(1, 1) : QPointF(0, 0);
  switch (g) {
    case Glyph::Close:
      p.drawLine(m + shift + QPointF(-k, -k), m + shift + QPointF(k, k));
      p.drawLine(m + shift + QPointF(-k, k), m + shift + QPointF(k, -k));
      break;
    case Glyph::Minimise:
      p.drawLine(m + shift + QPointF(-k, k), m + shift + QPointF(k, k));
      break;
    case Glyph::Help: {
      p.setFont(UiFont(14, true));
      p.setPen(c);
      p.drawText(QRectF(r).translated(shift), Qt::AlignCenter, QStringLiteral("?"));
      break;
    }
    case Glyph::None: break;
  }
}

// Grip ridges across a tab, so it reads as something to pull.
void PaintGrip(QPainter& p, QPointF centre, bool vertical, State s) {
  QColor light = s == State::Disable ? QColor(70, 70, 72) : QColor(255, 204, 0, s == State::Normal ? 120 : 220);
  for (int i = -1; i <= 1; ++i) {
    QPointF c = centre + (vertical ? QPointF(0, i * 4) : QPointF(i * 4, 0));
    p.setPen(QPen(QColor(0, 0, 0, 160), 1));
    p.setBrush(Qt::NoBrush);
    if (vertical) {
      p.drawLine(c + QPointF(-4, 1), c + QPointF(4, 1));
      p.setPen(QPen(light, 1));
      p.drawLine(c + QPointF(-4, 0), c + QPointF(4, 0));
    } else {
      p.drawLine(c + QPointF(1, -4), c + QPointF(1, 4));
      p.setPen(QPen(light, 1));
      p.drawLine(c + QPointF(0, -4), c + QPointF(0, 4));
    }
  }
}

void PaintTab(QPainter& p, const QRect& rect, Kind kind, State s) {
  const QRectF r(rect);
  PlateLook look = LookOf(s);
  const qreal rad = std::min(r.width(), r.height()) * 0.35;
  QPainterPath path;
  path.addRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), rad, rad);
  if (kind == Kind::TabFlat) {
    FillVertical(p, path, r, look.top, look.bottom);
  } else {
    QLinearGradient g(r.topLeft(), r.topRight());
    g.setColorAt(0, look.top);
    g.setColorAt(0.5, look.top.lighter(112));
    g.setColorAt(1, look.bottom);
    p.fillPath(path, g);
  }
  if (s == State::Over || s == State::Down) {
    QRadialGradient glow(r.center(), std::max(r.width(), r.height()) * 0.6);
    glow.setColorAt(0, QColor(255, 204, 0, s == State::Down ? 60 : 40));
    glow.setColorAt(1, QColor(255, 204, 0, 0));
    p.fillPath(path, glow);
  }
  QPainterPath inner;
  inner.addRoundedRect(r.adjusted(1.5, 1.5, -1.5, -1.5), rad - 1, rad - 1);
  StrokePath(p, inner, look.inner);
  StrokePath(p, path, look.border);
  // grips at both ends, clear of the caption in the middle
  if (kind == Kind::TabFlat) {
    PaintGrip(p, QPointF(r.left() + 12, r.center().y()), false, s);
    PaintGrip(p, QPointF(r.right() - 12, r.center().y()), false, s);
  } else {
    PaintGrip(p, QPointF(r.center().x(), r.top() + 14), true, s);
    PaintGrip(p, QPointF(r.center().x(), r.bottom() - 14), true, s);
  }
}

void PaintSlot(QPainter& p, const QRect& rect, State s, bool card) {
  const QRectF r(rect);
  QPainterPath path = PlatePath(r, card ? 8 : 6);
  QColor top, bottom, border;
  switch (s) {
    case State::Over: top = QColor(36, 40, 48); bottom = QColor(20, 22, 27); border = colour::kGold; break;
    case State::Down: top = QColor(58, 46, 10); bottom = QColor(28, 22, 6); border = colour::kGold; break;
    case State::Disable: top = QColor(20, 21, 23); bottom = QColor(16, 17, 19); border = QColor(54, 55, 58); break;
    case State::Normal: top = QColor(13, 15, 19); bottom = QColor(22, 25, 30); border = QColor(96, 78, 28); break;
  }
  FillVertical(p, path, r, top, bottom);
  // sunken: shadow along the top
  QLinearGradient g(r.topLeft(), r.topLeft() + QPointF(0, 5));
  g.setColorAt(0, QColor(0, 0, 0, s == State::Down ? 70 : 130));
  g.setColorAt(1, QColor(0, 0, 0, 0));
  p.fillPath(path, g);
  if (s == State::Down || s == State::Over) {
    QPainterPath inner = PlatePath(r.adjusted(1, 1, -1, -1), (card ? 8 : 6) - 0.5);
    StrokePath(p, inner, QColor(255, 204, 0, s == State::Down ? 110 : 60));
  }
  StrokePath(p, path, border);
  if (card) {
    // a gold marker on the cut corner of the selected profile
    if (s == State::Down) {
      QPainterPath corner;
      corner.moveTo(r.left() + 1, r.top() + 14);
      corner.lineTo(r.left() + 1, r.top() + 8);
      corner.lineTo(r.left() + 8, r.top() + 1);
      corner.lineTo(r.left() + 14, r.top() + 1);
      corner.closeSubpath();
      p.fillPath(corner, colour::kGold);
    }
  }
}

void PaintSwitch(QPainter& p, const QRect& rect, State s) {
  const QRectF r = QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5);
  const bool on = s == State::Down;
  const qreal rad = r.height() / 2;
  QPainterPath track;
  track.addRoundedRect(r, rad, rad);
  if (on) {
    FillVertical(p, track, r, QColor(120, 92, 8), QColor(60, 45, 4));
  } else {
    FillVertical(p, track, r, QColor(8, 9, 11), QColor(26, 28, 33));
  }
  QColor border = s == State::Disable ? QColor(60, 60, 62) : (s == State::Normal ? colour::kGoldDull : colour::kGold);
  StrokePath(p, track, border);
  // the label of the state, on the side the knob leaves free
  p.setFont(UiFont(11, true));
  p.setPen(on ? colour::kWhite : (s == State::Disable ? colour::kGrey : QColor(150, 130, 70)));
  QRectF knob = on ? QRectF(r.right() - r.height() + 2, r.top() + 2, r.height() - 4, r.height() - 4)
                   : QRectF(r.left() + 2, r.top() + 2, r.height() - 4, r.height() - 4);
  QRectF label = on ? QRectF(r.left(), r.top(), r.width() - r.height(), r.height())
                    : QRectF(r.left() + r.height(), r.top(), r.width() - r.height(), r.height());
  p.drawText(label, Qt::AlignCenter, on ? QStringLiteral("ON") : QStringLiteral("OFF"));
  QRadialGradient g(knob.center() - QPointF(knob.width() * 0.2, knob.height() * 0.25), knob.width() * 0.7);
  g.setColorAt(0, s == State::Disable ? QColor(110, 110, 112) : QColor(226, 230, 236));
  g.setColorAt(1, s == State::Disable ? QColor(60, 60, 62) : QColor(92, 98, 108));
  p.setPen(QPen(QColor(0, 0, 0, 180), 1));
  p.setBrush(g);
  p.drawEllipse(knob);
  p.setBrush(Qt::NoBrush);
}

void PaintCheck(QPainter& p, const QRect& rect, State s) {
  const int side = std::min(rect.width(), rect.height()) - 2;
  QRectF box(rect.x() + (rect.width() - side) / 2.0 + 0.5, rect.y() + (rect.height() - side) / 2.0 + 0.5,
             side - 1, side - 1);
  QPainterPath path;
  path.addRoundedRect(box, 2, 2);
  FillVertical(p, path, box, QColor(6, 7, 9), QColor(26, 28, 33));
  QColor border = s == State::Disable ? QColor(60, 60, 62) : (s == State::Normal ? colour::kGoldDull : colour::kGold);
  StrokePath(p, path, border);
  if (s == State::Over) StrokePath(p, QPainterPath(path).translated(0, 0), QColor(255, 204, 0, 200));
  if (s == State::Down) {
    QPainterPath tick;
    tick.moveTo(box.left() + side * 0.22, box.top() + side * 0.52);
    tick.lineTo(box.left() + side * 0.42, box.top() + side * 0.72);
    tick.lineTo(box.left() + side * 0.78, box.top() + side * 0.28);
    p.strokePath(tick, QPen(colour::kGold, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  }
}

void PaintLamp(QPainter& p, const QRect& rect, State s) {
  const qreal d = std::min(rect.width(), rect.height()) - 2;
  QRectF lamp(QRectF(rect).center() - QPointF(d / 2, d / 2), QSizeF(d, d));
  QRadialGradient ring(lamp.center() - QPointF(0, d * 0.3), d * 0.9);
  ring.setColorAt(0, QColor(150, 156, 166));
  ring.setColorAt(1, QColor(40, 43, 49));
  p.setPen(Qt::NoPen);
  p.setBrush(ring);
  p.drawEllipse(lamp);
  QRectF glass = lamp.adjusted(3, 3, -3, -3);
  QRadialGradient g(glass.center() - QPointF(glass.width() * 0.15, glass.height() * 0.2), glass.width() * 0.75);
  if (s == State::Down) {
    g.setColorAt(0, QColor(255, 244, 190));
    g.setColorAt(0.45, colour::kGold);
    g.setColorAt(1, QColor(150, 100, 0));
  } else if (s == State::Over) {
    g.setColorAt(0, QColor(110, 96, 50));
    g.setColorAt(1, QColor(30, 26, 14));
  } else {
    g.setColorAt(0, QColor(58, 56, 50));
    g.setColorAt(1, QColor(10, 10, 10));
  }
  p.setBrush(g);
  p.drawEllipse(glass);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(s == State::Over ? colour::kGold : QColor(0, 0, 0, 200), 1));
  p.drawEllipse(lamp.adjusted(0.5, 0.5, -0.5, -0.5));
}

void PaintArrow(QPainter& p, QPointF centre, State s) {
  QPainterPath tri;
  tri.moveTo(centre + QPointF(-4.5, -2));
  tri.lineTo(centre + QPointF(4.5, -2));
  tri.lineTo(centre + QPointF(0, 3));
  tri.closeSubpath();
  p.fillPath(tri, s == State::Disable ? colour::kGrey : (s == State::Normal ? colour::kGold : colour::kWhite));
}

void PaintDropdown(QPainter& p, const QRect& rect, State s, bool swatch) {
  const QRectF r(rect);
  QPainterPath path = PlatePath(r, 4);
  PlateLook look = LookOf(s);
  if (swatch) {
    FillVertical(p, path, r, look.top, look.bottom);
    // the program fills the swatch; the art gives it a dark sunken bed
    p.fillRect(QRectF(r.left() + 1, r.top() + 1, r.width() - 22, r.height() - 2), QColor(10, 11, 13));
  } else {
    FillVertical(p, path, r, s == State::Down ? QColor(10, 11, 13) : QColor(16, 18, 22),
                 s == State::Over ? QColor(34, 38, 45) : QColor(26, 29, 34));
  }
  // the arrow compartment on the right
  const qreal ax = r.right() - 20;
  QRectF box(ax, r.top() + 1, 20, r.height() - 2);
  QLinearGradient g(box.topLeft(), box.bottomLeft());
  g.setColorAt(0, look.top.lighter(115));
  g.setColorAt(1, look.bottom);
  p.fillRect(box, g);
  p.setPen(QPen(s == State::Disable ? QColor(60, 60, 62) : QColor(0, 0, 0, 200), 1));
  p.drawLine(QPointF(ax - 0.5, r.top() + 2), QPointF(ax - 0.5, r.bottom() - 2));
  PaintArrow(p, box.center() + (s == State::Down ? QPointF(0.5, 1.5) : QPointF(0, 0.5)), s);
  StrokePath(p, path, look.border);
}

// A slider groove; filled, it is the same groove lit gold over its whole length.
void PaintSlider(QPainter& p, const QRect& rect, bool vertical, bool filled, State s) {
  const QRectF r(rect);
  const qreal t = 8;
  QRectF groove = vertical ? QRectF(r.center().x() - t / 2, r.top() + 1, t, r.height() - 2)
                           : QRectF(r.left() + 1, r.center().y() - t / 2, r.width() - 2, t);
  // ticks on both sides of the groove
  p.setPen(QPen(QColor(122, 98, 32, 170), 1));
  const int ticks = 10;
  for (int i = 0; i <= ticks; ++i) {
    if (vertical) {
      qreal y = std::round(groove.top() + 2 + (groove.height() - 4) * i / ticks) + 0.5;
      qreal len = (i % 5 == 0) ? 4 : 2;
      p.drawLine(QPointF(groove.left() - 2 - len, y), QPointF(groove.left() - 2, y));
      p.drawLine(QPointF(groove.right() + 2, y), QPointF(groove.right() + 2 + len, y));
    } else {
      qreal x = std::round(groove.left() + 2 + (groove.width() - 4) * i / ticks) + 0.5;
      qreal len = (i % 5 == 0) ? 4 : 2;
      p.drawLine(QPointF(x, groove.top() - 2 - len), QPointF(x, groove.top() - 2));
      p.drawLine(QPointF(x, groove.bottom() + 2), QPointF(x, groove.bottom() + 2 + len));
    }
  }
  QPainterPath path;
  path.addRoundedRect(groove.adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
  if (filled) {
    QLinearGradient g = vertical ? QLinearGradient(groove.topLeft(), groove.topRight())
                                 : QLinearGradient(groove.topLeft(), groove.bottomLeft());
    g.setColorAt(0, QColor(255, 236, 150));
    g.setColorAt(0.35, colour::kGold);
    g.setColorAt(1, QColor(150, 104, 0));
    p.fillPath(path, g);
    StrokePath(p, path, QColor(90, 62, 0));
  } else {
    QLinearGradient g = vertical ? QLinearGradient(groove.topLeft(), groove.topRight())
                                 : QLinearGradient(groove.topLeft(), groove.bottomLeft());
    g.setColorAt(0, QColor(0, 0, 0));
    g.setColorAt(1, QColor(30, 33, 38));
    p.fillPath(path, g);
    StrokePath(p, path, s == State::Over ? colour::kGoldDull : QColor(70, 74, 82));
  }
}

}  // namespace

QFont UiFont(int px, bool bold) {
  QFont f(g_sans);
  f.setPixelSize(px);
  f.setWeight(bold ? QFont::Bold : QFont::Normal);
  f.setStyleStrategy(QFont::PreferAntialias);
  f.setHintingPreference(QFont::PreferFullHinting);
  f.setKerning(true);
  return f;
}

QFont DisplayFont(int px) {
  QFont f(g_display);
  f.setPixelSize(px);
  f.setWeight(QFont::Bold);
  f.setStyleStrategy(QFont::PreferAntialias);
  f.setHintingPreference(QFont::PreferFullHinting);
  f.setLetterSpacing(QFont::AbsoluteSpacing, px * 0.12);
  return f;
}

bool LoadFaces(QString* error) {
  const char* files[] = {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf", "DejaVuSerif-Bold.ttf"};
  for (const char* name : files) {
    QString path = QString::fromLatin1(kFontFolder) + QString::fromLatin1(name);
    int id = QFontDatabase::addApplicationFont(path);
    if (id < 0) {
      if (error) *error = QStringLiteral("cannot load the font %1 (Debian package fonts-dejavu-core)").arg(path);
      return false;
    }
  }
  return true;
}

QPainterPath ChamferedRect(const QRectF& r, qreal cut) { return ChamferedRect(r, cut, cut, cut, cut); }

QPainterPath ChamferedRect(const QRectF& r, qreal tl, qreal tr, qreal br, qreal bl) {
  QPainterPath path;
  path.moveTo(r.left() + tl, r.top());
  path.lineTo(r.right() - tr, r.top());
  path.lineTo(r.right(), r.top() + tr);
  path.lineTo(r.right(), r.bottom() - br);
  path.lineTo(r.right() - br, r.bottom());
  path.lineTo(r.left() + bl, r.bottom());
  path.lineTo(r.left(), r.bottom() - bl);
  path.lineTo(r.left(), r.top() + tl);
  path.closeSubpath();
  return path;
}

QImage MaskOf(const QPainterPath& outline, QSize size) {
  QImage paint(size, QImage::Format_RGB32);
  paint.fill(Qt::white);
  {
    QPainter p(&paint);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillPath(outline, Qt::black);
  }
  QImage mask(size, QImage::Format_Mono);
  mask.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
  mask.fill(0);  // also the padding bits at the end of each row
  for (int y = 0; y < size.height(); ++y) {
    const QRgb* from = reinterpret_cast<const QRgb*>(paint.constScanLine(y));
    uchar* to = mask.scanLine(y);
    for (int x = 0; x < size.width(); ++x)
      if (qRed(from[x]) != 255) to[x >> 3] |= uchar(0x80 >> (x & 7));
  }
  return mask;
}

void PaintFrame(QImage& image, const QImage& mask, int rim, quint32 seed) {
  const int w = image.width(), h = image.height();
  std::vector<double> dist = DistanceInside(mask);
  auto D = [&](int x, int y) {
    x = std::clamp(x, 0, w - 1);
    y = std::clamp(y, 0, h - 1);
    return dist[size_t(y) * w + x];
  };
  Grain grain(seed);
  std::vector<int> rowStreak(h);
  for (int y = 0; y < h; ++y) rowStreak[y] = grain.Next(7);
  // light falls from the upper left
  const double lx = -0.45, ly = -0.89;
  const Rgb kOutline{5, 5, 6}, kDarkLine{4, 4, 5};
  const Rgb kGoldLine{201, 162, 39};
  for (int y = 0; y < h; ++y) {
    QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    const double t = double(y) / std::max(1, h - 1);
    for (int x = 0; x < w; ++x) {
      const double d = dist[size_t(y) * w + x];
      if (d <= 0.0) {
        line[x] = qRgb(0, 0, 0);
        continue;
      }
      double gx = D(x + 1, y) - D(x - 1, y), gy = D(x, y + 1) - D(x, y - 1);
      double gl = std::sqrt(gx * gx + gy * gy);
      double nx = gl > 0 ? gx / gl : 0, ny = gl > 0 ? gy / gl : 0;  // towards the inside
      const double faceOut = -(nx * lx + ny * ly);  // outer slope facing the light: > 0
      // brushed steel of the rim
      Rgb steel = Mix(Rgb{128, 135, 146}, Rgb{52, 57, 65}, t);
      steel = Add(steel, rowStreak[y]);
      // body: deep blue graphite with a faint grain and a darker lower part
      Rgb body = Mix(Rgb{23, 27, 35}, Rgb{9, 11, 15}, t * 0.9);
      Rgb c;
      if (d < rim) {
        c = steel;
        c = Add(c, 80 * faceOut * (1 - Smooth(1.0, 3.5, d)));        // outer bevel
        c = Add(c, -55 * faceOut * Smooth(rim - 2.5, rim - 0.5, d));  // inner bevel
        c = Mix(kOutline, c, Smooth(0.9, 1.9, d));                    // dark outer edge
      } else {
        // the body darkens near the rim, then the gold line and its dark borders
        double shade = 0.62 + 0.38 * Smooth(rim + 3, rim + 14, d);
        c = Scale(body, shade);
        c = Mix(kDarkLine, c, Smooth(rim + 2.2, rim + 3.2, d));
        double goldAt = 1 - std::min(1.0, std::fabs(d - (rim + 1.4)) / 0.9);
        Rgb gold = Add(kGoldLine, 40 * faceOut);
        c = Mix(c, gold, std::max(0.0, goldAt));
        c = Mix(kDarkLine, c, Smooth(rim - 0.2, rim + 0.6, d));
      }
      line[x] = qRgb(Clamp255(c.r), Clamp255(c.g), Clamp255(c.b));
    }
  }
}

void PaintHeader(QPainter& p, const QRect& band) {
  QLinearGradient g(band.topLeft(), band.bottomLeft());
  g.setColorAt(0, QColor(0, 0, 0, 0));
  g.setColorAt(1, QColor(0, 0, 0, 90));
  p.fillRect(band, g);
  PaintRule(p, band.left() + 6, band.right() - 6, band.bottom());
}

void PaintPanel(QPainter& p, const QRect& r) {
  QPainterPath path = ChamferedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 6, 0, 6, 0);
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  g.setColorAt(0, QColor(255, 255, 255, 14));
  g.setColorAt(1, QColor(255, 255, 255, 4));
  p.fillPath(path, g);
  StrokePath(p, path, QColor(58, 63, 72));
  PaintRule(p, r.left() + 8, r.right() - 8, r.top());
}

void PaintWell(QPainter& p, const QRect& inner, bool goldEdge) {
  QRectF outer = QRectF(inner).adjusted(-2.5, -2.5, 2.5, 2.5);
  p.fillRect(QRectF(inner).adjusted(-2, -2, 2, 2), colour::kInk);
  p.setPen(QPen(QColor(0, 0, 0), 1));
  p.drawLine(outer.topLeft(), outer.topRight());
  p.drawLine(outer.topLeft(), outer.bottomLeft());
  p.setPen(QPen(QColor(78, 84, 94), 1));
  p.drawLine(outer.bottomLeft(), outer.bottomRight());
  p.drawLine(outer.topRight(), outer.bottomRight());
  if (goldEdge) {
    p.setPen(QPen(QColor(122, 98, 32, 200), 1));
    p.drawRect(QRectF(inner).adjusted(-1.5, -1.5, 0.5, 0.5));
  }
}

void PaintRule(QPainter& p, int x1, int x2, int y) {
  QLinearGradient g(QPointF(x1, 0), QPointF(x2, 0));
  g.setColorAt(0, QColor(201, 162, 39, 0));
  g.setColorAt(0.2, QColor(201, 162, 39, 230));
  g.setColorAt(0.5, QColor(255, 214, 80, 255));
  g.setColorAt(0.8, QColor(201, 162, 39, 230));
  g.setColorAt(1, QColor(201, 162, 39, 0));
  p.fillRect(QRectF(x1, y, x2 - x1, 1), g);
  QLinearGradient s(QPointF(x1, 0), QPointF(x2, 0));
  s.setColorAt(0, QColor(0, 0, 0, 0));
  s.setColorAt(0.5, QColor(0, 0, 0, 160));
  s.setColorAt(1, QColor(0, 0, 0, 0));
  p.fillRect(QRectF(x1, y + 1, x2 - x1, 1), s);
}

void PaintRivet(QPainter& p, QPointF c) {
  QRadialGradient g(c - QPointF(1, 1.2), 4);
  g.setColorAt(0, QColor(230, 232, 236));
  g.setColorAt(0.5, QColor(120, 126, 136));
  g.setColorAt(1, QColor(36, 38, 44));
  p.setPen(QPen(QColor(0, 0, 0, 200), 1));
  p.setBrush(g);
  p.drawEllipse(c, 2.8, 2.8);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(30, 30, 34, 220), 1));
  p.drawLine(c + QPointF(-1.6, 1.6), c + QPointF(1.6, -1.6));
}

namespace {
QStringList& Faults() {
  static QStringList faults;
  return faults;
}
}  // namespace

void NoteFault(const QString& fault) {
  if (!Faults().contains(fault)) Faults().append(fault);
}

QStringList TakeFaults() {
  QStringList out = Faults();
  Faults().clear();
  return out;
}

QColor CaptionColour(State s) {
  switch (s) {
    case State::Over:
    case State::Down: return colour::kWhite;
    case State::Disable: return colour::kGrey;
    case State::Normal: break;
  }
  return colour::kGold;
}

void PaintCaption(QPainter& p, const QRect& r, const QString& text, State s, int px) {
  p.setFont(UiFont(px, true));
  QRect at = s == State::Down ? r.translated(1, 1) : r;
  if (s != State::Disable) {
    p.setPen(QColor(0, 0, 0, 200));
    p.drawText(at.translated(0, 1), Qt::AlignCenter, text);
  }
  p.setPen(CaptionColour(s));
  p.drawText(at, Qt::AlignCenter, text);
}

void PaintControl(QPainter& p, const Control& c, State s) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setRenderHint(QPainter::TextAntialiasing, true);
  switch (c.kind) {
    case Kind::Plate:
      PaintPlate(p, c.rect, s);
      if (!c.caption.isEmpty()) PaintCaption(p, c.rect, c.caption, s);
      break;
    case Kind::Icon:
      PaintPlate(p, c.rect, s, 4);
      PaintGlyph(p, c.rect, c.glyph, s);
      break;
    case Kind::TabUp:
    case Kind::TabDown:
    case Kind::TabFlat: PaintTab(p, c.rect, c.kind, s); break;
    case Kind::Slot: PaintSlot(p, c.rect, s, false); break;
    case Kind::Card: PaintSlot(p, c.rect, s, true); break;
    case Kind::Switch: PaintSwitch(p, c.rect, s); break;
    case Kind::Check: PaintCheck(p, c.rect, s); break;
    case Kind::Radio: PaintLamp(p, c.rect, s); break;
    case Kind::Dropdown: PaintDropdown(p, c.rect, s, false); break;
    case Kind::Swatch: PaintDropdown(p, c.rect, s, true); break;
    case Kind::SliderH: PaintSlider(p, c.rect, false, s == State::Down, s); break;
    case Kind::SliderV: PaintSlider(p, c.rect, true, s == State::Down, s); break;
    case Kind::Field: PaintWell(p, c.rect); break;
    case Kind::Region:  // the window paints the bed of the control that covers it
    case Kind::TextBox: break;
  }
  p.restore();
}

}  // namespace orv::art
