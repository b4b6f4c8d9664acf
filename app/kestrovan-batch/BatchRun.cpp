#include "BatchRun.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <system_error>
#include <thread>

#include "arena/Arena.h"
#include "robot/DefaultRobot.h"
#include "simulation/EvolutionRun.h"
#include "simulation/ResultFiles.h"
#include "version/BundledData.h"
#include "version/Version.h"

namespace kestrovan {

namespace {

using TClock = std::chrono::steady_clock;

std::string Fixed(double Value, int Decimals) {
  std::string text;
  AppendFixed(text, Value, Decimals);
  return text;
}

double SecondsSince(TClock::time_point Start) { return std::chrono::duration<double>(TClock::now() - Start).count(); }

// Evaluates Options.Generations generations, reporting on Err.
void RunGenerations(TEvolutionRun& Run, const TBatchOptions& Options, int Threads, int& NewBests,
                    std::filesystem::path& BestFile, std::ostream& Err) {
  const TClock::time_point start = TClock::now();
  for (int generation = 1; generation <= Options.Generations; ++generation) {
    const TClock::time_point generationStart = TClock::now();
    Run.BeginGeneration();
    Run.EvaluateGeneration(Threads, [&](const TEvaluationResult& Result) {
      if (!Result.NewBest) {
        return;
      }
      ++NewBests;
      BestFile = Result.RecordFile;
      if (!Options.Quiet) {
        Err << "  new best " << Fixed(Result.RecordedFitness, 3) << " at evaluation " << Result.EvaluationCount << ": "
            << Result.RecordFile.string() << '\n';
      }
    });
    Run.EndGeneration();
    if (!Options.Quiet) {
      const double seconds = SecondsSince(generationStart);
      const double rate = seconds > 0.0 ? Run.PopulationCount() / seconds : 0.0;
      const int last = Run.MaxFitnessHistory().Count();
      Err << "generation " << generation << ": max " << Fixed(Run.MaxFitnessHistory().GetElement(last), 3)
          << ", average " << Fixed(Run.AverageFitnessHistory().GetElement(last), 3) << ", " << Run.EvaluationCount()
          << " evaluated, " << Fixed(rate, 1) << " evaluations/s, " << Fixed(SecondsSince(start), 2) << " s elapsed"
          << std::endl;
    }
  }
}

}  // namespace

TBatchSummary RunBatch(const TBatchOptions& Options, std::ostream& Out, std::ostream& Err) {
  // the configuration a user gets after confirming the three setup dialogs
  // without edits
  const TEAParameters eaParameters = BatchEAParameters(Options.PopulationSize);
  TRobotConfiguration configuration = TRobotConfiguration::Default();
  configuration.Brain.MutationRate = eaParameters.MutationRate;
  configuration.Brain.CreepProbability = eaParameters.CreepProbability;
  configuration.Brain.CreepRate = eaParameters.CreepRate;
  const std::unique_ptr<TRobot> robot = BuildRobot(configuration, configuration.Body.Radius);

  TEvolutionRun run;
  run.SetEAParameters(eaParameters);
  run.SetRobot(*robot);
  run.SetFSMBrainParameters(configuration.Brain);
  run.SetArenaFileName(ResolveArenaFile(Options.ArenaFileName).string());
  PrepareOutputFolder(Options.OutputFolder);
  run.OutputFolder = Options.OutputFolder;

  run.Initialize(Options.Seed);
  if (!Options.Seed.has_value()) {
    Out << "Seed: " << run.Seed() << std::endl;
  }
  run.BeginRun(TRobotSimulationParameters(Options.SimulationTime, Options.TimeStep));
  for (const std::string& warning : run.RunWarnings()) {
    Err << warning << '\n';
  }
  Err << std::flush;
  const int threads =
      Options.Threads > 0 ? Options.Threads : static_cast<int>(std::max(1U, std::thread::hardware_concurrency()));

  const TClock::time_point start = TClock::now();
  int newBests = 0;
  std::filesystem::path bestFile;
  try {
    RunGenerations(run, Options, threads, newBests, bestFile, Err);
  } catch (...) {
    // the generations completed so far are kept where the folder allows it
    try {
      run.SaveHistory();
    } catch (const std::exception& error) {
      Err << "kestrovan-batch: " << error.what() << std::endl;
    }
    throw;
  }
  const std::filesystem::path history = run.SaveHistory();

  double best = 0.0;
  for (int g = 1; g <= run.MaxFitnessHistory().Count(); ++g) {
    best = std::max(best, run.MaxFitnessHistory().GetElement(g));
  }
  run.EndRun();
  TBatchSummary summary;
  summary.BestFitness = best;
  summary.Evaluations = run.EvaluationCount();
  summary.Seed = run.Seed();

  Out << "kestrovan-batch: " << Options.Generations << " generation" << (Options.Generations == 1 ? "" : "s") << ", "
      << run.EvaluationCount() << " evaluations, " << newBests << " new best" << (newBests == 1 ? "" : "s")
      << ", best fitness " << Fixed(best, 3)
      << (bestFile.empty() ? std::string() : " (" + bestFile.filename().string() + ")") << ", seed " << run.Seed()
      << ", " << Fixed(SecondsSince(start), 2) << " s; results in " << history.parent_path().string() << std::endl;
  return summary;
}

int BatchMain(const std::vector<std::string>& Arguments, std::ostream& Out, std::ostream& Err) {
  TBatchOptions options;
  try {
    options = ParseBatchOptions(Arguments);
  } catch (const TUsageError& error) {
    Err << "kestrovan-batch: " << error.what() << "\n\n" << BatchUsage() << std::flush;
    return 2;
  }
  if (options.Help) {
    Out << BatchUsage() << std::flush;
    return 0;
  }
  if (options.Version) {
    Out << VersionLine("kestrovan-batch") << std::endl;
    return 0;
  }
  try {
    RunBatch(options, Out, Err);
    return 0;
  } catch (const TArenaFileError& error) {
    Err << "kestrovan-batch: " << error.Located() << std::endl;
  } catch (const std::bad_alloc&) {
    Err << "kestrovan-batch: out of memory" << std::endl;
  } catch (const std::exception& error) {
    Err << "kestrovan-batch: " << error.what() << std::endl;
  }
  return 1;
}

}  // namespace kestrovan
