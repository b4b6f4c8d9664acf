#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "experiment/Experiment.h"
#include "simulation/RunObserver.h"

namespace kestrovan {

// How a run ended, as the manifest says.
enum class TRunEnd { Completed, Stopped, Failed };

// The names of the record files in a result folder.
inline constexpr const char* kExperimentRecordFile = "experiment.toml";
inline constexpr const char* kArenaRecordFile = "arena.txt";
inline constexpr const char* kManifestFile = "manifest.json";
inline constexpr const char* kGenerationsFile = "generations.csv";
inline constexpr const char* kEvaluationsFile = "evaluations.csv";

// What the record of a run needs to go on after a restart exactly where it
// stood at the end of a generation.
struct TRunRecordState {
  int Generations = 0;
  int Evaluations = 0;
  bool HasBest = false;
  double BestFitness = 0.0;
  std::string BestFile;
  std::string GenerationRows;          // generations.csv without its header
  double ElapsedSeconds = 0.0;         // run time so far
  std::int64_t StartTime = 0;          // seconds since 1970, UTC
  std::uint64_t EvaluationsBytes = 0;  // length of the evaluations log so far
};

// The record of a run in its result folder, beside the new-best files and
// descr.txt: experiment.toml with a copy of the arena (arena.txt), so that
// the folder alone repeats the run; manifest.json (program, settings, times,
// outcome); generations.csv, rewritten as each generation ends; and, when the
// experiment asks for it, evaluations.csv, one row per evaluation, kept under
// a temporary name until the run ends. Every file appears under its name only
// when complete.
class TRunRecord : public TRunObserver {
 public:
  // Experiment is the resolved configuration of the run (seed set); Folder
  // exists. CommandLine and Threads go into the manifest.
  TRunRecord(const TExperiment& Experiment, std::filesystem::path Folder, std::string CommandLine, int Threads);
  ~TRunRecord() override;
  TRunRecord(const TRunRecord&) = delete;
  TRunRecord& operator=(const TRunRecord&) = delete;

  // Copies the arena, writes experiment.toml, the manifest of a running
  // run and the CSV headers. Throws std::runtime_error naming a file that
  // cannot be read or written.
  void Begin();
  void EvaluationFinished(const TEvolutionRun& Run, const TEvaluationResult& Result) override;
  void GenerationFinished(const TEvolutionRun& Run) override;
  // With Deferred, GenerationFinished leaves generations.csv to the caller,
  // which writes GenerationsText() to it (the batch runner does so beside
  // the next generation's evaluation).
  void DeferGenerationsFile(bool Deferred) { deferGenerations_ = Deferred; }
  // The text of generations.csv: its header and a row per generation done.
  std::string GenerationsText() const;
  // Writes the final manifest (Error says why a failed run failed), the
  // experiment with the generations completed, and evaluations.csv.
  void Finish(TRunEnd End, const std::string& Error = {});

  int GenerationsDone() const { return generations_; }
  // The experiment's hash (ExperimentHash), known once Begin has run.
  const std::string& ExperimentSha256() const { return experimentSha256_; }

  // The record's state at the end of a generation; the evaluations log is
  // handed to the system first, so that its length counts (a checkpoint
  // that stores the state syncs EvaluationsLog to the disk before it is
  // written). Throws std::runtime_error when the log cannot be written.
  TRunRecordState State();
  // The evaluations log being written (under its temporary name), empty
  // when the run keeps none or the record is finished.
  std::filesystem::path EvaluationsLog() const {
    return evaluationsLog_.is_open() ? evaluationsPart_ : std::filesystem::path();
  }
  // Begin for a run that continues from State in a folder that holds its
  // record already: experiment.toml and arena.txt stay, generations.csv
  // goes back to State's rows, and the evaluations log (under its
  // temporary or its final name) is cut back to State's length and
  // continued. Throws std::runtime_error naming a file that is missing,
  // shorter than State says or cannot be written.
  void Resume(const TRunRecordState& State);

 private:
  void WriteManifest(const char* Status, const std::string& Error) const;
  void WriteGenerations() const;

  TExperiment experiment_;
  std::filesystem::path folder_;
  std::string commandLine_;
  int threads_;
  std::string arenaSha256_;
  std::string experimentSha256_;
  std::chrono::system_clock::time_point startTime_;
  std::chrono::system_clock::time_point endTime_;
  std::chrono::steady_clock::time_point start_;
  double elapsed_ = 0.0;
  bool finished_ = false;
  int generations_ = 0;
  int evaluations_ = 0;
  bool hasBest_ = false;
  double bestFitness_ = 0.0;
  std::string bestFile_;
  std::string generationRows_;
  bool deferGenerations_ = false;
  // length of the evaluations log at the end of the last generation: a
  // stopped run keeps no rows of a generation it abandoned
  std::uint64_t evaluationsAtGeneration_ = 0;
  std::filesystem::path evaluationsPart_;
  std::ofstream evaluationsLog_;
};

// Number of steps of TimeStep whose running sum, as the simulation adds
// them, first reaches ElapsedTime.
int StepsOf(double ElapsedTime, double TimeStep);

// The bytes of File; throws std::runtime_error naming a file that cannot be read.
std::string ReadFileBytes(const std::filesystem::path& File);

// SHA-256 of Bytes as 64 lower-case hexadecimal digits.
std::string Sha256Hex(const std::string& Bytes);

// Identity of what a run computes: SHA-256 over the experiment's settings
// (the number of generations aside, since a run may be continued past it)
// and the bytes of its arena file. Two runs with the same hash and seed give
// the same generations; checkpoints and brain files carry it so that a
// changed experiment or arena is noticed. Throws std::runtime_error when
// the arena cannot be read.
std::string ExperimentHash(const TExperiment& Experiment, const std::string& ArenaBytes);
std::string ExperimentHash(const TExperiment& Experiment);

}  // namespace kestrovan
