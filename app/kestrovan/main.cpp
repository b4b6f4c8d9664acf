// The GUI program: the main window and its dialogs.
#include "ui/Main.h"

#include <QApplication>
#include <clocale>

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  // numbers in dialogs and files use the user's decimal separator
  std::setlocale(LC_ALL, "");
  kestrovan::TMainForm mainForm;
  mainForm.show();
  return application.exec();
}
