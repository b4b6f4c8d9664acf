// Cost of the robot simulation on the default arena: the step over a
// population pass, whole evaluations with and without trajectory recording,
// the text of a new-best file, and whole generations of the default run on
// 1 and 2 threads.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <charconv>
#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "arena/ArenaModel.h"
#include "numerics/RandomNumbers.h"
#include "robot/DefaultRobot.h"
#include "simulation/EvolutionRun.h"
#include "simulation/ResultFiles.h"
#include "simulation/RobotSimulation.h"

namespace kestrovan {
namespace {

const std::string kDefaultArena = std::string(KESTROVAN_SOURCE_DIR) + "/arenas/default.txt";
constexpr std::uint32_t kBrainSeed = 3;
const TRobotSimulationParameters kDefaultTimes(20.0, 0.01);

// The default robot with the brain that kBrainSeed draws.
std::unique_ptr<TRobot> SeededRobot() {
  RandSeed = kBrainSeed;
  const TRobotConfiguration configuration = TRobotConfiguration::Default();
  return BuildRobot(configuration, configuration.Body.Radius);
}

// One evaluation through the simulation classes; returns the number of steps.
[[gnu::noinline]] int Evaluate(TRobot& Robot, TArena& Arena, bool Record) {
  TRobotSimulation simulation;
  simulation.SetParameters(kDefaultTimes);
  simulation.SetArena(Arena);
  if (Record) {
    simulation.RecordTrajectory = true;
    simulation.Initialize();
  }
  Robot.Reset();
  Arena.ResetObjects();
  simulation.SetAgent(Robot);
  int steps = 0;
  do {
    simulation.Step();
    ++steps;
  } while (!simulation.Finished);
  return steps;
}

// Nanoseconds per simulation step over a population pass: generation 1 of
// a seeded population of 100 on the default arena, every agent evaluated
// once on one thread (the brains differ, so the step sees every kind of
// behaviour, not one brain's). bench/instructions.sh counts the same pass's
// instructions and C math library calls per step with callgrind.
void BM_PopulationPassStep(benchmark::State& State) {
  TEAParameters eaParameters;
  const TRobotConfiguration configuration = TRobotConfiguration::Default();
  const std::unique_ptr<TRobot> robot = BuildRobot(configuration, configuration.Body.Radius);
  TEvolutionRun run;
  run.SetEAParameters(eaParameters);
  run.SetRobot(*robot);
  run.SetFSMBrainParameters(configuration.Brain);
  run.SetArenaFileName(kDefaultArena);
  run.Initialize(1);
  run.BeginRun(kDefaultTimes);
  std::vector<TRobot*> agents;
  for (int i = 1; i <= run.PopulationCount(); ++i) {
    agents.push_back(&static_cast<TRobot&>(run.EA()->Population().GetAgent(i)));
  }
  const TArenaModel model(*run.Arena());
  const TEvaluationContext context{model, kDefaultTimes, run.Fitness};
  std::int64_t steps = 0;
  for (auto _ : State) {
    TSequentialEvaluator().Evaluate(agents, context);
    for (const TRobot* agent : agents) {
      steps += std::llround(agent->ElapsedTime / kDefaultTimes.TimeStep);
    }
  }
  State.SetItemsProcessed(steps);
  State.SetLabel("steps");
}
BENCHMARK(BM_PopulationPassStep)->Unit(benchmark::kMillisecond);

// A whole evaluation with and without trajectory recording.
void BM_Evaluation(benchmark::State& State) {
  TArena arena(kDefaultArena);
  const std::unique_ptr<TRobot> robot = SeededRobot();
  const bool record = State.range(0) != 0;
  std::int64_t steps = 0;
  for (auto _ : State) {
    steps += Evaluate(*robot, arena, record);
  }
  State.SetItemsProcessed(steps);
  State.SetLabel(record ? "recording" : "not recording");
}
BENCHMARK(BM_Evaluation)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The text of a new-best file for a full default run.
void BM_NewBestFileText(benchmark::State& State) {
  TArena arena(kDefaultArena);
  const std::unique_ptr<TRobot> robot = SeededRobot();
  TRobotSimulation simulation;
  simulation.SetParameters(kDefaultTimes);
  simulation.SetArena(arena);
  simulation.RecordTrajectory = true;
  simulation.Initialize();
  robot->Reset();
  simulation.SetAgent(*robot);
  do {
    simulation.Step();
  } while (!simulation.Finished);
  const auto& brain = static_cast<const TFSMBrain&>(*robot->Brain);
  std::size_t bytes = 0;
  for (auto _ : State) {
    const std::string text = FormatNewBestFile(brain, simulation.RobotTrajectory, simulation.CylinderTrajectory);
    bytes += text.size();
    benchmark::DoNotOptimize(text.data());
  }
  State.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_NewBestFileText)->Unit(benchmark::kMicrosecond);

// One number of a result file with three decimals: the result files'
// formatter against to_chars with fixed precision, over trajectory-like values.
std::vector<double> TrajectoryLikeValues() {
  std::vector<double> values;
  for (int i = 0; i < 4096; ++i) {
    values.push_back(std::sin(i * 0.37) * 1.3);
  }
  return values;
}

void BM_FixedThreeDecimals(benchmark::State& State) {
  const std::vector<double> values = TrajectoryLikeValues();
  std::string text;
  for (auto _ : State) {
    text.clear();
    for (const double value : values) {
      AppendFixed(text, value, 3);
    }
    benchmark::DoNotOptimize(text.data());
  }
  State.SetItemsProcessed(static_cast<std::int64_t>(State.iterations() * values.size()));
}
BENCHMARK(BM_FixedThreeDecimals);

void BM_FixedThreeDecimalsToChars(benchmark::State& State) {
  const std::vector<double> values = TrajectoryLikeValues();
  std::string text;
  for (auto _ : State) {
    text.clear();
    for (const double value : values) {
      char digits[64];
      const auto result = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, 3);
      text.append(digits, result.ptr);
    }
    benchmark::DoNotOptimize(text.data());
  }
  State.SetItemsProcessed(static_cast<std::int64_t>(State.iterations() * values.size()));
}
BENCHMARK(BM_FixedThreeDecimalsToChars);

// Starts Run on the default arena with seed 1, 20 s at 0.01 s, writing into
// Folder; the parameters, robot and configuration outlive the run.
void StartDefaultRun(TEvolutionRun& Run, const TEAParameters& EAParameters, const TRobot& Robot,
                     const TRobotConfiguration& Configuration, const std::filesystem::path& Folder) {
  Run.SetEAParameters(EAParameters);
  Run.SetRobot(Robot);
  Run.SetFSMBrainParameters(Configuration.Brain);
  Run.SetArenaFileName(kDefaultArena);
  Run.OutputFolder = Folder;
  Run.Initialize(1);
  Run.BeginRun(kDefaultTimes);
}

// Generations of the default run (population 100, 20 s, 0.01 s) on Threads
// threads, new-best records and files included.
void BM_Generation(benchmark::State& State) {
  const int threads = static_cast<int>(State.range(0));
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("kestrovan-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);

  TEAParameters eaParameters;
  eaParameters.UseRanking = false;
  eaParameters.CrossoverProbability = 0.0;
  const TRobotConfiguration configuration = TRobotConfiguration::Default();
  const std::unique_ptr<TRobot> robot = BuildRobot(configuration, configuration.Body.Radius);
  TEvolutionRun run;
  StartDefaultRun(run, eaParameters, *robot, configuration, folder);

  for (auto _ : State) {
    run.BeginGeneration();
    run.EvaluateGeneration(threads);
    run.EndGeneration();
  }
  State.SetItemsProcessed(State.iterations() * eaParameters.PopulationSize);
  State.SetLabel("evaluations");
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_Generation)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// The first Generations generations of a fresh default run (seed 1,
// population 100, the default algorithm, 20 s at 0.01 s) on Threads
// threads, new-best records and files included; the set-up of the run is
// not timed. Generation 1 is the costliest to spread over threads: most
// of its new bests come there.
void BM_FreshRun(benchmark::State& State) {
  const int threads = static_cast<int>(State.range(0));
  const int generations = static_cast<int>(State.range(1));
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("kestrovan-bench-fresh-" + std::to_string(getpid()));
  const TRobotConfiguration configuration = TRobotConfiguration::Default();
  const std::unique_ptr<TRobot> robot = BuildRobot(configuration, configuration.Body.Radius);
  const TEAParameters eaParameters;
  for (auto _ : State) {
    State.PauseTiming();
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    TEvolutionRun run;
    StartDefaultRun(run, eaParameters, *robot, configuration, folder);
    State.ResumeTiming();
    for (int generation = 1; generation <= generations; ++generation) {
      run.BeginGeneration();
      run.EvaluateGeneration(threads);
      run.EndGeneration();
    }
  }
  State.SetItemsProcessed(State.iterations() * generations * eaParameters.PopulationSize);
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_FreshRun)
    ->ArgNames({"threads", "generations"})
    ->Args({1, 1})
    ->Args({2, 1})
    ->Args({1, 10})
    ->Args({2, 10})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace kestrovan
