// palor-programmer: one window, no arguments.
#include <QApplication>

#include "ui/view/tform1.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  palor::TForm1 form;
  form.show();
  return QApplication::exec();
}
