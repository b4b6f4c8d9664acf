// Renders the main window and each dialog, filled with the default
// configuration, and the run window during a visualised run, to PNG files in
// the folder given as the first argument.
#include "ui/Main.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <clocale>
#include <cstdio>

#include "ea/EA.h"
#include "simulation/EvolutionRun.h"
#include "ui/About.h"
#include "ui/ArenaSetup.h"
#include "ui/EASetup.h"
#include "ui/Experiment.h"
#include "ui/RobotSetup.h"

namespace {

// Says whether the image at Path was written; returns Saved.
bool Report(bool Saved, const QString& Path) {
  std::printf("%s %s\n", Saved ? "wrote" : "could not write", qPrintable(Path));
  return Saved;
}

bool Save(QWidget& Window, const QDir& Folder, const QString& Name) {
  Window.show();
  QApplication::processEvents();
  const QString path = Folder.filePath(Name);
  const bool saved = Window.grab().save(path);
  Window.hide();
  return Report(saved, path);
}

// The main window with its "Setup" menu open below the menu bar.
bool SaveWithMenu(kestrovan::TMainForm& Window, const QDir& Folder, const QString& Name) {
  Window.show();
  QApplication::processEvents();
  QMenu* menu = Window.findChild<QMenu*>(QStringLiteral("Setup1"));
  QAction* menuAction = menu->menuAction();
  const QRect item = Window.menuBar()->actionGeometry(menuAction);
  menu->popup(Window.menuBar()->mapToGlobal(item.bottomLeft()));
  QApplication::processEvents();
  const QPixmap window = Window.grab();
  const QPixmap popup = menu->grab();
  const QPoint offset = Window.mapFromGlobal(menu->pos());
  QPixmap combined(window.width(), std::max(window.height(), offset.y() + popup.height()));
  combined.fill(Qt::white);
  QPainter painter(&combined);
  painter.drawPixmap(0, 0, window);
  painter.drawPixmap(offset, popup);
  painter.end();
  menu->hide();
  Window.hide();
  const QString path = Folder.filePath(Name);
  return Report(combined.save(path), path);
}

// The run window in its sixth generation, with "Activate" checked, 12 s
// into an evaluation. The run writes its new-best files into a
// temporary folder.
bool SaveRunWindow(kestrovan::TMainForm& Owner, const QDir& Folder, const QString& ArenaFile, const QString& Name) {
  using namespace kestrovan;
  const QString arena = QFileInfo(ArenaFile).absoluteFilePath();
  const QString path = QFileInfo(Folder.filePath(Name)).absoluteFilePath();
  const QString previousFolder = QDir::currentPath();
  QTemporaryDir results;
  if (!results.isValid() || !QDir::setCurrent(results.path())) {
    std::fprintf(stderr, "kestrovan-screenshots: no temporary folder for the run's files\n");
    return false;
  }

  TExperimentForm window(&Owner);
  window.SetEAParameters(Owner.EAParameters());
  window.SetArenaFileName(arena);
  window.SetRobot(Owner.Robot());
  window.SetFSMBrainParameters(Owner.FSMBrainParameters());
  window.InitialSeed = 2026;
  window.resize(1000, 700);
  window.show();
  QApplication::processEvents();
  window.InitializeButton->click();

  bool saved = false;
  QTimer shot;
  QObject::connect(&shot, &QTimer::timeout, [&] {
    TEvolutionRun& run = window.Run();
    if (run.EA() == nullptr || run.EA()->Generation() < 5) {
      return;
    }
    window.chkVisualize->setChecked(true);
    const TRobotSimulation* simulation = run.Simulation();
    if (simulation == nullptr || simulation->Time < 12.0) {
      return;
    }
    shot.stop();
    saved = window.grab().save(path);
    // the rest of the generation unwatched: at real time it would take minutes
    window.chkVisualize->setChecked(false);
    window.StopEAButton->click();
  });
  shot.start(0);
  window.RunEAButton->click();
  window.hide();
  QDir::setCurrent(previousFolder);
  return Report(saved, path);
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  std::setlocale(LC_ALL, "");
  const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs"));
  const QString arenaFile = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("arenas/default.txt");
  if (!folder.exists()) {
    std::fprintf(stderr, "kestrovan-screenshots: folder %s does not exist\n", qPrintable(folder.path()));
    return 1;
  }

  using namespace kestrovan;
  // the main window as a first start shows it, whatever the settings of
  // whoever takes the pictures hold
  const QTemporaryDir settingsFolder;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsFolder.path());
  TMainForm mainForm;
  mainForm.RestoreSettings();
  bool saved = Save(mainForm, folder, QStringLiteral("main-window.png"));
  saved = SaveWithMenu(mainForm, folder, QStringLiteral("main-window-setup-menu.png")) && saved;

  TArenaSetupForm arena(&mainForm);
  arena.SetFileName(arenaFile);
  saved = Save(arena, folder, QStringLiteral("arena-setup.png")) && saved;

  TRobotSetupForm robot(&mainForm);
  robot.SetRobot(mainForm.Robot());
  robot.SetSensorParameters(mainForm.SensorParameters());
  robot.SetBrainParameters(mainForm.FSMBrainParameters());
  robot.SetBodyParameters(mainForm.BodyParameters());
  saved = Save(robot, folder, QStringLiteral("robot-setup.png")) && saved;

  TEASetupForm ea(&mainForm);
  ea.SetEAParameters(mainForm.EAParameters());
  saved = Save(ea, folder, QStringLiteral("ea-setup.png")) && saved;

  TAboutForm about(&mainForm);
  saved = Save(about, folder, QStringLiteral("about.png")) && saved;

  saved = SaveRunWindow(mainForm, folder, arenaFile, QStringLiteral("run-window.png")) && saved;
  return saved ? 0 : 1;
}
