#pragma once
// What the skin tests share: a skin folder made on the spot (data files and flat-coloured
// images), timers moved by hand on a virtual clock, and a window that records the messages
// its skinned controls send and post.
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QWidget>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/folders.h"
#include "skin/skin_messages.h"
#include "skin/skin_resources.h"
#include "skin/skin_timer.h"
#include "tests/test_support.h"

namespace orv::test {

// Flat colours of the four state images, told apart by their red component.
inline const QColor kNormalColour(40, 30, 20);
inline const QColor kOverColour(90, 30, 20);
inline const QColor kDownColour(140, 30, 20);
inline const QColor kDisableColour(190, 30, 20);

class SkinFolder {
 public:
  SkinFolder() { MakeFolders(dir_ / "skins"); }
  // The installation folder, with its trailing slash.
  std::string folder() const { return dir_.path() + "/"; }
  std::string path(const std::string& name) const { return dir_ / name; }

  // Writes the section's state images of `size` (and the mask: white at the top-left 8 x 8
  // corner, black elsewhere) and returns the Skins.xml section naming them.
  std::string Images(const std::string& section, QSize size, bool disable = false) {
    std::string xml = "<" + section + ">";
    auto one = [&](const std::string& suffix, const QColor& colour) {
      QImage image(size, QImage::Format_RGB32);
      image.fill(colour);
      std::string name = section + suffix + ".png";
      image.save(QString::fromStdString(dir_ / ("skins/" + name)));
      xml += "<" + section + suffix + ">" + name + "</" + section + suffix + ">";
    };
    one("_NORMAL", kNormalColour);
    if (disable) one("_DISABLE", kDisableColour);
    one("_DOWN", kDownColour);
    one("_OVER", kOverColour);
    QImage mask(size, QImage::Format_RGB32);
    mask.fill(Qt::black);
    QPainter(&mask).fillRect(QRect(0, 0, std::min(8, size.width()), std::min(8, size.height())), Qt::white);
    std::string maskName = section + "_MASK.bmp";
    mask.save(QString::fromStdString(dir_ / ("skins/" + maskName)));
    xml += "<" + section + "_MASK>" + maskName + "</" + section + "_MASK>";
    return xml + "</" + section + ">";
  }
  void Skins(const std::string& sections) { Write("Skins.xml", sections); }
  void Strings(const std::string& sections) { Write("Strings.xml", sections); }
  void Write(const std::string& name, const std::string& sections) {
    WriteFile(dir_ / name, "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<ROOT>\r\n" + sections + "\r\n</ROOT>\r\n");
  }

 private:
  TempDir dir_;
};

// Timers that fire only when the test moves time, in the order they fall due.
class ManualTimers : public SkinTimerFactory {
 public:
  ManualTimers() {
    SetSkinTimerFactory(this);
    SetSkinClock(&clock);
  }
  ~ManualTimers() override {
    SetSkinTimerFactory(nullptr);
    SetSkinClock(nullptr);
    for (Timer* t : timers_) t->owner = nullptr;
  }
  std::unique_ptr<SkinTimer> Create() override {
    auto t = std::make_unique<Timer>();
    t->owner = this;
    timers_.push_back(t.get());
    return t;
  }
  // Moves time on by `ms`, firing every timer that falls due meanwhile.
  void Advance(uint32_t ms) {
    const uint64_t until = now_ + ms;
    for (;;) {
      Timer* next = nullptr;
      for (Timer* t : timers_)
        if (t->active && t->due <= until && (!next || t->due < next->due)) next = t;
      if (!next) break;
      clock.Advance(static_cast<uint32_t>(next->due - now_));
      now_ = next->due;
      if (next->single)
        next->active = false;
      else
        next->due += next->period;
      if (next->onTimeout) next->onTimeout();
    }
    clock.Advance(static_cast<uint32_t>(until - now_));
    now_ = until;
  }
  uint64_t now() const { return now_; }
  VirtualClock clock;

 private:
  struct Timer : SkinTimer {
    ~Timer() override {
      if (owner) std::erase(owner->timers_, this);
    }
    void Start(int ms, bool singleShot) override {
      active = true;
      single = singleShot;
      period = static_cast<uint64_t>(std::max(ms, 1));
      due = (owner ? owner->now_ : 0) + period;
    }
    void Stop() override { active = false; }
    bool Active() const override { return active; }
    ManualTimers* owner = nullptr;
    bool active = false;
    bool single = false;
    uint64_t period = 0;
    uint64_t due = 0;
  };
  std::vector<Timer*> timers_;
  uint64_t now_ = 0;
};

// A plain window that records what its controls send and post it.
class RecordingWindow : public QWidget, public SkinMessageTarget {
 public:
  struct Message {
    uint32_t code;
    WParam w;
    LParam l;
    bool operator==(const Message&) const = default;
  };
  RecordingWindow() { resize(400, 300); }
  LResult SkinMessage(uint32_t code, WParam w, LParam l) override {
    messages.push_back({code, w, l});
    if (onMessage) onMessage(code, w, l);
    return 0;
  }
  std::vector<Message> messages;
  std::function<void(uint32_t, WParam, LParam)> onMessage;
};

// Runs the posted messages waiting in the event loop.
inline void RunPosted() { QCoreApplication::processEvents(); }

}  // namespace orv::test
