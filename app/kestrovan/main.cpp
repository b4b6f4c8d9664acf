// The GUI program: the main window and its dialogs.
#include "ui/Main.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QStringList>
#include <clocale>
#include <cstdio>

#include "ui/ApplicationIcon.h"
#include "ui/ExperimentMenu.h"
#include "version/Version.h"

int main(int argc, char* argv[]) {
  // the command line first: --help and --version need no display
  QStringList arguments;
  for (int i = 0; i < argc; ++i) {
    arguments << QString::fromLocal8Bit(argv[i]);
  }
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Kestrovan evolves the controller of a two-wheeled robot in a simulated arena, in windows."));
  const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                QStringLiteral("Prints this help and exits."));
  const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")},
                                   QStringLiteral("Prints the version and exits."));
  parser.addOption(help);
  parser.addOption(version);
  parser.addPositionalArgument(QStringLiteral("FILE"),
                               QStringLiteral("An arena file, or an experiment file (.toml), to open."),
                               QStringLiteral("[FILE]"));
  // options of Qt itself (-platform, -style...) are left to QApplication
  parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
  parser.parse(arguments);
  if (parser.isSet(help)) {
    // without an application object the parser does not know the program's name
    const QString text = parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("kestrovan"));
    std::printf("%s", text.toLocal8Bit().constData());
    return 0;
  }
  if (parser.isSet(version)) {
    std::printf("%s\n", kestrovan::VersionLine("kestrovan").c_str());
    return 0;
  }

  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("kestrovan"));
  QApplication::setApplicationVersion(
      QStringLiteral("%1 (revision %2)")
          .arg(QString::fromUtf8(kestrovan::ProgramVersion()), QString::fromUtf8(kestrovan::SourceRevision())));
  QApplication::setWindowIcon(kestrovan::ApplicationIcon());

  // numbers in dialogs and files use the user's decimal separator
  std::setlocale(LC_ALL, "");
  // what QApplication left: the program's own arguments
  parser.process(QApplication::arguments());
  const QStringList files = parser.positionalArguments();
  if (files.size() > 1) {
    std::fprintf(stderr, "kestrovan: one FILE at most, not %lld\n", static_cast<long long>(files.size()));
    return 2;
  }

  kestrovan::TMainForm mainForm;
  // the last session's arena, configuration and geometry
  mainForm.RestoreSettings();
  mainForm.show();
  if (!files.isEmpty()) {
    // an experiment file sets the three setups; any other file is an arena
    if (files.first().endsWith(QStringLiteral(".toml"), Qt::CaseInsensitive)) {
      mainForm.ExperimentFileMenu->OpenExperiment(files.first());
    } else {
      mainForm.OpenArenaFile(files.first());
    }
  }
  return application.exec();
}
