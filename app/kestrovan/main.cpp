// The GUI program: the main window and its dialogs.
#include "ui/Main.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QStringList>
#include <clocale>

#include "ui/ApplicationIcon.h"
#include "version/Version.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("kestrovan"));
  QApplication::setApplicationVersion(
      QStringLiteral("%1 (revision %2)")
          .arg(QString::fromUtf8(kestrovan::ProgramVersion()), QString::fromUtf8(kestrovan::SourceRevision())));
  QApplication::setWindowIcon(kestrovan::ApplicationIcon());

  // --help and --version print and end the program before any window opens
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Kestrovan evolves the controller of a two-wheeled robot in a simulated arena, in windows."));
  parser.addHelpOption();
  parser.addVersionOption();
  // the help names the program as it is called from the PATH, not its full path
  QStringList arguments = QApplication::arguments();
  arguments.first() = QStringLiteral("kestrovan");
  parser.process(arguments);

  // numbers in dialogs and files use the user's decimal separator
  std::setlocale(LC_ALL, "");
  kestrovan::TMainForm mainForm;
  mainForm.show();
  return application.exec();
}
