#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Kelvaro");
  QWidget window;
  window.setWindowTitle("Kelvaro");
  window.resize(889, 491);
  window.show();
  return QApplication::exec();
}
