#include <gtest/gtest.h>

#include "BatchOptions.h"

namespace kestrovan {
namespace {

TBatchOptions Parse(std::vector<std::string> Arguments) { return ParseBatchOptions(Arguments); }

// The usage error for Arguments, or "" when they parse.
std::string UsageError(std::vector<std::string> Arguments) {
  try {
    ParseBatchOptions(Arguments);
  } catch (const TUsageError& error) {
    return error.what();
  }
  return "";
}

TEST(BatchOptions, DefaultsNeedOnlyTheArena) {
  const TBatchOptions options = Parse({"--arena", "a.txt"});
  EXPECT_EQ(options.ArenaFileName, "a.txt");
  EXPECT_FALSE(options.Seed.has_value());
  EXPECT_EQ(options.Generations, 1);
  EXPECT_EQ(options.PopulationSize, 100);
  EXPECT_EQ(options.SimulationTime, 20.0);
  EXPECT_EQ(options.TimeStep, 0.01);
  EXPECT_EQ(options.Threads, 0);
  EXPECT_EQ(options.OutputFolder, ".");
  EXPECT_FALSE(options.Quiet);
}

TEST(BatchOptions, ReadsEveryOptionInBothForms) {
  const TBatchOptions options =
      Parse({"--seed=4294967295", "--generations", "7", "--population=3", "--simulation-time", "2.5",
             "--time-step=0.005", "--threads", "2", "--out=res/x", "--quiet", "--arena=b c.txt"});
  EXPECT_EQ(options.ArenaFileName, "b c.txt");
  EXPECT_EQ(options.Seed, 4294967295U);
  EXPECT_EQ(options.Generations, 7);
  EXPECT_EQ(options.PopulationSize, 3);
  EXPECT_EQ(options.SimulationTime, 2.5);
  EXPECT_EQ(options.TimeStep, 0.005);
  EXPECT_EQ(options.Threads, 2);
  EXPECT_EQ(options.OutputFolder, "res/x");
  EXPECT_TRUE(options.Quiet);
  EXPECT_EQ(Parse({"--seed", "0", "--arena", "a"}).Seed, 0U);
  EXPECT_TRUE(Parse({"--help"}).Help) << "help needs no arena";
  const TBatchOptions version = Parse({"--version"});
  EXPECT_TRUE(version.Version) << "version needs no arena";
  EXPECT_FALSE(version.Help);
  const TBatchOptions experiment = Parse({"--experiment", "e.toml", "--seed", "-0", "--log-evaluations"});
  EXPECT_EQ(experiment.ExperimentFile, "e.toml") << "the experiment may name the arena";
  EXPECT_TRUE(experiment.LogEvaluations);
  EXPECT_EQ(experiment.Given, (std::set<std::string>{"--experiment", "--seed", "--log-evaluations"}));
  EXPECT_EQ(Parse({"--write-experiment=w.toml"}).WriteExperimentFile, "w.toml");
}

TEST(BatchOptions, RefusesWhatCannotRun) {
  const struct {
    std::vector<std::string> Arguments;
    const char* Message;
  } cases[] = {
      {{}, "--arena FILE is required"},
      {{"--seed", "1"}, "--arena FILE is required"},
      {{"--arena"}, "--arena needs a value"},
      {{"--arena", "a", "--arena", "b"}, "--arena given twice"},
      {{"--arena", "a", "--speed", "3"}, "unknown option '--speed'"},
      {{"--arena", "a", "extra"}, "unexpected argument 'extra'"},
      {{"--arena", "a", "--quiet=yes"}, "--quiet takes no value"},
      {{"--version=2"}, "--version takes no value"},
      {{"--arena", "a", "--seed", "4294967296"}, "--seed: 4294967296 is outside 0..4294967295"},
      {{"--arena", "a", "--seed", "-1"}, "--seed: -1 is outside 0..4294967295"},
      {{"--arena", "a", "--seed", "12x"}, "--seed: '12x' is not a whole number"},
      {{"--arena", "a", "--seed", "99999999999999999999999"}, "--seed: 99999999999999999999999 is outside"},
      {{"--arena", "a", "--population", "2"}, "--population: 2 is outside 3.."},
      {{"--arena", "a", "--generations", "-1"}, "--generations: -1 is outside 0.."},
      {{"--arena", "a", "--threads", "0"}, "--threads: 0 is outside 1..1024"},
      {{"--arena", "a", "--time-step", "0,01"}, "--time-step: '0,01' is not a number"},
      {{"--arena", "a", "--time-step", ""}, "--time-step: '' is not a number"},
      {{"--arena", "a", "--time-step", "0"}, "TimeStep must be"},
      {{"--arena", "a", "--simulation-time", "nan"}, "SimulationTime must be"},
      {{"--arena", "a", "--simulation-time", "-3"}, "SimulationTime must be"},
      {{"--arena", "a", "--out", ""}, "--out: the folder name is empty"},
      // an option is never taken for a value
      {{"--arena", "a", "--out", "--threads", "2"}, "--out needs a value"},
      {{"--arena", "-q"}, "--arena needs a value"},
      {{"--arena", "a", "--out=--threads"}, "--out: '--threads' looks like an option"},
      {{"--experiment", "--quiet"}, "--experiment needs a value"},
      {{"--arena", "a", "--version=1"}, "--version takes no value"},
      {{"--arena", "a", "--log-evaluations", "--log-evaluations"}, "--log-evaluations given twice"},
  };
  for (const auto& c : cases) {
    const std::string message = UsageError(c.Arguments);
    EXPECT_NE(message.find(c.Message), std::string::npos) << "got '" << message << "', expected '" << c.Message << "'";
  }
}

TEST(BatchOptions, CheckpointsResumeAndForce) {
  const TBatchOptions plain = Parse({"--arena", "a"});
  EXPECT_EQ(plain.CheckpointEvery, 1);
  EXPECT_FALSE(plain.Force);
  EXPECT_TRUE(plain.ResumeFolder.empty());
  const TBatchOptions options = Parse({"--arena", "a", "--checkpoint-every=0", "--force"});
  EXPECT_EQ(options.CheckpointEvery, 0);
  EXPECT_TRUE(options.Force);
  // a resumed run needs no arena and takes the few options that do not
  // change its results
  const TBatchOptions resume =
      Parse({"--resume", "runs/r", "--generations", "9", "--threads", "2", "--quiet", "--checkpoint-every", "5"});
  EXPECT_EQ(resume.ResumeFolder, "runs/r");
  EXPECT_EQ(resume.Generations, 9);
  EXPECT_EQ(resume.CheckpointEvery, 5);
  EXPECT_TRUE(resume.Has("--generations"));
  EXPECT_FALSE(Parse({"--resume", "r"}).Has("--generations")) << "the run's own count then";

  const struct {
    std::vector<std::string> Arguments;
    const char* Message;
  } cases[] = {
      {{"--arena", "a", "--checkpoint-every", "-1"}, "--checkpoint-every: -1 is outside 0.."},
      {{"--arena", "a", "--checkpoint-every", "x"}, "--checkpoint-every: 'x' is not a whole number"},
      {{"--arena", "a", "--force=1"}, "--force takes no value"},
      {{"--resume"}, "--resume needs a value"},
      {{"--resume", ""}, "--resume: the folder name is empty"},
      {{"--resume", "r", "--resume", "s"}, "--resume given twice"},
      {{"--resume", "r", "--seed", "1"}, "--seed cannot be given with --resume"},
      {{"--resume", "r", "--arena", "a"}, "--arena cannot be given with --resume"},
      {{"--resume", "r", "--population", "5"}, "--population cannot be given with --resume"},
      {{"--resume", "r", "--out", "o"}, "--out cannot be given with --resume"},
      {{"--resume", "r", "--experiment", "e.toml"}, "--experiment cannot be given with --resume"},
      {{"--resume", "r", "--log-evaluations"}, "--log-evaluations cannot be given with --resume"},
      {{"--resume", "r", "--force"}, "--force cannot be given with --resume"},
  };
  for (const auto& c : cases) {
    const std::string message = UsageError(c.Arguments);
    EXPECT_NE(message.find(c.Message), std::string::npos) << "got '" << message << "', expected '" << c.Message << "'";
  }
}

TEST(BatchOptions, OptionLikeValuesAreRefusedButNumbersPass) {
  // a name that looks like an option is refused in either form
  EXPECT_NE(UsageError({"--arena", "a", "--out=--threads"}).find("looks like an option"), std::string::npos);
  EXPECT_NE(UsageError({"--arena=-q"}).find("looks like an option"), std::string::npos);
  // a negative number is a value, refused for its range rather than its form
  EXPECT_NE(UsageError({"--arena", "a", "--time-step", "-.5e-2"}).find("TimeStep must be"), std::string::npos);
}

#ifdef KESTROVAN_WITH_MPI
TEST(BatchOptions, MpiAndVerboseAreSwitches) {
  EXPECT_FALSE(Parse({"--arena", "a"}).Mpi);
  EXPECT_FALSE(Parse({"--arena", "a"}).Verbose);
  const TBatchOptions options = Parse({"--arena", "a", "--mpi", "--verbose", "--threads", "2"});
  EXPECT_TRUE(options.Mpi);
  EXPECT_TRUE(options.Verbose);
  EXPECT_EQ(options.Threads, 2);
  EXPECT_EQ(UsageError({"--arena", "a", "--mpi", "--mpi"}), "--mpi given twice");
  EXPECT_EQ(UsageError({"--arena", "a", "--mpi=4"}), "--mpi takes no value");
  EXPECT_NE(std::string(BatchUsage()).find("--mpi"), std::string::npos);
}
#else
TEST(BatchOptions, WithoutMpiThereIsNoMpiOption) {
  EXPECT_EQ(UsageError({"--arena", "a", "--mpi"}), "unknown option '--mpi'");
  EXPECT_EQ(std::string(BatchUsage()).find("--mpi"), std::string::npos);
}
#endif

}  // namespace
}  // namespace kestrovan
