// The floor of the panel's start-up benchmark: a bare Qt widget program that shows one image,
// frameless, at a given place.  orv_bare_window IMAGE X Y
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QWidget>

class Picture : public QWidget {
 public:
  explicit Picture(const QImage& image) : QWidget(nullptr, Qt::FramelessWindowHint), image_(image) {
    resize(image_.size());
  }

 protected:
  void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(0, 0, image_); }

 private:
  QImage image_;
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 4) return 2;
  Picture w{QImage(QString::fromLocal8Bit(argv[1]))};
  w.move(atoi(argv[2]), atoi(argv[3]));
  w.show();
  return app.exec();
}
