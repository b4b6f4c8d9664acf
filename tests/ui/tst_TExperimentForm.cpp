// The run window driven through its buttons: 6 agents evaluated for 1 s each
// on a small arena, buttons pressed by timers while the run loop processes
// events (after every step here). Every test runs in a fresh current folder,
// where the window writes its result files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "BatchOptions.h"
#include "BatchRun.h"
#include "ea/EA.h"
#include "robot/DefaultRobot.h"
#include "robot/DifferentiallySteeredBody.h"
#include "simulation/EvolutionRun.h"
#include "support/TestSupport.h"
#include "ui/Experiment.h"
#include "ui/FitnessPlot.h"
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
constexpr const char* kInitialized = "0100000";
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
    form_->SetEAParameters(eaParameters_);
    form_->SetArenaFileName(QString::fromStdString(arenaFile_.string()));
    form_->SetRobot(*robot_);
    form_->SetFSMBrainParameters(configuration_.Brain);
    form_->InitialSeed = kSeed;
    form_->EventInterval = 0;
    form_->SimulationTimeBox->setText(Localised("1.0"));
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
};

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
  EXPECT_EQ(form_->Viewer(), nullptr);
  EXPECT_EQ(form_->AverageLabel->text(), QStringLiteral("Average fitness: "));
  EXPECT_EQ(form_->VisualizationGroupBox->title(), QStringLiteral("Elapsed time ="));

  // the first agent's fitness is above 0 (no cylinder lies at the origin):
  // the first new best; every new best has its file and its memo line
  EXPECT_TRUE(fs::exists("1.txt"));
  EXPECT_EQ(FilesIn(".").size(), 3U);
  EXPECT_EQ(form_->ReevalMemo->toPlainText().split(QLatin1Char('\n')).size(), 3);

  // a new population with empty histories; the evaluations count from 1
  form_->InitializeButton->click();
  EXPECT_EQ(States(), kInitialized);
  EXPECT_EQ(form_->Run().MaxFitnessHistory().Count(), 0);
  EXPECT_TRUE(form_->FitnessPlot->MaxValues().empty());
  EXPECT_FALSE(form_->SaveButton->isEnabled());
  RunGenerations(1);
  EXPECT_EQ(form_->EvaluatedLabel->text(), QStringLiteral("Evaluated individuals: 6"));
  EXPECT_TRUE(messages_.empty());
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
  const std::vector<std::string> files = FilesIn(".");
  // the batch runner's result files; its record files (experiment.toml,
  // arena.txt, manifest.json, generations.csv) come in addition
  std::vector<std::string> batchFiles = FilesIn(batch.Path());
  std::erase_if(batchFiles, [](const std::string& Name) { return !Name.ends_with(".txt") || Name == "arena.txt"; });
  ASSERT_EQ(files, batchFiles);
  EXPECT_EQ(files.size(), 4U) << "three new bests and descr.txt";
  for (const std::string& name : files) {
    EXPECT_EQ(ReadFile(name), ReadFile(batch.Path() / name)) << name;
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
  QString caption;
  double elapsed = 0.0;
  double robotX = 0.0;
  double sceneX = -1.0;
  TRepeat driver([&] {
    TEvolutionRun& run = form_->Run();
    if (EvaluationInProgress(run) == 0 || run.Simulation()->Time < 0.5) {
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

TEST_F(ExperimentFormTest, ClosingDuringTheRunStopsItFirst) {
  for (const bool whilePaused : {false, true}) {
    SCOPED_TRACE(whilePaused ? "while paused" : "while running");
    form_->InitializeButton->click();
    bool visibleAfterClose = false;
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
    EXPECT_TRUE(visibleAfterClose);
    EXPECT_FALSE(form_->Running());
    EXPECT_EQ(form_->Run().MaxFitnessHistory().Count(), 1) << "the generation was completed first";
    EXPECT_EQ(form_->EvaluatedLabel->text(), QStringLiteral("Evaluated individuals: 6"));
  }
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
  std::vector<std::string> reference = FilesIn(".");
  ASSERT_EQ(reference.size(), 3U);
  std::sort(reference.begin(), reference.end(),
            [](const std::string& a, const std::string& b) { return std::stoi(a) < std::stoi(b); });

  // the same run again where the second file cannot be created
  TTemporaryFolder blocked;
  fs::current_path(blocked.Path());
  fs::create_directory(reference[1]);
  form_->InitializeButton->click();
  RunGenerations(1);
  ASSERT_EQ(messages_.size(), 1U);
  EXPECT_THAT(messages_.front(), HasSubstr(reference[1]));
  EXPECT_EQ(States(), kOpened) << "ended";
  EXPECT_EQ(form_->Run().MaxFitnessHistory().Count(), 0);
  EXPECT_EQ(ReadFile(reference[0]), ReadFile(folder_.Path() / reference[0]));
  EXPECT_EQ(FilesIn("."), (std::vector<std::string>{reference[0], reference[1]}));
  fs::current_path(folder_.Path());
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

  // the view takes the square the controls leave
  form_->InitializeButton->click();
  EXPECT_EQ(form_->minimumSize(), QSize(637, 467));
  for (const QSize size : {QSize(637, 467), QSize(1000, 600), QSize(700, 900)}) {
    form_->resize(size);
    QCoreApplication::processEvents();
    const int s = std::min(form_->height() - 30, form_->width() - 208) - 22;
    EXPECT_EQ(form_->VisualizationGroupBox->size(), QSize(s, s + 8));
    EXPECT_EQ(form_->WorldViewPanel->size(), QSize(s - 20, s - 20));
    EXPECT_EQ(form_->Viewer()->SceneViewer->geometry(), QRect(20, 20, s - 60, s - 60));
  }
}

}  // namespace
}  // namespace kestrovan
