// Runs of four generations of 100 agents on the default arena (20 s at
// 0.01 s, the new-best files included), evaluated by the run window with
// "Activate" unchecked and by the shared run loop on one thread as
// kestrovan-batch does, from the same seed; the counter "generation" is the
// time per generation. Needs a display; on a machine without one:
//   LIBGL_ALWAYS_SOFTWARE=1 xvfb-run -a -s "-screen 0 1280x1024x24" build/<dir>/bench/RunWindowBenchmark
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <memory>
#include <string>

#include "ea/EAParameters.h"
#include "gui/BenchmarkApplication.h"
#include "robot/DefaultRobot.h"
#include "simulation/EvolutionRun.h"
#include "ui/Experiment.h"

namespace kestrovan {
namespace {

constexpr std::uint32_t kSeed = 4242;
constexpr int kGenerations = 4;
const std::string kArena = std::string(KESTROVAN_SOURCE_DIR) + "/arenas/default.txt";

// The default configuration with the EA's mutation settings in the brain,
// and a folder for the new-best files as the current folder.
struct TConfiguration {
  TConfiguration() {
    configuration.Brain.MutationRate = ea.MutationRate;
    configuration.Brain.CreepProbability = ea.CreepProbability;
    configuration.Brain.CreepRate = ea.CreepRate;
    robot = BuildRobot(configuration, configuration.Body.Radius);
    folder = std::filesystem::temp_directory_path() / "kestrovan-run-window-benchmark";
    std::filesystem::create_directories(folder);
    std::filesystem::current_path(folder);
  }
  ~TConfiguration() {
    std::error_code ignored;
    std::filesystem::current_path(std::filesystem::temp_directory_path(), ignored);
    std::filesystem::remove_all(folder, ignored);
  }

  TEAParameters ea;
  TRobotConfiguration configuration = TRobotConfiguration::Default();
  std::unique_ptr<TRobot> robot;
  std::filesystem::path folder;
};

void CountGenerations(benchmark::State& State, int PopulationSize) {
  const auto generations = static_cast<double>(State.iterations() * kGenerations);
  State.SetItemsProcessed(State.iterations() * kGenerations * PopulationSize);
  State.counters["generation"] =
      benchmark::Counter(generations, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The window: "Initialize" untimed, then "Run EA" with "Stop EA" pressed in
// the last generation.
void BM_WindowGeneration(benchmark::State& State) {
  EnsureApplication();
  TConfiguration setup;
  TExperimentForm form;
  form.SetEAParameters(setup.ea);
  form.SetArenaFileName(QString::fromStdString(kArena));
  form.SetRobot(*setup.robot);
  form.SetFSMBrainParameters(setup.configuration.Brain);
  form.InitialSeed = kSeed;
  form.show();
  for (auto _ : State) {
    State.PauseTiming();
    form.InitializeButton->click();
    QApplication::processEvents();
    QTimer stop;
    QObject::connect(&stop, &QTimer::timeout, [&form, &stop] {
      if (form.Run().EA() != nullptr && form.Run().EA()->Generation() == kGenerations - 1) {
        form.StopEAButton->click();
        stop.stop();
      }
    });
    stop.start(0);
    State.ResumeTiming();
    form.RunEAButton->click();
  }
  CountGenerations(State, setup.ea.PopulationSize);
}
BENCHMARK(BM_WindowGeneration)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(5.0);

// The shared run loop as kestrovan-batch drives it with one thread.
void BM_BatchGeneration(benchmark::State& State) {
  TConfiguration setup;
  TEvolutionRun run;
  run.SetEAParameters(setup.ea);
  run.SetArenaFileName(kArena);
  run.SetRobot(*setup.robot);
  run.SetFSMBrainParameters(setup.configuration.Brain);
  for (auto _ : State) {
    State.PauseTiming();
    run.Initialize(kSeed);
    run.BeginRun(TRobotSimulationParameters(20.0, 0.01));
    State.ResumeTiming();
    for (int g = 1; g <= kGenerations; ++g) {
      run.BeginGeneration();
      run.EvaluateGeneration(1);
      run.EndGeneration();
    }
    run.EndRun();
  }
  CountGenerations(State, setup.ea.PopulationSize);
}
BENCHMARK(BM_BatchGeneration)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(5.0);

}  // namespace
}  // namespace kestrovan
