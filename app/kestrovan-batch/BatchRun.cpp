#include "BatchRun.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <exception>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <system_error>
#include <thread>

#include "WriteBehind.h"
#include "arena/Arena.h"
#include "experiment/Checkpoint.h"
#include "experiment/Replay.h"
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
std::unique_ptr<TMpiEvaluator> MakeMpiEvaluator(const std::filesystem::path& Folder, const TExperiment& Resolved,
                                                const TEvolutionRun& Run, int Threads) {
  if (gMpiSession == nullptr) {
    throw std::logic_error("--mpi needs the MPI job that BatchMain starts");
  }
  TExperiment sent = Resolved;
  sent.ArenaFile.clear();
  TDistributedSetup setup;
  setup.ExperimentText = ExperimentText(sent, Folder);
  setup.ArenaText = ReadFileBytes(Folder / kArenaRecordFile);
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
  if (!Options.ResumeFolder.empty()) {
    return ResumeBatch(Options, Out, Err);
  }
  return RunBatch(Options, ResolveExperiment(Options), Out, Err);
}

namespace {

// lock-free, constant-initialized: the signal handler may touch it at any time
std::atomic<int> stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

}  // namespace

std::atomic<int>& StopSignal() { return stopSignal; }

namespace {

extern "C" void OnStopSignal(int Signal) {
  // the second Ctrl+C ends the program at once; every file is complete or
  // still under its temporary name
  if (Signal == SIGINT && StopSignal().load() == SIGINT) {
    _exit(128 + SIGINT);
  }
  StopSignal().store(Signal);
}

// Thrown by an evaluation that ends after a stop was asked for: the
// generation under way is abandoned.
struct TRunStopped {};

// The names of a run's files that a new run would leave beside its own.
bool IsOldRunFile(const std::string& Name) {
  if (Name == kCheckpointFile || Name == kEvaluationsFile || Name == "descr.txt") {
    return true;
  }
  // the new-best files: <evaluation number>.txt
  return Name.size() > 4 && Name.ends_with(".txt") &&
         std::all_of(Name.begin(), Name.end() - 4, [](char C) { return C >= '0' && C <= '9'; });
}

// Removes what a killed run left under temporary names beside the result
// files (which PrepareOutputFolder cleans): the checkpoint's and the record
// files' temporary copies and the folder probe, each of a process that no
// longer runs.
void RemoveStaleRecordFiles(const std::filesystem::path& Folder) {
  std::error_code error;
  for (std::filesystem::directory_iterator entry(Folder, error), end; !error && entry != end; entry.increment(error)) {
    const std::string name = entry->path().filename().string();
    for (const std::string& prefix :
         {std::string(".") + kCheckpointFile + ".tmp", std::string(".") + kManifestFile + ".tmp",
          std::string(".") + kGenerationsFile + ".tmp", std::string(".") + kExperimentRecordFile + ".tmp",
          std::string(".") + kArenaRecordFile + ".tmp", std::string(".kestrovan-probe")}) {
      if (!name.starts_with(prefix) || name.size() == prefix.size()) {
        continue;
      }
      const std::string digits = name.substr(prefix.size());
      if (std::all_of(digits.begin(), digits.end(), [](char C) { return C >= '0' && C <= '9'; }) &&
          digits.size() < 10 && ::kill(static_cast<pid_t>(std::stol(digits)), 0) != 0 && errno == ESRCH) {
        std::error_code ignored;
        std::filesystem::remove(entry->path(), ignored);
      }
    }
  }
}

// A new run in Folder: refused when the folder holds a run, unless Force,
// which removes that run's checkpoint, new-best files, descr.txt and
// evaluations.csv first.
void ClaimFolder(const std::filesystem::path& Folder, bool Force) {
  std::error_code error;
  for (const char* name : {kManifestFile, kCheckpointFile, "descr.txt"}) {
    if (!std::filesystem::exists(Folder / name, error)) {
      continue;
    }
    if (!Force) {
      throw std::runtime_error("'" + Folder.string() + "' already holds a run (" + name +
                               "); continue it with --resume " + Folder.string() +
                               ", or give --force to start over in it");
    }
    for (const auto& entry : std::filesystem::directory_iterator(Folder)) {
      if (entry.is_regular_file() && IsOldRunFile(entry.path().filename().string())) {
        std::filesystem::remove(entry.path());
      }
    }
    return;
  }
}

}  // namespace

void InstallStopHandlers() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

namespace {

// What a new and a resumed run share: the run loop from the generation after
// the run's last one to Generations, checkpoints every
// Options.CheckpointEvery generations and after the last, the stop on a
// signal.
struct TBatchLoop {
  const TBatchOptions& Options;
  std::ostream& Out;
  std::ostream& Err;
  TEvolutionRun& Run;
  TRunRecord& Record;
  std::filesystem::path Folder;
  std::string ExperimentHash;
  std::string ArenaSha256;
  int Generations = 0;
  int Threads = 1;
  int CheckpointGeneration = -1;  // generation of the checkpoint in the folder
#ifdef KESTROVAN_WITH_MPI
  TMpiEvaluator* Distributed = nullptr;  // with --mpi: the evaluator over the ranks
#endif
  std::unique_ptr<TWriteBehind> writer_ = nullptr;  // the files of the generations done

  // The files of the generation just ended, written behind while the next
  // generation is evaluated: with WithCheckpoint, the new-best files written
  // since the last checkpoint and the evaluations log synced, then the
  // checkpoint (the run's state is taken at once); then generations.csv.
  // Throws what kept earlier files from being written.
  void WriteBehind(bool WithCheckpoint, const std::vector<std::filesystem::path>& Written) {
    if (!writer_) {
      writer_ = std::make_unique<TWriteBehind>(Folder);
    }
    TWriteBehind::TJob job;
    job.GenerationsText = Record.GenerationsText();
    // never a checkpoint that lies behind the one in the folder
    const int generation = Run.EA()->Generation();
    if (WithCheckpoint && Options.CheckpointEvery != 0 && generation > CheckpointGeneration) {
      job.Checkpoint = CaptureCheckpoint(Run, Record.State(), ExperimentHash, ArenaSha256, Generations);
      // the new-best files and the log's rows reach the disk before the
      // checkpoint that counts them; generations.csv is rewritten from the
      // checkpoint on resume
      job.Sync = Written;
      if (const std::filesystem::path log = Record.EvaluationsLog(); !log.empty()) {
        job.Sync.push_back(log);
      }
      CheckpointGeneration = generation;
    }
    writer_->Post(std::move(job));
  }

  // The files written behind in the folder, with generations.csv up to the
  // last generation done; throws what kept them from being written.
  void FinishWriting() {
    if (writer_) {
      writer_->Finish();
    }
    WriteFileAtomically(Folder / kGenerationsFile, Record.GenerationsText());
  }

  TBatchSummary Go(const TRobotSimulationParameters& Parameters, bool Resumed) {
    const TClock::time_point start = TClock::now();
    int newBests = 0;
    std::filesystem::path bestFile;
    std::filesystem::path history;
    std::vector<std::filesystem::path> written;
    // an evaluation that ends after a stop was asked for abandons its
    // generation; the recordings of new bests are never interrupted
    const TFitnessFunction fitness = Run.Fitness;
    Run.Fitness = [fitness](const TRobotSimulation& Simulation) {
      if (StopSignal().load() != 0 && !Simulation.RecordTrajectory) {
        throw TRunStopped();
      }
      return fitness(Simulation);
    };
    int stopped = 0;
    bool inGeneration = false;
    try {
      Record.DeferGenerationsFile(true);
      if (!Resumed) {
        Run.BeginRun(Parameters);
      }
      for (const std::string& warning : Run.RunWarnings()) {
        Err << warning << '\n';
      }
      Err << std::flush;
      for (int generation = Run.EA()->Generation() + 1; generation <= Generations; ++generation) {
        if (StopSignal().load() != 0) {
          throw TRunStopped();
        }
        const TClock::time_point generationStart = TClock::now();
        inGeneration = true;
        Run.BeginGeneration();
        Run.EvaluateGeneration(Threads, [&](const TEvaluationResult& Result) {
          if (!Result.NewBest) {
            return;
          }
          ++newBests;
          bestFile = Result.RecordFile;
          written.push_back(Result.RecordFile);
          if (!Options.Quiet) {
            Err << "  new best " << Fixed(Result.RecordedFitness, 3) << " at evaluation " << Result.EvaluationCount
                << ": " << Result.RecordFile.string() << '\n';
          }
        });
        Run.EndGeneration();
        inGeneration = false;
        const bool checkpoint = generation == Generations || generation % std::max(1, Options.CheckpointEvery) == 0;
        WriteBehind(checkpoint, written);
        if (checkpoint) {
          written.clear();
        }
        if (!Options.Quiet) {
          const double seconds = SecondsSince(generationStart);
          const double rate = seconds > 0.0 ? Run.PopulationCount() / seconds : 0.0;
          const int last = Run.MaxFitnessHistory().Count();
          Err << "generation " << generation << ": max " << Fixed(Run.MaxFitnessHistory().GetElement(last), 3)
              << ", average " << Fixed(Run.AverageFitnessHistory().GetElement(last), 3) << ", " << Run.EvaluationCount()
              << " evaluated, " << Fixed(rate, 1) << " evaluations/s, " << Fixed(SecondsSince(start), 2) << " s elapsed"
              << std::endl;
        }
#ifdef KESTROVAN_WITH_MPI
        if (Distributed != nullptr && Options.Verbose && !Options.Quiet) {
          const TDistributedStatistics& traffic = Distributed->LastGeneration();
          Err << "  ranks: " << traffic.BytesSent << " bytes sent, " << traffic.BytesReceived << " bytes received in "
              << traffic.Messages << " messages, " << traffic.RemoteEvaluations << " evaluations in "
              << traffic.RemoteChunks << " chunks and " << traffic.RemoteRecords
              << " recordings from other ranks, rank 0 waited " << Fixed(traffic.WaitSeconds, 4)
              << " s, other ranks idle " << Fixed(traffic.RemoteIdleSeconds, 4) << " s, rank 0 alone "
              << Fixed(traffic.SerialSeconds, 4) << " s before" << std::endl;
        }
#endif
      }
      if (StopSignal().load() != 0) {
        throw TRunStopped();
      }
      history = Run.SaveHistory();
      Run.Observer = nullptr;
      FinishWriting();
      Record.Finish(TRunEnd::Completed);
    } catch (const TRunStopped&) {
      stopped = StopSignal().load();
      Run.Observer = nullptr;
      // between generations the run's state is whole: its checkpoint saves
      // the generations done since the last one
      if (!inGeneration) {
        WriteBehind(true, written);
      }
      FinishWriting();
      history = Run.SaveHistory();
      Record.Finish(TRunEnd::Stopped);
    } catch (const std::exception& error) {
      Run.Observer = nullptr;
      // the generations completed so far are kept where the folder allows it
      try {
        FinishWriting();
      } catch (const std::exception&) {
        // the run's own error is the one to report
      }
      try {
        Run.SaveHistory();
      } catch (const std::exception& historyError) {
        Err << "kestrovan-batch: " << historyError.what() << std::endl;
      }
      try {
        Record.Finish(TRunEnd::Failed, error.what());
      } catch (const std::exception&) {
        // the run's own error is the one to report
      }
      throw;
    }

    double best = 0.0;
    for (int g = 1; g <= Run.MaxFitnessHistory().Count(); ++g) {
      best = std::max(best, Run.MaxFitnessHistory().GetElement(g));
    }
    const int done = Run.MaxFitnessHistory().Count();
    TBatchSummary summary;
    summary.BestFitness = best;
    summary.Evaluations = Run.EvaluationCount();
    summary.Seed = Run.Seed();
    summary.StopSignal = stopped;
    Run.EndRun();

    if (stopped != 0) {
      Err << "kestrovan-batch: stopped by " << (stopped == SIGINT ? "SIGINT" : "SIGTERM") << " after " << done
          << " generation" << (done == 1 ? "" : "s") << "; ";
      if (CheckpointGeneration >= 0) {
        Err << "continue with: kestrovan-batch --resume " << Folder.string() << std::endl;
      } else if (Options.CheckpointEvery == 0) {
        Err << "checkpoints were off, so it cannot be continued" << std::endl;
      } else {
        Err << "it stopped before its first checkpoint; start it again with --force" << std::endl;
      }
      return summary;
    }
    Out << "kestrovan-batch: " << Generations << " generation" << (Generations == 1 ? "" : "s") << ", "
        << summary.Evaluations << " evaluations, " << newBests << " new best" << (newBests == 1 ? "" : "s")
        << ", best fitness " << Fixed(best, 3)
        << (bestFile.empty() ? std::string() : " (" + bestFile.filename().string() + ")") << ", seed " << summary.Seed
        << ", " << Fixed(SecondsSince(start), 2) << " s; results in " << history.parent_path().string() << std::endl;
    return summary;
  }
};

int ThreadsOf(const TBatchOptions& Options) {
  return Options.Threads > 0 ? Options.Threads : static_cast<int>(std::max(1U, std::thread::hardware_concurrency()));
}

}  // namespace

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
  RemoveStaleRecordFiles(Options.OutputFolder);
  ClaimFolder(Options.OutputFolder, Options.Force);
  run.OutputFolder = Options.OutputFolder;

  run.Initialize(Experiment.Seed);
  if (!Experiment.Seed.has_value()) {
    Out << "Seed: " << run.Seed() << std::endl;
  }
  const int threads = ThreadsOf(Options);

  // the record of this run: the experiment with its seed and generations
  TExperiment resolved = Experiment;
  resolved.Seed = run.Seed();
  resolved.Generations = generations;
  TRunRecord record(resolved, Options.OutputFolder, Options.CommandLine, threads);
  record.Begin();
  run.Observer = &record;
  run.ExperimentSha256 = record.ExperimentSha256();

#ifdef KESTROVAN_WITH_MPI
  std::unique_ptr<TMpiEvaluator> distributed;
  if (Options.Mpi) {
    distributed = MakeMpiEvaluator(Options.OutputFolder, resolved, run, threads);
    run.SetEvaluator(distributed.get());
  }
#endif

  const std::string arena = ReadFileBytes(Options.OutputFolder / kArenaRecordFile);
  TBatchLoop loop{
      Options,          Out,         Err,    run, record, Options.OutputFolder, ExperimentHash(resolved, arena),
      Sha256Hex(arena), generations, threads};
#ifdef KESTROVAN_WITH_MPI
  loop.Distributed = distributed.get();
#endif
  return loop.Go(simulationParameters, false);
}

TBatchSummary ResumeBatch(const TBatchOptions& Options, std::ostream& Out, std::ostream& Err) {
  const std::filesystem::path& folder = Options.ResumeFolder;
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error)) {
    throw std::runtime_error("Cannot resume: '" + folder.string() + "' is not a folder");
  }
  const std::filesystem::path checkpointFile = folder / kCheckpointFile;
  if (!std::filesystem::exists(checkpointFile, error)) {
    throw std::runtime_error("Cannot resume: '" + folder.string() + "' holds no " + kCheckpointFile +
                             " (a run started with --checkpoint-every 0, or no run at all)");
  }
  const TCheckpoint checkpoint = ReadCheckpoint(checkpointFile);

  // the folder's experiment and arena must be those the checkpoint was made of
  const std::filesystem::path arenaFile = folder / kArenaRecordFile;
  const std::string arena = ReadFileBytes(arenaFile);
  const std::string arenaSha256 = Sha256Hex(arena);
  if (arenaSha256 != checkpoint.ArenaSha256) {
    throw std::runtime_error("Cannot resume: '" + arenaFile.string() +
                             "' is not the arena the run was started with (its SHA-256 is " + arenaSha256 +
                             ", the checkpoint's " + checkpoint.ArenaSha256 + ")");
  }
  TExperiment experiment = ReadExperiment(folder / kExperimentRecordFile);
  const std::string hash = ExperimentHash(experiment, arena);
  if (hash != checkpoint.ExperimentHash) {
    throw std::runtime_error("Cannot resume: '" + (folder / kExperimentRecordFile).string() +
                             "' does not hold the settings the run was started with (their hash is " + hash +
                             ", the checkpoint's " + checkpoint.ExperimentHash + ")");
  }
  const int generations = Options.Has("--generations") ? Options.Generations : checkpoint.Generations;
  // a run killed after its last checkpoint but before its last files is
  // finished: its descr.txt and record files are written
  std::string manifest;
  try {
    manifest = ReadFileBytes(folder / kManifestFile);
  } catch (const std::runtime_error&) {
    // no manifest: the run never finished
  }
  const bool finished = manifest.find("\"status\": \"completed\"") != std::string::npos;
  if (checkpoint.Generation > generations || (checkpoint.Generation == generations && finished)) {
    throw std::runtime_error("Cannot resume: the run in '" + folder.string() +
                             "' is complete: " + std::to_string(checkpoint.Generation) + " generations done of " +
                             std::to_string(generations) + "; give --generations above " +
                             std::to_string(checkpoint.Generation) + " to continue it");
  }

  const TRobotConfiguration configuration = experiment.RobotConfiguration();
  const std::unique_ptr<TRobot> robot = BuildRobot(configuration, kSensorMountingRadius);
  const TRobotSimulationParameters simulationParameters(experiment.SimulationTime, experiment.TimeStep);
  simulationParameters.Validate();
  TEvolutionRun run;
  run.SetEAParameters(experiment.EA);
  run.SetRobot(*robot);
  run.SetFSMBrainParameters(configuration.Brain);
  run.KeepCylinderVelocities = experiment.KeepCylinderVelocities;
  run.MinimumCylinderSpeed = experiment.MinimumCylinderSpeed;
  run.MaximumCylinderSpeed = experiment.MaximumCylinderSpeed;
  run.SetArenaFileName(arenaFile.string());
  PrepareOutputFolder(folder);
  RemoveStaleRecordFiles(folder);
  run.OutputFolder = folder;
  run.Initialize(checkpoint.Seed);
  run.BeginRun(simulationParameters);
  RestoreCheckpoint(run, checkpoint, *robot, configuration.Brain, checkpointFile.string());

  const int threads = ThreadsOf(Options);
  experiment.Seed = checkpoint.Seed;
  experiment.Generations = generations;
  experiment.ArenaFile = arenaFile;
  TRunRecord record(experiment, folder, Options.CommandLine, threads);
  record.Resume(checkpoint.Record);
  run.Observer = &record;
  run.ExperimentSha256 = record.ExperimentSha256();
  if (!Options.Quiet) {
    Err << "resuming " << folder.string() << " after generation " << checkpoint.Generation << " of " << generations
        << std::endl;
  }
  TBatchLoop loop{Options, Out, Err, run, record, folder, hash, arenaSha256, generations, threads};
  loop.CheckpointGeneration = checkpoint.Generation;
#ifdef KESTROVAN_WITH_MPI
  // a resumed run may go on over another number of ranks
  std::unique_ptr<TMpiEvaluator> distributed;
  if (Options.Mpi) {
    distributed = MakeMpiEvaluator(folder, experiment, run, threads);
    run.SetEvaluator(distributed.get());
    loop.Distributed = distributed.get();
  }
#endif
  return loop.Go(simulationParameters, true);
}

TReplaySummary ReplayBatch(const TBatchOptions& Options, std::ostream& Out, std::ostream& Err) {
  const TBrainRecord record = ReadBrainFile(Options.ReplayFile);
  const TExperiment experiment =
      Options.ExperimentFile.empty()
          ? ResultFolderExperiment(Options.ReplayFile.parent_path().empty() ? std::filesystem::path(".")
                                                                            : Options.ReplayFile.parent_path())
          : ReadExperiment(Options.ExperimentFile);
  std::unique_ptr<TBrainReplay> replay;
  try {
    replay = std::make_unique<TBrainReplay>(experiment, record,
                                            Options.Has("--seed") ? Options.Seed : std::optional<std::uint32_t>());
  } catch (const std::invalid_argument& error) {
    throw std::invalid_argument(Options.ReplayFile.string() + ": " + error.what());
  }
  for (const std::string& warning : replay->Warnings()) {
    Err << "kestrovan-batch: warning: " << warning << '\n';
  }
  Err << std::flush;

  const TClock::time_point start = TClock::now();
  std::string trajectory;
  if (Options.TrajectoryFile.empty()) {
    replay->Run();
  } else {
    trajectory = ReplayTrajectoryCsv(*replay);
  }
  const double seconds = SecondsSince(start);
  if (!Options.TrajectoryFile.empty()) {
    WriteFileAtomically(Options.TrajectoryFile, trajectory);
  }

  TReplaySummary summary;
  summary.Fitness = replay->Fitness();
  summary.ElapsedTime = replay->ElapsedTime();
  summary.Steps = replay->Steps();
  summary.RecordedFitness = record.Origin.Fitness;
  Out << "fitness: " << ShortestReal(summary.Fitness) << '\n'
      << "recorded fitness: " << ShortestReal(summary.RecordedFitness)
      << (summary.Fitness == summary.RecordedFitness ? " (the same)" : " (differs)") << '\n'
      << "elapsed time: " << Fixed(summary.ElapsedTime, 2) << " s (simulated, computed in " << Fixed(seconds, 3)
      << " s)\n"
      << "steps: " << summary.Steps << '\n';
  if (!Options.TrajectoryFile.empty()) {
    Out << "trajectory: " << Options.TrajectoryFile.string() << '\n';
  }
  Out << std::flush;
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
    if (!options.ResumeFolder.empty()) {
      const TBatchSummary summary = ResumeBatch(options, Out, Err);
      return summary.StopSignal != 0 ? 128 + summary.StopSignal : 0;
    }
    if (!options.ReplayFile.empty()) {
      ReplayBatch(options, Out, Err);
      return 0;
    }
    const TExperiment experiment = ResolveExperiment(options);
    if (!options.WriteExperimentFile.empty()) {
      WriteExperiment(experiment, options.WriteExperimentFile);
      return 0;
    }
    const TBatchSummary summary = RunBatch(options, experiment, Out, Err);
    return summary.StopSignal != 0 ? 128 + summary.StopSignal : 0;
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
