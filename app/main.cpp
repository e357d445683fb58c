// The program entry.
#include "app/all_classes.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char** argv)
{
  QApplication app(argc, argv);
  RegisterAllClasses();
  QWidget window;
  window.setWindowTitle(QString::fromUtf8("Ostrel网络收音机"));
  window.resize(246, 500);
  window.show();
  return app.exec();
}
