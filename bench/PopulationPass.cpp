// One population pass: generation 1 of a seeded population (default robot,
// 20 s evaluations at 0.01 s), every agent evaluated once on one thread, no
// new-best recording and no files. Prints the steps taken, the time and the
// sum of the fitnesses (which must not move when the step is made faster),
// and the time per step by the clock and by the processor time used.
// bench/instructions.sh runs it under callgrind, collecting PassOnce only.
//
//   population-pass [--arena FILE] [--seed N] [--population P] [--repeat R]
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "arena/ArenaModel.h"
#include "robot/DefaultRobot.h"
#include "simulation/EvolutionRun.h"
#include "simulation/GenerationEvaluator.h"

namespace {

using namespace kestrovan;

struct TPassResult {
  long long Steps = 0;
  double FitnessSum = 0.0;
};

// Every agent once, sequentially; the steps are counted from each agent's
// elapsed time.
[[gnu::noinline]] TPassResult PassOnce(const std::vector<TRobot*>& Agents, const TEvaluationContext& Context) {
  TSequentialEvaluator().Evaluate(Agents, Context);
  TPassResult result;
  for (const TRobot* agent : Agents) {
    result.Steps += std::llround(agent->ElapsedTime / Context.Parameters.TimeStep);
    result.FitnessSum += agent->Fitness;
  }
  return result;
}

int Run(int ArgumentCount, char** Arguments) {
  std::string arenaFile = std::string(KESTROVAN_SOURCE_DIR) + "/arenas/default.txt";
  std::uint32_t seed = 1;
  int population = 100;
  int repeat = 1;
  for (int i = 1; i + 1 < ArgumentCount; i += 2) {
    const std::string option = Arguments[i];
    const char* value = Arguments[i + 1];
    if (option == "--arena") {
      arenaFile = value;
    } else if (option == "--seed") {
      seed = static_cast<std::uint32_t>(std::strtoul(value, nullptr, 10));
    } else if (option == "--population") {
      population = std::atoi(value);
    } else if (option == "--repeat") {
      repeat = std::atoi(value);
    } else {
      std::fprintf(stderr, "population-pass: unknown option '%s'\n", option.c_str());
      return 2;
    }
  }

  TEAParameters eaParameters;
  eaParameters.PopulationSize = population;
  const TRobotConfiguration configuration = TRobotConfiguration::Default();
  const std::unique_ptr<TRobot> robot = BuildRobot(configuration, configuration.Body.Radius);
  const TRobotSimulationParameters times(20.0, 0.01);
  TEvolutionRun run;
  run.SetEAParameters(eaParameters);
  run.SetRobot(*robot);
  run.SetFSMBrainParameters(configuration.Brain);
  run.SetArenaFileName(arenaFile);
  run.Initialize(seed);
  run.BeginRun(times);

  std::vector<TRobot*> agents;
  for (int i = 1; i <= run.PopulationCount(); ++i) {
    agents.push_back(&static_cast<TRobot&>(run.EA()->Population().GetAgent(i)));
  }
  const TArenaModel model(*run.Arena());
  const TEvaluationContext context{model, times, run.Fitness};

  TPassResult result;
  const std::clock_t cpuStart = std::clock();
  const auto start = std::chrono::steady_clock::now();
  for (int r = 0; r < repeat; ++r) {
    result = PassOnce(agents, context);
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  const double steps = static_cast<double>(result.Steps) * repeat;
  std::printf(
      "steps per pass: %lld\nfitness sum: %.17g\nseconds: %.3f\nsteps per second: %.0f\nns per step: %.1f\n"
      "processor ns per step: %.1f\n",
      result.Steps, result.FitnessSum, seconds, steps / seconds, seconds * 1e9 / steps, cpuSeconds * 1e9 / steps);
  return 0;
}

}  // namespace

int main(int ArgumentCount, char** Arguments) {
  try {
    return Run(ArgumentCount, Arguments);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "population-pass: %s\n", error.what());
    return 1;
  }
}
