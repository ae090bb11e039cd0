#include "skin/skin_window.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWidget>
#include <QWindow>
#include <future>
#include <optional>

#include "profile/xml_cursor.h"
#include "skin/bitmap_button.h"

namespace orv {

namespace {

std::u16string U16(const QString& s) { return s.toStdU16String(); }
QString Q(const std::u16string& s) { return QString::fromStdU16String(s); }

// Each occurrence of the section, in file order, as key -> value.
std::vector<std::map<QString, QString>> ReadOccurrences(const std::string& path, const QString& section) {
  std::vector<std::map<QString, QString>> out;
  XmlCursor xml;
  if (section.isEmpty() || !xml.LoadFile(path)) return out;
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

DecodedImage DecodeLater(const std::string& path, Clock* clock) {
  return std::async(std::launch::async, [path, clock]() -> std::optional<QImage> {
           QImage image;
           if (!LoadSkinImage(path, image, nullptr, clock)) return std::nullopt;
           return image;
         }).share();
}

}  // namespace

std::map<QString, QString> ReadSkinSection(const std::string& path, const QString& section) {
  std::map<QString, QString> merged;
  for (auto& occurrence : ReadOccurrences(path, section))
    for (auto& [key, value] : occurrence) merged[key] = value;
  return merged;
}

QString ReadSkinSectionText(const std::string& path, const QString& section) {
  XmlCursor xml;
  QString text;
  if (section.isEmpty() || !xml.LoadFile(path)) return text;
  while (xml.FindChildElement(U16(section))) text = Q(xml.GetChildText());
  return text;
}

SkinWindow::~SkinWindow() = default;

void SkinWindow::Skin(QWidget* window, const std::string& installFolder, const SkinWindowSetup& setup, Clock* clock) {
  window_ = window;
  installFolder_ = installFolder;
  // Images: each occurrence of the section loads what it names, so a later one overrides an
  // earlier one key by key, and a file that does not load leaves the image it had.
  for (const auto& keys : ReadOccurrences(SkinDataPath(installFolder, "Skins.xml"), setup.section))
    LoadStateImages(keys, setup, installFolder, clock);
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
  if (setup.dragByBackground) window->installEventFilter(this);
}

// Decoding the pictures is most of a window's creation: the files one occurrence names are
// decoded side by side, each file once (the normal picture serves as the disabled one where a
// window has no disabled picture), then handed out in the order of the skinning sequence.
void SkinWindow::LoadStateImages(const std::map<QString, QString>& keys, const SkinWindowSetup& setup,
                                 const std::string& installFolder, Clock* clock) {
  struct Job {
    const char* suffix;
    QImage* target;
  };
  const Job jobs[] = {{"_NORMAL", &images.normal},
                      {setup.hasDisable ? "_DISABLE" : "_NORMAL", &images.disable},
                      {"_DOWN", &images.down},
                      {"_OVER", &images.over},
                      {"_MASK", &images.mask}};
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
