// orvguide: turns the user guide, written in Markdown, into the PDF the panel opens from its
// Help menu.  orvguide GUIDE.md OUTPUT.pdf
// Pictures are looked up beside the guide; a missing one stops the tool. The pages are A4 with the page number at the foot.
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QUrl>
#include <cstdio>

#include "base/files.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: orvguide GUIDE.md OUTPUT.pdf\n");
    return 2;
  }
  // The tool never needs a screen.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);

  std::string markdown;
  if (!orv::ReadWholeFile(argv[1], markdown, 64u << 20)) {
    std::fprintf(stderr, "orvguide: cannot read %s\n", argv[1]);
    return 1;
  }
  QTextDocument document;
  document.setBaseUrl(QUrl::fromLocalFile(QFileInfo(QString::fromLocal8Bit(argv[1])).absolutePath() + "/"));
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPointSize(10);
  document.setDefaultFont(font);
  document.setMarkdown(QString::fromUtf8(markdown.data(), static_cast<qsizetype>(markdown.size())));

  // Every picture the guide shows must be there: a guide with holes is not made.
  bool complete = true;
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextCharFormat format = it.fragment().charFormat();
      if (!format.isImageFormat()) continue;
      const QUrl url = document.baseUrl().resolved(QUrl(format.toImageFormat().name()));
      if (!QFileInfo::exists(url.toLocalFile())) {
        std::fprintf(stderr, "orvguide: the picture %s is missing\n", qPrintable(url.toLocalFile()));
        complete = false;
      }
    }
  }
  if (!complete) return 1;

  QPdfWriter writer(QString::fromLocal8Bit(argv[2]));
  writer.setTitle(QStringLiteral("Orvandel Tidefall MMO Gaming Mouse - User Guide"));
  writer.setCreator(QStringLiteral("orvguide"));
  writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(18, 18, 18, 18),
                                   QPageLayout::Millimeter));
  document.print(&writer);
  return QFileInfo(QString::fromLocal8Bit(argv[2])).size() > 0 ? 0 : 1;
}
