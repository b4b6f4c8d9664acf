#include "BatchRun.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <system_error>
#include <thread>

#include "arena/Arena.h"
#include "experiment/RunRecord.h"
#include "robot/DefaultRobot.h"
#include "simulation/EvolutionRun.h"
#include "simulation/ResultFiles.h"
#include "version/BundledData.h"
#include "version/Version.h"

#ifdef KESTROVAN_WITH_MPI
#include <fstream>
#include <sstream>

#include "distributed/MpiEvaluation.h"
#endif

namespace kestrovan {

namespace {

using TClock = std::chrono::steady_clock;

std::string Fixed(double Value, int Decimals) {
  std::string text;
  AppendFixed(text, Value, Decimals);
  return text;
}

double SecondsSince(TClock::time_point Start) { return std::chrono::duration<double>(TClock::now() - Start).count(); }

#ifdef KESTROVAN_WITH_MPI
// The MPI job of a --mpi run, while BatchMain runs one.
TMpiSession* gMpiSession = nullptr;

// Rank 0's evaluator of a --mpi run: the workers get the run's experiment
// and the bytes of its arena file as recorded in the output folder.
std::unique_ptr<TMpiEvaluator> MakeMpiEvaluator(const TBatchOptions& Options, const TExperiment& Resolved,
                                                const TEvolutionRun& Run, int Threads) {
  if (gMpiSession == nullptr) {
    throw std::logic_error("--mpi needs the MPI job that BatchMain starts");
  }
  TExperiment sent = Resolved;
  sent.ArenaFile.clear();
  TDistributedSetup setup;
  setup.ExperimentText = ExperimentText(sent, Options.OutputFolder);
  const std::filesystem::path arenaCopy = Options.OutputFolder / kArenaRecordFile;
  std::ifstream arena(arenaCopy, std::ios::binary);
  std::ostringstream bytes;
  bytes << arena.rdbuf();
  if (!arena) {
    throw std::runtime_error("Cannot read '" + arenaCopy.string() + "'");
  }
  setup.ArenaText = bytes.str();
  setup.ArenaName = Resolved.ArenaFile.string();
  setup.RandomSeed = Run.RandomSeed();
  return std::make_unique<TMpiEvaluator>(*gMpiSession, Threads, setup);
}
#endif

}  // namespace

TExperiment ResolveExperiment(const TBatchOptions& Options) {
  if (Options.ExperimentFile.empty()) {
    // every option as it stands, the defaults included
    TExperiment experiment = TExperiment::Default();
    experiment.ArenaFile = ResolveArenaFile(Options.ArenaFileName);
    experiment.Seed = Options.Seed;
    experiment.Generations = Options.Generations;
    experiment.EA.PopulationSize = Options.PopulationSize;
    experiment.SimulationTime = Options.SimulationTime;
    experiment.TimeStep = Options.TimeStep;
    experiment.LogEvaluations = Options.LogEvaluations;
    return experiment;
  }
  // the file's values, and those of the options given in their place
  TExperiment experiment = ReadExperiment(Options.ExperimentFile);
  if (Options.Has("--arena")) {
    experiment.ArenaFile = ResolveArenaFile(Options.ArenaFileName);
  }
  if (Options.Has("--seed")) {
    experiment.Seed = Options.Seed;
  }
  if (Options.Has("--generations")) {
    experiment.Generations = Options.Generations;
  } else if (!experiment.Generations.has_value()) {
    experiment.Generations = 1;
  }
  if (Options.Has("--population")) {
    experiment.EA.PopulationSize = Options.PopulationSize;
  }
  if (Options.Has("--simulation-time")) {
    experiment.SimulationTime = Options.SimulationTime;
  }
  if (Options.Has("--time-step")) {
    experiment.TimeStep = Options.TimeStep;
  }
  if (Options.Has("--log-evaluations")) {
    experiment.LogEvaluations = true;
  }
  return experiment;
}

TBatchSummary RunBatch(const TBatchOptions& Options, std::ostream& Out, std::ostream& Err) {
  return RunBatch(Options, ResolveExperiment(Options), Out, Err);
}

TBatchSummary RunBatch(const TBatchOptions& Options, const TExperiment& Experiment, std::ostream& Out,
                       std::ostream& Err) {
  if (Experiment.ArenaFile.empty()) {
    throw TUsageError("--arena FILE is required (the experiment names no arena file)");
  }
  const int generations = Experiment.Generations.value_or(1);
  // the configuration the three setup dialogs would hold
  const TEAParameters& eaParameters = Experiment.EA;
  const TRobotConfiguration configuration = Experiment.RobotConfiguration();
  const std::unique_ptr<TRobot> robot = BuildRobot(configuration, kSensorMountingRadius);
  const TRobotSimulationParameters simulationParameters(Experiment.SimulationTime, Experiment.TimeStep);
  simulationParameters.Validate();

  TEvolutionRun run;
  run.SetEAParameters(eaParameters);
  run.SetRobot(*robot);
  run.SetFSMBrainParameters(configuration.Brain);
  run.KeepCylinderVelocities = Experiment.KeepCylinderVelocities;
  run.MinimumCylinderSpeed = Experiment.MinimumCylinderSpeed;
  run.MaximumCylinderSpeed = Experiment.MaximumCylinderSpeed;
  run.SetArenaFileName(Experiment.ArenaFile.string());
  PrepareOutputFolder(Options.OutputFolder);
  run.OutputFolder = Options.OutputFolder;

  run.Initialize(Experiment.Seed);
  if (!Experiment.Seed.has_value()) {
    Out << "Seed: " << run.Seed() << std::endl;
  }
  const int threads =
      Options.Threads > 0 ? Options.Threads : static_cast<int>(std::max(1U, std::thread::hardware_concurrency()));

  // the record of this run: the experiment with its seed and generations
  TExperiment resolved = Experiment;
  resolved.Seed = run.Seed();
  resolved.Generations = generations;
  TRunRecord record(resolved, Options.OutputFolder, Options.CommandLine, threads);
  record.Begin();
  run.Observer = &record;
#ifdef KESTROVAN_WITH_MPI
  std::unique_ptr<TMpiEvaluator> distributed;
  if (Options.Mpi) {
    distributed = MakeMpiEvaluator(Options, resolved, run, threads);
    run.SetEvaluator(distributed.get());
  }
#endif

  const TClock::time_point start = TClock::now();
  int newBests = 0;
  std::filesystem::path bestFile;
  std::filesystem::path history;
  try {
    run.BeginRun(simulationParameters);
    for (const std::string& warning : run.RunWarnings()) {
      Err << warning << '\n';
    }
    Err << std::flush;
    for (int generation = 1; generation <= generations; ++generation) {
      const TClock::time_point generationStart = TClock::now();
      run.BeginGeneration();
      run.EvaluateGeneration(threads, [&](const TEvaluationResult& Result) {
        if (!Result.NewBest) {
          return;
        }
        ++newBests;
        bestFile = Result.RecordFile;
        if (!Options.Quiet) {
          Err << "  new best " << Fixed(Result.RecordedFitness, 3) << " at evaluation " << Result.EvaluationCount
              << ": " << Result.RecordFile.string() << '\n';
        }
      });
      run.EndGeneration();
      if (!Options.Quiet) {
        const double seconds = SecondsSince(generationStart);
        const double rate = seconds > 0.0 ? run.PopulationCount() / seconds : 0.0;
        const int last = run.MaxFitnessHistory().Count();
        Err << "generation " << generation << ": max " << Fixed(run.MaxFitnessHistory().GetElement(last), 3)
            << ", average " << Fixed(run.AverageFitnessHistory().GetElement(last), 3) << ", " << run.EvaluationCount()
            << " evaluated, " << Fixed(rate, 1) << " evaluations/s, " << Fixed(SecondsSince(start), 2) << " s elapsed"
            << std::endl;
      }
#ifdef KESTROVAN_WITH_MPI
      if (distributed && Options.Verbose && !Options.Quiet) {
        const TDistributedStatistics& traffic = distributed->LastGeneration();
        Err << "  ranks: " << traffic.BytesSent << " bytes sent, " << traffic.BytesReceived << " bytes received in "
            << traffic.Messages << " messages, " << traffic.RemoteEvaluations << " evaluations in "
            << traffic.RemoteChunks << " chunks on other ranks, rank 0 waited " << Fixed(traffic.WaitSeconds, 4) << " s"
            << std::endl;
      }
#endif
    }
    history = run.SaveHistory();
    run.Observer = nullptr;
    record.Finish(TRunEnd::Completed);
  } catch (const std::exception& error) {
    run.Observer = nullptr;
    // the generations completed so far are kept where the folder allows it
    try {
      run.SaveHistory();
    } catch (const std::exception& historyError) {
      Err << "kestrovan-batch: " << historyError.what() << std::endl;
    }
    try {
      record.Finish(TRunEnd::Failed, error.what());
    } catch (const std::exception&) {
      // the run's own error is the one to report
    }
    throw;
  }

  double best = 0.0;
  for (int g = 1; g <= run.MaxFitnessHistory().Count(); ++g) {
    best = std::max(best, run.MaxFitnessHistory().GetElement(g));
  }
  run.EndRun();
  TBatchSummary summary;
  summary.BestFitness = best;
  summary.Evaluations = run.EvaluationCount();
  summary.Seed = run.Seed();

  Out << "kestrovan-batch: " << generations << " generation" << (generations == 1 ? "" : "s") << ", "
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
#ifdef KESTROVAN_WITH_MPI
  // rank 0 runs the evolution; every other rank evaluates what it is sent
  std::unique_ptr<TMpiSession> mpi;
  struct TSessionGuard {
    ~TSessionGuard() { gMpiSession = nullptr; }
  } guard;
  if (options.Mpi) {
    try {
      mpi = std::make_unique<TMpiSession>();
    } catch (const std::exception& error) {
      Err << "kestrovan-batch: " << error.what() << std::endl;
      return 1;
    }
    if (mpi->Rank() != 0) {
      if (!options.WriteExperimentFile.empty()) {
        return 0;
      }
      return RunMpiWorker(options.Threads > 0 ? options.Threads
                                              : static_cast<int>(std::max(1U, std::thread::hardware_concurrency())));
    }
    gMpiSession = mpi.get();
    if (options.WriteExperimentFile.empty()) {
      mpi->Arm();
    }
  }
#endif
  for (const std::string& argument : Arguments) {
    options.CommandLine += (options.CommandLine.empty() ? "" : " ") + argument;
  }
  options.CommandLine = "kestrovan-batch" + (options.CommandLine.empty() ? "" : " " + options.CommandLine);
  try {
    const TExperiment experiment = ResolveExperiment(options);
    if (!options.WriteExperimentFile.empty()) {
      WriteExperiment(experiment, options.WriteExperimentFile);
      return 0;
    }
    RunBatch(options, experiment, Out, Err);
    return 0;
  } catch (const TUsageError& error) {
    Err << "kestrovan-batch: " << error.what() << "\n\n" << BatchUsage() << std::flush;
    return 2;
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
