#pragma once

#include <atomic>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "BatchOptions.h"
#include "experiment/Experiment.h"

namespace kestrovan {

// What a finished batch run reports.
struct TBatchSummary {
  double BestFitness = 0.0;  // the largest maximum fitness of any generation
  int Evaluations = 0;       // evaluations since the run began
  std::uint32_t Seed = 0;    // the seed the run used
  int StopSignal = 0;        // SIGINT or SIGTERM when a signal stopped the run, else 0
};

// The signal that asked the run to stop (SIGINT or SIGTERM), or 0. The run
// loop checks it at the end of every evaluation and between generations.
std::atomic<int>& StopSignal();
// SIGINT and SIGTERM set StopSignal; a second SIGINT ends the program at
// once with status 130.
void InstallStopHandlers();

// Runs the evolution that Options describe with the default robot: Initialize,
// Options.Generations generations (each evaluated, then the next one formed),
// new-best files as they arise and "descr.txt" at the end, all in
// Options.OutputFolder. Progress lines go to Err unless Options.Quiet; Out
// gets the seed when it was not given and ends with a one-line summary.
// Throws on run-time errors (TArenaFileError for the arena file,
// std::runtime_error for a result file).
// The record files (experiment.toml, arena.txt, manifest.json,
// generations.csv, evaluations.csv) are written beside them.
TBatchSummary RunBatch(const TBatchOptions& Options, std::ostream& Out, std::ostream& Err);
// The same with the experiment resolved already (see ResolveExperiment).
TBatchSummary RunBatch(const TBatchOptions& Options, const TExperiment& Experiment, std::ostream& Out,
                       std::ostream& Err);

// Continues the run in Options.ResumeFolder from its checkpoint until
// Options.Generations (when given) or the generations it was started with.
// Throws std::runtime_error naming what stops it: no or a damaged
// checkpoint (TCheckpointError), an experiment file or arena that differ
// from the checkpoint's, a run already complete.
TBatchSummary ResumeBatch(const TBatchOptions& Options, std::ostream& Out, std::ostream& Err);
// What a replay of a brain file reports.
struct TReplaySummary {
  double Fitness = 0.0;          // the replay's fitness
  double RecordedFitness = 0.0;  // the fitness of the recording run, from the file
  double ElapsedTime = 0.0;      // s, simulated
  int Steps = 0;
};

// --replay: evaluates the brain of Options.ReplayFile once in the experiment
// of Options.ExperimentFile or, without one, experiment.toml beside the
// brain file; with --seed, the cylinders start with that run's random
// velocities. Prints the fitness, the recorded fitness, the elapsed time
// and the steps on Out, warnings on Err, and writes the trajectory CSV to
// Options.TrajectoryFile when given. Throws TBrainFileError,
// TExperimentFileError, TArenaFileError, or std::invalid_argument naming
// the brain file when the brain does not fit the robot.
TReplaySummary ReplayBatch(const TBatchOptions& Options, std::ostream& Out, std::ostream& Err);

// The experiment of a run: without an experiment file, the default
// experiment with every option's value (defaults included); with one, the
// file's values, each replaced by that of an option given on the command
// line (Options.Given); the generations are the file's or 1. Throws
// TExperimentFileError for a refused file, TUsageError when no arena is named.
TExperiment ResolveExperiment(const TBatchOptions& Options);

// The whole program on Arguments (without the program name): 0 on success,
// 2 for bad usage (message and usage text on Err), 1 for a run-time error
// (message on Err, an arena or experiment file's error as "FILE:LINE: message").
int BatchMain(const std::vector<std::string>& Arguments, std::ostream& Out, std::ostream& Err);

}  // namespace kestrovan
