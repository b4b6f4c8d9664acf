#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "experiment/RunRecord.h"

namespace kestrovan {

class TEvolutionRun;
class TRobot;
class TFSMBrainParameters;

// The name of a run's checkpoint in its result folder.
inline constexpr const char* kCheckpointFile = "checkpoint.kcp";
// The format this program writes; it reads this one and every earlier one.
inline constexpr std::uint32_t kCheckpointVersion = 1;

// A checkpoint that cannot be read or used; what() names the file and what
// is wrong with it.
class TCheckpointError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One agent of the population: its fitness values and its brain's genome,
// rows by columns, row after row.
struct TCheckpointAgent {
  double Fitness = 0.0;
  double RankFitness = 0.0;
  double ElapsedTime = 0.0;
  int Rows = 0;
  int Columns = 0;
  std::vector<double> Genes;
};

// Everything a run needs to go on from the end of a generation as if it had
// never stopped.
struct TCheckpoint {
  std::string ExperimentHash;  // ExperimentHash of the run's experiment and arena
  std::string ArenaSha256;     // SHA-256 of the arena bytes, to tell the arena from the rest
  int Generations = 0;         // the number of generations the run is to reach
  std::uint32_t Seed = 0;
  std::uint32_t GeneratorState = 0;
  int Generation = 0;  // generations done
  int EvaluationCount = 0;
  double BestFitness = 0.0;
  std::vector<double> MaxFitnessHistory;
  std::vector<double> AverageFitnessHistory;
  std::vector<TCheckpointAgent> Agents;
  TRunRecordState Record;
};

// The bytes of a checkpoint file: the magic word "KESTROVAN-CKPT", the
// version and the length of the body as little-endian integers, the body
// (integers little-endian, doubles as their bit patterns, texts and lists
// preceded by their length) and the SHA-256 of everything before it.
std::string EncodeCheckpoint(const TCheckpoint& Checkpoint);
// A checkpoint file around Body: magic word, Version, length, Body, checksum.
std::string SealCheckpoint(std::string_view Body, std::uint32_t Version = kCheckpointVersion);
// Reads the bytes of a checkpoint; Name (the file) starts every message of
// the TCheckpointError thrown for a damaged, truncated or unknown file.
TCheckpoint DecodeCheckpoint(std::string_view Bytes, const std::string& Name);

// Writes Checkpoint to File so that File is at every instant either the
// previous checkpoint or the new one, on the disk: a temporary file in the
// same folder, flushed to the disk, renamed, the folder flushed. Throws
// std::runtime_error naming the file.
void WriteCheckpoint(const std::filesystem::path& File, const TCheckpoint& Checkpoint);
// Reads and decodes File; throws TCheckpointError.
TCheckpoint ReadCheckpoint(const std::filesystem::path& File);

// The checkpoint of Run between generations, with its record's state; the
// population's brains must be finite-state-machine brains.
TCheckpoint CaptureCheckpoint(const TEvolutionRun& Run, const TRunRecordState& Record, std::string ExperimentHash,
                              std::string ArenaSha256, int Generations);
// Puts Checkpoint back into Run (see TEvolutionRun::RestoreState): every
// agent a copy of TemplateRobot with a brain of Brain's parameters and the
// checkpoint's genome. Throws TCheckpointError (starting with Name) when the
// checkpoint does not fit the run's configuration.
void RestoreCheckpoint(TEvolutionRun& Run, const TCheckpoint& Checkpoint, const TRobot& TemplateRobot,
                       const TFSMBrainParameters& Brain, const std::string& Name);

// Flush File or Folder to the disk; throw std::runtime_error naming it.
void SyncFile(const std::filesystem::path& File);
void SyncFolder(const std::filesystem::path& Folder);

}  // namespace kestrovan
