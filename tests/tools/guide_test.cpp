// The user guide beside the programs is a real PDF made from the project's own guide, and the
// tool that makes it refuses a guide whose pictures are missing.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

QString RunTool(const QString& program, const QStringList& args, int* exitCode) {
  QProcess p;
  p.start(program, args);
  p.waitForFinished(60000);
  *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  return QString::fromUtf8(p.readAllStandardOutput());
}

TEST(UserGuideTest, TheGuideBesideTheProgramsIsAPdfOfTheProjectsGuide) {
  const QString guide = QStringLiteral(ORV_PROGRAM_DIR "/User_Guide.pdf");
  QFile file(guide);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(file.read(5) == "%PDF-");
  const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
  if (pdftotext.isEmpty()) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed; scripts/setup installs it";
  int code = 0;
  // Lines are joined: a phrase may wrap.
  const QString text = RunTool(pdftotext, {guide, QStringLiteral("-")}, &code).simplified();
  ASSERT_EQ(code, 0);
  for (const char* phrase : {"User Guide", "Would you like to save changes?", "Failure to save macro on Board",
                             "Please reduce Macro Size.", "Config.xml.broken", "Lift distance"}) {
    EXPECT_TRUE(text.contains(QString::fromUtf8(phrase))) << phrase;
  }
}

TEST(UserGuideTest, AGuideWithAMissingPictureIsNotMade) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QFile md(dir.filePath(QStringLiteral("guide.md")));
  ASSERT_TRUE(md.open(QIODevice::WriteOnly));
  md.write("# Guide\n\n![A window](images/none.png)\n");
  md.close();
  int code = 0;
  RunTool(QStringLiteral(ORV_GUIDE_TOOL), {md.fileName(), dir.filePath(QStringLiteral("out.pdf"))}, &code);
  EXPECT_EQ(code, 1);
  EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("out.pdf"))));
  // Unreadable input: an error, no file.
  RunTool(QStringLiteral(ORV_GUIDE_TOOL), {dir.filePath(QStringLiteral("missing.md")), dir.filePath(QStringLiteral("x.pdf"))},
      &code);
  EXPECT_EQ(code, 1);
}

}  // namespace
