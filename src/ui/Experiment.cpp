#include "ui/Experiment.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QOpenGLWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QSplitter>
#include <QStatusBar>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <filesystem>
#include <utility>

#include "arena/Arena.h"
#include "ea/EA.h"
#include "experiment/Replay.h"
#include "experiment/RunRecord.h"
#include "robot/Robot.h"
#include "simulation/BrainFile.h"
#include "simulation/EvolutionRun.h"
#include "simulation/ResultFiles.h"
#include "ui/DialogSupport.h"
#include "ui/FitnessPlot.h"
#include "ui/NumberText.h"
#include "ui/Settings.h"
#include "view3d/Simulation3DViewer.h"

namespace kestrovan {

namespace {

// Left column of groups; the 3D view's group starts right of it.
constexpr int kColumnLeft = 8;
constexpr int kColumnWidth = 197;
constexpr int kViewLeft = 208;
constexpr int kProgressTop = 450;

const QString kElapsedCaption = QStringLiteral("Elapsed time =");

// Least time between two updates of the progress labels and memo during a
// generation (ms): every change repaints the window, which with the 3D
// view's surface composed in software costs as much as several evaluations.
constexpr qint64 kProgressInterval = 250;
// Simulation steps between two readings of the clock: a step takes about a
// microsecond, a reading a few percent of that.
constexpr int kStepsPerClockReading = 16;
// Least wall time between two frames of a paced simulation (ms): 60 frames
// per second at most.
constexpr qint64 kFrameInterval = 16;
// The speeds offered, in SpeedBox's order; 0: as fast as possible.
constexpr double kSpeeds[] = {1.0, 2.0, 5.0, 20.0, 0.0};

// A refused simulation time or time step; the message names the box.
class TRunParameterError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// The positive number in Box, read with Locale; Field names the box.
double ReadPositive(QLineEdit* Box, const QString& Field, const QLocale& Locale) {
  const std::optional<double> value = ParseFloat(Box->text(), Locale);
  QString reason;
  if (!value) {
    reason = Field + QStringLiteral(": ") + FloatConversionMessage(Box->text());
  } else if (!(*value > 0.0)) {
    reason = Field + QStringLiteral(" must be a positive number of seconds, not '") + Box->text() + QLatin1Char('\'');
  } else {
    return *value;
  }
  Box->setFocus();
  Box->selectAll();
  throw TRunParameterError(reason.toStdString());
}

}  // namespace

TAssertionFailure::TAssertionFailure(std::source_location Where)
    : std::logic_error(QString::asprintf("%s (%s, line %d)", "Assertion failure",
                                         std::filesystem::path(Where.file_name()).filename().string().c_str(),
                                         static_cast<int>(Where.line()))
                           .toStdString()) {}

TExperimentForm::TExperimentForm(QWidget* Owner)
    : QDialog(Owner), run_(std::make_unique<TEvolutionRun>()), locale_(DialogLocale()) {
  setObjectName(QStringLiteral("ExperimentForm"));
  setWindowTitle(QStringLiteral("Kestrovan, v1.0 - Evolutionary simulation"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
  setMinimumSize(637, 560);
  ShowMessage = [this](const QString& Text) { ShowErrorMessage(this, Text); };
  AskQuestion = [this](const QString& Question) { return AskYesNo(this, Question); };
  ResultsParent = QDir::currentPath();
  run_->OutputFolder = ".";
  run_->Yield = [this] { ProcessEventsWhenDue(); };
  CreateControls();
  resize(900, 640);
  UpdateControls();
  FormResize();
}

TExperimentForm::~TExperimentForm() { FormDestroy(); }

void TExperimentForm::CreateControls() {
  QFont font = this->font();
  font.setPointSize(8);
  setFont(font);

  QGroupBox* eaGroup = AddControl<QGroupBox>(this, "EATestGroupBox", QRect(kColumnLeft, 4, kColumnWidth, 134),
                                             QStringLiteral("EA test"));
  InitializeButton = AddButton(eaGroup, "InitializeButton", QStringLiteral("Initialize"), QRect(8, 18, 88, 25));
  RunEAButton = AddButton(eaGroup, "RunEAButton", QStringLiteral("Run EA"), QRect(101, 18, 88, 25));
  PauseButton = AddButton(eaGroup, "PauseButton", QStringLiteral("Pause"), QRect(8, 46, 88, 25));
  StopEAButton = AddButton(eaGroup, "StopEAButton", QStringLiteral("Stop EA"), QRect(101, 46, 88, 25));
  EvaluateBestButton =
      AddButton(eaGroup, "EvaluateBestButton", QStringLiteral("Re-evaluate best individual"), QRect(8, 74, 181, 25));
  SaveButton = AddButton(eaGroup, "SaveButton", QStringLiteral("Save history"), QRect(8, 102, 88, 25));
  OpenBrainButton = AddButton(eaGroup, "OpenBrainButton", QStringLiteral("Open brain\u2026"), QRect(101, 102, 88, 25));

  QGroupBox* performanceGroup = AddControl<QGroupBox>(
      this, "PerformanceGroupBox", QRect(kColumnLeft, 142, kColumnWidth, 70), QStringLiteral("Performance:"));
  MaxLabel =
      AddControl<QLabel>(performanceGroup, "MaxLabel", QRect(10, 18, 179, 15), QStringLiteral("Maximum fitness:"));
  AverageLabel =
      AddControl<QLabel>(performanceGroup, "AverageLabel", QRect(10, 34, 179, 15), QStringLiteral("Average fitness:"));
  EvaluatedLabel = AddControl<QLabel>(performanceGroup, "EvaluatedLabel", QRect(10, 50, 179, 15),
                                      QStringLiteral("Evaluated individuals:"));

  QGroupBox* parameterGroup = AddControl<QGroupBox>(
      this, "RunParametersGroupBox", QRect(kColumnLeft, 216, kColumnWidth, 68), QStringLiteral("Run parameters:"));
  SimulationTimeBox = AddLabelledEdit(parameterGroup, QStringLiteral("Simulation time:"), 10, "SimulationTimeBox",
                                      QRect(114, 16, 75, 21), FormatFloat(20.0, 'f', 1, 0, locale_));
  TimeStepBox = AddLabelledEdit(parameterGroup, QStringLiteral("Time step:"), 10, "TimeStepBox", QRect(114, 40, 75, 21),
                                FormatFloat(0.01, 'f', 2, 0, locale_));

  QGroupBox* visualizationGroup =
      AddControl<QGroupBox>(this, "VisualizationOptionsGroupBox", QRect(kColumnLeft, 288, kColumnWidth, 92),
                            QStringLiteral("3D visualization"));
  AddLabel(visualizationGroup, QStringLiteral("Show:"), 10, 42);
  ShowBox = AddControl<QComboBox>(visualizationGroup, "ShowBox", QRect(58, 38, 131, 22));
  ShowBox->addItems({QStringLiteral("every evaluation"), QStringLiteral("best of each generation")});
  AddLabel(visualizationGroup, QStringLiteral("Speed:"), 10, 68);
  SpeedBox = AddControl<QComboBox>(visualizationGroup, "SpeedBox", QRect(58, 64, 131, 22));
  SpeedBox->addItems({QStringLiteral("real time \u00d71"), QStringLiteral("\u00d72"), QStringLiteral("\u00d75"),
                      QStringLiteral("\u00d720"), QStringLiteral("as fast as possible")});
  connect(SpeedBox, &QComboBox::currentIndexChanged, this, [this] { paceReset_ = true; });
  chkVisualize =
      AddControl<QCheckBox>(visualizationGroup, "chkVisualize", QRect(10, 17, 80, 17), QStringLiteral("Activate"));
  chkShowSensors = AddControl<QCheckBox>(visualizationGroup, "chkShowSensors", QRect(92, 17, 95, 17),
                                         QStringLiteral("Show sensors"));
  chkShowSensors->setChecked(true);

  QGroupBox* resultsGroup = AddControl<QGroupBox>(this, "ResultsGroupBox", QRect(kColumnLeft, 384, kColumnWidth, 62),
                                                  QStringLiteral("Results:"));
  ResultsFolderLabel = AddControl<QLabel>(resultsGroup, "ResultsFolderLabel", QRect(10, 16, 179, 15), QString());
  ResultsFolderButton =
      AddButton(resultsGroup, "ResultsFolderButton", QStringLiteral("Results folder\u2026"), QRect(8, 32, 181, 25));

  QGroupBox* progressGroup =
      AddControl<QGroupBox>(this, "ProgressGroupBox", QRect(kColumnLeft, kProgressTop, kColumnWidth, 120),
                            QStringLiteral("Progress: (highest fitness obtained)"));
  ReevalMemo = AddControl<QPlainTextEdit>(progressGroup, "ReevalMemo", QRect());
  ReevalMemo->setReadOnly(true);
  ReevalMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // a line names the evaluation and its generation: wrapped in the narrow column
  ReevalMemo->setLineWrapMode(QPlainTextEdit::WidgetWidth);

  // the right part: the 3D view above the fitness plot, sized by the user
  ViewSplitter = AddControl<QSplitter>(this, "ViewSplitter", QRect(kViewLeft, 4, 400, 408), Qt::Vertical);
  ViewSplitter->setChildrenCollapsible(false);
  VisualizationGroupBox = new QGroupBox(QStringLiteral("Elapsed time = "), ViewSplitter);
  VisualizationGroupBox->setObjectName(QStringLiteral("VisualizationGroupBox"));
  WorldViewPanel = new QWidget(VisualizationGroupBox);
  WorldViewPanel->setObjectName(QStringLiteral("WorldViewPanel"));
  WorldViewPanel->setMinimumSize(100, 100);
  WorldViewPanel->installEventFilter(this);
  auto* viewLayout = new QVBoxLayout(VisualizationGroupBox);
  viewLayout->setContentsMargins(6, 4, 6, 6);
  viewLayout->addWidget(WorldViewPanel);
  FitnessPlot = new TFitnessPlot(ViewSplitter);
  FitnessPlot->setObjectName(QStringLiteral("FitnessPlot"));
  FitnessPlot->SetLocale(locale_);
  ViewSplitter->addWidget(VisualizationGroupBox);
  ViewSplitter->addWidget(FitnessPlot);
  ViewSplitter->setStretchFactor(0, 2);
  ViewSplitter->setStretchFactor(1, 1);

  StatusBar = AddControl<QStatusBar>(this, "StatusBar", QRect());
  StatusBar->setSizeGripEnabled(true);
  GenerationLabel = new QLabel(StatusBar);
  GenerationLabel->setObjectName(QStringLiteral("GenerationLabel"));
  GenerationProgress = new QProgressBar(StatusBar);
  GenerationProgress->setObjectName(QStringLiteral("GenerationProgress"));
  GenerationProgress->setMaximumWidth(160);
  GenerationProgress->setRange(0, 1);
  GenerationProgress->setValue(0);
  RateLabel = new QLabel(StatusBar);
  RateLabel->setObjectName(QStringLiteral("RateLabel"));
  RunTimeLabel = new QLabel(StatusBar);
  RunTimeLabel->setObjectName(QStringLiteral("RunTimeLabel"));
  StatusBar->addPermanentWidget(GenerationLabel);
  StatusBar->addPermanentWidget(GenerationProgress);
  StatusBar->addPermanentWidget(RateLabel);
  StatusBar->addPermanentWidget(RunTimeLabel);
  glSurface_ = new QOpenGLWidget(WorldViewPanel);
  glSurface_->setObjectName(QStringLiteral("OpenGLSurface"));
  glSurface_->setGeometry(0, 0, 1, 1);

  RunEAButton->setShortcut(QKeySequence(Qt::Key_F5));
  PauseButton->setShortcut(QKeySequence(Qt::Key_Space));
  connect(InitializeButton, &QPushButton::clicked, this, &TExperimentForm::InitializeButtonClick);
  connect(RunEAButton, &QPushButton::clicked, this, &TExperimentForm::RunEAButtonClick);
  connect(PauseButton, &QPushButton::clicked, this, &TExperimentForm::PauseButtonClick);
  connect(StopEAButton, &QPushButton::clicked, this, &TExperimentForm::StopEAButtonClick);
  connect(EvaluateBestButton, &QPushButton::clicked, this, &TExperimentForm::EvaluateBestButtonClick);
  connect(SaveButton, &QPushButton::clicked, this, &TExperimentForm::SaveButtonClick);
  connect(ResultsFolderButton, &QPushButton::clicked, this, &TExperimentForm::ResultsFolderButtonClick);
  connect(OpenBrainButton, &QPushButton::clicked, this, &TExperimentForm::OpenBrainButtonClick);
  connect(chkShowSensors, &QCheckBox::clicked, this, &TExperimentForm::chkShowSensorsClick);
}

// ---- memory

void TExperimentForm::RestoreSettings() {
  QSettings settings = ProgramSettings();
  settings.beginGroup(QStringLiteral("run"));
  restoreGeometry(settings.value(QStringLiteral("geometry")).toByteArray());
  chkVisualize->setChecked(settings.value(QStringLiteral("activate"), chkVisualize->isChecked()).toBool());
  chkShowSensors->setChecked(settings.value(QStringLiteral("showSensors"), chkShowSensors->isChecked()).toBool());
  // an index that no longer names a choice keeps the window's own
  const auto restoreChoice = [&settings](QComboBox* Box, const QString& Key) {
    const int index = settings.value(Key, Box->currentIndex()).toInt();
    if (index >= 0 && index < Box->count()) {
      Box->setCurrentIndex(index);
    }
  };
  restoreChoice(ShowBox, QStringLiteral("show"));
  restoreChoice(SpeedBox, QStringLiteral("speed"));
}

void TExperimentForm::SaveSettings() const {
  QSettings settings = ProgramSettings();
  settings.beginGroup(QStringLiteral("run"));
  settings.setValue(QStringLiteral("geometry"), saveGeometry());
  settings.setValue(QStringLiteral("activate"), chkVisualize->isChecked());
  settings.setValue(QStringLiteral("showSensors"), chkShowSensors->isChecked());
  settings.setValue(QStringLiteral("show"), ShowBox->currentIndex());
  settings.setValue(QStringLiteral("speed"), SpeedBox->currentIndex());
}

// ---- configuration

void TExperimentForm::SetEAParameters(const TEAParameters& Parameters) { run_->SetEAParameters(Parameters); }

void TExperimentForm::SetArenaFileName(const QString& Name) {
  if (running_) {
    throw std::logic_error("The arena cannot change while the evolution runs");
  }
  if (!QFileInfo::exists(Name)) {
    throw TAssertionFailure();
  }
  // a view or population of the old arena goes with it
  viewer_.reset();
  run_->EndRun();
  try {
    run_->SetArenaFileName(QFile::encodeName(Name).toStdString());
  } catch (const TArenaFileError& error) {
    // the message names the file and the line
    throw std::runtime_error(error.Located());
  }
  UpdateControls();
}

void TExperimentForm::SetRobot(const TRobot& Robot) {
  robot_ = &Robot;
  run_->SetRobot(Robot);
}

void TExperimentForm::SetFSMBrainParameters(const TFSMBrainParameters& Parameters) {
  brainParameters_ = &Parameters;
  run_->SetFSMBrainParameters(Parameters);
}

// ---- controls

void TExperimentForm::UpdateControls() {
  const bool initialized = run_->Initialized();
  const bool active = running_ && !stopRequested_ && !replaying_;
  InitializeButton->setEnabled(!running_ && !initialized);
  RunEAButton->setEnabled(!running_ && initialized);
  PauseButton->setEnabled(active);
  PauseButton->setText(paused_ ? QStringLiteral("Resume") : QStringLiteral("Pause"));
  StopEAButton->setEnabled(active && !paused_);
  EvaluateBestButton->setEnabled(active && held_);
  // the times are read at Run EA: editable until the run starts
  SimulationTimeBox->setEnabled(!running_);
  TimeStepBox->setEnabled(!running_);
  ResultsFolderButton->setEnabled(!running_);
  OpenBrainButton->setEnabled(!running_ && !replaying_);
  SaveButton->setEnabled(run_->MaxFitnessHistory().Count() > 0 && !replaying_);
  ShowResultsFolder();
}

void TExperimentForm::Guarded(const std::function<void()>& Action) {
  try {
    try {
      Action();
    } catch (const TArenaFileError& error) {
      ShowMessage(QString::fromLocal8Bit(error.Located()));
    } catch (const std::exception& error) {
      ShowMessage(QString::fromLocal8Bit(error.what()));
    } catch (...) {
      ShowMessage(QStringLiteral("Unknown error"));
    }
  } catch (...) {
    // showing the message failed as well (out of memory): nothing more to do
  }
}

QString TExperimentForm::Fixed(double Value, int Decimals) const { return locale_.toString(Value, 'f', Decimals); }

QString TExperimentForm::ElapsedCaption(const TRobot& Agent) const {
  return QStringLiteral("Elapsed time = ") + Fixed(Agent.ElapsedTime, 2) + QStringLiteral(" s");
}

void TExperimentForm::ProcessEvents() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  sinceEvents_.start();
}

void TExperimentForm::ProcessEventsWhenDue() {
  if (EventInterval <= 0 || !sinceEvents_.isValid() || sinceEvents_.hasExpired(EventInterval)) {
    ProcessEvents();
  }
}

// ---- Initialize

void TExperimentForm::InitializeButtonClick() {
  if (running_) {
    return;
  }
  Guarded([this] {
    if (robot_ == nullptr) {
      throw std::logic_error("Initialize needs the template robot");
    }
    // refused now rather than after a population was built for nothing
    ReadRunParameters();
    ReevalMemo->clear();
    // the old view draws the arena that Initialize replaces
    viewer_.reset();
    run_->KeepCylinderVelocities = KeepCylinderVelocities;
    run_->MinimumCylinderSpeed = MinimumCylinderSpeed;
    run_->MaximumCylinderSpeed = MaximumCylinderSpeed;
    run_->Initialize(InitialSeed);
    minimumHistory_.clear();
    FitnessPlot->SetHistories(run_->MaxFitnessHistory(), run_->AverageFitnessHistory(), minimumHistory_);

    try {
      auto viewer = std::make_unique<TSimulation3DViewer>(WorldViewPanel);
      viewer->SetArena(run_->Arena());
      viewer->ShowSensors = chkShowSensors->isChecked();
      viewer->BuildArenaScene();
      viewer->BuildRobot(*robot_);
      viewer->UpdateArenaObjects();
      viewer->SetViewerGeometry(0, 0, WorldViewPanel->width(), WorldViewPanel->height());
      viewer_ = std::move(viewer);
    } catch (...) {
      // without a view there is no run
      run_->EndRun();
      throw;
    }
    FormResize();
  });
  UpdateControls();
}

// ---- the run loop

TRobotSimulationParameters TExperimentForm::ReadRunParameters() const {
  const double simulationTime = ReadPositive(SimulationTimeBox, QStringLiteral("Simulation time"), locale_);
  const double timeStep = ReadPositive(TimeStepBox, QStringLiteral("Time step"), locale_);
  return TRobotSimulationParameters(simulationTime, timeStep);
}

void TExperimentForm::ShowRunParameters(double SimulationTime, double TimeStep) {
  SimulationTimeBox->setText(locale_.toString(SimulationTime, 'g', QLocale::FloatingPointShortest));
  TimeStepBox->setText(locale_.toString(TimeStep, 'g', QLocale::FloatingPointShortest));
}

std::optional<TRobotSimulationParameters> TExperimentForm::EnteredRunParameters() const {
  try {
    const TRobotSimulationParameters parameters = ReadRunParameters();
    parameters.Validate();
    return parameters;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

void TExperimentForm::RunEAButtonClick() {
  if (running_ || !run_->Initialized()) {
    return;
  }
  Guarded([this] { RunLoop(); });
  UpdateControls();
  if (closeRequested_) {
    closeRequested_ = false;
    QDialog::done(QDialog::Rejected);
  }
}

void TExperimentForm::RunLoop() {
  // refused values leave the window as it was: initialized
  run_->BeginRun(ReadRunParameters());
  BeginRunFolder();
  BeginRunRecord();
  // what makes the run mean little heads the progress list; the run goes on
  for (const std::string& warning : run_->RunWarnings()) {
    ReevalMemo->appendPlainText(QString::fromLocal8Bit(warning));
  }

  stopRequested_ = false;
  paused_ = false;
  running_ = true;
  runClock_.start();
  StatusBar->clearMessage();
  UpdateControls();
  VisualizationGroupBox->setTitle(kElapsedCaption);
  try {
    do {
      run_->BeginGeneration();
      evaluatedInGeneration_ = 0;
      ShowStatus();
      double minimum = 0.0;
      for (int i = 1; i <= run_->PopulationCount(); ++i) {
        EvaluateAgent(i);
        const double fitness = run_->EA()->Population().GetAgent(i).Fitness;
        minimum = i == 1 ? fitness : std::min(minimum, fitness);
      }
      // the generation step replaces the population: its lowest value first
      minimumHistory_.push_back(minimum);
      if (chkVisualize->isChecked() && ShowBox->currentIndex() == 1) {
        run_->BeginReplay(run_->SimulationParameters());
        ReplayBest(true);
      }
      run_->EndGeneration();
      ShowGeneration();
    } while (!stopRequested_);
  } catch (const std::exception& error) {
    EndRunLoop(error.what());
    throw;
  } catch (...) {
    EndRunLoop("unknown error");
    throw;
  }
  EndRunLoop();
}

void TExperimentForm::EvaluateAgent(int Index) {
  ProcessEvents();
  run_->BeginEvaluation(Index);
  const TRobot& agent = run_->EvaluatedAgent();
  paceReset_ = true;
  // the arena as reset, in a visualised evaluation only: a repaint of the
  // view per evaluation would cost more than the evaluation
  if (viewer_ && ShowsSteps()) {
    viewer_->UpdateArenaObjects();
  }
  bool finished = false;
  do {
    finished = run_->StepEvaluation();
    AfterStep(agent);
  } while (!finished);
  // the last state stays on screen
  if (ShowsSteps()) {
    ShowState(agent);
  }

  // a pause holds the run between two evaluations; only then may the best
  // agent be replayed, since a replay resets and moves the arena
  if (paused_) {
    held_ = true;
    ShowProgress(true);
    UpdateControls();
    while (paused_) {
      ProcessEvents();
      QThread::msleep(1);
    }
    held_ = false;
    UpdateControls();
  }

  const TEvaluationResult result = run_->FinishEvaluation();
  evaluatedInGeneration_ = Index;
  if (result.NewBest) {
    newBests_.push_back({result.Fitness, result.RecordedFitness, result.EvaluationCount, run_->EA()->Generation() + 1});
  }
  ShowProgress(false);
}

void TExperimentForm::ShowProgress(bool Now) {
  if (!Now && sinceProgress_.isValid() && !sinceProgress_.hasExpired(kProgressInterval)) {
    return;
  }
  EvaluatedLabel->setText(QStringLiteral("Evaluated individuals: %1").arg(run_->EvaluationCount()));
  if (!newBests_.empty()) {
    MaxLabel->setText(QStringLiteral("Maximum fitness: ") + Fixed(newBests_.back().Fitness, 3));
    for (const TNewBest& best : newBests_) {
      ReevalMemo->appendPlainText(QStringLiteral("evaluation %1 (generation %2): %3")
                                      .arg(best.EvaluationCount)
                                      .arg(best.Generation)
                                      .arg(Fixed(best.RecordedFitness, 3)));
    }
    newBests_.clear();
  }
  ShowStatus();
  sinceProgress_.start();
}

double TExperimentForm::SpeedFactor() const {
  const int index = SpeedBox->currentIndex();
  return index >= 0 && index < static_cast<int>(std::size(kSpeeds)) ? kSpeeds[index] : 0.0;
}

bool TExperimentForm::ShowsSteps() const {
  return chkVisualize->isChecked() && (replayStep_ || ShowBox->currentIndex() == 0);
}

bool TExperimentForm::FrameDue() const {
  // a slow drawing surface gets as much time for the simulation as it takes
  return !frameClock_.isValid() || frameClock_.hasExpired(std::max(kFrameInterval, lastFrameCost_));
}

void TExperimentForm::DrawFrame(const TRobot& Agent) {
  QElapsedTimer cost;
  cost.start();
  ShowState(Agent);
  ProcessEvents();  // draws
  lastFrameCost_ = cost.elapsed();
  frameClock_.start();
}

void TExperimentForm::PaceStep(const TRobot& Agent, double Factor) {
  if (paceReset_ || !paceClock_.isValid()) {
    paceClock_.start();
    pacedFrom_ = Agent.ElapsedTime;
    frameClock_.invalidate();
    paceReset_ = false;
  }
  const qint64 due = static_cast<qint64>((Agent.ElapsedTime - pacedFrom_) * 1000.0 / Factor);
  if (paceClock_.elapsed() > due) {
    // behind the clock: simulated, not drawn, until caught up
    return;
  }
  if (FrameDue()) {
    DrawFrame(Agent);
  }
  while (!paceReset_ && paceClock_.elapsed() < due && !closeRequested_) {
    ProcessEvents();
    const qint64 left = due - paceClock_.elapsed();
    if (left > 0) {
      QThread::msleep(static_cast<unsigned long>(std::min<qint64>(left, 2)));
    }
  }
}

void TExperimentForm::AfterStep(const TRobot& Agent) {
  if (ShowsSteps()) {
    const double factor = SpeedFactor();
    if (factor > 0.0) {
      PaceStep(Agent, factor);
    } else if (FrameDue()) {
      DrawFrame(Agent);
    }
  }
  if (--stepsUntilClock_ <= 0) {
    stepsUntilClock_ = EventInterval > 0 ? kStepsPerClockReading : 1;
    ProcessEventsWhenDue();
  }
}

void TExperimentForm::ShowState(const TRobot& Agent) {
  if (viewer_) {
    viewer_->UpdateRobot(Agent);
    viewer_->UpdateArenaObjects();
  }
  ++framesShown_;
  VisualizationGroupBox->setTitle(ElapsedCaption(Agent));
}

void TExperimentForm::ShowGeneration() {
  ShowProgress(true);
  AverageLabel->setText(QStringLiteral("Average fitness: ") + Fixed(run_->EA()->Population().AverageFitness(), 3));
  FitnessPlot->SetHistories(run_->MaxFitnessHistory(), run_->AverageFitnessHistory(), minimumHistory_);
  UpdateControls();
}

void TExperimentForm::ShowStatus() {
  if (!run_->Initialized()) {
    return;
  }
  GenerationLabel->setText(QStringLiteral("Generation %1").arg(run_->EA()->Generation() + 1));
  GenerationProgress->setRange(0, std::max(run_->PopulationCount(), 1));
  GenerationProgress->setValue(evaluatedInGeneration_);
  const qint64 ms = runClock_.isValid() ? runClock_.elapsed() : 0;
  if (ms > 0) {
    RateLabel->setText(Fixed(1000.0 * run_->EvaluationCount() / static_cast<double>(ms), 1) +
                       QStringLiteral(" evaluations/s"));
  }
  const qint64 seconds = ms / 1000;
  RunTimeLabel->setText(QStringLiteral("elapsed %1:%2:%3")
                            .arg(seconds / 3600)
                            .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                            .arg(seconds % 60, 2, 10, QLatin1Char('0')));
}

void TExperimentForm::EndRunLoop(const std::string& Error) {
  // what an error left unshown
  ShowProgress(true);
  VisualizationGroupBox->setTitle(kElapsedCaption);
  AverageLabel->setText(QStringLiteral("Average fitness: "));
  WriteRunRecords(Error);
  run_->EndRun();
  // the view keeps the last frame until the next Initialize
  StatusBar->clearMessage();
  running_ = false;
  paused_ = false;
  held_ = false;
  stopRequested_ = false;
  UpdateControls();
}

void TExperimentForm::WriteRunRecords(const std::string& Error) {
  if (resultsFolder_.isEmpty()) {
    return;
  }
  Guarded([this] { run_->SaveHistory(); });
  if (record_) {
    // a run in the window ends by Stop EA (its normal end), by closing the
    // window during the run, or by an error
    run_->Observer = nullptr;
    std::unique_ptr<TRunRecord> record = std::move(record_);
    const TRunEnd end = !Error.empty() ? TRunEnd::Failed : closeRequested_ ? TRunEnd::Stopped : TRunEnd::Completed;
    Guarded([&] { record->Finish(end, Error); });
  }
}

void TExperimentForm::BeginRunRecord() {
  record_.reset();
  if (!Experiment.has_value()) {
    return;
  }
  // the run as it is started: the boxes' times, the seed drawn at Initialize
  TExperiment resolved = *Experiment;
  const TRobotSimulationParameters& parameters = run_->SimulationParameters();
  resolved.SimulationTime = parameters.SimulationTime;
  resolved.TimeStep = parameters.TimeStep;
  resolved.Seed = run_->Seed();
  resolved.ArenaFile = run_->ArenaFileName();
  auto record = std::make_unique<TRunRecord>(resolved, run_->OutputFolder, "kestrovan (run window)", 1);
  record->Begin();
  record_ = std::move(record);
  run_->Observer = record_.get();
}

void TExperimentForm::BeginRunFolder() {
  const std::filesystem::path parent = QFile::encodeName(ResultsParent).toStdString();
  const auto refuse = [this](const std::string& Reason) {
    throw std::runtime_error(QStringLiteral("Cannot create a results folder in '%1': %2")
                                 .arg(QDir::toNativeSeparators(ResultsParent), QString::fromLocal8Bit(Reason))
                                 .toStdString());
  };
  std::error_code error;
  std::filesystem::create_directories(parent, error);
  if (error) {
    refuse(error.message());
  }
  // temporary files that runs of a killed program left in their folders
  for (std::filesystem::directory_iterator entry(parent, error), end; !error && entry != end; entry.increment(error)) {
    if (entry->path().filename().string().starts_with("run-") && entry->is_directory(error)) {
      RemoveStaleTemporaryFiles(entry->path());
    }
    error.clear();
  }
  // the first free number; a folder that exists belongs to another run
  for (int n = 1; n < 100000; ++n) {
    const std::filesystem::path folder = parent / QString::asprintf("run-%03d", n).toStdString();
    if (std::filesystem::exists(folder, error)) {
      continue;
    }
    if (std::filesystem::create_directory(folder, error)) {
      run_->OutputFolder = folder;
      resultsFolder_ = QFile::decodeName(folder.string().c_str());
      ShowResultsFolder();
      // a folder that cannot take a file is found before the first evaluation
      PrepareOutputFolder(folder);
      return;
    }
    if (!std::filesystem::exists(folder)) {
      refuse(error ? error.message() : std::string("unknown error"));
    }
  }
  refuse("no free run number");
}

void TExperimentForm::ShowResultsFolder() {
  const QString shown = resultsFolder_.isEmpty() ? ResultsParent : resultsFolder_;
  const QString text = QDir::toNativeSeparators(shown);
  ResultsFolderLabel->setToolTip(text);
  ResultsFolderLabel->setText(
      ResultsFolderLabel->fontMetrics().elidedText(text, Qt::ElideMiddle, ResultsFolderLabel->width()));
}

void TExperimentForm::ResultsFolderButtonClick() {
  if (running_) {
    return;
  }
  const QString chosen = QFileDialog::getExistingDirectory(this, QStringLiteral("Results folder"), ResultsParent);
  if (!chosen.isEmpty()) {
    ResultsParent = chosen;
    resultsFolder_.clear();
    UpdateControls();
  }
}

// ---- pause, stop, close

void TExperimentForm::PauseButtonClick() {
  if (!running_ || stopRequested_ || replaying_) {
    return;
  }
  paused_ = !paused_;
  UpdateControls();
}

void TExperimentForm::StopEAButtonClick() {
  if (!running_ || paused_ || replaying_) {
    return;
  }
  stopRequested_ = true;
  StatusBar->showMessage(QStringLiteral("Stopping after this generation\u2026"));
  UpdateControls();
}

void TExperimentForm::closeEvent(QCloseEvent* Event) {
  if (running_ && !closeRequested_ && !AskQuestion(QStringLiteral("Stop the run and close?"))) {
    Event->ignore();
    return;
  }
  QDialog::closeEvent(Event);
}

void TExperimentForm::keyPressEvent(QKeyEvent* Event) {
  if (running_ && Event->key() == Qt::Key_Escape) {
    Event->accept();
    return;
  }
  QDialog::keyPressEvent(Event);
}

void TExperimentForm::done(int Result) {
  if (running_ || replaying_) {
    // the loop uses this window's run and view: end it first, close after
    closeRequested_ = true;
    stopRequested_ = true;
    paused_ = false;
    UpdateControls();
    return;
  }
  QDialog::done(Result);
}

// ---- the best individual

void TExperimentForm::EvaluateBestButtonClick() {
  if (!held_ || replaying_ || stopRequested_) {
    return;
  }
  replaying_ = true;
  UpdateControls();
  // the replay is shown unless the user unchecks "Activate" during it
  const bool visualize = chkVisualize->isChecked();
  chkVisualize->setChecked(true);
  Guarded([this] { ShowBestIndividual(); });
  chkVisualize->setChecked(visualize);
  replaying_ = false;
  UpdateControls();
}

void TExperimentForm::ShowBestIndividual() {
  if (!held_ || !run_->Initialized()) {
    return;
  }
  run_->BeginReplay(ReadRunParameters());
  ReplayBest(false);
}

void TExperimentForm::ReplayBest(bool StopsWithTheRun) {
  struct TReplayEnd {
    TExperimentForm& Form;
    ~TReplayEnd() {
      Form.replayStep_ = false;
      Form.run_->EndReplay();
    }
  } replayEnd{*this};

  replayStep_ = true;
  paceReset_ = true;
  const TRobot& best = run_->ReplayAgent();
  if (viewer_) {
    viewer_->UpdateArenaObjects();
  }
  bool finished = false;
  do {
    finished = run_->StepReplay();
    AfterStep(best);
  } while (!finished && !closeRequested_ && !(StopsWithTheRun && stopRequested_));

  // the replay's own result; the population keeps the evaluation's
  if (finished) {
    if (ShowsSteps()) {
      ShowState(best);
    }
    VisualizationGroupBox->setTitle(ElapsedCaption(best) + QStringLiteral(", fitness = ") + Fixed(best.Fitness, 3));
  } else {
    VisualizationGroupBox->setTitle(kElapsedCaption);
  }
}

void TExperimentForm::OpenBrainButtonClick() {
  if (running_ || replaying_) {
    return;
  }
  const QString start = resultsFolder_.isEmpty() ? ResultsParent : resultsFolder_;
  const QString file = QFileDialog::getOpenFileName(this, QStringLiteral("Open brain"), start,
                                                    QStringLiteral("Brain files (*.brain);;All files (*)"));
  if (!file.isEmpty()) {
    OpenBrain(file);
  }
}

void TExperimentForm::OpenBrain(const QString& File) {
  if (running_ || replaying_) {
    return;
  }
  struct TReplayEnd {
    TExperimentForm& Form;
    bool Visualize;
    ~TReplayEnd() {
      Form.replayStep_ = false;
      Form.replaying_ = false;
      Form.chkVisualize->setChecked(Visualize);
      Form.UpdateControls();
    }
  } replayEnd{*this, chkVisualize->isChecked()};
  replaying_ = true;
  UpdateControls();
  Guarded([this, &File] {
    if (robot_ == nullptr || brainParameters_ == nullptr) {
      throw std::logic_error("Open brain needs the template robot and the brain parameters");
    }
    const std::filesystem::path path = QFile::encodeName(File).toStdString();
    const TBrainRecord record = ReadBrainFile(path);
    TReplayConditions conditions;
    conditions.ArenaFile = run_->ArenaFileName();
    conditions.Parameters = ReadRunParameters();
    if (Experiment.has_value()) {
      TExperiment experiment = *Experiment;
      experiment.ArenaFile = conditions.ArenaFile;
      experiment.SimulationTime = conditions.Parameters.SimulationTime;
      experiment.TimeStep = conditions.Parameters.TimeStep;
      // the seed of the recording run, so that only a changed setting differs
      experiment.Seed = record.Origin.Seed;
      conditions.ExperimentSha256 = ExperimentHash(experiment);
    }
    std::unique_ptr<TBrainReplay> replay;
    try {
      replay = std::make_unique<TBrainReplay>(*robot_, *brainParameters_, conditions, record);
    } catch (const std::invalid_argument& error) {
      throw std::runtime_error(path.string() + ": " + error.what());
    }

    // the replay's arena in the view; a run that has not started makes way
    viewer_.reset();
    run_->EndRun();
    brainReplay_ = std::move(replay);
    auto viewer = std::make_unique<TSimulation3DViewer>(WorldViewPanel);
    viewer->SetArena(&brainReplay_->Arena());
    viewer->ShowSensors = chkShowSensors->isChecked();
    viewer->BuildArenaScene();
    viewer->BuildRobot(*robot_);
    viewer->UpdateArenaObjects();
    viewer->SetViewerGeometry(0, 0, WorldViewPanel->width(), WorldViewPanel->height());
    viewer_ = std::move(viewer);
    FormResize();
    UpdateControls();

    const QString name = QFileInfo(File).fileName();
    for (const std::string& warning : brainReplay_->Warnings()) {
      ReevalMemo->appendPlainText(name + QStringLiteral(": ") + QString::fromStdString(warning));
    }
    // shown unless the user unchecks "Activate" during it
    chkVisualize->setChecked(true);
    replayStep_ = true;
    paceReset_ = true;
    const TRobot& robot = brainReplay_->Robot();
    bool finished = false;
    do {
      finished = brainReplay_->Step();
      AfterStep(robot);
    } while (!finished && !closeRequested_);
    if (!finished) {
      VisualizationGroupBox->setTitle(kElapsedCaption);
      return;
    }
    if (ShowsSteps()) {
      ShowState(robot);
    }
    VisualizationGroupBox->setTitle(ElapsedCaption(robot) + QStringLiteral(", fitness = ") +
                                    Fixed(brainReplay_->Fitness(), 3));
    ReevalMemo->appendPlainText(name + QStringLiteral(": fitness ") + Fixed(brainReplay_->Fitness(), 3) +
                                QStringLiteral(" (recorded ") + Fixed(record.Origin.Fitness, 3) + QStringLiteral(")"));
  });
  if (closeRequested_) {
    closeRequested_ = false;
    QDialog::done(QDialog::Rejected);
  }
}

// ---- history, view options, size

void TExperimentForm::SaveButtonClick() {
  Guarded([this] { run_->SaveHistory(); });
}

void TExperimentForm::chkShowSensorsClick() {
  if (viewer_) {
    viewer_->SetShowSensors(chkShowSensors->isChecked());
  }
}

void TExperimentForm::FormResize() {
  // the status bar along the bottom, the view and plot right of the column
  const int statusHeight = StatusBar->sizeHint().height();
  StatusBar->setGeometry(0, height() - statusHeight, width(), statusHeight);
  ViewSplitter->setGeometry(kViewLeft, 4, std::max(width() - kViewLeft - 8, 60),
                            std::max(height() - statusHeight - 8, 60));

  // the progress list takes the rest of the left column
  auto* progressGroup = static_cast<QWidget*>(ReevalMemo->parent());
  const int progressHeight = std::max(height() - statusHeight - kProgressTop - 4, 60);
  progressGroup->resize(kColumnWidth, progressHeight);
  ReevalMemo->setGeometry(8, 18, kColumnWidth - 16, progressHeight - 26);
}

bool TExperimentForm::eventFilter(QObject* Watched, QEvent* Event) {
  // the drawing surface fills the view's panel
  if (Watched == WorldViewPanel && Event->type() == QEvent::Resize && viewer_) {
    viewer_->SetViewerGeometry(0, 0, WorldViewPanel->width(), WorldViewPanel->height());
  }
  return QDialog::eventFilter(Watched, Event);
}

void TExperimentForm::resizeEvent(QResizeEvent* Event) {
  QDialog::resizeEvent(Event);
  FormResize();
}

void TExperimentForm::FormDestroy() {
  // the view refers to the run's or the brain replay's arena: it goes first
  viewer_.reset();
  brainReplay_.reset();
  run_.reset();
}

}  // namespace kestrovan
