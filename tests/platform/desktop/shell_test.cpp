#include "platform/desktop/shell.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDesktopServices>
#include <QDir>
#include <QObject>
#include <QUrl>
#include <chrono>
#include <filesystem>
#include <thread>

#include "tests/platform/desktop/desktop_test_support.h"
#include "tests/test_support.h"

namespace orv {
namespace {

// Stands in for the desktop's document viewer.
class DocumentViewer : public QObject {
  Q_OBJECT

 public:
  QList<QUrl> opened;

 public slots:
  void open(const QUrl& url) { opened.push_back(url); }
};

bool WaitForFile(const std::string& path, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!std::filesystem::exists(path)) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

TEST(DesktopShell, StartsAProgramThatRunsOnItsOwn) {
  test::TempDir dir;
  const std::string program = dir / "OrvNotifier";
  // Writes beside itself, then renames, so the file is whole once it is there.
  test::WriteFile(program, "#!/bin/sh\ncd \"$(dirname \"$0\")\" && echo \"started $#\" > out.tmp && mv out.tmp out\n");
  ::chmod(program.c_str(), 0755);
  ASSERT_TRUE(ShellOpenProgram(program));
  ASSERT_TRUE(WaitForFile(dir / "out", std::chrono::seconds(5)));
  EXPECT_EQ(test::ReadFile(dir / "out"), "started 0\n");  // no arguments

  // A bare file name means the file in the working directory, never one found along PATH.
  const QString before = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(dir.path())));
  std::filesystem::remove(dir / "out");
  EXPECT_TRUE(ShellOpenProgram("OrvNotifier"));
  EXPECT_TRUE(WaitForFile(dir / "out", std::chrono::seconds(5)));
  QDir::setCurrent(before);
}

TEST(DesktopShell, RefusesWhatCannotBeStarted) {
  test::TempDir dir;
  test::WriteFile(dir / "plain.txt", "#!/bin/sh\necho no\n");
  ::chmod((dir / "plain.txt").c_str(), 0644);
  std::filesystem::create_directories(dir / "folder");
  const std::string cases[] = {"", dir / "missing", dir / "plain.txt", dir / "folder"};
  for (const std::string& path : cases) EXPECT_FALSE(ShellOpenProgram(path)) << path;
}

TEST(DesktopShell, HandsAnExistingDocumentToTheDesktopAsAFileUrl) {
  test::TempDir dir;
  test::WriteFile(dir / "User_Guide.pdf", "%PDF-1.4\n");
  DocumentViewer viewer;
  QDesktopServices::setUrlHandler("file", &viewer, "open");
  EXPECT_TRUE(ShellOpenDocument(dir / "User_Guide.pdf"));
  EXPECT_FALSE(ShellOpenDocument(dir / "Missing.pdf"));
  EXPECT_FALSE(ShellOpenDocument(""));
  QDesktopServices::unsetUrlHandler("file");
  ASSERT_EQ(viewer.opened.size(), 1);
  EXPECT_EQ(viewer.opened[0], QUrl::fromLocalFile(QString::fromStdString(dir / "User_Guide.pdf")));
}

}  // namespace
}  // namespace orv

#include "shell_test.moc"
