#pragma once
// The one skinned window of both programs: a frameless window (a dialog, a drawer, a pop-up)
// dressed by the skinning sequence with its section of Skins.xml and Strings.xml, shaped by its
// outline, painting its normal picture with its own content over it, and swallowing Enter,
// since no skinned window has a default button. `QtBase` is the Qt class it is (QDialog for
// the modal dialogs, QWidget for a drawer or a modeless pop-up); a window adds its controls
// and draws its content in DrawContent.
#include <QKeyEvent>
#include <QPainter>
#include <QWidget>
#include <string>
#include <utility>

#include "skin/skin_messages.h"
#include "skin/skin_resources.h"
#include "skin/skin_window.h"

namespace orv {

template <class QtBase>
class SkinnedWindow : public QtBase, public SkinMessageTarget {
 public:
  SkinnedWindow(std::string installFolder, QWidget* parent, Qt::WindowFlags flags)
      : QtBase(parent, flags | Qt::FramelessWindowHint), installFolder_(std::move(installFolder)) {}

  SkinWindow& skin() { return skin_; }
  // The picture of the window as its next paint shows it: the normal picture (black where
  // there is none), then the content, in amber unless the content draws otherwise.
  QImage Compose() {
    QImage off(this->size(), QImage::Format_ARGB32_Premultiplied);
    off.fill(Qt::black);
    QPainter p(&off);
    p.setRenderHint(QPainter::TextAntialiasing);
    skin_.PaintBackground(p);
    p.setPen(kAmber);
    DrawContent(p);
    return off;
  }
  // What its controls tell it; nothing by default.
  LResult SkinMessage(uint32_t, WParam, LParam) override { return 0; }

 protected:
  // Runs the skinning sequence, fixes the window's size to its picture's (`fallback` without
  // one, so that the texts still show) and cuts the outline. Whether the outline could be cut.
  bool SetUpSkin(const SkinWindowSetup& setup, QSize fallback = QSize(360, 180)) {
    this->setObjectName(setup.section);
    skin_.Skin(this, installFolder_, setup);
    if (skin_.images.normal.isNull()) this->resize(fallback);
    this->setFixedSize(this->size());
    return skin_.ApplyOutline(this);
  }
  // Draws the window's texts and pictures over its normal picture.
  virtual void DrawContent(QPainter&) {}
  // Keys the window takes no action on, besides Enter and the keypad's Enter.
  virtual bool Swallows(const QKeyEvent&) const { return false; }

  void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(0, 0, Compose()); }
  void keyPressEvent(QKeyEvent* e) override {
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter || Swallows(*e)) {
      e->accept();
      return;
    }
    QtBase::keyPressEvent(e);
  }

  std::string installFolder_;
  SkinWindow skin_;
};

}  // namespace orv
