// kiv_gui_grab FILE.png X Y WIDTH HEIGHT: saves a part of the X screen named
// by DISPLAY as a picture; the window tests take their screenshots with it.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: kiv_gui_grab FILE.png X Y WIDTH HEIGHT\n");
    return 2;
  }
  QGuiApplication app(argc, argv);
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return 1;
  const QPixmap shot = screen->grabWindow(0, std::atoi(argv[2]), std::atoi(argv[3]),
                                          std::atoi(argv[4]), std::atoi(argv[5]));
  if (!shot.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
    std::fprintf(stderr, "kiv_gui_grab: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
