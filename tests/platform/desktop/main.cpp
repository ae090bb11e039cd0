// The desktop service tests run inside a GUI application object on the offscreen platform, so
// that event loops, socket notifiers and the desktop services object all work without a screen.
#include <gtest/gtest.h>

#include <QGuiApplication>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
