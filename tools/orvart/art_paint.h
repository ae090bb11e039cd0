#pragma once
// Painting of the product's look: metal frames cut to a window's outline, sunken wells,
// plates, tabs, lamps and sliders in their four states. Everything is drawn with QPainter
// into 32-bit images, from fixed seeds, so the same call gives the same pixels every time.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QRect>
#include <QString>

#include "art_model.h"

namespace orv::art {

namespace colour {
inline const QColor kGold{255, 204, 0};
inline const QColor kAmber{210, 164, 18};
inline const QColor kWhite{255, 255, 255};
inline const QColor kGoldDeep{201, 162, 39};
inline const QColor kGoldDull{122, 98, 32};
inline const QColor kGrey{104, 106, 110};
inline const QColor kInk{7, 8, 11};
}  // namespace colour

// The text face standing in for "MS Shell Dlg": DejaVu Sans at a pixel size.
QFont UiFont(int px, bool bold);
// The display face of the product's name.
QFont DisplayFont(int px);
// Loads the two faces from the font files so that the system's font substitution cannot
// change them. False when a face is missing.
bool LoadFaces(QString* error);

// The outline a window has unless its description gives another: its rectangle with the
// corners cut.
QPainterPath ChamferedRect(const QRectF& r, qreal cut);
QPainterPath ChamferedRect(const QRectF& r, qreal cutTopLeft, qreal cutTopRight,
                           qreal cutBottomRight, qreal cutBottomLeft);

// The mask of an outline: black inside, exactly white outside, no partial pixels.
QImage MaskOf(const QPainterPath& outline, QSize size);

// Paints the frame of a window into image, which has the mask's size: the brushed metal
// rim following the mask's outline, a gold line, the dark body; outside pixels black.
void PaintFrame(QImage& image, const QImage& mask, int rim, quint32 seed);

// A darker band at the top of a dialog under which its title sits.
void PaintHeader(QPainter& p, const QRect& band);
// A group area: a faintly lighter panel with a fine border and a gold hairline on top.
void PaintPanel(QPainter& p, const QRect& r);
// A sunken well around a rectangle that another control fills (edit, list, display).
void PaintWell(QPainter& p, const QRect& inner, bool goldEdge = true);
// A gold hairline fading out towards both ends.
void PaintRule(QPainter& p, int x1, int x2, int y);
// A small screw head.
void PaintRivet(QPainter& p, QPointF centre);

// One control's face in one state.
void PaintControl(QPainter& p, const Control& c, State s);

// A caption in a rectangle, centred, in the colour of the state.
void PaintCaption(QPainter& p, const QRect& r, const QString& text, State s, int px = 12);

QColor CaptionColour(State s);

// Faults found while painting (a drawn word wider than its place). Generation fails on any.
void NoteFault(const QString& fault);
QStringList TakeFaults();

}  // namespace orv::art
