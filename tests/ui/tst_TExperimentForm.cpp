// The run window driven through its buttons: 6 agents evaluated for 1 s each
// on a small arena, buttons pressed by timers while the run loop processes
// events (after every step here). Every test runs in a fresh current folder,
// under which the window makes one folder per run for its result files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QOpenGLWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "BatchOptions.h"
#include "BatchRun.h"
#include "ea/EA.h"
#include "experiment/Experiment.h"
#include "experiment/Replay.h"
#include "numerics/RandomNumbers.h"
#include "robot/DefaultRobot.h"
#include "robot/DifferentiallySteeredBody.h"
#include "robot/FSMBrain.h"
#include "simulation/BrainFile.h"
#include "simulation/EvolutionRun.h"
#include "support/TestSupport.h"
#include "ui/Experiment.h"
#include "ui/ExperimentMenu.h"
#include "ui/FitnessPlot.h"
#include "ui/Main.h"
#include "view3d/Simulation3DViewer.h"

namespace kestrovan {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TTemporaryFolder;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;

constexpr int kPopulation = 6;
constexpr std::uint32_t kSeed = 5;  // three new bests in the first generation
constexpr int kRealTime = 0;        // SpeedBox: real time x1
constexpr int kFastest = 4;         // SpeedBox: as fast as possible

// One cylinder drifts with the file's velocity, so an evaluation and a
// replay (cylinders at rest) differ; the other touches the robot's front.
constexpr const char* kArena = R"(object Ground: TBasicFloor
  Position = 0 0 0
  Width = 2
  Length = 2
end
object Drifter: TCylinderZ
  Position = 0.3 0 0
  Velocity = 0.1 0.05 0
  Radius = 0.03
  Height = 0.1
  Mass = 0.2
end
object Still: TCylinderZ
  Position = 0.095 0 0
  Radius = 0.04
  Height = 0.1
  Mass = 0.3
end
)";

// Enabled controls as '1', in the order Initialize, Run EA, Pause, Stop EA,
// Re-evaluate best, the two time boxes.
constexpr const char* kOpened = "1000011";
constexpr const char* kInitialized = "0100011";
constexpr const char* kRunning = "0011000";
constexpr const char* kPaused = "0010100";
constexpr const char* kBusy = "0000000";  // stop requested, replaying

// Calls Action at every round of event processing until it returns true.
class TRepeat {
 public:
  explicit TRepeat(std::function<bool()> Action) {
    QObject::connect(&timer_, &QTimer::timeout, [this, Action = std::move(Action)] {
      if (Action()) {
        timer_.stop();
      }
    });
    timer_.start(0);
  }
  bool Done() const { return !timer_.isActive(); }

 private:
  QTimer timer_;
};

// The agent (1-based) whose simulation has stepped but not finished, or 0.
int EvaluationInProgress(TEvolutionRun& Run) {
  const TRobotSimulation* simulation = Run.Simulation();
  if (simulation == nullptr || simulation->Time == 0.0 || simulation->Finished) {
    return 0;
  }
  for (int i = 1; i <= Run.PopulationCount(); ++i) {
    if (&Run.EA()->Population().GetAgent(i) == &Run.EvaluatedAgent()) {
      return i;
    }
  }
  return 0;
}

std::vector<std::string> FilesIn(const fs::path& Folder) {
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(Folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

QString Localised(const char* Text) {
  return QString::fromLatin1(Text).replace(QLatin1Char('.'), QLocale::system().decimalPoint());
}

class ExperimentFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    arenaFile_ = arenaFolder_.Write("arena.txt", kArena);
    previousFolder_ = fs::current_path();
    fs::current_path(folder_.Path());
    // kestrovan-batch's configuration
    eaParameters_ = BatchEAParameters(kPopulation);
    configuration_.Brain.MutationRate = eaParameters_.MutationRate;
    configuration_.Brain.CreepProbability = eaParameters_.CreepProbability;
    configuration_.Brain.CreepRate = eaParameters_.CreepRate;
    robot_ = BuildRobot(configuration_, configuration_.Body.Radius);

    form_ = std::make_unique<TExperimentForm>();
    form_->ShowMessage = [this](const QString& Text) { messages_.push_back(Text.toStdString()); };
    form_->AskQuestion = [this](const QString& Question) {
      questions_.push_back(Question.toStdString());
      return answer_;
    };
    form_->ResultsParent = QString::fromStdString(folder_.Path().string());
    form_->SetEAParameters(eaParameters_);
    form_->SetArenaFileName(QString::fromStdString(arenaFile_.string()));
    form_->SetRobot(*robot_);
    form_->SetFSMBrainParameters(configuration_.Brain);
    form_->InitialSeed = kSeed;
    form_->EventInterval = 0;
    form_->SimulationTimeBox->setText(Localised("1.0"));
    form_->SpeedBox->setCurrentIndex(kFastest);
    form_->show();
  }

  void TearDown() override {
    form_.reset();
    fs::current_path(previousFolder_);
  }

  std::string States() const {
    std::string states;
    for (const QWidget* control : std::initializer_list<const QWidget*>{
             form_->InitializeButton, form_->RunEAButton, form_->PauseButton, form_->StopEAButton,
             form_->EvaluateBestButton, form_->SimulationTimeBox, form_->TimeStepBox}) {
      states += control->isEnabled() ? '1' : '0';
    }
    return states;
  }

  // "Run EA", with "Stop EA" pressed during generation Generations.
  void RunGenerations(int Generations) {
    TRepeat stop([this, Generations] {
      if (form_->Running() && form_->Run().EA()->Generation() >= Generations - 1) {
        form_->StopEAButton->click();
        return true;
      }
      return false;
    });
    form_->RunEAButton->click();
  }

  TTemporaryFolder arenaFolder_;
  TTemporaryFolder folder_;
  fs::path arenaFile_;
  fs::path previousFolder_;
  TEAParameters eaParameters_;
  TRobotConfiguration configuration_ = TRobotConfiguration::Default();
  std::unique_ptr<TRobot> robot_;
  std::unique_ptr<TExperimentForm> form_;
  std::vector<std::string> messages_;
  std::vector<std::string> questions_;
  bool answer_ = true;
};

fs::path RunFolder(const TExperimentForm& Form) { return fs::path(Form.ResultsFolder().toStdString()); }

// With the configuration as an experiment, a run in the window leaves the
// same record files as the batch runner: the experiment with its seed and a
// copy of the arena, the manifest and one CSV row per generation.
TEST_F(ExperimentFormTest, ARunLeavesItsRecordFiles) {
  TExperiment experiment = TExperiment::Default();
  experiment.EA = eaParameters_;
  form_->Experiment = experiment;
  form_->InitializeButton->click();
  RunGenerations(2);
  const fs::path folder = RunFolder(*form_);
  for (const char* name : {"descr.txt", "experiment.toml", "arena.txt", "manifest.json", "generations.csv"}) {
    EXPECT_TRUE(fs::exists(folder / name)) << name;
  }
  EXPECT_EQ(test::ReadFile(folder / "arena.txt"), test::ReadFile(arenaFile_));
  const std::string manifest = test::ReadFile(folder / "manifest.json");
  EXPECT_NE(manifest.find("\"completed\""), std::string::npos) << manifest;
  const std::string record = test::ReadFile(folder / "experiment.toml");
  EXPECT_NE(record.find("seed = " + std::to_string(kSeed) + "\n"), std::string::npos) << record;
  EXPECT_NE(record.find("simulation_time = 1.0 "), std::string::npos) << "the box's value: " << record;
  // a header and one row per generation run
  std::istringstream rows(test::ReadFile(folder / "generations.csv"));
  int lines = 0;
  for (std::string line; std::getline(rows, line);) {
    ++lines;
  }
  EXPECT_EQ(lines, 1 + form_->Run().MaxFitnessHistory().Count());
}

TEST_F(ExperimentFormTest, StopCompletesTheGenerationAndInitializeStartsAfresh) {
  EXPECT_EQ(States(), kOpened);
  form_->InitializeButton->click();
  EXPECT_EQ(States(), kInitialized);
  EXPECT_FALSE(form_->SaveButton->isEnabled());

  // "Stop EA" during the second agent of the second generation
  std::string running;
  std::string stopping;
  TRepeat stop([&] {
    if (form_->Run().EA()->Generation() != 1 || EvaluationInProgress(form_->Run()) != 2) {
      return false;
    }
    running = States();
    EXPECT_TRUE(form_->SaveButton->isEnabled()) << "a generation has completed";
    form_->StopEAButton->click();
    stopping = States();
    return true;
  });
  form_->RunEAButton->click();
  EXPECT_EQ(running, kRunning);
  EXPECT_EQ(stopping, kBusy);

  // the second generation was completed and both histories grew by one
  EXPECT_EQ(form_->EvaluatedLabel->text(), QStringLiteral("Evaluated individuals: 12"));
  const TEvolutionRun& run = form_->Run();
  ASSERT_EQ(run.MaxFitnessHistory().Count(), 2);
  EXPECT_EQ(run.AverageFitnessHistory().Count(), 2);
  EXPECT_EQ(form_->FitnessPlot->MaxValues(),
            (std::vector<double>{run.MaxFitnessHistory().GetElement(1), run.MaxFitnessHistory().GetElement(2)}));
  EXPECT_EQ(States(), kOpened) << "ended";
  EXPECT_NE(form_->Viewer(), nullptr) << "the last frame stays";
  EXPECT_EQ(form_->AverageLabel->text(), QStringLiteral("Average fitness: "));
  EXPECT_EQ(form_->VisualizationGroupBox->title(), QStringLiteral("Elapsed time ="));

  // the first agent's fitness is above 0 (no cylinder lies at the origin):
  // the first new best; every new best has its file and its memo line,
  // which names the file; the history is written when the run ends
  const fs::path first = RunFolder(*form_);
  EXPECT_EQ(first, folder_.Path() / "run-001");
  EXPECT_TRUE(fs::exists(first / "1.txt"));
  EXPECT_TRUE(fs::exists(first / "descr.txt"));
  const std::vector<std::string> files = FilesIn(first);
  // three new bests, each as N.txt and N.brain, best.brain and descr.txt
  EXPECT_EQ(files.size(), 8U);
  EXPECT_EQ(std::count_if(files.begin(), files.end(), [](const std::string& f) { return f.ends_with(".brain"); }), 4);
  const QStringList lines = form_->ReevalMemo->toPlainText().split(QLatin1Char('\n'));
  ASSERT_EQ(lines.size(), 3);
  EXPECT_TRUE(lines[0].startsWith(QStringLiteral("evaluation 1 (generation 1): "))) << lines[0].toStdString();
  for (const QString& line : lines) {
    const QString evaluation = line.section(QLatin1Char(' '), 1, 1);
    EXPECT_TRUE(fs::exists(first / (evaluation.toStdString() + ".txt"))) << line.toStdString();
  }

  // a new population with empty histories and an empty progress list; the
  // evaluations count from 1, into a new folder
  form_->InitializeButton->click();
  EXPECT_EQ(States(), kInitialized);
  EXPECT_TRUE(form_->ReevalMemo->toPlainText().isEmpty());
  EXPECT_EQ(form_->Run().MaxFitnessHistory().Count(), 0);
  EXPECT_TRUE(form_->FitnessPlot->MaxValues().empty());
  EXPECT_FALSE(form_->SaveButton->isEnabled());
  RunGenerations(1);
  EXPECT_EQ(form_->EvaluatedLabel->text(), QStringLiteral("Evaluated individuals: 6"));
  EXPECT_EQ(RunFolder(*form_), folder_.Path() / "run-002");
  EXPECT_EQ(FilesIn(first), files) << "the first run's files are left alone";
  EXPECT_TRUE(fs::exists(RunFolder(*form_) / "1.txt"));
  EXPECT_TRUE(messages_.empty());
}

TEST_F(ExperimentFormTest, EachRunWritesIntoItsOwnNewFolder) {
  // folders of other runs (a former start of the program) are never used
  TTemporaryFolder parent;
  fs::create_directory(parent.Path() / "run-001");
  fs::create_directory(parent.Path() / "run-003");
  form_->ResultsParent = QString::fromStdString(parent.Path().string());
  std::vector<fs::path> folders;
  for (int run = 0; run < 3; ++run) {
    form_->InitializeButton->click();
    RunGenerations(1);
    folders.push_back(RunFolder(*form_));
    EXPECT_EQ(form_->ResultsFolderLabel->toolTip().toStdString(), folders.back().string());
  }
  EXPECT_EQ(folders,
            (std::vector<fs::path>{parent.Path() / "run-002", parent.Path() / "run-004", parent.Path() / "run-005"}));
  EXPECT_TRUE(fs::is_empty(parent.Path() / "run-001"));
  EXPECT_TRUE(fs::is_empty(parent.Path() / "run-003"));
  for (const fs::path& folder : folders) {
    EXPECT_TRUE(fs::exists(folder / "descr.txt")) << folder;
    EXPECT_TRUE(fs::exists(folder / "1.txt")) << folder;
  }
  EXPECT_EQ(FilesIn(folder_.Path()), std::vector<std::string>{}) << "nothing in the current folder";

  // a parent that cannot hold a folder is named and the run does not start
  const fs::path file = parent.Path() / "a-file";
  std::ofstream(file) << "x";
  form_->ResultsParent = QString::fromStdString(file.string());
  form_->InitializeButton->click();
  form_->RunEAButton->click();
  ASSERT_EQ(messages_.size(), 1U);
  EXPECT_THAT(messages_.front(), HasSubstr("a-file"));
  EXPECT_FALSE(form_->Running());
}

TEST_F(ExperimentFormTest, BadTimeValuesLeaveNoDeadEnd) {
  // refused at Initialize: nothing is built, the boxes stay editable
  form_->TimeStepBox->setText(QStringLiteral("abc"));
  form_->InitializeButton->click();
  ASSERT_EQ(messages_.size(), 1U);
  EXPECT_THAT(messages_.back(), HasSubstr("Time step"));
  EXPECT_EQ(States(), kOpened);
  EXPECT_FALSE(form_->Run().Initialized());

  // corrected, then spoilt again after Initialize: refused at Run EA, and
  // still correctable
  form_->TimeStepBox->setText(Localised("0.01"));
  form_->InitializeButton->click();
  EXPECT_EQ(States(), kInitialized);
  form_->SimulationTimeBox->setText(QStringLiteral("0"));
  form_->RunEAButton->click();
  ASSERT_EQ(messages_.size(), 2U);
  EXPECT_THAT(messages_.back(), HasSubstr("Simulation time"));
  EXPECT_EQ(States(), kInitialized);
  EXPECT_TRUE(form_->SimulationTimeBox->isEnabled());
  EXPECT_FALSE(fs::exists(folder_.Path() / "run-001")) << "no folder for a run that did not start";

  // '.' is a decimal point under every locale
  form_->SimulationTimeBox->setText(QStringLiteral("0.5"));
  RunGenerations(1);
  EXPECT_EQ(messages_.size(), 2U);
  EXPECT_EQ(form_->Run().MaxFitnessHistory().Count(), 1);
  EXPECT_DOUBLE_EQ(form_->Run().SimulationParameters().SimulationTime, 0.5);
}

TEST_F(ExperimentFormTest, InitializeNeitherMovesTheWindowNorReplacesItsNativeWindow) {
  form_->move(150, 120);
  QCoreApplication::processEvents();
  const QPoint position = form_->pos();
  const WId window = form_->winId();
  form_->InitializeButton->click();
  QCoreApplication::processEvents();
  ASSERT_NE(form_->Viewer(), nullptr);
  EXPECT_EQ(form_->winId(), window);
  EXPECT_EQ(form_->pos(), position);
}

TEST_F(ExperimentFormTest, WritesTheBatchRunnersFilesForTheSameSeed) {
  form_->InitializeButton->click();
  RunGenerations(2);
  form_->SaveButton->click();
  ASSERT_TRUE(messages_.empty()) << messages_.front();

  TTemporaryFolder batch;
  std::ostringstream out;
  std::ostringstream err;
  ASSERT_EQ(BatchMain({"--arena", arenaFile_.string(), "--seed", std::to_string(kSeed), "--generations", "2",
                       "--population", std::to_string(kPopulation), "--simulation-time", "1.0", "--threads", "1",
                       "--out", batch.Path().string(), "--quiet"},
                      out, err),
            0)
      << err.str();
  // the result files of both; the record files (experiment.toml, arena.txt,
  // manifest.json, generations.csv) hold times and folders of their own
  const auto resultFiles = [](std::vector<std::string> Names) {
    std::erase_if(Names, [](const std::string& Name) { return !Name.ends_with(".txt") || Name == "arena.txt"; });
    return Names;
  };
  const std::vector<std::string> files = resultFiles(FilesIn(RunFolder(*form_)));
  ASSERT_EQ(files, resultFiles(FilesIn(batch.Path())));
  EXPECT_EQ(files.size(), 4U) << "three new bests and descr.txt";
  for (const std::string& name : files) {
    EXPECT_EQ(ReadFile(RunFolder(*form_) / name), ReadFile(batch.Path() / name)) << name;
  }
}

TEST_F(ExperimentFormTest, PauseLetsTheEvaluationFinishAndResumeGoesOnWithTheNext) {
  form_->InitializeButton->click();
  int stepsAfterPause = 0;
  int held = 0;
  int afterResume = 0;
  TRepeat driver([&] {
    TEvolutionRun& run = form_->Run();
    if (!form_->Paused() && held == 0) {
      if (EvaluationInProgress(run) == 3) {
        form_->PauseButton->click();
      }
    } else if (!form_->Held() && held == 0) {
      // the evaluation goes on to its end; a replay, which moves the arena,
      // must wait for it
      stepsAfterPause += EvaluationInProgress(run) == 3 ? 1 : 0;
      EXPECT_FALSE(form_->EvaluateBestButton->isEnabled());
    } else if (form_->Held() && form_->Paused()) {
      // held after the evaluation, before it is counted
      EXPECT_TRUE(run.Simulation()->Finished);
      EXPECT_EQ(run.EvaluationCount(), 2);
      EXPECT_EQ(States(), kPaused);
      EXPECT_EQ(form_->PauseButton->text(), QStringLiteral("Resume"));
      if (++held == 5) {
        form_->PauseButton->click();
      }
    } else if ((afterResume = EvaluationInProgress(run)) != 0) {
      EXPECT_EQ(run.EvaluationCount(), 3);
      EXPECT_EQ(form_->PauseButton->text(), QStringLiteral("Pause"));
      form_->StopEAButton->click();
      return true;
    }
    return false;
  });
  form_->RunEAButton->click();
  EXPECT_GT(stepsAfterPause, 10);
  EXPECT_EQ(held, 5);
  EXPECT_EQ(afterResume, 4);
  EXPECT_EQ(form_->Run().MaxFitnessHistory().Count(), 1);
}

TEST_F(ExperimentFormTest, ReevaluatingTheBestLeavesThePopulationAsItWas) {
  form_->InitializeButton->click();
  std::vector<double> before;
  std::vector<double> after;
  const auto snapshot = [this](std::vector<double>& Values) {
    const TPopulation& population = form_->Run().EA()->Population();
    for (int i = 1; i <= population.Count(); ++i) {
      Values.push_back(population.GetAgent(i).Fitness);
      Values.push_back(population.GetAgent(i).ElapsedTime);
    }
  };
  double bestFitness = 0.0;
  std::string caption;
  std::string whileReplaying;
  TRepeat replaying([&] {
    whileReplaying = States();
    return form_->Replaying();
  });
  TRepeat driver([&] {
    if (!form_->Held()) {
      // pause in the second generation, when every agent carries a fitness
      if (!form_->Paused() && form_->Run().EA()->Generation() == 1 && EvaluationInProgress(form_->Run()) == 2) {
        form_->PauseButton->click();
      }
      return false;
    }
    snapshot(before);
    bestFitness = form_->Run().EA()->Population().MaxFitness();
    form_->EvaluateBestButton->click();
    snapshot(after);
    caption = form_->VisualizationGroupBox->title().toStdString();
    EXPECT_EQ(States(), kPaused) << "after the replay";
    form_->PauseButton->click();
    form_->StopEAButton->click();
    return true;
  });
  form_->RunEAButton->click();
  ASSERT_TRUE(driver.Done());
  EXPECT_EQ(after, before);
  EXPECT_EQ(whileReplaying, kBusy);
  EXPECT_FALSE(form_->chkVisualize->isChecked()) << "restored after the replay";

  // the caption shows the replay's own fitness, with the cylinders at rest
  ASSERT_THAT(caption, MatchesRegex("Elapsed time = 1[.,]00 s, fitness = [0-9]+[.,][0-9]{3}"));
  const double replayFitness =
      QLocale::system().toDouble(QString::fromStdString(caption.substr(caption.rfind(' ') + 1)));
  EXPECT_GT(std::abs(replayFitness - bestFitness), 0.001) << caption;
  EXPECT_TRUE(messages_.empty());
}

TEST_F(ExperimentFormTest, VisualisedStepsMoveTheViewAndShowTheTime) {
  form_->chkShowSensors->click();  // no view yet
  form_->InitializeButton->click();
  TSimulation3DViewer* viewer = form_->Viewer();
  ASSERT_NE(viewer, nullptr);
  EXPECT_FALSE(viewer->ShowSensors);
  form_->chkShowSensors->click();
  EXPECT_TRUE(viewer->ShowSensors);

  form_->chkVisualize->setChecked(true);
  // paced at real time, frames come all through an evaluation; at full
  // speed an evaluation can end between two frames, run after run
  form_->SpeedBox->setCurrentIndex(kRealTime);
  QString caption;
  double elapsed = 0.0;
  double robotX = 0.0;
  double sceneX = -1.0;
  int lastFrames = 0;
  TRepeat driver([&] {
    TEvolutionRun& run = form_->Run();
    // the view shows a frame per display frame: read it just after one
    const bool newFrame = form_->FramesShown() != lastFrames;
    lastFrames = form_->FramesShown();
    if (EvaluationInProgress(run) == 0 || run.Simulation()->Time < 0.5 || (caption.isEmpty() && !newFrame)) {
      return false;
    }
    if (caption.isEmpty()) {
      caption = form_->VisualizationGroupBox->title();
      elapsed = run.EvaluatedAgent().ElapsedTime;
      robotX = dynamic_cast<const TDifferentiallySteeredBody&>(*run.EvaluatedAgent().Body).Coordinates.GetPosition(1);
      sceneX = viewer->Container->FindChild(run.EvaluatedAgent().Name)->Position.X;
      form_->chkVisualize->setChecked(false);
      return false;
    }
    // unchecked: the caption keeps its last text
    EXPECT_EQ(form_->VisualizationGroupBox->title(), caption);
    form_->StopEAButton->click();
    return true;
  });
  form_->RunEAButton->click();
  EXPECT_EQ(caption, QStringLiteral("Elapsed time = %1 s").arg(QLocale::system().toString(elapsed, 'f', 2)));
  EXPECT_EQ(sceneX, robotX);
}

// Counts the paint events a widget receives.
class TPaintCounter : public QObject {
 public:
  explicit TPaintCounter(QWidget* Widget) { Widget->installEventFilter(this); }
  int Count = 0;

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override {
    if (Event->type() == QEvent::Paint) {
      ++Count;
    }
    return QObject::eventFilter(Watched, Event);
  }
};

// After a run the view keeps its last frame; "Show sensors" redraws it at
// once, without a simulation step: the markers go, and come back as they were.
TEST_F(ExperimentFormTest, ShowSensorsRedrawsTheLastFrameAtOnce) {
  form_->InitializeButton->click();
  form_->chkVisualize->setChecked(true);
  RunGenerations(1);
  ASSERT_EQ(States(), kOpened) << "ended";
  TSimulation3DViewer* viewer = form_->Viewer();
  ASSERT_NE(viewer, nullptr);
  QOpenGLWidget* surface = viewer->SceneViewer.data();
  ASSERT_NE(surface, nullptr);
  EXPECT_TRUE(surface->isVisible());
  const QImage shown = surface->grabFramebuffer();
  const int frames = form_->FramesShown();
  for (const bool show : {false, true}) {
    TPaintCounter paints(surface);
    form_->chkShowSensors->click();
    EXPECT_EQ(viewer->ShowSensors, show);
    QElapsedTimer waited;
    waited.start();
    while (paints.Count == 0 && !waited.hasExpired(2000)) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    EXPECT_GE(paints.Count, 1) << "repainted at once";
    const QImage image = surface->grabFramebuffer();
    if (show) {
      EXPECT_EQ(image, shown) << "the same frame again";
    } else {
      EXPECT_NE(image, shown) << "the markers are gone";
    }
  }
  EXPECT_EQ(form_->FramesShown(), frames) << "no simulation step shown";
}

TEST_F(ExperimentFormTest, ReplayAtRealTimeTakesTheSimulatedTime) {
  form_->SimulationTimeBox->setText(Localised("2.0"));
  form_->InitializeButton->click();
  std::vector<double> seconds;
  std::vector<int> frames;
  TRepeat driver([&] {
    if (!form_->Paused()) {
      form_->PauseButton->click();
      return false;
    }
    if (!form_->Held()) {
      return false;
    }
    // a 2 s replay at x1, then as fast as possible
    for (const int speed : {kRealTime, kFastest}) {
      form_->SpeedBox->setCurrentIndex(speed);
      const int framesBefore = form_->FramesShown();
      QElapsedTimer clock;
      clock.start();
      form_->EvaluateBestButton->click();
      seconds.push_back(static_cast<double>(clock.elapsed()) / 1000.0);
      frames.push_back(form_->FramesShown() - framesBefore);
    }
    form_->PauseButton->click();
    form_->StopEAButton->click();
    return true;
  });
  form_->RunEAButton->click();
  ASSERT_EQ(seconds.size(), 2U);
  EXPECT_NEAR(seconds[0], 2.0, 0.2);
  // a steady frame rate, not a frame per step (200 steps); the software
  // renderer of a loaded test machine may draw fewer than 30 per second
  EXPECT_GE(frames[0], 10) << "frames in 2 s";
  EXPECT_LE(frames[0], 130) << "frames in 2 s";
  EXPECT_LT(seconds[1], 1.0);
  std::printf("replay of 2 s at x1: %.2f s, %d frames; as fast as possible: %.2f s\n", seconds[0], frames[0],
              seconds[1]);
  EXPECT_TRUE(messages_.empty());
}

TEST_F(ExperimentFormTest, OnlyTheBestOfEachGenerationIsShownAfterIt) {
  form_->InitializeButton->click();
  form_->chkVisualize->setChecked(true);
  form_->ShowBox->setCurrentIndex(1);
  int framesDuringEvaluations = -1;
  int framesAtFirst = -1;
  std::string caption;
  TRepeat driver([&] {
    TEvolutionRun& run = form_->Run();
    const int agent = EvaluationInProgress(run);
    if (run.EA()->Generation() == 0 && agent == 1 && framesAtFirst < 0) {
      framesAtFirst = form_->FramesShown();
    }
    if (run.EA()->Generation() == 0 && agent == kPopulation) {
      framesDuringEvaluations = form_->FramesShown() - framesAtFirst;
    }
    if (run.EA()->Generation() == 1 && agent == 1) {
      caption = form_->VisualizationGroupBox->title().toStdString();
      form_->StopEAButton->click();
      return true;
    }
    return false;
  });
  form_->RunEAButton->click();
  EXPECT_EQ(framesDuringEvaluations, 0) << "the evaluations are not drawn";
  EXPECT_GE(form_->FramesShown(), framesAtFirst + 2) << "at least the last frame of both replays";
  // the first generation's best replayed to its end
  EXPECT_THAT(caption, MatchesRegex("Elapsed time = 1[.,]00 s, fitness = [0-9]+[.,][0-9]{3}"));
  EXPECT_EQ(form_->Run().MaxFitnessHistory().Count(), 2);
  EXPECT_TRUE(messages_.empty());
}

TEST_F(ExperimentFormTest, ClosingDuringTheRunAsksAndStopsItFirst) {
  for (const bool whilePaused : {false, true}) {
    SCOPED_TRACE(whilePaused ? "while paused" : "while running");
    form_->InitializeButton->click();
    questions_.clear();
    bool visibleAfterClose = false;
    bool runningAfterRefusals = false;
    TRepeat closer([&] {
      if (whilePaused && !form_->Paused()) {
        if (EvaluationInProgress(form_->Run()) == 2) {
          form_->PauseButton->click();
        }
        return false;
      }
      if (whilePaused ? !form_->Held() : EvaluationInProgress(form_->Run()) != 2) {
        return false;
      }
      // Escape does nothing; the close box asks, and "No" goes on
      QTest::keyClick(form_.get(), Qt::Key_Escape);
      answer_ = false;
      form_->close();
      runningAfterRefusals = form_->isVisible() && form_->Running() && !form_->StopRequested();
      answer_ = true;
      form_->close();
      visibleAfterClose = form_->isVisible();
      EXPECT_TRUE(form_->StopRequested());
      EXPECT_FALSE(form_->Paused());
      EXPECT_EQ(States(), kBusy);
      return true;
    });
    // modal, as the main window shows it: exec returns once the window closes
    form_->hide();
    QTimer::singleShot(0, form_.get(), [this] { form_->RunEAButton->click(); });
    EXPECT_EQ(form_->exec(), QDialog::Rejected);
    EXPECT_TRUE(runningAfterRefusals);
    EXPECT_EQ(questions_, (std::vector<std::string>{"Stop the run and close?", "Stop the run and close?"}));
    EXPECT_TRUE(visibleAfterClose);
    EXPECT_FALSE(form_->Running());
    EXPECT_EQ(form_->Run().MaxFitnessHistory().Count(), 1) << "the generation was completed first";
    EXPECT_EQ(form_->EvaluatedLabel->text(), QStringLiteral("Evaluated individuals: 6"));
    // the history of the stopped run is on disk
    EXPECT_EQ(ReadFile(RunFolder(*form_) / "descr.txt").rfind("MaxFitness = {", 0), 0U);
  }
  // a window that does not run closes without a question
  questions_.clear();
  form_->show();
  form_->close();
  EXPECT_FALSE(form_->isVisible());
  EXPECT_TRUE(questions_.empty());
}

struct TBadBox {
  const char* Box;
  const char* Text;
  const char* Named;  // what the message must name
};

class ExperimentFormRefusalTest : public ExperimentFormTest, public ::testing::WithParamInterface<TBadBox> {};

TEST_P(ExperimentFormRefusalTest, RefusesATimeThatIsNotPositiveAndStaysInitialized) {
  form_->InitializeButton->click();
  auto* box = form_->findChild<QLineEdit*>(QString::fromLatin1(GetParam().Box));
  const QString good = box->text();
  box->setText(Localised(GetParam().Text));
  form_->RunEAButton->click();
  ASSERT_EQ(messages_.size(), 1U);
  EXPECT_THAT(messages_.front(), HasSubstr(GetParam().Named));
  EXPECT_THAT(messages_.front(), HasSubstr(Localised(GetParam().Text).toStdString()));
  EXPECT_EQ(States(), kInitialized);
  EXPECT_EQ(form_->Run().EvaluationCount(), 0);

  box->setText(good);
  RunGenerations(1);
  EXPECT_EQ(form_->Run().MaxFitnessHistory().Count(), 1);
}

INSTANTIATE_TEST_SUITE_P(Boxes, ExperimentFormRefusalTest,
                         ::testing::Values(TBadBox{"TimeStepBox", "0", "Time step"},
                                           TBadBox{"TimeStepBox", "-0.01", "Time step"},
                                           TBadBox{"TimeStepBox", "abc", "Time step"},
                                           TBadBox{"SimulationTimeBox", "0", "Simulation time"},
                                           TBadBox{"SimulationTimeBox", "1e400", "Simulation time"}));

TEST_F(ExperimentFormTest, AFileThatCannotBeWrittenEndsTheRunWithItsName) {
  // the first generation's files as they should be: 1.txt and two more
  form_->InitializeButton->click();
  RunGenerations(1);
  std::vector<std::string> reference = FilesIn(RunFolder(*form_));
  std::erase(reference, "descr.txt");
  ASSERT_TRUE(messages_.empty());
  // the new-best files; their brain files are checked below
  std::erase_if(reference, [](const std::string& f) { return !f.ends_with(".txt"); });
  ASSERT_EQ(reference.size(), 3U);
  std::sort(reference.begin(), reference.end(),
            [](const std::string& a, const std::string& b) { return std::stoi(a) < std::stoi(b); });

  const fs::path first = RunFolder(*form_);

  // the same run again where the second file cannot be created: a folder
  // of its name is made as soon as the run has its folder
  form_->InitializeButton->click();
  TRepeat block([&] {
    if (!form_->Running() || RunFolder(*form_) == first) {
      return false;
    }
    fs::create_directory(RunFolder(*form_) / reference[1]);
    return true;
  });
  RunGenerations(1);
  ASSERT_EQ(messages_.size(), 1U);
  EXPECT_THAT(messages_.front(), HasSubstr(reference[1]));
  EXPECT_THAT(messages_.front(), HasSubstr("Is a directory")) << "the system's reason";
  EXPECT_EQ(States(), kOpened) << "ended";
  EXPECT_EQ(form_->Run().MaxFitnessHistory().Count(), 0);
  const fs::path second = RunFolder(*form_);
  EXPECT_EQ(ReadFile(second / reference[0]), ReadFile(first / reference[0]));
  // the history of the run that failed is written all the same
  std::vector<std::string> expected{reference[0], reference[0].substr(0, reference[0].size() - 4) + ".brain",
                                    "best.brain", reference[1], "descr.txt"};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(FilesIn(second), expected);
}

// The results folder is proven before the first evaluation: one that cannot
// be made is named with the system's reason and the run does not start; the
// temporary files that a killed run left in a run folder go, those of a
// process still running stay, and the probe file leaves no trace.
TEST_F(ExperimentFormTest, TheResultsFolderIsCheckedBeforeTheFirstEvaluation) {
  const fs::path blocked = folder_.Write("not-a-folder", "x") / "results";
  form_->ResultsParent = QString::fromStdString(blocked.string());
  form_->InitializeButton->click();
  form_->RunEAButton->click();
  ASSERT_EQ(messages_.size(), 1U);
  EXPECT_THAT(messages_.front(), HasSubstr(blocked.string()));
  EXPECT_THAT(messages_.front(), HasSubstr("Not a directory"));
  EXPECT_EQ(form_->Run().EvaluationCount(), 0);
  EXPECT_EQ(States(), kInitialized) << "the user can choose another folder and go on";

  // a folder that is made but takes no byte (a file size limit of 0): the
  // probe finds it before the first evaluation
  {
    rlimit previous{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
    const auto previousHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit none = previous;
    none.rlim_cur = 0;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &none), 0);
    form_->ResultsParent = QString::fromStdString((folder_.Path() / "full").string());
    form_->RunEAButton->click();
    setrlimit(RLIMIT_FSIZE, &previous);
    signal(SIGXFSZ, previousHandler);
  }
  ASSERT_EQ(messages_.size(), 2U);
  EXPECT_THAT(messages_.back(), HasSubstr("Cannot write in folder '" + (folder_.Path() / "full" / "run-001").string()));
  EXPECT_THAT(messages_.back(), HasSubstr("File too large"));
  EXPECT_EQ(form_->Run().EvaluationCount(), 0);
  EXPECT_EQ(States(), kInitialized);
  EXPECT_TRUE(FilesIn(folder_.Path() / "full" / "run-001").empty()) << "the probe is removed";

  const fs::path parent = folder_.Path() / "results";
  // beyond the largest process number: no such process
  const std::string stale = ".3.txt.tmp4194305";
  const std::string live = ".4.txt.tmp" + std::to_string(getpid());
  for (const std::string& name : {stale, live, std::string("5.txt")}) {
    fs::create_directories(parent / "run-001");
    std::ofstream(parent / "run-001" / name) << "x";
  }
  form_->ResultsParent = QString::fromStdString(parent.string());
  RunGenerations(1);
  EXPECT_EQ(messages_.size(), 2U);
  EXPECT_EQ(RunFolder(*form_), parent / "run-002");
  EXPECT_EQ(FilesIn(parent / "run-001"), (std::vector<std::string>{live, "5.txt"}));
  const std::vector<std::string> written = FilesIn(parent / "run-002");
  EXPECT_TRUE(std::find(written.begin(), written.end(), "descr.txt") != written.end());
  for (const std::string& name : written) {
    EXPECT_FALSE(name.starts_with(".")) << name;
  }
}

TEST_F(ExperimentFormTest, ArenaWarningsHeadTheProgressListAndRefusalsLeaveTheRunUnstarted) {
  // a cylinder on the robot's start: warned first, then the run goes on
  const fs::path touching =
      arenaFolder_.Write("touching.txt", std::string(kArena) +
                                             "object Touch: TCylinderZ\n  Position = 0.02 0.5 0\n  Radius = 0.6\n  "
                                             "Mass = 0.2\nend\n");
  form_->SetArenaFileName(QString::fromStdString(touching.string()));
  form_->InitializeButton->click();
  RunGenerations(1);
  EXPECT_TRUE(messages_.empty());
  const QStringList lines = form_->ReevalMemo->toPlainText().split(QLatin1Char('\n'));
  ASSERT_GE(lines.size(), 2);
  EXPECT_THAT(lines.front().toStdString(), HasSubstr("touching.txt:"));
  EXPECT_THAT(lines.front().toStdString(), HasSubstr(": warning: TCylinderZ 'Touch' overlaps"));
  EXPECT_THAT(form_->ReevalMemo->toPlainText().toStdString(),
              HasSubstr(": warning: TCylinderZ 'Touch' overlaps the robot at its start"));
  EXPECT_EQ(States(), kOpened) << "ended";

  // a drink can of 0.4 g makes the drag step diverge at 0.01 s: refused with its bound
  const fs::path light = arenaFolder_.Write(
      "light.txt", std::string(kArena) +
                       "object Light: TCylinderZ\n  Position = 0.5 0.5 0\n  Radius = 0.03\n  Mass = 0.0004\nend\n");
  form_->SetArenaFileName(QString::fromStdString(light.string()));
  form_->InitializeButton->click();
  form_->RunEAButton->click();
  ASSERT_EQ(messages_.size(), 1U);
  EXPECT_THAT(messages_.front(), HasSubstr("light.txt:"));
  EXPECT_THAT(messages_.front(), HasSubstr("Mass 0.0004 kg with time step 0.01 s"));
  EXPECT_THAT(messages_.front(), HasSubstr("must stay below 2 (Mass above 0.0005 kg)"));
  EXPECT_EQ(States(), kInitialized);
  EXPECT_EQ(form_->Run().EvaluationCount(), 0);
}

TEST_F(ExperimentFormTest, MissingArenaFileAndWindowSize) {
  try {
    TExperimentForm().SetArenaFileName(QStringLiteral("no-such-arena.txt"));
    ADD_FAILURE() << "no exception";
  } catch (const TAssertionFailure& error) {
    EXPECT_THAT(error.what(), MatchesRegex("Assertion failure \\(Experiment\\.cpp, line [0-9]+\\)"));
  }

  // the view and the plot share the right part of the window and grow with
  // it; the drawing surface fills the view's panel
  form_->InitializeButton->click();
  EXPECT_EQ(form_->minimumSize(), QSize(637, 560));
  int lastPlotHeight = 0;
  for (const QSize size : {QSize(637, 560), QSize(1000, 600), QSize(1100, 900)}) {
    form_->resize(size);
    QCoreApplication::processEvents();
    const QRect right = form_->ViewSplitter->geometry();
    EXPECT_EQ(right.right(), form_->width() - 9);
    EXPECT_EQ(right.bottom(), form_->StatusBar->geometry().top() - 5);
    EXPECT_EQ(form_->StatusBar->geometry().bottom(), form_->height() - 1);
    EXPECT_TRUE(right.contains(form_->FitnessPlot->geometry().translated(right.topLeft())));
    EXPECT_GT(form_->FitnessPlot->height(), lastPlotHeight);
    lastPlotHeight = form_->FitnessPlot->height();
    EXPECT_EQ(form_->Viewer()->SceneViewer->geometry(), form_->WorldViewPanel->rect());
  }
}

TEST_F(ExperimentFormTest, StatusBarFollowsTheRun) {
  form_->InitializeButton->click();
  QString generation;
  int progressMaximum = 0;
  int progressValue = -1;
  QString stopping;
  // held by a pause during the fourth agent of the second generation, the
  // window shows where the run is
  TRepeat driver([&] {
    TEvolutionRun& run = form_->Run();
    if (!form_->Paused()) {
      if (run.EA()->Generation() == 1 && EvaluationInProgress(run) == 4) {
        form_->PauseButton->click();
      }
      return false;
    }
    if (!form_->Held()) {
      return false;
    }
    form_->PauseButton->click();
    generation = form_->GenerationLabel->text();
    progressMaximum = form_->GenerationProgress->maximum();
    progressValue = form_->GenerationProgress->value();
    form_->StopEAButton->click();
    stopping = form_->StatusBar->currentMessage();
    return true;
  });
  form_->RunEAButton->click();
  EXPECT_EQ(generation, QStringLiteral("Generation 2"));
  EXPECT_EQ(progressMaximum, kPopulation);
  EXPECT_EQ(progressValue, 3) << "three agents of the generation evaluated";
  EXPECT_EQ(stopping, QStringLiteral("Stopping after this generation\u2026"));
  EXPECT_TRUE(form_->StatusBar->currentMessage().isEmpty()) << "the run has stopped";
  EXPECT_EQ(form_->GenerationProgress->value(), kPopulation);
  EXPECT_THAT(form_->RateLabel->text().toStdString(), MatchesRegex("[0-9]+[.,][0-9] evaluations/s"));
  EXPECT_THAT(form_->RunTimeLabel->text().toStdString(), MatchesRegex("elapsed 0:00:[0-5][0-9]"));
  // the plot shows best, average and minimum of both generations
  EXPECT_EQ(form_->FitnessPlot->MinimumValues().size(), 2U);
  EXPECT_EQ(form_->FitnessPlot->AverageValues().size(), 2U);
  for (std::size_t g = 0; g < 2; ++g) {
    EXPECT_LE(form_->FitnessPlot->MinimumValues()[g], form_->FitnessPlot->AverageValues()[g]);
  }
}

// ---- brains from files

namespace brains {

// The fitness in the view's caption "..., fitness = 1.234" as a number.
double CaptionFitness(const TExperimentForm& Form) {
  const QString title = Form.VisualizationGroupBox->title();
  const int at = title.indexOf(QStringLiteral("fitness = "));
  if (at < 0) {
    return -1.0;
  }
  return title.mid(at + 10).replace(QLatin1Char(','), QLatin1Char('.')).toDouble();
}

}  // namespace brains

TEST_F(ExperimentFormTest, OpenBrainReplaysARunsChampionToItsRecordedFitness) {
  EXPECT_TRUE(form_->OpenBrainButton->isEnabled());
  EXPECT_EQ(form_->OpenBrainButton->text().toStdString(), "Open brain\u2026");
  form_->InitializeButton->click();
  TRepeat disabledWhileRunning([this] {
    if (form_->Running()) {
      EXPECT_FALSE(form_->OpenBrainButton->isEnabled());
      return true;
    }
    return false;
  });
  RunGenerations(2);
  EXPECT_TRUE(disabledWhileRunning.Done());
  ASSERT_TRUE(messages_.empty()) << messages_.front();

  const fs::path folder = fs::path(form_->ResultsFolder().toStdString());
  const fs::path best = folder / "best.brain";
  ASSERT_TRUE(fs::exists(best));
  const TBrainRecord record = ReadBrainFile(best);
  EXPECT_TRUE(fs::exists(folder / (std::to_string(record.Origin.Evaluation) + ".txt")));

  // an initialized run that has not started makes way for the replay
  form_->InitializeButton->click();
  ASSERT_EQ(States(), kInitialized);
  form_->OpenBrain(QString::fromStdString(best.string()));
  ASSERT_TRUE(messages_.empty()) << messages_.front();
  ASSERT_NE(form_->BrainReplay(), nullptr);
  EXPECT_TRUE(form_->BrainReplay()->Finished());
  // the drifting cylinder starts as in the recording run: the same fitness to the last bit
  EXPECT_EQ(form_->BrainReplay()->Fitness(), record.Origin.Fitness);
  EXPECT_NEAR(brains::CaptionFitness(*form_), record.Origin.Fitness, 0.0005);
  EXPECT_THAT(form_->ReevalMemo->toPlainText().toStdString(), HasSubstr("best.brain: fitness "));
  EXPECT_EQ(States(), kOpened);
  EXPECT_TRUE(form_->OpenBrainButton->isEnabled());
  EXPECT_NE(form_->Viewer(), nullptr);
  EXPECT_FALSE(form_->chkVisualize->isChecked()) << "Activate as it was before the replay";

  // a new run after it starts from Initialize as always
  form_->InitializeButton->click();
  EXPECT_EQ(States(), kInitialized);
}

TEST_F(ExperimentFormTest, OpenBrainRefusalsNameTheFileAndWhatDiffers) {
  TRandomGenerator generator(2);
  TFSMBrainParameters three = configuration_.Brain;
  three.NumberOfStates = 3;
  const TFSMBrain brain(three, generator);
  TBrainOrigin origin;
  origin.Generation = 1;
  origin.Evaluation = 1;
  const fs::path wrongShape = folder_.Write("three.brain", FormatBrainFile(brain, origin));
  form_->OpenBrain(QString::fromStdString(wrongShape.string()));
  ASSERT_EQ(messages_.size(), 1U);
  EXPECT_THAT(messages_[0], HasSubstr("three.brain: the brain does not fit the robot: number_of_states 3 (the "
                                      "robot's brain has 5)"));
  EXPECT_EQ(form_->BrainReplay(), nullptr);

  const fs::path damaged = folder_.Write("damaged.brain", "format = \"kestrovan-brain\"\nversion = 9\n");
  form_->OpenBrain(QString::fromStdString(damaged.string()));
  ASSERT_EQ(messages_.size(), 2U);
  EXPECT_THAT(messages_[1], HasSubstr("damaged.brain:2: unknown version 9"));
  EXPECT_EQ(States(), kOpened);
  EXPECT_TRUE(form_->OpenBrainButton->isEnabled());
}

TEST(MainFormResultFolder, OpenResultFolderReplaysTheBestBrainInTheRunWindow) {
  const TTemporaryFolder folder;
  const fs::path arena = folder.Write("arena.txt", kArena);
  std::ostringstream out;
  std::ostringstream err;
  ASSERT_EQ(BatchMain({"--arena", arena.string(), "--seed", "3", "--generations", "2", "--population", "6",
                       "--simulation-time", "1", "--threads", "2", "--quiet", "--out", (folder.Path() / "r").string()},
                      out, err),
            0)
      << err.str();
  const TBrainRecord record = ReadBrainFile(folder.Path() / "r" / "best.brain");

  TMainForm form;
  double shownFitness = -1.0;
  double replayFitness = -1.0;
  bool windowSeen = false;
  std::vector<std::string> messages;
  TRepeat watch([&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      messages.push_back(box->text().toStdString());
      box->done(QMessageBox::Ok);
      return false;
    }
    auto* window = qobject_cast<TExperimentForm*>(QApplication::activeModalWidget());
    if (window == nullptr) {
      return false;
    }
    windowSeen = true;
    if (window->BrainReplay() == nullptr || !window->BrainReplay()->Finished() || window->Replaying()) {
      return false;
    }
    shownFitness = brains::CaptionFitness(*window);
    replayFitness = window->BrainReplay()->Fitness();
    window->done(QDialog::Accepted);
    return true;
  });
  ASSERT_TRUE(form.ExperimentFileMenu->OpenResultFolder(QString::fromStdString((folder.Path() / "r").string())));
  EXPECT_TRUE(windowSeen);
  EXPECT_EQ(replayFitness, record.Origin.Fitness);
  EXPECT_NEAR(shownFitness, record.Origin.Fitness, 0.0005);
  // the folder's experiment is now the main window's
  EXPECT_EQ(form.EAParameters().PopulationSize, 6);
  EXPECT_EQ(form.SimulationTime, 1.0);
  EXPECT_EQ(form.ExperimentFileMenu->OpenResultFolder1->text().toStdString(), "Open result folder\u2026");
  EXPECT_TRUE(messages.empty()) << messages.front();
}

}  // namespace
}  // namespace kestrovan
