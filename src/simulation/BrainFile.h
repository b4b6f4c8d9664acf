#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "numerics/Matrices.h"

namespace kestrovan {

class TArena;
class TArenaState;
class TBrain;
class TFSMBrain;
class TFSMBrainParameters;

// The format name and the version a brain file carries in its first keys.
inline constexpr std::string_view kBrainFileFormat = "kestrovan-brain";
inline constexpr std::int64_t kBrainFileVersion = 1;
// The copy of the best brain so far in a result folder.
inline constexpr const char* kBestBrainFile = "best.brain";

// Where a brain was recorded and the conditions of its recording run: what
// a replay needs to compute the recorded fitness again.
struct TBrainOrigin {
  std::string ExperimentSha256;       // ExperimentHash of the run; empty when unknown
  std::optional<std::uint32_t> Seed;  // the run's seed
  int Generation = 0;                 // 1-based generation of the recording
  int Evaluation = 0;                 // the evaluation count, N of N.txt
  double Fitness = 0.0;               // the fitness of the recording run
  double SimulationTime = 20.0;       // s, of the recording run
  double TimeStep = 0.01;             // s, of the recording run
  // x and y velocity of every cylinder, in the arena's order, when the
  // recording run started
  std::vector<double> CylinderVelocities;
};

// A brain file as read: its origin and a finite-state-machine genome.
struct TBrainRecord {
  TBrainOrigin Origin;
  std::int32_t NumberOfStates = 0;
  std::int32_t NumberOfConditions = 0;
  std::int32_t NumberOfInputs = 0;
  TMatrix Genome{0, 0};  // NumberOfStates rows, 5 NumberOfConditions + 6 columns
};

// A refused brain file: File, Line (0 when the whole file is meant) and
// what is wrong; what() is "FILE:LINE: message" or "FILE: message".
class TBrainFileError : public std::runtime_error {
 public:
  TBrainFileError(std::filesystem::path File, int Line, const std::string& Message);
  const std::filesystem::path& File() const { return file_; }
  int Line() const { return line_; }
  const std::string& Message() const { return message_; }

 private:
  std::filesystem::path file_;
  int line_;
  std::string message_;
};

// The cylinder velocities of Arena (or of an evaluation's State) as they
// are now, x and y per cylinder.
std::vector<double> CylinderVelocitiesOf(const TArena& Arena);
std::vector<double> CylinderVelocitiesOf(const TArenaState& State);

// The text of a brain file (TOML): format and version, the origin, then the
// brain's own section (TBrain::AppendExactSection) with every number in its
// shortest exact form. Throws std::invalid_argument for a brain that has no
// exact section.
std::string FormatBrainFile(const TBrain& Brain, const TBrainOrigin& Origin);

// Reads a brain file. Throws TBrainFileError for a file that cannot be
// read, bad TOML, another format, an unknown version, a missing or
// mistyped key, a genome whose size does not match its counts, or a gene
// outside [0, 1).
TBrainRecord ReadBrainFile(const std::filesystem::path& File);
// The same for Text read from File (File names the errors).
TBrainRecord ParseBrainFile(std::string_view Text, const std::filesystem::path& File);

// The brain of Record with the mutation values of Parameters. Throws
// std::invalid_argument naming every count (states, conditions, inputs)
// in which the record differs from Parameters.
std::unique_ptr<TFSMBrain> MakeRecordedBrain(const TBrainRecord& Record, const TFSMBrainParameters& Parameters);

// Writes Folder/"<Evaluation>.brain" and then, as a copy of it,
// Folder/best.brain, each atomically; returns the first, or an empty path
// (and writes nothing) for a brain that cannot be stored. Throws
// std::runtime_error naming the file that cannot be written.
std::filesystem::path WriteNewBestBrain(const std::filesystem::path& Folder, const TBrain& Brain,
                                        const TBrainOrigin& Origin);

}  // namespace kestrovan
