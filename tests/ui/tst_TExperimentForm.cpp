// The run window driven through its buttons: a population of 6 evaluated
// for 1 s each on a small arena, buttons pressed by timers while the run
// loop is active. Every test runs in a fresh current folder, where the
// window writes its result files.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include "BatchOptions.h"
#include "BatchRun.h"
#include "ea/EA.h"
#include "robot/DefaultRobot.h"
#include "robot/DifferentiallySteeredBody.h"
#include "robot/Robot.h"
#include "simulation/EvolutionRun.h"
#include "support/TestSupport.h"
#include "ui/Experiment.h"
#include "ui/FitnessPlot.h"
#include "view3d/SceneViewer.h"
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

// A 2 m floor and two cylinders: one drifts with the velocity of the file,
// so an evaluation and a replay (cylinders at rest) differ; the other
// touches the robot's front, so that brains differ in fitness within 1 s.
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

// Calls Action at every round of event processing until it returns true.
class TRepeat {
 public:
  explicit TRepeat(std::function<bool()> Action) {
    timer_.setInterval(0);
    QObject::connect(&timer_, &QTimer::timeout, [this, Action = std::move(Action)] {
      if (Action()) {
        timer_.stop();
      }
    });
    timer_.start();
  }
  bool Done() const { return !timer_.isActive(); }

 private:
  QTimer timer_;
};

// The number of the agent being evaluated (1-based), 0 between evaluations.
int EvaluatedIndex(TEvolutionRun& Run) {
  if (Run.Simulation() == nullptr) {
    return 0;
  }
  const TRobot& agent = Run.EvaluatedAgent();
  for (int i = 1; i <= Run.PopulationCount(); ++i) {
    if (&Run.EA()->Population().GetAgent(i) == &agent) {
      return i;
    }
  }
  return 0;
}

// The number of a simulation step that has run but not finished, or 0.
int EvaluationInProgress(TEvolutionRun& Run) {
  const TRobotSimulation* simulation = Run.Simulation();
  return simulation != nullptr && simulation->Time > 0.0 && !simulation->Finished ? EvaluatedIndex(Run) : 0;
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

struct TButtonStates {
  bool Initialize, Run, Pause, Stop, EvaluateBest, TimeBoxes;
};

class ExperimentFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    arenaFile_ = arenaFolder_.Write("arena.txt", kArena);
    previousFolder_ = fs::current_path();
    fs::current_path(folder_.Path());

    // the configuration of kestrovan-batch: the EA dialog's values, the
    // default robot with the EA's mutation settings
    eaParameters_ = BatchEAParameters(kPopulation);
    configuration_ = TRobotConfiguration::Default();
    configuration_.Brain.MutationRate = eaParameters_.MutationRate;
    configuration_.Brain.CreepProbability = eaParameters_.CreepProbability;
    configuration_.Brain.CreepRate = eaParameters_.CreepRate;
    robot_ = BuildRobot(configuration_, configuration_.Body.Radius);

    form_ = std::make_unique<TExperimentForm>();
    form_->ShowMessage = [this](const QString& Text) { messages_.push_back(Text); };
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

  TButtonStates States() const {
    return {form_->InitializeButton->isEnabled(), form_->RunEAButton->isEnabled(),
            form_->PauseButton->isEnabled(),      form_->StopEAButton->isEnabled(),
            form_->EvaluateBestButton->isEnabled(), form_->TimeStepBox->isEnabled()};
  }

  void ExpectStates(const TButtonStates& Expected, const char* State) const {
    const TButtonStates actual = States();
    EXPECT_EQ(actual.Initialize, Expected.Initialize) << State;
    EXPECT_EQ(actual.Run, Expected.Run) << State;
    EXPECT_EQ(actual.Pause, Expected.Pause) << State;
    EXPECT_EQ(actual.Stop, Expected.Stop) << State;
    EXPECT_EQ(actual.EvaluateBest, Expected.EvaluateBest) << State;
    EXPECT_EQ(actual.TimeBoxes, Expected.TimeBoxes) << State;
    EXPECT_EQ(form_->SimulationTimeBox->isEnabled(), Expected.TimeBoxes) << State;
  }

  // Runs the loop until Generations generations are complete: "Stop EA" is
  // pressed during the last one.
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
  TRobotConfiguration configuration_;
  std::unique_ptr<TRobot> robot_;
  std::unique_ptr<TExperimentForm> form_;
  std::vector<QString> messages_;
};

constexpr TButtonStates kOpened{true, false, false, false, false, true};
constexpr TButtonStates kInitialized{false, true, false, false, false, false};
constexpr TButtonStates kRunning{false, false, true, true, false, false};
constexpr TButtonStates kPaused{false, false, true, false, true, false};
constexpr TButtonStates kBusy{false, false, false, false, false, false};
constexpr TButtonStates kEnded{true, false, false, false, false, true};

TEST_F(ExperimentFormTest, StopCompletesTheGenerationAndANewInitializeStartsAfresh) {
  ExpectStates(kOpened, "opened");
  EXPECT_FALSE(form_->SaveButton->isEnabled());
  EXPECT_EQ(form_->VisualizationGroupBox->title(), QStringLiteral("Elapsed time = "));

  form_->InitializeButton->click();
  ExpectStates(kInitialized, "initialized");
  ASSERT_NE(form_->Viewer(), nullptr);
  EXPECT_EQ(form_->Run().PopulationCount(), kPopulation);

  // "Stop EA" in the middle of the second generation
  bool sawRunning = false;
  bool sawStopRequested = false;
  TRepeat stop([&] {
    if (EvaluationInProgress(form_->Run()) != 2 || form_->Run().EA()->Generation() != 1) {
      return false;
    }
    sawRunning = true;
    ExpectStates(kRunning, "running");
    EXPECT_EQ(form_->PauseButton->text(), QStringLiteral("Pause"));
    EXPECT_TRUE(form_->SaveButton->isEnabled()) << "a generation has completed";
    form_->StopEAButton->click();
    sawStopRequested = form_->StopRequested();
    ExpectStates(kBusy, "stop requested");
    return true;
  });
  form_->RunEAButton->click();
  EXPECT_TRUE(sawRunning);
  EXPECT_TRUE(sawStopRequested);

  // the whole second generation was evaluated, and both histories grew
  EXPECT_EQ(form_->EvaluatedLabel->text(), QStringLiteral("Evaluated individuals: 12"));
  const TEvolutionRun& run = form_->Run();
  ASSERT_EQ(run.MaxFitnessHistory().Count(), 2);
  ASSERT_EQ(run.AverageFitnessHistory().Count(), 2);
  EXPECT_EQ(form_->FitnessPlot->MaxValues(),
            (std::vector<double>{run.MaxFitnessHistory().GetElement(1), run.MaxFitnessHistory().GetElement(2)}));
  EXPECT_EQ(form_->FitnessPlot->AverageValues().size(), 2U);
  ExpectStates(kEnded, "ended");
  EXPECT_FALSE(form_->Running());
  EXPECT_EQ(form_->Viewer(), nullptr);
  EXPECT_EQ(form_->AverageLabel->text(), QStringLiteral("Average fitness: "));
  EXPECT_EQ(form_->VisualizationGroupBox->title(), QStringLiteral("Elapsed time ="));
  EXPECT_TRUE(form_->SaveButton->isEnabled());

  // the first agent's fitness is above 0 (the cylinders lie off the
  // origin): it is the first new best, and every new best has its file and
  // its memo line
  ASSERT_TRUE(fs::exists("1.txt"));
  const QStringList memo = form_->ReevalMemo->toPlainText().split(QLatin1Char('\n'));
  std::vector<std::string> files = FilesIn(".");
  EXPECT_EQ(static_cast<std::size_t>(memo.size()), files.size());
  EXPECT_THAT(form_->MaxLabel->text().toStdString(), MatchesRegex("Maximum fitness: [0-9]+[.,][0-9]{3}"));
  EXPECT_TRUE(messages_.empty());

  // a new population, empty histories; the evaluation count starts again
  form_->InitializeButton->click();
  ExpectStates(kInitialized, "initialized again");
  EXPECT_EQ(form_->Run().MaxFitnessHistory().Count(), 0);
  EXPECT_EQ(form_->Run().AverageFitnessHistory().Count(), 0);
  EXPECT_TRUE(form_->FitnessPlot->MaxValues().empty());
  EXPECT_FALSE(form_->SaveButton->isEnabled());
  RunGenerations(1);
  EXPECT_EQ(form_->EvaluatedLabel->text(), QStringLiteral("Evaluated individuals: 6"));
  EXPECT_EQ(form_->Run().MaxFitnessHistory().Count(), 1);
}

TEST_F(ExperimentFormTest, GivesTheBatchRunnersFilesForTheSameSeed) {
  form_->InitializeButton->click();
  RunGenerations(2);
  form_->SaveButton->click();
  ASSERT_TRUE(messages_.empty()) << messages_.front().toStdString();

  TTemporaryFolder batchFolder;
  std::ostringstream out;
  std::ostringstream err;
  ASSERT_EQ(BatchMain({"--arena", arenaFile_.string(), "--seed", std::to_string(kSeed), "--generations", "2",
                       "--population", std::to_string(kPopulation), "--simulation-time", "1.0", "--time-step",
                       "0.01", "--threads", "1", "--out", batchFolder.Path().string(), "--quiet"},
                      out, err),
            0)
      << err.str();

  const std::vector<std::string> files = FilesIn(".");
  ASSERT_EQ(files, FilesIn(batchFolder.Path()));
  EXPECT_GE(files.size(), 3U) << "descr.txt and at least two new-best files";
  for (const std::string& name : files) {
    EXPECT_EQ(ReadFile(name), ReadFile(batchFolder.Path() / name)) << name;
  }
}

TEST_F(ExperimentFormTest, PauseLetsTheEvaluationFinishAndResumeGoesOnWithTheNext) {
  form_->InitializeButton->click();
  int pausedDuring = 0;
  int stepsAfterPause = 0;
  int heldFor = 0;
  int firstAfterResume = 0;
  TRepeat driver([&] {
    TEvolutionRun& run = form_->Run();
    if (pausedDuring == 0) {
      // "Pause" in the middle of the third evaluation
      if (EvaluationInProgress(run) == 3) {
        pausedDuring = 3;
        form_->PauseButton->click();
        EXPECT_TRUE(form_->Paused());
      }
      return false;
    }
    if (form_->Paused() && !form_->Held()) {
      // the evaluation in progress goes on to its end; a replay, which
      // resets the arena, must wait for it
      stepsAfterPause += run.Simulation()->Finished ? 0 : 1;
      EXPECT_FALSE(form_->EvaluateBestButton->isEnabled());
      return false;
    }
    if (form_->Paused()) {
      // held after the evaluation has finished, before it is counted
      EXPECT_TRUE(run.Simulation()->Finished);
      EXPECT_EQ(EvaluatedIndex(run), 3);
      EXPECT_EQ(run.EvaluationCount(), 2);
      ExpectStates(kPaused, "paused");
      EXPECT_EQ(form_->PauseButton->text(), QStringLiteral("Resume"));
      if (++heldFor == 5) {
        form_->PauseButton->click();
        EXPECT_EQ(form_->PauseButton->text(), QStringLiteral("Pause"));
      }
      return false;
    }
    if (const int index = EvaluationInProgress(run); index != 0) {
      firstAfterResume = index;
      EXPECT_EQ(run.EvaluationCount(), 3);
      form_->StopEAButton->click();
      return true;
    }
    return false;
  });
  form_->RunEAButton->click();
  EXPECT_TRUE(driver.Done());
  EXPECT_EQ(pausedDuring, 3);
  EXPECT_GT(stepsAfterPause, 10);
  EXPECT_EQ(heldFor, 5);
  EXPECT_EQ(firstAfterResume, 4);
  EXPECT_EQ(form_->Run().MaxFitnessHistory().Count(), 1);
}

TEST_F(ExperimentFormTest, ReevaluatingTheBestLeavesThePopulationAsItWas) {
  form_->InitializeButton->click();
  std::vector<double> fitnessBefore;
  std::vector<double> elapsedBefore;
  std::vector<double> fitnessAfter;
  std::vector<double> elapsedAfter;
  double bestFitness = 0.0;
  QString caption;
  bool busyDuringReplay = false;
  bool visualizeAfter = true;

  TRepeat whileReplaying([&] {
    if (!form_->Replaying()) {
      return false;
    }
    const TButtonStates states = States();
    busyDuringReplay = !states.Initialize && !states.Run && !states.Pause && !states.Stop && !states.EvaluateBest;
    return true;
  });
  TRepeat driver([&] {
    TEvolutionRun& run = form_->Run();
    if (!form_->Paused()) {
      // pause in the second generation, when every agent carries a fitness
      if (run.EA()->Generation() == 1 && EvaluationInProgress(run) == 2) {
        form_->PauseButton->click();
      }
      return false;
    }
    if (!form_->Held()) {
      return false;
    }
    const TPopulation& population = run.EA()->Population();
    for (int i = 1; i <= population.Count(); ++i) {
      fitnessBefore.push_back(population.GetAgent(i).Fitness);
      elapsedBefore.push_back(population.GetAgent(i).ElapsedTime);
    }
    bestFitness = population.MaxFitness();
    form_->chkVisualize->setChecked(false);
    form_->EvaluateBestButton->click();
    caption = form_->VisualizationGroupBox->title();
    visualizeAfter = form_->chkVisualize->isChecked();
    for (int i = 1; i <= population.Count(); ++i) {
      fitnessAfter.push_back(population.GetAgent(i).Fitness);
      elapsedAfter.push_back(population.GetAgent(i).ElapsedTime);
    }
    ExpectStates(kPaused, "paused after the replay");
    form_->PauseButton->click();
    form_->StopEAButton->click();
    return true;
  });
  form_->RunEAButton->click();
  ASSERT_TRUE(driver.Done());
  ASSERT_EQ(fitnessBefore.size(), static_cast<std::size_t>(kPopulation));
  EXPECT_EQ(fitnessAfter, fitnessBefore);
  EXPECT_EQ(elapsedAfter, elapsedBefore);
  EXPECT_TRUE(busyDuringReplay);
  EXPECT_FALSE(visualizeAfter) << "\"Activate\" is restored after the replay";

  // the caption shows the replay's own result: cylinders at rest, so not the
  // fitness the evaluation gave the best agent
  const std::string text = caption.toStdString();
  EXPECT_THAT(text, MatchesRegex("Elapsed time = 1[.,]00 s, fitness = [0-9]+[.,][0-9]{3}"));
  const QString shown = caption.section(QStringLiteral("fitness = "), 1);
  bool ok = false;
  const double replayFitness = QLocale::system().toDouble(shown, &ok);
  ASSERT_TRUE(ok) << text;
  EXPECT_GT(std::abs(replayFitness - bestFitness), 0.0005) << text;
  EXPECT_TRUE(messages_.empty());
}

TEST_F(ExperimentFormTest, VisualisedStepsMoveTheViewAndShowTheTime) {
  form_->InitializeButton->click();
  TSimulation3DViewer* viewer = form_->Viewer();
  ASSERT_NE(viewer, nullptr);
  form_->chkVisualize->setChecked(true);
  QString captionWhileShown;
  double elapsed = 0.0;
  double robotX = 0.0;
  double sceneX = -1.0;
  QString captionAfterUncheck;
  TRepeat driver([&] {
    TEvolutionRun& run = form_->Run();
    const TRobotSimulation* simulation = run.Simulation();
    if (EvaluationInProgress(run) == 0 || simulation->Time < 0.5) {
      return false;
    }
    if (captionWhileShown.isEmpty()) {
      captionWhileShown = form_->VisualizationGroupBox->title();
      elapsed = run.EvaluatedAgent().ElapsedTime;
      robotX = dynamic_cast<const TDifferentiallySteeredBody&>(*run.EvaluatedAgent().Body).Coordinates.GetPosition(1);
      const TSceneObject* body = viewer->Container->FindChild(run.EvaluatedAgent().Name);
      sceneX = body != nullptr ? body->Position.X : -1.0;
      form_->chkVisualize->setChecked(false);
      captionAfterUncheck = form_->VisualizationGroupBox->title();
      return false;
    }
    // unchecked: the caption keeps its last text
    EXPECT_EQ(form_->VisualizationGroupBox->title(), captionAfterUncheck);
    form_->StopEAButton->click();
    return true;
  });
  form_->RunEAButton->click();
  ASSERT_TRUE(driver.Done());
  EXPECT_EQ(captionWhileShown, QStringLiteral("Elapsed time = ") + QLocale::system().toString(elapsed, 'f', 2) +
                                   QStringLiteral(" s"));
  EXPECT_EQ(sceneX, robotX);
}

TEST_F(ExperimentFormTest, ShowSensorsReachesTheView) {
  form_->chkShowSensors->click();  // no view yet: nothing to do
  EXPECT_FALSE(form_->chkShowSensors->isChecked());
  form_->InitializeButton->click();
  ASSERT_NE(form_->Viewer(), nullptr);
  EXPECT_FALSE(form_->Viewer()->ShowSensors);
  form_->chkShowSensors->click();
  EXPECT_TRUE(form_->Viewer()->ShowSensors);
  form_->chkShowSensors->click();
  EXPECT_FALSE(form_->Viewer()->ShowSensors);
}

TEST_F(ExperimentFormTest, ClosingDuringTheRunStopsItFirst) {
  form_->InitializeButton->click();
  bool visibleAfterClose = false;
  bool stopRequested = false;
  TRepeat closer([&] {
    if (EvaluationInProgress(form_->Run()) != 2) {
      return false;
    }
    form_->close();
    visibleAfterClose = form_->isVisible();
    stopRequested = form_->StopRequested();
    ExpectStates(kBusy, "closing");
    return true;
  });
  form_->hide();
  QTimer::singleShot(0, form_.get(), [this] { form_->RunEAButton->click(); });
  // modal, as the main window shows it: exec returns once the window closes
  const int result = form_->exec();
  EXPECT_EQ(result, QDialog::Rejected);
  EXPECT_TRUE(visibleAfterClose);
  EXPECT_TRUE(stopRequested);
  EXPECT_FALSE(form_->Running());
  EXPECT_FALSE(form_->isVisible());
  EXPECT_EQ(form_->Run().MaxFitnessHistory().Count(), 1) << "the generation was completed first";
  EXPECT_EQ(form_->EvaluatedLabel->text(), QStringLiteral("Evaluated individuals: 6"));
  EXPECT_EQ(form_->Viewer(), nullptr);
}

TEST_F(ExperimentFormTest, ClosingWhilePausedEndsThePauseAndTheRun) {
  form_->InitializeButton->click();
  TRepeat driver([&] {
    if (!form_->Paused()) {
      if (EvaluationInProgress(form_->Run()) == 1) {
        form_->PauseButton->click();
      }
      return false;
    }
    form_->reject();
    EXPECT_FALSE(form_->Paused());
    return true;
  });
  form_->hide();
  QTimer::singleShot(0, form_.get(), [this] { form_->RunEAButton->click(); });
  EXPECT_EQ(form_->exec(), QDialog::Rejected);
  EXPECT_TRUE(driver.Done());
  EXPECT_EQ(form_->Run().MaxFitnessHistory().Count(), 1);
  EXPECT_FALSE(form_->Running());
}

struct TBadBox {
  const char* Box;  // object name
  const char* Text;
  const char* Named;  // what the message must name
};

class ExperimentFormRefusalTest : public ExperimentFormTest, public ::testing::WithParamInterface<TBadBox> {};

TEST_P(ExperimentFormRefusalTest, RefusesATimeThatIsNotPositiveAndStaysInitialized) {
  const TBadBox& bad = GetParam();
  form_->InitializeButton->click();
  auto* box = form_->findChild<QLineEdit*>(QString::fromLatin1(bad.Box));
  ASSERT_NE(box, nullptr);
  box->setText(Localised(bad.Text));
  form_->RunEAButton->click();

  ASSERT_EQ(messages_.size(), 1U);
  EXPECT_THAT(messages_.front().toStdString(), HasSubstr(bad.Named));
  EXPECT_THAT(messages_.front().toStdString(), HasSubstr(Localised(bad.Text).toStdString()));
  ExpectStates(kInitialized, "refused");
  EXPECT_FALSE(form_->Running());
  EXPECT_EQ(form_->EvaluatedLabel->text(), QStringLiteral("Evaluated individuals:"));
  EXPECT_EQ(form_->Run().EvaluationCount(), 0);

  // corrected, the run starts
  box->setText(Localised(bad.Box == std::string("TimeStepBox") ? "0.01" : "1.0"));
  RunGenerations(1);
  EXPECT_EQ(form_->Run().MaxFitnessHistory().Count(), 1);
  EXPECT_EQ(messages_.size(), 1U);
}

INSTANTIATE_TEST_SUITE_P(Boxes, ExperimentFormRefusalTest,
                         ::testing::Values(TBadBox{"TimeStepBox", "0", "Time step"},
                                           TBadBox{"TimeStepBox", "-0.01", "Time step"},
                                           TBadBox{"TimeStepBox", "abc", "Time step"},
                                           TBadBox{"SimulationTimeBox", "0", "Simulation time"},
                                           TBadBox{"SimulationTimeBox", "1e400", "Simulation time"}));

TEST_F(ExperimentFormTest, AFileThatCannotBeWrittenEndsTheRunWithItsName) {
  // the new-best files of the first generation, as they should be
  form_->InitializeButton->click();
  RunGenerations(1);
  std::vector<std::string> reference = FilesIn(".");
  ASSERT_GE(reference.size(), 2U) << "the test needs two new bests in the first generation";
  std::sort(reference.begin(), reference.end(),
            [](const std::string& a, const std::string& b) { return std::stoi(a) < std::stoi(b); });
  const std::string firstFile = reference[0];
  const std::string blockedFile = reference[1];
  const std::string firstContent = ReadFile(firstFile);

  // the same run again in a folder where the second file cannot be created
  TTemporaryFolder blocked;
  fs::current_path(blocked.Path());
  fs::create_directory(blockedFile);
  form_->InitializeButton->click();
  TRepeat watchdog([this] {
    if (form_->Running() && form_->Run().EA()->Generation() >= 1) {
      form_->StopEAButton->click();
      return true;
    }
    return false;
  });
  form_->RunEAButton->click();

  ASSERT_EQ(messages_.size(), 1U);
  EXPECT_THAT(messages_.front().toStdString(), HasSubstr(blockedFile));
  ExpectStates(kEnded, "ended by the error");
  EXPECT_FALSE(form_->Running());
  EXPECT_EQ(form_->Viewer(), nullptr);
  EXPECT_EQ(form_->Run().MaxFitnessHistory().Count(), 0);
  EXPECT_EQ(ReadFile(firstFile), firstContent);
  EXPECT_EQ(FilesIn("."), (std::vector<std::string>{firstFile, blockedFile}));
  fs::current_path(folder_.Path());
}

TEST_F(ExperimentFormTest, AMissingArenaFileFailsAnAssertion) {
  TExperimentForm form;
  try {
    form.SetArenaFileName(QStringLiteral("no-such-arena.txt"));
    FAIL() << "no exception";
  } catch (const TAssertionFailure& error) {
    EXPECT_THAT(error.what(), MatchesRegex("Assertion failure \\(Experiment\\.cpp, line [0-9]+\\)"));
  }
}

TEST_F(ExperimentFormTest, TheViewTakesTheSquareTheWindowLeaves) {
  form_->InitializeButton->click();
  ASSERT_NE(form_->Viewer(), nullptr);
  for (const QSize size : {QSize(637, 467), QSize(1000, 600), QSize(700, 900)}) {
    form_->resize(size);
    QCoreApplication::processEvents();
    const int s = std::min(form_->height() - 30, form_->width() - 208) - 22;
    EXPECT_EQ(form_->VisualizationGroupBox->size(), QSize(s, s + 8));
    EXPECT_EQ(form_->WorldViewPanel->size(), QSize(s - 20, s - 20));
    EXPECT_EQ(form_->Viewer()->SceneViewer->geometry(), QRect(20, 20, s - 60, s - 60));
  }
  EXPECT_EQ(form_->minimumSize(), QSize(637, 467));
}

}  // namespace
}  // namespace kestrovan
