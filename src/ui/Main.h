#pragma once

#include <QMainWindow>
#include <QString>
#include <memory>

#include "numerics/Matrices.h"
#include "robot/DefaultRobot.h"

class QAction;
class QCloseEvent;
class QLabel;
class QResizeEvent;

namespace kestrovan {

class TEAParameters;
class TExperimentFileMenu;

// The main window. It owns the configuration of an experiment (the EA
// parameters, the robot's parameter objects, the template robot built from
// them and the arena file name), opens the three setup dialogs that edit it
// and, once all three have been confirmed, the evolution run window.
class TMainForm : public QMainWindow {
  Q_OBJECT

 public:
  explicit TMainForm(QWidget* Parent = nullptr);
  // Releases the owned objects and restores the out-of-memory handler.
  ~TMainForm() override;

  // Creates the EA parameters and the default robot.
  void FormCreate();
  // The default configuration and a template robot built from it, the
  // sensors mounted on the body's rim.
  void BuildDefaultRobot();
  // A new template robot from the parameter objects as the robot dialog left
  // them, the brain taking the EA's mutation rate, the sensors always
  // mounted 0.05 m from the centre.
  void RebuildRobot();
  // "Run evolution" is enabled once all three setups are confirmed.
  void UpdateRunMenu();
  // Centres the name label.
  void FormResize();
  // Chooses FileName as the arena, as the arena dialog's OK would; a file
  // that does not exist is refused with a message naming it. Returns
  // whether it was taken.
  bool OpenArenaFile(const QString& FileName);
  // The status line: the arena file, the robot and the EA, and what is still
  // to confirm while "Run evolution" is disabled.
  QString StatusText() const;

  void Exit1Click();
  void Arena1Click();
  void Robot1Click();
  void EvolutionaryAlgorithm1Click();
  void RunEvolution1Click();
  void About1Click();
  // Creates the run window for the configuration and shows it modally;
  // with BrainFile, the window replays that brain first (Open brain…).
  void ShowRunWindow(const QString& BrainFile = QString());

  // The configuration; the run window uses these objects without owning them.
  TEAParameters& EAParameters() { return *eaParameters_; }
  TRobot& Robot() { return *robot_; }
  TDifferentiallySteeredBodyParameters& BodyParameters() { return configuration_.Body; }
  TFSMBrainParameters& FSMBrainParameters() { return configuration_.Brain; }
  TIRSensorParameters& SensorParameters() { return configuration_.Sensor; }
  TDCMotorParameters& MotorParameters() { return configuration_.Motor; }

  bool ArenaSet = false;  // an existing arena file has been chosen
  bool EASet = false;     // the EA setup has been confirmed
  bool RobotSet = false;  // the robot setup has been confirmed
  // handed to the run window; no dialog changes them
  double MinimumCylinderSpeed = 0.0;  // m/s
  double MaximumCylinderSpeed = 0.0;  // m/s
  bool KeepCylinderVelocities = false;
  QString ArenaFileName;
  // the run window's run parameters, kept from one run window to the next
  double SimulationTime = 20.0;  // s
  double TimeStep = 0.01;        // s

  // Takes up what the last session left: the window's geometry, the
  // configuration with its confirmed setups, and the arena. With nothing
  // remembered, the bundled default arena is chosen; a remembered arena that
  // is gone, or a configuration that no longer reads, falls back to the
  // defaults with a notice in the status line.
  void RestoreSettings();
  // Remembers the window's geometry, the configuration, which setups were
  // confirmed and the arena for the next session; closing the window does so.
  void SaveSettings();

  // Marks the robot and EA setups as confirmed and the arena's when its file
  // exists, as after confirming the three dialogs (an opened experiment).
  void MarkSetupsConfirmed();
  // "Open experiment…", "Save experiment…" and the recent experiments.
  TExperimentFileMenu* ExperimentFileMenu = nullptr;

  QLabel* NameLabel;
  QLabel* StatusLabel;
  QAction* Exit1;
  QAction* Arena1;
  QAction* Robot1;
  QAction* EvolutionaryAlgorithm1;
  QAction* RunEvolution1;
  QAction* About1;

 protected:
  void resizeEvent(QResizeEvent* Event) override;
  void closeEvent(QCloseEvent* Event) override;

 private:
  void CreateMenus();
  void ShowCheckMarks();

  std::unique_ptr<TEAParameters> eaParameters_;
  std::unique_ptr<TRobot> robot_;
  TRobotConfiguration configuration_;
  // the arena item keeps its check mark once an existing file was chosen
  bool arenaChecked_ = false;
  TOutOfMemoryHandler previousOutOfMemoryHandler_ = nullptr;
};

}  // namespace kestrovan
