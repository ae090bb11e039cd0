#pragma once
// How the three drawers slide out of the main window's edges and back, and where they stay
// beside it: one model for all three, frame by frame, so that a drawer's widget only applies
// the frames its timer asks for (place, size, which part of its outline shows) and posts
// UM_SLIDE_DONE with the code the slide ends with.
//   - the assignment drawer comes out of the right edge: its outline's columns from the
//     offset on show, moved left by the offset, 15 pixels every 20 ms;
//   - the illumination drawer comes down out of the bottom edge: its rows below the offset
//     show, moved up by the offset, 10 pixels every millisecond;
//   - the properties drawer grows out of the left edge: 8 pixels of width every millisecond,
//     its right edge fixed.
#include <QPoint>
#include <QRect>
#include <QSize>

#include "panel/editors/editor_windows.h"

namespace orv {

// Where a drawer stays beside the main window (its screen rectangle): its top-left corner.
QPoint DrawerAnchor(DrawerKind kind, const QRect& mainWindow, QSize drawer);

// One step of a slide: the window's place and size, the part of its outline that shows, and
// whether it is shown or hidden by this step.
struct SlideFrame {
  enum Clip : uint8_t {
    kWhole,         // the whole outline
    kColumnsFrom,   // the columns x >= clipValue (RegionFromMaskClipped mode 1)
    kRowsBelow,     // the rows y > clipValue (mode 2)
  };
  QRect geometry;
  Clip clip = kWhole;
  int clipValue = 0;
  bool show = false;  // the first step of a slide out shows the window
  bool hide = false;  // the last step of a slide in hides it
  bool last = false;  // the slide ends with this step: UM_SLIDE_DONE with DrawerSlide::doneCode()
};

class DrawerSlide {
 public:
  // A slide out for a drawer of `size` beside `mainWindow`.
  static DrawerSlide Out(DrawerKind kind, const QRect& mainWindow, QSize size);
  // A slide in from where the drawer is (`current`, its top-left) beside `mainWindow`.
  static DrawerSlide In(DrawerKind kind, const QRect& mainWindow, QSize size, QPoint current);

  // The timer's period.
  int periodMs() const;
  // The next step; after the last one, the last one again.
  SlideFrame Tick();
  bool done() const { return done_; }
  // UM_SLIDE_DONE's lParam when the slide ends.
  SlideCode doneCode() const;

 private:
  DrawerSlide(DrawerKind kind, bool out, QSize size, QPoint base, int position);

  DrawerKind kind_;
  bool out_;
  QSize size_;
  QPoint base_;   // assignments: the base the offset is taken from; illumination: the target; properties: right edge, top
  int position_;  // the offset (assignments, illumination) or the width shown (properties)
  bool first_ = true;
  bool done_ = false;
  SlideFrame last_;
};

}  // namespace orv
