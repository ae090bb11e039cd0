// orvart: draws the product's skin from the window descriptions.
//   orvart FOLDER           writes Skins.xml, Strings.xml, Menu.xml and the pictures into FOLDER
//   orvart --verify FOLDER  exits 1 when a file in FOLDER differs from what would be written
//   orvart --sheet FILE     writes a contact sheet of every window in every state
//   orvart --preview FOLDER writes a few windows at full size for a quick look
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QTextStream>
#include <algorithm>
#include <cstdio>

#include "art_generate.h"
#include "art_paint.h"

using namespace orv::art;

namespace {

int Usage() {
  std::fprintf(stderr, "usage: orvart FOLDER | --verify FOLDER | --sheet FILE | --preview FOLDER\n");
  return 2;
}

void PrintErrors(const QStringList& errors) {
  for (const QString& e : errors) std::fprintf(stderr, "orvart: %s\n", qPrintable(e));
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QStringList args = app.arguments().mid(1);
  if (args.isEmpty() || args.size() > 2) return Usage();
  QString error;
  if (!LoadFaces(&error)) {
    PrintErrors({error});
    return 1;
  }
  const Product product = ProductSkin();
  const QString mode = args.size() == 2 ? args[0] : QString();
  const QString target = args.size() == 2 ? args[1] : args[0];
  if (!mode.isEmpty() && mode != QLatin1String("--verify") && mode != QLatin1String("--sheet") &&
      mode != QLatin1String("--preview"))
    return Usage();

  if (mode == QLatin1String("--sheet")) {
    if (!ContactSheet(product).save(target, "PNG")) {
      PrintErrors({QStringLiteral("cannot write %1").arg(target)});
      return 1;
    }
    return 0;
  }
  if (mode == QLatin1String("--preview")) {
    FileSet previews;
    for (const Window& w : product.windows) {
      const int layouts = w.imageSets.empty() ? 1 : int(w.imageSets.size());
      for (int layout = 1; layout <= layouts; ++layout) {
        const QString name = w.section.toLower() + (layout > 1 ? QStringLiteral("_%1").arg(layout) : QString());
        previews[name + QStringLiteral(".png")] = EncodeImage(RenderMockup(w, layout), QStringLiteral("PNG"));
        previews[name + QStringLiteral("_over.png")] = EncodeImage(RenderMockup(w, layout, true), QStringLiteral("PNG"));
      }
    }
    // the small pictures, enlarged four times without smoothing, on one strip
    {
      int width = 8, height = 8;
      for (const FixedImage& f : product.fixedImages) {
        QImage img = f.draw();
        width += img.width() * 4 + 8;
        height = std::max(height, img.height() * 4 + 16);
      }
      QImage strip(width, height, QImage::Format_RGB32);
      strip.fill(QColor(60, 62, 68));
      QPainter p(&strip);
      int x = 8;
      for (const FixedImage& f : product.fixedImages) {
        QImage img = f.draw();
        p.drawImage(QRect(x, 8, img.width() * 4, img.height() * 4), img);
        x += img.width() * 4 + 8;
      }
      p.end();
      previews[QStringLiteral("small_pictures.png")] = EncodeImage(strip, QStringLiteral("PNG"));
    }
    if (!WriteFiles(previews, target, &error)) {
      PrintErrors({error});
      return 1;
    }
    return 0;
  }

  FileSet files;
  QStringList errors;
  if (!Generate(product, &files, &errors)) {
    PrintErrors(errors);
    return 1;
  }
  if (mode == QLatin1String("--verify")) {
    QStringList differ;
    for (const auto& [path, bytes] : files) {
      QFile file(target + QLatin1Char('/') + path);
      if (!file.open(QIODevice::ReadOnly)) differ.append(path + QStringLiteral(": missing"));
      else if (file.readAll() != bytes) differ.append(path + QStringLiteral(": differs"));
    }
    PrintErrors(differ);
    return differ.isEmpty() ? 0 : 1;
  }
  if (!WriteFiles(files, target, &error)) {
    PrintErrors({error});
    return 1;
  }
  std::printf("orvart: %d files written to %s\n", int(files.size()), qPrintable(target));
  return 0;
}
