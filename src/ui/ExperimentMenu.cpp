#include "ui/ExperimentMenu.h"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeySequence>
#include <QMenu>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "ea/EAParameters.h"
#include "experiment/Replay.h"
#include "simulation/BrainFile.h"
#include "ui/DialogSupport.h"
#include "ui/Main.h"
#include "ui/Settings.h"
#include "version/BundledData.h"

namespace kestrovan {

namespace {

constexpr int kRecentCount = 8;
const char* const kRecentKey = "experiments/recent";
const QString kFilter = QStringLiteral("Experiments (*.toml);;All files (*)");

std::filesystem::path ToPath(const QString& File) { return std::filesystem::path(File.toStdString()); }

}  // namespace

TExperiment MainFormExperiment(const TMainForm& Form) {
  auto& form = const_cast<TMainForm&>(Form);
  TExperiment experiment = TExperiment::Default();
  experiment.EA = form.EAParameters();
  experiment.Robot.Body = form.BodyParameters();
  experiment.Robot.Sensor = form.SensorParameters();
  experiment.Robot.Motor = form.MotorParameters();
  experiment.Robot.Brain = form.FSMBrainParameters();
  experiment.ArenaFile = Form.ArenaFileName.isEmpty() ? std::filesystem::path() : ToPath(Form.ArenaFileName);
  experiment.SimulationTime = Form.SimulationTime;
  experiment.TimeStep = Form.TimeStep;
  experiment.KeepCylinderVelocities = Form.KeepCylinderVelocities;
  experiment.MinimumCylinderSpeed = Form.MinimumCylinderSpeed;
  experiment.MaximumCylinderSpeed = Form.MaximumCylinderSpeed;
  return experiment;
}

void ApplyExperiment(TMainForm& Form, const TExperiment& Experiment) {
  const TRobotConfiguration configuration = Experiment.RobotConfiguration();
  Form.EAParameters() = Experiment.EA;
  Form.BodyParameters() = configuration.Body;
  Form.SensorParameters().Range = configuration.Sensor.Range;
  Form.SensorParameters().OpeningAngle = configuration.Sensor.OpeningAngle;
  Form.MotorParameters() = configuration.Motor;
  Form.FSMBrainParameters() = configuration.Brain;
  Form.ArenaFileName = QString::fromStdString(Experiment.ArenaFile.string());
  Form.SimulationTime = Experiment.SimulationTime;
  Form.TimeStep = Experiment.TimeStep;
  Form.KeepCylinderVelocities = Experiment.KeepCylinderVelocities;
  Form.MinimumCylinderSpeed = Experiment.MinimumCylinderSpeed;
  Form.MaximumCylinderSpeed = Experiment.MaximumCylinderSpeed;
  Form.RebuildRobot();
  Form.MarkSetupsConfirmed();
}

TExperimentFileMenu::TExperimentFileMenu(TMainForm& Form, QMenu* Menu, QAction* Before) : QObject(&Form), form_(Form) {
  OpenExperiment1 = new QAction(QStringLiteral("Open experiment\u2026"), Menu);
  OpenExperiment1->setObjectName(QStringLiteral("OpenExperiment1"));
  OpenExperiment1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  SaveExperiment1 = new QAction(QStringLiteral("Save experiment\u2026"), Menu);
  SaveExperiment1->setObjectName(QStringLiteral("SaveExperiment1"));
  SaveExperiment1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  RecentExperiments1 = new QMenu(QStringLiteral("Recent experiments"), Menu);
  RecentExperiments1->setObjectName(QStringLiteral("RecentExperiments1"));
  Menu->insertAction(Before, OpenExperiment1);
  Menu->insertAction(Before, SaveExperiment1);
  Menu->insertMenu(Before, RecentExperiments1);
  OpenResultFolder1 = new QAction(QStringLiteral("Open result folder\u2026"), Menu);
  OpenResultFolder1->setObjectName(QStringLiteral("OpenResultFolder1"));
  Menu->insertAction(Before, OpenResultFolder1);
  Menu->insertSeparator(Before);
  connect(OpenExperiment1, &QAction::triggered, this, &TExperimentFileMenu::OpenClick);
  connect(SaveExperiment1, &QAction::triggered, this, &TExperimentFileMenu::SaveClick);
  connect(OpenResultFolder1, &QAction::triggered, this, &TExperimentFileMenu::OpenResultFolderClick);
  ShowRecent();
}

bool TExperimentFileMenu::OpenExperiment(const QString& File) {
  TExperiment experiment;
  try {
    experiment = ReadExperiment(ToPath(File));
  } catch (const std::exception& error) {
    ShowErrorMessage(&form_, QString::fromStdString(error.what()), QStringLiteral("The experiment was not opened."));
    return false;
  }
  ApplyExperiment(form_, experiment);
  Remember(File);
  return true;
}

bool TExperimentFileMenu::SaveExperiment(const QString& File) {
  try {
    WriteExperiment(MainFormExperiment(form_), ToPath(File));
  } catch (const std::exception& error) {
    ShowErrorMessage(&form_, QString::fromStdString(error.what()), QStringLiteral("The experiment was not saved."));
    return false;
  }
  Remember(File);
  return true;
}

QStringList TExperimentFileMenu::RecentExperiments() { return ProgramSettings().value(kRecentKey).toStringList(); }
bool TExperimentFileMenu::OpenResultFolder(const QString& Folder) {
  TExperiment experiment;
  const std::filesystem::path folder = ToPath(Folder);
  const std::filesystem::path brain = folder / kBestBrainFile;
  try {
    experiment = ResultFolderExperiment(folder);
    std::error_code error;
    if (!std::filesystem::is_regular_file(brain, error)) {
      throw std::runtime_error(brain.string() +
                               ": no best brain in the folder (the run found no new best, or it "
                               "was written by a version without brain files)");
    }
  } catch (const std::exception& error) {
    ShowErrorMessage(&form_, QString::fromStdString(error.what()), QStringLiteral("The result folder was not opened."));
    return false;
  }
  ApplyExperiment(form_, experiment);
  form_.ShowRunWindow(QString::fromStdString(brain.string()));
  return true;
}

void TExperimentFileMenu::OpenResultFolderClick() {
  const QString folder = QFileDialog::getExistingDirectory(&form_, QStringLiteral("Open result folder"));
  if (!folder.isEmpty()) {
    OpenResultFolder(folder);
  }
}

void TExperimentFileMenu::OpenClick() {
  const QStringList recent = RecentExperiments();
  // beside the last experiment, at first among the bundled examples
  QString start;
  if (!recent.isEmpty()) {
    start = QFileInfo(recent.front()).absolutePath();
  } else if (const std::filesystem::path data = BundledDataFolder(); !data.empty()) {
    start = QString::fromStdString((data / "experiments").string());
  }
  const QString file = QFileDialog::getOpenFileName(&form_, QStringLiteral("Open experiment"), start, kFilter);
  if (!file.isEmpty()) {
    OpenExperiment(file);
  }
}

void TExperimentFileMenu::SaveClick() {
  const QStringList recent = RecentExperiments();
  const QString start = recent.isEmpty() ? QString() : recent.front();
  const QString file = QFileDialog::getSaveFileName(&form_, QStringLiteral("Save experiment"), start, kFilter);
  if (!file.isEmpty()) {
    SaveExperiment(file);
  }
}

void TExperimentFileMenu::Remember(const QString& File) {
  QStringList recent = RecentExperiments();
  const QString absolute = QFileInfo(File).absoluteFilePath();
  recent.removeAll(absolute);
  recent.prepend(absolute);
  while (recent.size() > kRecentCount) {
    recent.removeLast();
  }
  ProgramSettings().setValue(kRecentKey, recent);
  ShowRecent();
}

void TExperimentFileMenu::ShowRecent() {
  RecentExperiments1->clear();
  const QStringList recent = RecentExperiments();
  for (const QString& file : recent) {
    QAction* item = RecentExperiments1->addAction(file);
    connect(item, &QAction::triggered, this, [this, file] { OpenExperiment(file); });
  }
  RecentExperiments1->setEnabled(!recent.isEmpty());
}

}  // namespace kestrovan
