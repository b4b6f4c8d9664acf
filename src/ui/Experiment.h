#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QLocale>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <source_location>
#include <stdexcept>
#include <string>
#include <vector>

#include "experiment/Experiment.h"

class QCheckBox;
class QComboBox;
class QCloseEvent;
class QKeyEvent;
class QOpenGLWidget;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QSplitter;
class QStatusBar;
class QPushButton;
class QResizeEvent;
class QWidget;

namespace kestrovan {

class TRunRecord;

class TBrainReplay;
class TEAParameters;
class TEvolutionRun;
class TFitnessPlot;
class TFSMBrainParameters;
class TRobot;
class TRobotSimulationParameters;
class TSimulation3DViewer;

// A failed check of a precondition; the message reads
// "Assertion failure (<source file>, line <n>)".
class TAssertionFailure : public std::logic_error {
 public:
  explicit TAssertionFailure(std::source_location Where = std::source_location::current());
};

// The evolution run window. "Initialize" builds a population of random
// brains, reloads the arena and builds the 3D view; "Run EA" runs
// generation after generation of the shared run loop until "Stop EA",
// showing the best and average fitness, the evaluation count, every new
// best fitness and a plot of the fitness history. The loop runs on the
// user-interface thread inside the "Run EA" click and processes pending
// events between simulation steps, so that "Pause", "Stop EA", the check
// boxes and the 3D view's camera work while it runs.
//
// The configuration (EA parameters, template robot, brain parameters)
// belongs to the caller and must outlive the window; the window owns the
// run (arena, algorithm, population, histories) and the 3D view.
class TExperimentForm : public QDialog {
  Q_OBJECT

 public:
  explicit TExperimentForm(QWidget* Owner = nullptr);
  // FormDestroy.
  ~TExperimentForm() override;

  // ---- configuration, handed over before the window is shown

  void SetEAParameters(const TEAParameters& Parameters);
  // Stores the name and loads the arena. A missing file raises
  // TAssertionFailure, a file that cannot be read std::runtime_error naming
  // the file and line; the window must then not be shown.
  void SetArenaFileName(const QString& Name);
  void SetRobot(const TRobot& Robot);
  void SetFSMBrainParameters(const TFSMBrainParameters& Parameters);

  // The configuration as an experiment, for the record files of every run
  // (experiment.toml, arena.txt, manifest.json, generations.csv); without
  // one a run writes its result files and descr.txt only.
  std::optional<TExperiment> Experiment;
  bool KeepCylinderVelocities = false;  // when false, cylinders get random velocities at Initialize and replay
  double MinimumCylinderSpeed = 0.0;    // m/s
  double MaximumCylinderSpeed = 0.0;    // m/s
  // Seed of the next Initialize; empty: the time of day.
  std::optional<std::uint32_t> InitialSeed;
  // Least wall time between two rounds of event processing during a
  // simulation (ms), 0 for after every step; events are always processed
  // before an evaluation.
  int EventInterval = 10;
  // Shows an error to the user (a critical message box); the text names
  // what failed and why.
  std::function<void(const QString& Text)> ShowMessage;
  // Asks the user a yes/no question; true for yes.
  std::function<bool(const QString& Question)> AskQuestion;
  // The folder that receives the numbered folder of each run ("run-001",
  // "run-002"...); at first the current folder.
  QString ResultsParent;

  // Takes up the size, position and view choices (Activate, what it shows,
  // the speed, Show sensors) the window had when it was last closed.
  void RestoreSettings();
  // Remembers them for the next window, in this session or the next.
  void SaveSettings() const;

  // ---- user operations

  void InitializeButtonClick();
  void RunEAButtonClick();
  void PauseButtonClick();
  void StopEAButtonClick();
  void EvaluateBestButtonClick();
  // Replays the population's best agent in the 3D view; only while the run
  // is held by a pause, between two evaluations. The replay runs on a copy:
  // the population stays as it was.
  void ShowBestIndividual();
  // Writes "descr.txt" with the fitness histories into the run's folder.
  void SaveButtonClick();
  // Lets the user choose the folder that receives the runs' folders.
  void ResultsFolderButtonClick();
  // "Open brain…": lets the user choose a brain file, then OpenBrain.
  void OpenBrainButtonClick();
  // Replays the brain of File (a brain file a run wrote) in the 3D view, as
  // "Re-evaluate best individual" replays the best agent: the template
  // robot with the recorded genome, in the window's arena with the times
  // in the boxes, the cylinders started as in the recording run; the
  // fitness in the view's caption and in the progress list. Not while a
  // run is under way; an initialized run that has not started is ended
  // (the view shows the replay's arena). A refused file or a brain that
  // does not fit the robot is shown by ShowMessage.
  void OpenBrain(const QString& File);
  void chkShowSensorsClick();
  // Places the status bar, the view above the plot, and the progress list.
  void FormResize();
  // Releases the view and the run; the destructor calls it.
  void FormDestroy();

  // ---- state

  bool Running() const { return running_; }
  bool Paused() const { return paused_; }
  // Paused, and the evaluation in progress when "Pause" was pressed has ended.
  bool Held() const { return held_; }
  bool StopRequested() const { return stopRequested_; }
  bool Replaying() const { return replaying_; }
  // Fills the simulation time and time step boxes (shortest exact text).
  void ShowRunParameters(double SimulationTime, double TimeStep);
  // The run parameters the boxes hold, or nothing when they do not read as
  // accepted values.
  std::optional<TRobotSimulationParameters> EnteredRunParameters() const;

  // Times per second of real time a shown simulation advances; 0: as fast
  // as possible.
  double SpeedFactor() const;
  // Frames of the 3D view requested since the window was created.
  int FramesShown() const { return framesShown_; }
  TEvolutionRun& Run() { return *run_; }
  const TEvolutionRun& Run() const { return *run_; }
  // The 3D view, from Initialize to the end of the run; else nullptr.
  TSimulation3DViewer* Viewer() { return viewer_.get(); }
  // The folder of the current or last run; empty before the first run.
  const QString& ResultsFolder() const { return resultsFolder_; }
  // The last brain replayed by OpenBrain, or nullptr.
  const TBrainReplay* BrainReplay() const { return brainReplay_.get(); }

  QPushButton* InitializeButton;
  QPushButton* RunEAButton;
  QPushButton* PauseButton;
  QPushButton* StopEAButton;
  QPushButton* EvaluateBestButton;
  QPushButton* SaveButton;
  QPushButton* OpenBrainButton;
  QPushButton* ResultsFolderButton;
  QLabel* ResultsFolderLabel;
  QLabel* MaxLabel;
  QLabel* AverageLabel;
  QLabel* EvaluatedLabel;
  QLineEdit* SimulationTimeBox;
  QLineEdit* TimeStepBox;
  QCheckBox* chkVisualize;
  QCheckBox* chkShowSensors;
  // What "Activate" shows: every evaluation, or only the best of each
  // generation, replayed after it while the evolution runs at full speed.
  QComboBox* ShowBox;
  // How fast a shown simulation runs: real time x1, x2, x5, x20, or as fast
  // as possible.
  QComboBox* SpeedBox;
  QGroupBox* VisualizationGroupBox;
  QWidget* WorldViewPanel;
  QPlainTextEdit* ReevalMemo;
  TFitnessPlot* FitnessPlot;
  // the 3D view above the plot
  QSplitter* ViewSplitter;
  QStatusBar* StatusBar;
  QLabel* GenerationLabel;           // "Generation 3"
  QProgressBar* GenerationProgress;  // evaluations of the current generation
  QLabel* RateLabel;                 // "812.5 evaluations/s"
  QLabel* RunTimeLabel;              // "elapsed 0:01:05"

 public slots:
  // A close while the run loop is active becomes "Stop EA": the window
  // closes once the loop has ended.
  void done(int Result) override;

 protected:
  void resizeEvent(QResizeEvent* Event) override;
  bool eventFilter(QObject* Watched, QEvent* Event) override;
  // During a run: the close box asks before it stops the run, Escape does
  // nothing.
  void closeEvent(QCloseEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;

 private:
  void CreateControls();
  // Enables every button and box as the run state demands.
  void UpdateControls();
  // Runs Action; whatever it throws is shown by ShowMessage.
  void Guarded(const std::function<void()>& Action);

  void RunLoop();
  void EvaluateAgent(int Index);
  // The end of a run, normal or not: the records written, the algorithm and
  // the view released.
  void EndRunLoop(const std::string& Error = {});
  // Writes the records of a run that has ended, for whatever reason, into
  // its folder: "descr.txt" with the fitness histories and the run's record
  // files, the manifest saying "stopped", or "failed" with Error. A failure
  // is shown, never thrown.
  void WriteRunRecords(const std::string& Error);
  // Starts the record files of the run in its folder, when there is an
  // experiment to record.
  void BeginRunRecord();
  // Creates the first free "run-NNN" folder under ResultsParent and makes
  // it the run's output folder; throws std::runtime_error naming it.
  void BeginRunFolder();
  void ShowResultsFolder();
  // The simulation time and time step in the boxes; throws naming the box.
  TRobotSimulationParameters ReadRunParameters() const;
  // After every simulation step: the state shown when visualising, paced
  // by the speed, events processed when due.
  void AfterStep(const TRobot& Agent);
  // Whether the steps of the simulation under way are shown.
  bool ShowsSteps() const;
  // Shows Agent at most once per display frame and waits until the wall
  // clock has caught up with its simulated time at the chosen speed.
  void PaceStep(const TRobot& Agent, double Factor);
  // Whether the next frame may be drawn: a frame interval has passed since
  // the last one, and at least as long as that one took to draw.
  bool FrameDue() const;
  // Shows Agent's state and draws it now.
  void DrawFrame(const TRobot& Agent);
  // Steps the replay the caller has begun to its end, in the view:
  // "Re-evaluate best individual", and after every generation when only the
  // best is shown (then "Stop EA" ends it early).
  void ReplayBest(bool StopsWithTheRun);
  // Moves the 3D view's robot and cylinders to the simulation's state and
  // shows the simulated time.
  void ShowState(const TRobot& Agent);
  void ShowGeneration();
  // The status bar's generation, progress, rate and elapsed time.
  void ShowStatus();
  // The evaluation count and the new bests not yet shown, now or when they
  // were last shown long enough ago.
  void ShowProgress(bool Now);

  // Processes pending events now / when EventInterval has passed.
  void ProcessEvents();
  void ProcessEventsWhenDue();

  QString Fixed(double Value, int Decimals) const;
  // "Elapsed time = <simulated time> s" for the caption of the 3D view.
  QString ElapsedCaption(const TRobot& Agent) const;

  std::unique_ptr<TEvolutionRun> run_;
  // the record files of the run under way, when Experiment is set
  std::unique_ptr<TRunRecord> record_;
  // the brain OpenBrain replays, with its own arena and robot (the view
  // may show them: it goes first)
  std::unique_ptr<TBrainReplay> brainReplay_;
  std::unique_ptr<TSimulation3DViewer> viewer_;
  // An OpenGL surface from the start: the first one added to a window on
  // screen makes Qt re-create its native window, which then jumps.
  QOpenGLWidget* glSurface_ = nullptr;
  QString resultsFolder_;
  const TRobot* robot_ = nullptr;                         // the template robot, not owned
  const TFSMBrainParameters* brainParameters_ = nullptr;  // not owned
  QLocale locale_;
  QElapsedTimer sinceEvents_;
  QElapsedTimer sinceProgress_;
  QElapsedTimer runClock_;  // since Run EA
  // the lowest fitness of each completed generation
  std::vector<double> minimumHistory_;
  int evaluatedInGeneration_ = 0;
  // new bests found since the progress was last shown
  struct TNewBest {
    double Fitness;          // of the evaluation
    double RecordedFitness;  // of the recording run
    int EvaluationCount;     // names its file
    int Generation;          // 1-based
  };
  std::vector<TNewBest> newBests_;
  int stepsUntilClock_ = 0;  // steps left until the clock is read again
  bool running_ = false;
  bool paused_ = false;
  bool held_ = false;  // the loop waits in its pause
  bool stopRequested_ = false;
  bool replaying_ = false;
  bool closeRequested_ = false;
  bool replayStep_ = false;  // the steps under way are a replay's
  // pacing: the wall clock since the simulated time pacedFrom_, and the
  // clock since the last frame
  QElapsedTimer paceClock_;
  QElapsedTimer frameClock_;
  double pacedFrom_ = 0.0;
  bool paceReset_ = true;
  int framesShown_ = 0;
  qint64 lastFrameCost_ = 0;  // ms
};

}  // namespace kestrovan
