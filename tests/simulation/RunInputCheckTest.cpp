#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "arena/ArenaChecks.h"
#include "simulation/EvolutionRun.h"
#include "simulation/ResultFiles.h"
#include "simulation/RunInputCheck.h"
#include "simulation/SimulationTestSupport.h"
#include "support/TestSupport.h"

namespace kestrovan {
namespace {

using test::TArenaText;

// The messages of Findings, in order.
std::vector<std::string> Messages(const std::vector<TArenaFinding>& Findings) {
  std::vector<std::string> messages;
  for (const TArenaFinding& finding : Findings) {
    messages.push_back(std::to_string(finding.Line) + ": " + finding.Message);
  }
  return messages;
}

// The error CheckRunInputs raises, or "accepted".
std::string RunInputError(const std::string& Text, double SimulationTime = 20.0, double TimeStep = 0.01) {
  const std::unique_ptr<TArena> arena = test::ArenaFrom(Text);
  const std::unique_ptr<TRobot> robot = test::DefaultRobot();
  try {
    CheckRunInputs(*arena, *robot, TRobotSimulationParameters(SimulationTime, TimeStep));
  } catch (const TRunInputError& error) {
    return error.what();
  }
  return "accepted";
}

// ---- what a run refuses

TEST(RunInputCheck, UnstableDragIsRefusedWithItsBoundAndWarnedBelowIt) {
  // 0.1 * 0.01 / Mass: 2.5 refused, exactly 2 refused, 1.43 warned, 0.67 fine
  const std::string floor = TArenaText().Floor(2, 2).Text();
  EXPECT_EQ(RunInputError(floor + TArenaText().Cylinder(0.5, 0.5, 0.05, 0.0004).Text()),
            "arena:6: TCylinderZ 'Can': Mass 0.0004 kg with time step 0.01 s gives a drag step factor 0.1*dt/Mass "
            "of 2.5, which must stay below 2 (Mass above 0.0005 kg)");
  EXPECT_NE(RunInputError(floor + TArenaText().Cylinder(0.5, 0.5, 0.05, 0.0005).Text()), "accepted");
  EXPECT_EQ(RunInputError(floor + TArenaText().Cylinder(0.5, 0.5, 0.05, 0.0007).Text()), "accepted");
  // a larger step makes the same mass unstable
  EXPECT_NE(RunInputError(floor + TArenaText().Cylinder(0.5, 0.5, 0.05, 0.0015).Text(), 20.0, 0.05), "accepted");

  const std::unique_ptr<TArena> arena = test::ArenaFrom(floor + TArenaText().Cylinder(0.5, 0.5, 0.05, 0.0007).Text());
  const TArenaCheck check = CheckArena(*arena, 0.05, 0.01);
  ASSERT_EQ(check.Warnings.size(), 1u);
  EXPECT_EQ(check.Warnings[0].Line, 6);
  EXPECT_NE(check.Warnings[0].Message.find("overshoots zero every step (Mass above 0.001 kg avoids it)"),
            std::string::npos);
  // immovable cylinders have no drag step
  EXPECT_EQ(RunInputError(floor + TArenaText().Cylinder(0.5, 0.5, 0.05, 0).Text()), "accepted");
}

TEST(RunInputCheck, AbsurdValuesAndStepsAreRefused) {
  const std::string floor = TArenaText().Floor(2, 2).Text();
  EXPECT_EQ(RunInputError(floor + TArenaText().Cylinder(2e6, 0.5, 0.05, 1).Text()),
            "arena:6: TCylinderZ 'Can': Position 2e+06 is not finite or above 1e+06 in magnitude");
  EXPECT_NE(RunInputError(floor + TArenaText().Cylinder(0.5, 0.5, 1e300, 1).Text()).find("Radius 1e+300"),
            std::string::npos);
  EXPECT_NE(RunInputError(floor + TArenaText().Cylinder(0.5, 0.5, 0.05, 1, 0, -3e6).Text()).find("Velocity -3e+06"),
            std::string::npos);
  EXPECT_EQ(RunInputError(TArenaText().Floor(1e7, 2).Text()),
            "arena:1: TBasicFloor 'Ground': Width 1e+07 is not finite or above 1e+06 in magnitude");
  // every error, one per line
  EXPECT_EQ(RunInputError(TArenaText().Floor(1e7, 2).Cylinder(0.5, 2e6, 0.05, 1).Text()),
            "arena:1: TBasicFloor 'Ground': Width 1e+07 is not finite or above 1e+06 in magnitude\n"
            "arena:6: TCylinderZ 'Can': Position 2e+06 is not finite or above 1e+06 in magnitude");

  const std::string good = floor + TArenaText().Cylinder(0.5, 0.5, 0.05, 1).Text();
  EXPECT_EQ(RunInputError(good, 1e300, 1e300), "time step 1e+300 s is above the maximum of 1 s");
  EXPECT_EQ(RunInputError(good, 0.2, 0.5), "time step 0.5 s is larger than the simulation time 0.2 s");
  EXPECT_EQ(RunInputError(good, 1, 1), "accepted");
  EXPECT_EQ(RunInputError(""), "arena: the arena has no object");
}

// ---- arenas that give no meaningful run

TEST(RunInputCheck, WarningsNameTheirLines) {
  const std::unique_ptr<TArena> arena = test::ArenaFrom(TArenaText()
                                                            .Floor(1, 1, 2, 0)           // lines 1-5
                                                            .Cylinder(0.5, 0.5, 0.1, 1)  // 6-12
                                                            .Cylinder(0.6, 0.5, 0.1, 1)  // 13-19
                                                            .Cylinder(0.0, 0.1, 0.1, 1)  // 20-26
                                                            .Text());
  const std::vector<std::string> warnings = Messages(CheckArena(*arena, 0.05, 0.01).Warnings);
  ASSERT_EQ(warnings.size(), 3u) << testing::PrintToString(warnings);
  EXPECT_EQ(warnings[0], "0: the robot's start (0, 0) is outside the floor, x from 1.5 to 2.5, y from -0.5 to 0.5");
  EXPECT_EQ(warnings[1], "13: TCylinderZ 'Can' overlaps TCylinderZ 'Can' (line 6)");
  EXPECT_EQ(warnings[2], "20: TCylinderZ 'Can' overlaps the robot at its start (0, 0)");

  const std::unique_ptr<TArena> bare = test::ArenaFrom(TArenaText().Floor(0, 2).Wall(1, 1).Text());
  const std::vector<std::string> bareWarnings = Messages(CheckArena(*bare, 0.05, 0.01).Warnings);
  ASSERT_EQ(bareWarnings.size(), 2u) << testing::PrintToString(bareWarnings);
  EXPECT_EQ(bareWarnings[0], "1: TBasicFloor 'Ground': Length 2 by Width 0 m is not a positive size");
  EXPECT_EQ(bareWarnings[1], "0: the arena has no cylinder (TCylinderZ or TSoftDrinkCanZ): every fitness is 0");

  // touching is no overlap
  const std::unique_ptr<TArena> touching =
      test::ArenaFrom(TArenaText().Floor(4, 4).Cylinder(0.75, 0, 0.5, 1).Cylinder(0.75, 1, 0.5, 1).Text());
  EXPECT_TRUE(CheckArena(*touching, 0.25, 0.01).Warnings.empty());
  EXPECT_EQ(CheckArena(*touching, 0.26, 0.01).Warnings.size(), 1u);
}

// ---- non-finite values during a run

TEST(RunInputCheck, NonFiniteResultsNameTheEvaluation) {
  const std::unique_ptr<TRobot> robot = test::DefaultRobot();
  EXPECT_NO_THROW(CheckEvaluationFinite(*robot, 1, 1));
  robot->Fitness = std::numeric_limits<double>::quiet_NaN();
  try {
    CheckEvaluationFinite(*robot, 3, 17);
    ADD_FAILURE() << "accepted";
  } catch (const TNonFiniteError& error) {
    EXPECT_STREQ(error.what(), "generation 3, individual 17: the fitness is nan; the run cannot go on");
  }
  robot->Fitness = 1.0;
  robot->DistanceTravelled = std::numeric_limits<double>::infinity();
  EXPECT_THROW(CheckEvaluationFinite(*robot, 1, 1), TNonFiniteError);
}

TEST(RunInputCheck, ANaNDuringARunNeverBecomesTheBestFitness) {
  for (const int threads : {1, 2}) {
    const test::TTemporaryFolder folder;
    TEAParameters eaParameters;
    eaParameters.PopulationSize = 4;
    const std::unique_ptr<TRobot> robot = test::DefaultRobot();
    const TFSMBrainParameters brainParameters = TRobotConfiguration::Default().Brain;
    TEvolutionRun run;
    run.SetEAParameters(eaParameters);
    run.SetRobot(*robot);
    run.SetFSMBrainParameters(brainParameters);
    run.SetArenaFileName(
        folder.Write("arena.txt", TArenaText().Floor(2, 2).Cylinder(0.5, 0.5, 0.05, 1, 0.3, 0).Text()).string());
    run.OutputFolder = folder.Path();
    run.KeepCylinderVelocities = true;
    run.Initialize(1);
    run.BeginRun(TRobotSimulationParameters(1.0, 0.01));
    // a mass that passed the check and was changed afterwards diverges
    run.Arena()->Cylinders()[0]->Mass = 1e-9;
    run.BeginGeneration();
    try {
      run.EvaluateGeneration(threads);
      ADD_FAILURE() << "a diverging evaluation passed";
    } catch (const TNonFiniteError& error) {
      EXPECT_TRUE(std::string(error.what()).starts_with("generation 1, individual 1: the fitness is ")) << error.what();
    }
    EXPECT_EQ(run.BestFitness(), 0.0);
    EXPECT_EQ(run.EvaluationCount(), 0);
    EXPECT_FALSE(std::filesystem::exists(folder.Path() / "1.txt"));
  }
}

// ---- the output folder

TEST(OutputFolder, StaleTemporaryFilesGoAndAProbeProvesTheFolderWritable) {
  const test::TTemporaryFolder folder;
  long id = 0;
  EXPECT_TRUE(IsTemporaryResultFileName(".12.txt.tmp345", id));
  EXPECT_EQ(id, 345);
  EXPECT_TRUE(IsTemporaryResultFileName(".best.brain.tmp77", id));
  EXPECT_EQ(id, 77);
  for (const char* name : {".brain.tmp5", ".best.brain.tmp", "best.brain.tmp5", "12.txt.tmp345", ".12.txt.tmp",
                           ".12.txt.tmp34x", ".txt.tmp5", ".12.txt", ".a.tmp5"}) {
    EXPECT_FALSE(IsTemporaryResultFileName(name, id)) << name;
  }

  const std::string own = ".descr.txt.tmp" + std::to_string(getpid());
  folder.Write(".3.txt.tmp999999999", "killed while writing");  // above any process id
  folder.Write(own, "still being written");
  folder.Write(".notes.tmp1", "not ours");
  PrepareOutputFolder(folder.Path());
  EXPECT_FALSE(std::filesystem::exists(folder.Path() / ".3.txt.tmp999999999"));
  EXPECT_TRUE(std::filesystem::exists(folder.Path() / own));
  EXPECT_TRUE(std::filesystem::exists(folder.Path() / ".notes.tmp1"));
  // the probe file is gone again
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 2);

  PrepareOutputFolder(folder.Path() / "a" / "b");
  EXPECT_TRUE(std::filesystem::is_directory(folder.Path() / "a" / "b"));
  try {
    PrepareOutputFolder("/proc");
    ADD_FAILURE() << "/proc accepted";
  } catch (const std::runtime_error& error) {
    EXPECT_TRUE(std::string(error.what()).starts_with("Cannot write in folder '/proc': ")) << error.what();
  }
}

}  // namespace
}  // namespace kestrovan
