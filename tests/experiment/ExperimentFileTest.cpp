// The experiment file: what is written reads back to the same values and the
// same text, and every kind of bad file is refused with its line.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "experiment/Experiment.h"
#include "experiment/RunRecord.h"
#include "support/TestSupport.h"

namespace kestrovan {
namespace {

// The line and message of the refusal of Text, or line -1 when it is accepted.
std::pair<int, std::string> Refusal(const test::TTemporaryFolder& Folder, const std::string& Text) {
  const auto file = Folder.Write("e.toml", Text);
  try {
    ReadExperiment(file);
  } catch (const TExperimentFileError& error) {
    EXPECT_EQ(std::string(error.what()).rfind(file.string() + ":" + std::to_string(error.Line()) + ": ", 0), 0U)
        << error.what();
    return {error.Line(), error.Message()};
  }
  return {-1, ""};
}

TEST(ExperimentFile, EmptyFileIsTheDefaultExperimentAsTheDialogsLeaveIt) {
  test::TTemporaryFolder folder;
  const TExperiment experiment = ReadExperiment(folder.Write("e.toml", ""));
  EXPECT_TRUE(experiment == TExperiment::Default());
  EXPECT_EQ(experiment.EA.PopulationSize, 100);
  EXPECT_FALSE(experiment.EA.UseRanking);
  EXPECT_EQ(experiment.EA.CrossoverProbability, 0.0);
  EXPECT_EQ(experiment.EA.TournamentSize, 4);
  EXPECT_EQ(experiment.Robot.Body.Mass, 0.1);
  EXPECT_EQ(experiment.SimulationTime, 20.0);
  EXPECT_TRUE(experiment.ArenaFile.empty());
  EXPECT_FALSE(experiment.Seed.has_value());
  EXPECT_FALSE(experiment.Generations.has_value());
}

TEST(ExperimentFile, WrittenFileReadsBackToTheSameDoublesAndTheSameText) {
  test::TTemporaryFolder folder;
  folder.Write("arenas/a.txt", "");
  TExperiment experiment = TExperiment::Default();
  experiment.ArenaFile = folder.Path() / "arenas" / "a.txt";
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  // values without a short decimal form, and extremes
  experiment.Robot.Body.Mass = unit(random) * 3.0;
  experiment.Robot.Body.MomentOfInertia = 1.0 / 3.0 * 1e-7;
  experiment.Robot.Body.Alpha = -0.1;
  experiment.Robot.Body.Beta = 5e-324;
  experiment.Robot.Sensor.OpeningAngle = 0.1 + 0.2;
  experiment.Robot.Motor.MaxVoltage = 1e300;
  experiment.Robot.Motor.GearRatio = 3.0;
  experiment.Robot.Brain.NumberOfStates = 8;
  experiment.EA.PopulationSize = 250;
  experiment.EA.SelectionMethod = 1;
  experiment.EA.UseRanking = true;
  experiment.EA.MutationRate = unit(random);
  experiment.EA.CrossoverProbability = unit(random);
  experiment.TimeStep = 0.005;
  experiment.KeepCylinderVelocities = true;
  experiment.MaximumCylinderSpeed = 0.25;
  experiment.Seed = 4294967295U;
  experiment.Generations = 0;
  experiment.LogEvaluations = true;

  const auto file = folder.Path() / "e.toml";
  WriteExperiment(experiment, file);
  const std::string text = test::ReadFile(file);
  EXPECT_NE(text.find("file = \"arenas/a.txt\""), std::string::npos) << "relative to the file's folder:\n" << text;
  EXPECT_NE(text.find("beta = 5e-324"), std::string::npos) << text;
  EXPECT_NE(text.find("gear_ratio = 3.0"), std::string::npos) << text;
  EXPECT_NE(text.find("selection_method = \"roulette_wheel\""), std::string::npos) << text;
  const TExperiment back = ReadExperiment(file);
  EXPECT_TRUE(back == experiment);
  EXPECT_EQ(back.Robot.Sensor.OpeningAngle, 0.1 + 0.2);
  WriteExperiment(back, folder.Path() / "again.toml");
  EXPECT_EQ(test::ReadFile(folder.Path() / "again.toml"), text);
  EXPECT_FALSE(std::filesystem::exists(folder.Path() / "e.toml.tmp"));

  // a field that differs in the last bit makes a different experiment
  TExperiment other = back;
  other.EA.MutationRate = std::nextafter(other.EA.MutationRate, 1.0);
  EXPECT_FALSE(other == back);
}

TEST(ExperimentFile, NumbersUseThePointUnderADecimalCommaLocale) {
  const std::string previous = std::setlocale(LC_ALL, nullptr);
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) {
    GTEST_SKIP() << "no de_DE.UTF-8 locale";
  }
  test::TTemporaryFolder folder;
  TExperiment experiment = TExperiment::Default();
  experiment.TimeStep = 0.0125;
  const std::string text = ExperimentText(experiment, folder.Path());
  const TExperiment back = ParseExperiment(text, folder.Path() / "e.toml");
  const TExperiment read = ParseExperiment("[simulation]\ntime_step = 0.5\n", folder.Path() / "e.toml");
  std::setlocale(LC_ALL, previous.c_str());
  EXPECT_NE(text.find("time_step = 0.0125"), std::string::npos) << text;
  EXPECT_EQ(back.TimeStep, 0.0125);
  EXPECT_EQ(read.TimeStep, 0.5);
}

TEST(ExperimentFile, IntegersAreAcceptedForRealKeysAndMissingKeysKeepTheirDefaults) {
  test::TTemporaryFolder folder;
  const TExperiment experiment = ReadExperiment(folder.Write("e.toml",
                                                             "[robot.body]\nmass = 2\n"
                                                             "[evolution]\npopulation_size = 7\n"
                                                             "[run]\nseed = 0\n"));
  EXPECT_EQ(experiment.Robot.Body.Mass, 2.0);
  EXPECT_EQ(experiment.EA.PopulationSize, 7);
  EXPECT_EQ(experiment.Seed, 0U);
  EXPECT_EQ(experiment.Robot.Body.Radius, TExperiment::Default().Robot.Body.Radius);
  EXPECT_EQ(experiment.EA.TournamentWinnerProbability, 0.725);
  // the brain's mutation values follow the EA's
  TExperiment changed = experiment;
  changed.EA.CreepRate = 0.3;
  EXPECT_EQ(changed.RobotConfiguration().Brain.CreepRate, 0.3);
}

TEST(ExperimentFile, RefusesEveryKindOfBadFileWithItsLine) {
  test::TTemporaryFolder folder;
  folder.Write("there.txt", "");
  const struct {
    std::string Text;
    int Line;
    const char* Message;
  } cases[] = {
      // TOML syntax
      {"[run]\nseed = = 1\n", 2, ""},
      {"[run]\nseed = 1\nseed = 2\n", 3, ""},
      // unknown section or key
      {"\n[robots.body]\nmass = 1\n", 2, "unknown section [robots]"},
      {"[robot.arms]\nlength = 1\n", 1, "unknown section [robot.arms]"},
      {"[robot]\nmass = 1\n", 2, "unknown key 'mass' in [robot]"},
      {"[robot.body]\nmass = 1\nmas = 1\n", 3, "unknown key 'mas' in [robot.body]"},
      {"seed = 1\n", 1, "unknown key 'seed'"},
      // wrong type
      {"[robot.body]\nmass = \"heavy\"\n", 2, "[robot.body] mass must be a number, not a string"},
      {"[brain]\nnumber_of_states = 5.0\n", 2, "[brain] number_of_states must be a whole number"},
      {"[evolution]\nuse_elitism = 1\n", 2, "[evolution] use_elitism must be true or false, not an integer"},
      {"[arena]\nfile = 3\n", 2, "[arena] file must be a string"},
      {"[evolution]\nselection_method = 1\n", 2, "selection_method must be \"tournament\" or \"roulette_wheel\""},
      // out of range, with the model's own messages
      {"[robot.body]\n\nmass = 0\n", 3, "[robot.body] mass: Body Mass"},
      {"[robot.body]\nheight = -0.5\n", 2, "[robot.body] height: Body Height"},
      {"[robot.sensors]\nrange = 0.0\n", 2, "[robot.sensors] range: IR sensor Range"},
      {"[robot.motors]\nefficiency = nan\n", 2, "[robot.motors] efficiency must be a finite number"},
      {"[brain]\nnumber_of_states = 0\n", 2, "[brain] number_of_states: Brain NumberOfStates"},
      {"[brain]\nnumber_of_states = 99999999999\n", 2, "it must lie in"},
      {"[brain]\nnumber_of_states = 1000\nnumber_of_conditions = 100000\n", 3, "genome"},
      {"[evolution]\npopulation_size = 2\n", 2, "EA parameter PopulationSize is 2; it must be at least 3"},
      {"[evolution]\ntournament_winner_probability = 1.5\n", 2, "TournamentWinnerProbability is 1.5"},
      {"[evolution]\ncreep_rate = -0.1\n", 2, "[evolution] creep_rate: Brain CreepRate"},
      {"[evolution]\nselection_method = \"best\"\n", 2, "selection_method is 'best'"},
      {"[simulation]\ntime_step = 0\n", 2, "[simulation] time_step: TimeStep must be"},
      {"[simulation]\nsimulation_time = 1e9\n", 2, "more than 10000000 steps"},
      {"[simulation]\nminimum_cylinder_speed = 1\n", 2, "must not exceed MaximumCylinderSpeed"},
      {"[run]\nseed = -1\n", 2, "[run] seed is -1; it must lie in 0..4294967295"},
      {"[run]\ngenerations = -3\n", 2, "[run] generations is -3"},
      // the arena file
      {"[arena]\nfile = \"missing.txt\"\n", 2, "missing.txt' does not exist"},
      {"[arena]\nfile = \"\"\n", 2, "[arena] file is empty"},
  };
  for (const auto& c : cases) {
    const auto [line, message] = Refusal(folder, c.Text);
    EXPECT_EQ(line, c.Line) << c.Text << "-> " << message;
    EXPECT_NE(message.find(c.Message), std::string::npos) << "got '" << message << "', expected '" << c.Message << "'";
  }
  // a relative arena path is read from the experiment file's folder
  EXPECT_EQ(Refusal(folder, "[arena]\nfile = \"there.txt\"\n").first, -1);
  EXPECT_EQ(ReadExperiment(folder.Path() / "e.toml").ArenaFile, folder.Path() / "there.txt");
  // a missing file
  EXPECT_THROW(ReadExperiment(folder.Path() / "none.toml"), TExperimentFileError);
}

TEST(RunRecord, CountsStepsAsTheSimulationAddsThemAndHashesWithSha256) {
  // 0.1 + 0.1 + 0.1 is 0.30000000000000004: three steps, not four
  EXPECT_EQ(StepsOf(0.1 + 0.1 + 0.1, 0.1), 3);
  EXPECT_EQ(StepsOf(0.0, 0.01), 0);
  double time = 0.0;
  for (int i = 0; i < 2000; ++i) {
    time = time + 0.01;
  }
  EXPECT_EQ(StepsOf(time, 0.01), 2000);
  EXPECT_EQ(StepsOf(1.0, 0.0), 0) << "no endless loop";
  EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

TEST(RunRecord, ExperimentHashFollowsSettingsAndArenaBytesButNotGenerationsOrArenaPath) {
  TExperiment experiment = TExperiment::Default();
  experiment.Seed = 4;
  const std::string arena = "[FLOOR]\n";
  const std::string hash = ExperimentHash(experiment, arena);
  EXPECT_EQ(hash.size(), 64U);

  TExperiment moved = experiment;
  moved.ArenaFile = "/elsewhere/arena.txt";
  moved.Generations = 50;
  EXPECT_EQ(ExperimentHash(moved, arena), hash) << "path and generation count do not change what is computed";

  EXPECT_NE(ExperimentHash(experiment, arena + " "), hash);
  TExperiment seed = experiment;
  seed.Seed = 5;
  EXPECT_NE(ExperimentHash(seed, arena), hash);
  TExperiment rate = experiment;
  rate.EA.MutationRate = std::nextafter(rate.EA.MutationRate, 1.0);
  EXPECT_NE(ExperimentHash(rate, arena), hash) << "the last bit of a setting counts";
  TExperiment time = experiment;
  time.TimeStep = 0.02;
  EXPECT_NE(ExperimentHash(time, arena), hash);
}

}  // namespace
}  // namespace kestrovan
