// A bare Qt 6 main window of Auralis's size and nothing else: the floor that tools/bench-startup.sh
// measures Auralis's start against, in the same runs.

#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QMainWindow window;
  window.setWindowTitle(QStringLiteral("Bare Qt window"));
  window.resize(775, 355);
  window.show();
  return QApplication::exec();
}
