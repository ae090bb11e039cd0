#include "skin/skin_window.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <sys/resource.h>
#include <unistd.h>
#include <chrono>
#include <future>
#include <mutex>
#include <optional>

#include "base/log.h"
#include "profile/profile_files.h"
#include "profile/xml_cursor.h"
#include "skin/bitmap_button.h"
#include "skin/png_reader.h"
#include "skin/qt_text.h"

namespace orv {

namespace {


// Each occurrence of the section, in file order, as key -> value.
std::vector<std::map<QString, QString>> ReadOccurrences(const std::string& path, const QString& section) {
  std::vector<std::map<QString, QString>> out;
  XmlCursor xml;
  if (section.isEmpty() || !xml.LoadFile(path, kMaxProgramDataFileSize)) return out;
  const std::u16string name = U16(section);
  while (xml.FindChildElement(name)) {
    std::map<QString, QString> keys;
    if (xml.EnterElement()) {
      while (xml.FindChildElement()) keys.emplace(Q(xml.GetChildTagName()), Q(xml.GetChildText()));
      xml.LeaveElement();
    }
    out.push_back(std::move(keys));
  }
  return out;
}

using DecodedImage = std::shared_future<std::optional<QImage>>;

DecodedImage StartDecoding(const std::string& path, Clock* clock) {
  return std::async(std::launch::async, [path, clock]() -> std::optional<QImage> {
           QImage image;
           if (!LoadSkinImage(path, image, nullptr, clock)) return std::nullopt;
           return image;
         }).share();
}

// Pictures whose decoding started before their window was made, by file path.
struct Prefetched {
  std::mutex lock;
  std::map<std::string, DecodedImage> decoding;
};

Prefetched& PrefetchedPictures() {
  static Prefetched prefetched;
  return prefetched;
}

// The decoding of a picture: the one started ahead of time when there is one (taken once),
// otherwise started now. Waits go by the given clock, so a test's virtual clock gets its own.
DecodedImage DecodeLater(const std::string& path, Clock* clock) {
  if (!clock) {
    Prefetched& prefetched = PrefetchedPictures();
    std::lock_guard hold(prefetched.lock);
    auto it = prefetched.decoding.find(path);
    if (it != prefetched.decoding.end()) {
      // A file the early decoder could not read is read the usual way, with the usual waits.
      DecodedImage early = std::move(it->second);
      prefetched.decoding.erase(it);
      return std::async(std::launch::deferred, [early, path]() -> std::optional<QImage> {
               if (const std::optional<QImage>& image = early.get()) return image;
               QImage image;
               if (!LoadSkinImage(path, image)) return std::nullopt;
               return image;
             }).share();
    }
  }
  return StartDecoding(path, clock);
}

}  // namespace

void PrefetchSkinPictures(const std::string& installFolder, const QString& section) {
  Prefetched& prefetched = PrefetchedPictures();
  for (const auto& keys : ReadOccurrences(SkinDataPath(installFolder, "Skins.xml"), section))
    for (const char* suffix : {"_NORMAL", "_MASK"}) {
      auto key = keys.find(section + QLatin1String(suffix));
      if (key == keys.end()) continue;
      const std::string path = SkinImagePath(installFolder, key->second);
      std::lock_guard hold(prefetched.lock);
      if (!prefetched.decoding.count(path))
        prefetched.decoding.emplace(path, std::async(std::launch::async, [path] { return DecodePngFile(path); }).share());
    }
}

std::map<QString, QString> ReadSkinSection(const std::string& path, const QString& section) {
  std::map<QString, QString> merged;
  for (auto& occurrence : ReadOccurrences(path, section))
    for (auto& [key, value] : occurrence) merged[key] = value;
  return merged;
}

QString ReadSkinSectionText(const std::string& path, const QString& section) {
  XmlCursor xml;
  QString text;
  if (section.isEmpty() || !xml.LoadFile(path, kMaxProgramDataFileSize)) return text;
  while (xml.FindChildElement(U16(section))) text = Q(xml.GetChildText());
  return text;
}

SkinWindow::~SkinWindow() {
  for (Deferred& d : deferred_)
    if (d.decoding.valid()) d.decoding.wait();
}

void SkinWindow::Skin(QWidget* window, const std::string& installFolder, const SkinWindowSetup& setup, Clock* clock) {
  window_ = window;
  installFolder_ = installFolder;
  // Images: each occurrence of the section loads what it names, so a later one overrides an
  // earlier one key by key, and a file that does not load leaves the image it had.
  const auto occurrences = ReadOccurrences(SkinDataPath(installFolder, "Skins.xml"), setup.section);
  for (const auto& keys : occurrences) LoadStateImages(keys, setup, installFolder, clock, !setup.deferButtonStates);
  if (setup.deferButtonStates) DeferButtonStates(occurrences, setup, installFolder, clock);
  if (setup.requireImages &&
      (images.normal.isNull() || images.down.isNull() || images.over.isNull() || images.mask.isNull()))
    throw xException(QString::fromLatin1(kNoPictureMessage));
  if (!images.normal.isNull()) window->resize(images.normal.size());

  strings_ = ReadSkinSection(SkinDataPath(installFolder, "Strings.xml"), setup.section);
  for (const QString& key : setup.buttonKeys) {
    auto it = strings_.find(key);
    if (it == strings_.end()) continue;
    SkinControlEntry entry = ParseControlEntry(it->second);
    auto* button = new CBitmapBtn(window);
    button->setObjectName(key);
    button->setGeometry(entry.rect());
    button->SetSkinImages(entry.rect(), images.normal, images.over, images.down, images.disable);
    button->SetLatched(entry.latched);
    button->SetTooltip(entry.tooltip, true);
    button->setVisible(!entry.rect().isEmpty());
    buttons_.emplace_back(key, button);
  }

  outline = RegionFromMask(images.mask, QColor(255, 255, 255), 0);
  if (setup.requireOutline && !outline) throw xException(QString::fromLatin1(kNoMaskMessage));
  dragByBackground_ = setup.dragByBackground;
  if (setup.dragByBackground) window->installEventFilter(this);
}

// Decoding the pictures is most of a window's creation: the files one occurrence names are
// decoded side by side, each file once (the normal picture serves as the disabled one where a
// window has no disabled picture), then handed out in the order of the skinning sequence.
void SkinWindow::LoadStateImages(const std::map<QString, QString>& keys, const SkinWindowSetup& setup,
                                 const std::string& installFolder, Clock* clock, bool withButtonStates) {
  struct Job {
    const char* suffix;
    QImage* target;
  };
  std::vector<Job> jobs = {{"_NORMAL", &images.normal}};
  if (withButtonStates || !setup.hasDisable) jobs.push_back({setup.hasDisable ? "_DISABLE" : "_NORMAL", &images.disable});
  if (withButtonStates) {
    jobs.push_back({"_DOWN", &images.down});
    jobs.push_back({"_OVER", &images.over});
  }
  jobs.push_back({"_MASK", &images.mask});
  std::map<QString, DecodedImage> decoding;  // by file name
  for (const Job& job : jobs) {
    auto it = keys.find(setup.section + QLatin1String(job.suffix));
    if (it == keys.end() || decoding.count(it->second)) continue;
    const std::string path = SkinImagePath(installFolder, it->second);
    decoding[it->second] = DecodeLater(path, clock);
  }
  for (const Job& job : jobs) {
    auto it = keys.find(setup.section + QLatin1String(job.suffix));
    if (it == keys.end()) continue;
    if (const std::optional<QImage>& image = decoding[it->second].get()) *job.target = *image;
  }
}

// The down, over and (where the window has one) disabled pictures of a window that shows itself
// before they are decoded: each stands in as the normal picture until its decoding is taken.
// The files are tried latest occurrence first, as the skinning sequence overrides key by key.
void SkinWindow::DeferButtonStates(const std::vector<std::map<QString, QString>>& occurrences,
                                   const SkinWindowSetup& setup, const std::string& installFolder, Clock* clock) {
  struct State {
    const char* suffix;
    QImage* target;
  };
  std::vector<State> states = {{"_DOWN", &images.down}, {"_OVER", &images.over}};
  if (setup.hasDisable) states.push_back({"_DISABLE", &images.disable});
  for (const State& state : states) {
    std::vector<std::string> paths;  // latest occurrence first
    for (auto it = occurrences.rbegin(); it != occurrences.rend(); ++it) {
      auto key = it->find(setup.section + QLatin1String(state.suffix));
      if (key != it->end()) paths.push_back(SkinImagePath(installFolder, key->second));
    }
    // Only a file whose header reads counts as there; its data is decoded later.
    bool readable = false;
    for (const std::string& path : paths) readable = readable || PictureHeaderReads(path);
    if (!readable) continue;
    *state.target = images.normal;
    deferred_.push_back({state.target, std::move(paths), {}, clock});
  }
  if (deferred_.empty()) return;
  // Decoding starts once the window has drawn itself, so that it does not take the processor
  // from the window's first frame; a window that is not drawn soon starts it all the same.
  window_->installEventFilter(this);
  QTimer::singleShot(kDeferredDecodingStartMs, this, [this] { StartDeferredDecoding(); });
}

void SkinWindow::StartDeferredDecoding() {
  if (deferredStarted_) return;
  deferredStarted_ = true;
  for (Deferred& d : deferred_)
    d.decoding = std::async(std::launch::async, [paths = d.paths, clock = d.clock]() -> std::optional<QImage> {
      // Background work: the display server and the window's own thread go first.
      ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
      for (const std::string& path : paths) {
        QImage image;
        if (LoadSkinImage(path, image, nullptr, clock)) return image;
        ORV_LOG(Skin, Warning, "%s cannot be decoded: the buttons keep their normal picture", path.c_str());
      }
      return std::nullopt;
    });
  QTimer::singleShot(0, this, [this] { TakeDeferredImages(); });
}

// Takes the decoded button pictures that are ready and cuts the buttons' states anew; comes back
// for the others.
void SkinWindow::TakeDeferredImages() {
  bool taken = false;
  for (auto it = deferred_.begin(); it != deferred_.end();) {
    if (it->decoding.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
      ++it;
      continue;
    }
    if (std::optional<QImage> image = it->decoding.get()) {
      *it->target = std::move(*image);
      taken = true;
    }
    it = deferred_.erase(it);
  }
  if (taken)
    for (auto& [key, button] : buttons_)
      button->SetSkinImages(button->geometry(), images.normal, images.over, images.down, images.disable);
  if (!deferred_.empty()) QTimer::singleShot(2, this, [this] { TakeDeferredImages(); });
}

bool SkinWindow::ApplyOutline(QWidget* window) {
  if (!outline) return false;
  window->setMask(*outline);
  return true;
}

void SkinWindow::PaintBackground(QPainter& painter) const {
  if (!images.normal.isNull())
    painter.drawImage(0, 0, images.normal);
  else if (window_)
    painter.fillRect(window_->rect(), QColor(24, 22, 20));  // nothing to show: a plain dark face
}

QString SkinWindow::Plain(const QString& key) const {
  auto it = strings_.find(key);
  return it == strings_.end() ? QString() : it->second;
}

CBitmapBtn* SkinWindow::Button(const QString& key) const {
  for (auto& [k, b] : buttons_)
    if (k == key) return b;
  return nullptr;
}

bool SkinWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched != window_) return false;
  if (event->type() == QEvent::Paint && !deferredStarted_ && !deferred_.empty()) {
    // Once this first frame is on the screen: the display server takes a few milliseconds more
    // to put it there.
    QTimer::singleShot(kDeferredDecodingAfterPaintMs, this, [this] { StartDeferredDecoding(); });
    return false;
  }
  if (!dragByBackground_) return false;
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      auto* e = static_cast<QMouseEvent*>(event);
      if (e->button() != Qt::LeftButton) return false;
      // The window manager moves the window where there is one; otherwise the window follows
      // the pointer itself.
      QWindow* handle = window_->windowHandle();
      if (handle && handle->startSystemMove()) return true;
      dragging_ = true;
      dragOffset_ = e->globalPosition().toPoint() - window_->frameGeometry().topLeft();
      return true;
    }
    case QEvent::MouseMove: {
      auto* e = static_cast<QMouseEvent*>(event);
      if (!dragging_ || !(e->buttons() & Qt::LeftButton)) return false;
      window_->move(e->globalPosition().toPoint() - dragOffset_);
      return true;
    }
    case QEvent::MouseButtonRelease:
      if (!dragging_) return false;
      dragging_ = false;
      return true;
    default:
      return false;
  }
}

}  // namespace orv
