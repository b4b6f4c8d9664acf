#include "ui/Main.h"

#include <QAction>
#include <QByteArray>
#include <QCloseEvent>
#include <QColor>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QKeySequence>
#include <QLabel>
#include <QMenuBar>
#include <QPalette>
#include <QResizeEvent>
#include <QScreen>
#include <QStatusBar>
#include <QStringList>
#include <QTimer>
#include <exception>
#include <filesystem>
#include <iterator>
#include <stdexcept>

#include "ea/EAParameters.h"
#include "experiment/Experiment.h"
#include "simulation/RobotSimulation.h"
#include "ui/About.h"
#include "ui/ArenaSetup.h"
#include "ui/DialogSupport.h"
#include "ui/EASetup.h"
#include "ui/Experiment.h"
#include "ui/ExperimentMenu.h"
#include "ui/NumberText.h"
#include "ui/RobotSetup.h"
#include "ui/Settings.h"
#include "version/BundledData.h"

namespace kestrovan {

namespace {

// Sensors of a rebuilt robot sit at this distance from the body's centre,
// whatever its radius.
constexpr double kRebuiltSensorMounting = 0.05;  // m

// What the main window remembers from one session to the next.
const QString kGeometryKey = QStringLiteral("main/geometry");
const QString kArenaKey = QStringLiteral("main/arena");
// the configuration as an experiment file's text, without the arena
const QString kConfigurationKey = QStringLiteral("main/configuration");
const QString kRobotConfirmedKey = QStringLiteral("main/robotConfirmed");
const QString kEAConfirmedKey = QStringLiteral("main/eaConfirmed");

// The bundled default arena, or empty when the installation has none.
QString DefaultArenaFile() {
  const std::filesystem::path folder = BundledArenasFolder();
  if (folder.empty()) {
    return {};
  }
  const QString file = QString::fromStdString((folder / "default.txt").string());
  return ArenaFileExists(file) ? file : QString();
}

QAction* AddItem(QMenu* Menu, const char* Name, const QString& Caption) {
  QAction* action = Menu->addAction(Caption);
  action->setObjectName(QString::fromLatin1(Name));
  return action;
}

}  // namespace

TMainForm::TMainForm(QWidget* Parent) : QMainWindow(Parent) {
  setWindowTitle(QString::fromLatin1(kApplicationCaption));
  StatusLabel = new QLabel(this);
  StatusLabel->setObjectName(QStringLiteral("StatusLabel"));
  statusBar()->addWidget(StatusLabel, 1);
  statusBar()->setSizeGripEnabled(false);
  // the name and the menu, and the status line below
  const int height = 101 + statusBar()->sizeHint().height();
  resize(800, height);
  setMaximumHeight(height);
  setMinimumWidth(600);

  QPalette silver = palette();
  silver.setColor(QPalette::Window, QColor(192, 192, 192));
  setPalette(silver);
  setAutoFillBackground(true);

  auto* client = new QWidget(this);
  setCentralWidget(client);
  NameLabel = new QLabel(QString::fromLatin1(kApplicationCaption), client);
  NameLabel->setObjectName(QStringLiteral("NameLabel"));
  QFont nameFont = NameLabel->font();
  nameFont.setBold(true);
  nameFont.setPixelSize(24);
  NameLabel->setFont(nameFont);
  NameLabel->adjustSize();
  NameLabel->move(0, 16);

  CreateMenus();
  FormCreate();
  UpdateRunMenu();

  if (const QScreen* display = screen()) {
    move(display->availableGeometry().center() - rect().center());
  }
  FormResize();
}

TMainForm::~TMainForm() {
  eaParameters_.reset();
  robot_.reset();
  SetOutOfMemoryHandler(previousOutOfMemoryHandler_);
}

void TMainForm::CreateMenus() {
  QMenu* fileMenu = menuBar()->addMenu(QStringLiteral("&File"));
  fileMenu->setObjectName(QStringLiteral("File1"));
  Exit1 = AddItem(fileMenu, "Exit1", QStringLiteral("&Quit"));
  Exit1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  ExperimentFileMenu = new TExperimentFileMenu(*this, fileMenu, Exit1);

  QMenu* setupMenu = menuBar()->addMenu(QStringLiteral("&Setup"));
  setupMenu->setObjectName(QStringLiteral("Setup1"));
  Arena1 = AddItem(setupMenu, "Arena1", QStringLiteral("&Arena\u2026"));
  Robot1 = AddItem(setupMenu, "Robot1", QStringLiteral("&Robot\u2026"));
  EvolutionaryAlgorithm1 =
      AddItem(setupMenu, "EvolutionaryAlgorithm1", QStringLiteral("&Evolutionary algorithm\u2026"));
  for (QAction* item : {Arena1, Robot1, EvolutionaryAlgorithm1}) {
    item->setCheckable(true);
  }

  QMenu* analysisMenu = menuBar()->addMenu(QStringLiteral("A&nalysis"));
  analysisMenu->setObjectName(QStringLiteral("Analysis1"));
  RunEvolution1 = AddItem(analysisMenu, "RunEvolution1", QStringLiteral("&Run evolution\u2026"));
  RunEvolution1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
  RunEvolution1->setEnabled(false);

  QMenu* helpMenu = menuBar()->addMenu(QStringLiteral("&Help"));
  helpMenu->setObjectName(QStringLiteral("Help1"));
  About1 = AddItem(helpMenu, "About1", QStringLiteral("&About"));
  About1->setShortcut(QKeySequence(Qt::Key_F1));

  connect(Exit1, &QAction::triggered, this, &TMainForm::Exit1Click);
  connect(Arena1, &QAction::triggered, this, &TMainForm::Arena1Click);
  connect(Robot1, &QAction::triggered, this, &TMainForm::Robot1Click);
  connect(EvolutionaryAlgorithm1, &QAction::triggered, this, &TMainForm::EvolutionaryAlgorithm1Click);
  connect(RunEvolution1, &QAction::triggered, this, &TMainForm::RunEvolution1Click);
  connect(About1, &QAction::triggered, this, &TMainForm::About1Click);
}

void TMainForm::FormCreate() {
  previousOutOfMemoryHandler_ = InstallOutOfMemoryMessage();
  eaParameters_ = std::make_unique<TEAParameters>();
  eaParameters_->SetDefaults();
  BuildDefaultRobot();
}

void TMainForm::BuildDefaultRobot() {
  configuration_ = TRobotConfiguration::Default();
  robot_ = BuildRobot(configuration_, configuration_.Body.Radius);
}

void TMainForm::RebuildRobot() {
  configuration_.Brain.MutationRate = eaParameters_->MutationRate;
  robot_ = BuildRobot(configuration_, kRebuiltSensorMounting);
}

void TMainForm::UpdateRunMenu() {
  RunEvolution1->setEnabled(ArenaSet && RobotSet && EASet);
  StatusLabel->setText(StatusText());
  // a notice of the start gives way to the configuration's status
  statusBar()->clearMessage();
}

void TMainForm::RestoreSettings() {
  QSettings settings = ProgramSettings();
  restoreGeometry(settings.value(kGeometryKey).toByteArray());
  QStringList notices;

  // the configuration first: taking it up clears the arena
  const QString configuration = settings.value(kConfigurationKey).toString();
  if (!configuration.isEmpty()) {
    try {
      const TExperiment experiment =
          ParseExperiment(configuration.toStdString(), QFile::encodeName(settings.fileName()).toStdString());
      ApplyExperiment(*this, experiment);
      RobotSet = settings.value(kRobotConfirmedKey, false).toBool();
      EASet = settings.value(kEAConfirmedKey, false).toBool();
    } catch (const std::exception& error) {
      notices << QStringLiteral("The configuration of the last session was not taken up (%1); the defaults are used.")
                     .arg(QString::fromLocal8Bit(error.what()));
    }
  }

  const QString remembered = settings.value(kArenaKey).toString();
  QString arena = remembered;
  if (remembered.isEmpty() || !ArenaFileExists(remembered)) {
    if (!remembered.isEmpty()) {
      notices << QStringLiteral("The arena file '%1' of the last session no longer exists.").arg(remembered);
    }
    arena = DefaultArenaFile();
    if (!remembered.isEmpty() && !arena.isEmpty()) {
      notices << QStringLiteral("The bundled default arena is chosen instead.");
    }
  }
  if (!arena.isEmpty()) {
    ArenaFileName = QFileInfo(arena).absoluteFilePath();
    ArenaSet = true;
    arenaChecked_ = true;
  }
  ShowCheckMarks();
  UpdateRunMenu();
  if (!notices.isEmpty()) {
    statusBar()->showMessage(notices.join(QLatin1Char(' ')));
  }
}

void TMainForm::SaveSettings() {
  QSettings settings = ProgramSettings();
  settings.setValue(kGeometryKey, saveGeometry());
  TExperiment experiment = MainFormExperiment(*this);
  experiment.ArenaFile.clear();
  settings.setValue(kConfigurationKey, QString::fromStdString(ExperimentText(experiment, {})));
  settings.setValue(kRobotConfirmedKey, RobotSet);
  settings.setValue(kEAConfirmedKey, EASet);
  // a chosen file that has gone is not remembered: the next start takes the default
  settings.setValue(kArenaKey, ArenaSet ? ArenaFileName : QString());
}

QString TMainForm::StatusText() const {
  const QLocale locale = DialogLocale();
  const QString separator = QStringLiteral(" \u00b7 ");
  QString text =
      QStringLiteral("Arena: ") + (ArenaSet ? QFileInfo(ArenaFileName).fileName() : QStringLiteral("none")) + separator;
  text += QStringLiteral("Robot: radius %1 m, %2 sensors, %3 states")
              .arg(locale.toString(configuration_.Body.Radius, 'g', 4))
              .arg(static_cast<int>(std::size(kDefaultSensorDirections)))
              .arg(configuration_.Brain.NumberOfStates);
  text += separator + QStringLiteral("EA: population %1, mutation rate %2")
                          .arg(eaParameters_->PopulationSize)
                          .arg(locale.toString(eaParameters_->MutationRate, 'g', 4));
  QStringList missing;
  if (!ArenaSet) {
    missing << QStringLiteral("Arena");
  }
  if (!RobotSet) {
    missing << QStringLiteral("Robot");
  }
  if (!EASet) {
    missing << QStringLiteral("EA");
  }
  if (!missing.isEmpty()) {
    text += separator + QStringLiteral("To confirm: ") + missing.join(QStringLiteral(", "));
  }
  return text;
}

bool TMainForm::OpenArenaFile(const QString& FileName) {
  if (!ArenaFileExists(FileName)) {
    ShowErrorMessage(this, QStringLiteral("The arena file '%1' does not exist.").arg(FileName));
    return false;
  }
  ArenaFileName = QFileInfo(FileName).absoluteFilePath();
  ArenaSet = true;
  arenaChecked_ = true;
  ShowCheckMarks();
  UpdateRunMenu();
  return true;
}

void TMainForm::ShowCheckMarks() {
  // a checkable item toggles itself when chosen: show the state instead
  Arena1->setChecked(arenaChecked_);
  Robot1->setChecked(RobotSet);
  EvolutionaryAlgorithm1->setChecked(EASet);
}

void TMainForm::MarkSetupsConfirmed() {
  ArenaSet = ArenaFileExists(ArenaFileName);
  arenaChecked_ = arenaChecked_ || ArenaSet;
  RobotSet = true;
  EASet = true;
  ShowCheckMarks();
  UpdateRunMenu();
}

void TMainForm::FormResize() { NameLabel->move((width() - NameLabel->width()) / 2, NameLabel->y()); }

void TMainForm::resizeEvent(QResizeEvent* Event) {
  QMainWindow::resizeEvent(Event);
  FormResize();
}

void TMainForm::closeEvent(QCloseEvent* Event) {
  SaveSettings();
  QMainWindow::closeEvent(Event);
}

void TMainForm::Exit1Click() { close(); }

void TMainForm::Arena1Click() {
  RunGuarded(this, [this] {
    TArenaSetupForm dialog(this);
    if (ArenaSet) {
      dialog.SetFileName(ArenaFileName);
    }
    if (dialog.exec() == QDialog::Accepted) {
      // the file may have gone since the dialog checked it
      ArenaSet = ArenaFileExists(dialog.FileName());
      arenaChecked_ = arenaChecked_ || ArenaSet;
      ArenaFileName = dialog.FileName();
    }
  });
  ShowCheckMarks();
  UpdateRunMenu();
}

void TMainForm::Robot1Click() {
  RunGuarded(this, [this] {
    TRobotSetupForm dialog(this);
    dialog.SetRobot(*robot_);
    dialog.SetSensorParameters(configuration_.Sensor);
    dialog.SetBrainParameters(configuration_.Brain);
    dialog.SetBodyParameters(configuration_.Body);
    if (dialog.exec() == QDialog::Accepted) {
      RebuildRobot();
      RobotSet = true;
    }
  });
  ShowCheckMarks();
  UpdateRunMenu();
}

void TMainForm::EvolutionaryAlgorithm1Click() {
  RunGuarded(this, [this] {
    TEASetupForm dialog(this);
    dialog.SetEAParameters(*eaParameters_);
    if (dialog.exec() == QDialog::Accepted) {
      EASet = true;
      // new brains mutate as the EA says
      configuration_.Brain.MutationRate = eaParameters_->MutationRate;
      configuration_.Brain.CreepProbability = eaParameters_->CreepProbability;
      configuration_.Brain.CreepRate = eaParameters_->CreepRate;
    }
  });
  ShowCheckMarks();
  UpdateRunMenu();
}

void TMainForm::RunEvolution1Click() {
  RunGuarded(this, [this] {
    if (!ArenaFileExists(ArenaFileName)) {
      throw std::runtime_error("Arena file \"" + ArenaFileName.toStdString() + "\" does not exist.");
    }
    ShowRunWindow();
  });
}

void TMainForm::About1Click() {
  RunGuarded(this, [this] {
    TAboutForm about(this);
    about.exec();
  });
}

void TMainForm::ShowRunWindow(const QString& BrainFile) {
  // the window works on this window's configuration, which the modal
  // display keeps unchanged while it is open
  TExperimentForm window(this);
  window.MinimumCylinderSpeed = MinimumCylinderSpeed;
  window.MaximumCylinderSpeed = MaximumCylinderSpeed;
  window.SetEAParameters(*eaParameters_);
  window.SetArenaFileName(ArenaFileName);
  window.SetRobot(*robot_);
  window.SetFSMBrainParameters(configuration_.Brain);
  window.KeepCylinderVelocities = KeepCylinderVelocities;
  window.ShowRunParameters(SimulationTime, TimeStep);
  window.Experiment = MainFormExperiment(*this);
  window.RestoreSettings();
  if (!BrainFile.isEmpty()) {
    // once the window is on screen, so that the replay is seen
    QTimer::singleShot(0, &window, [&window, BrainFile] { window.OpenBrain(BrainFile); });
  }
  window.exec();
  window.SaveSettings();
  // the run parameters as the window was left, when they read
  if (const auto parameters = window.EnteredRunParameters()) {
    SimulationTime = parameters->SimulationTime;
    TimeStep = parameters->TimeStep;
  }
}

}  // namespace kestrovan
