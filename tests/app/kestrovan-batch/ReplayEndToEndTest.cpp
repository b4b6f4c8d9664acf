// Runs kestrovan-batch, then replays the brains it recorded: in process and
// through --replay, as a user would.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "BatchProgram.h"
#include "experiment/Replay.h"
#include "simulation/BrainFile.h"
#include "simulation/SimulationTestSupport.h"
#include "support/TestSupport.h"

namespace kestrovan {
namespace {

using test::TArenaText;

using TExit = test::TBatchExit;

class ReplayEndToEnd : public ::testing::Test {
 protected:
  ReplayEndToEnd() {
    // a cylinder that moves from the start; the run's random velocities (up
    // to 0.3 m/s) show only before its first evaluation
    folder.Write("arena.txt", TArenaText()
                                  .Floor(2, 2)
                                  .Cylinder(0.12, 0.02, 0.03, 0.1)
                                  .Cylinder(0.1, -0.1, 0.03, 0.05, 0.02, -0.01)
                                  .Cylinder(-0.5, 0.5, 0.04, 0)
                                  .Text());
    folder.Write("moving.toml",
                 "[arena]\nfile = \"arena.txt\"\n[evolution]\npopulation_size = 12\n"
                 "[simulation]\nsimulation_time = 3.0\nmaximum_cylinder_speed = 0.3\n");
  }

  TExit Run(const std::string& Arguments) const { return test::RunBatchProgram(folder.Path(), Arguments); }

  static std::vector<std::string> Lines(const std::string& Text) { return test::TextLines(Text); }

  test::TTemporaryFolder folder;
};

TEST_F(ReplayEndToEnd, EveryChampionReplaysToItsRecordedFitnessOnOneOrTwoThreads) {
  int total = 0;
  for (const char* seed : {"3", "8"}) {
    for (const char* threads : {"1", "2"}) {
      const std::string out = std::string("r") + seed + "-" + threads;
      const TExit run = Run(std::string("--experiment moving.toml --generations 4 --quiet --seed ") + seed +
                            " --threads " + threads + " --out " + out);
      ASSERT_EQ(run.Code, 0) << run.Err;

      const TExperiment experiment = ResultFolderExperiment(folder.Path() / out);
      int brains = 0;
      std::filesystem::path last;
      for (const auto& entry : std::filesystem::directory_iterator(folder.Path() / out)) {
        const std::filesystem::path path = entry.path();
        if (path.extension() != ".brain" || path.filename() == kBestBrainFile) {
          continue;
        }
        ++brains;
        const TBrainRecord record = ReadBrainFile(path);
        EXPECT_EQ(path.stem().string(), std::to_string(record.Origin.Evaluation));
        EXPECT_EQ(record.Origin.Seed, static_cast<std::uint32_t>(std::stoul(seed)));
        TBrainReplay replay(experiment, record);
        EXPECT_TRUE(replay.Warnings().empty()) << replay.Warnings().front();
        EXPECT_EQ(replay.Run(), record.Origin.Fitness) << path;
        if (last.empty() || std::stoi(path.stem().string()) > std::stoi(last.stem().string())) {
          last = path;
        }
      }
      ASSERT_GE(brains, 1) << out;
      total += brains;
      EXPECT_EQ(test::ReadFile(folder.Path() / out / kBestBrainFile), test::ReadFile(last))
          << "best.brain is the last new best";
    }
  }
  EXPECT_GE(total, 6) << "several champions per run";
}

TEST_F(ReplayEndToEnd, ReplayPrintsTheFitnessAndWritesATrajectoryThatEndsWhereTheNewBestFileEnds) {
  ASSERT_EQ(Run("--experiment moving.toml --generations 2 --quiet --seed 5 --threads 2 --out r").Code, 0);
  const TExit replay = Run("--replay r/best.brain --trajectory path.csv");
  ASSERT_EQ(replay.Code, 0) << replay.Err;
  EXPECT_EQ(replay.Err, "");
  const std::vector<std::string> out = Lines(replay.Out);
  ASSERT_EQ(out.size(), 5U) << replay.Out;
  const TBrainRecord record = ReadBrainFile(folder.Path() / "r" / kBestBrainFile);
  EXPECT_EQ(out[0], "fitness: " + ShortestReal(record.Origin.Fitness));
  EXPECT_EQ(out[1], "recorded fitness: " + ShortestReal(record.Origin.Fitness) + " (the same)");
  EXPECT_TRUE(out[2].starts_with("elapsed time: ")) << out[2];
  EXPECT_EQ(out[4], "trajectory: path.csv");

  // one row per step plus step 0; the last robot position is the new-best file's last, to three decimals
  const std::vector<std::string> csv = Lines(test::ReadFile(folder.Path() / "path.csv"));
  const int steps = std::stoi(out[3].substr(7));
  ASSERT_EQ(csv.size(), static_cast<std::size_t>(steps) + 2);
  const std::vector<std::string> newBest =
      Lines(test::ReadFile(folder.Path() / "r" / (std::to_string(record.Origin.Evaluation) + ".txt")));
  std::string lastPosition;
  for (const std::string& line : newBest) {
    if (line.starts_with("{") && line.find(", ") != std::string::npos) {
      lastPosition = line;
    }
  }
  std::istringstream row(csv.back());
  std::vector<double> values;
  for (std::string field; std::getline(row, field, ',');) {
    values.push_back(std::stod(field));
  }
  ASSERT_EQ(values.size(), 11U);
  char expected[64];
  std::snprintf(expected, sizeof expected, "{%.3f, %.3f}\r", values[2], values[3]);
  EXPECT_EQ(lastPosition, expected);

  // the run window's conditions: the cylinders start with the run's random velocities instead
  const TExit seeded = Run("--replay r/best.brain --seed 5");
  ASSERT_EQ(seeded.Code, 0) << seeded.Err;
  EXPECT_NE(Lines(seeded.Out)[0], out[0]) << "random velocities up to 0.3 m/s move the cylinders elsewhere";
}

TEST_F(ReplayEndToEnd, RefusalsSayWhichFileAndWhatDiffers) {
  ASSERT_EQ(Run("--experiment moving.toml --quiet --seed 2 --out r").Code, 0);
  folder.Write("seven.toml", "[arena]\nfile = \"arena.txt\"\n[brain]\nnumber_of_states = 7\n");
  const TExit shape = Run("--replay r/best.brain --experiment seven.toml");
  EXPECT_EQ(shape.Code, 1);
  EXPECT_EQ(shape.Err,
            "kestrovan-batch: r/best.brain: the brain does not fit the robot: number_of_states 5 (the robot's brain "
            "has 7)\n");

  const std::string text = test::ReadFile(folder.Path() / "r" / kBestBrainFile);
  folder.Write("damaged.brain", text.substr(0, text.find("[brain]")) + "[brain]\nkind = \"fsm\"\n");
  const TExit damaged = Run("--replay damaged.brain --experiment moving.toml");
  EXPECT_EQ(damaged.Code, 1);
  EXPECT_TRUE(damaged.Err.starts_with("kestrovan-batch: damaged.brain:")) << damaged.Err;
  EXPECT_NE(damaged.Err.find("number_of_states is missing"), std::string::npos) << damaged.Err;

  folder.Write("alone.brain", text);
  const TExit alone = Run("--replay alone.brain");
  EXPECT_EQ(alone.Code, 1);
  EXPECT_NE(alone.Err.find("experiment.toml: no experiment file beside the brain file"), std::string::npos)
      << alone.Err;

  // another arena: replayed, with a warning that the result may differ
  folder.Write("other.txt", TArenaText().Floor(2, 2).Cylinder(0.3, 0.3, 0.03, 0.1).Text());
  folder.Write("other.toml", "[arena]\nfile = \"other.txt\"\n");
  const TExit other = Run("--replay r/best.brain --experiment other.toml");
  EXPECT_EQ(other.Code, 0) << other.Err;
  EXPECT_NE(other.Err.find("warning: the brain was recorded in another experiment"), std::string::npos) << other.Err;

  EXPECT_EQ(Run("--replay r/best.brain --generations 3").Code, 2);
  EXPECT_EQ(Run("--arena arena.txt --trajectory t.csv").Code, 2);
}

}  // namespace
}  // namespace kestrovan
