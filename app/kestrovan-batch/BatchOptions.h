#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "ea/EAParameters.h"

namespace kestrovan {

// A command line that cannot be run; what() says why.
class TUsageError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// What the command line of kestrovan-batch asks for.
struct TBatchOptions {
  std::string ArenaFileName;
  std::optional<std::uint32_t> Seed;  // empty: seeded from the clock
  int Generations = 1;
  int PopulationSize = 100;
  double SimulationTime = 20.0;  // s
  double TimeStep = 0.01;        // s
  int Threads = 0;               // 0: every hardware thread
  std::filesystem::path OutputFolder = ".";
  bool Quiet = false;
  bool Help = false;
  bool Version = false;
  bool LogEvaluations = false;
  bool Mpi = false;                           // --mpi: one evolution over the ranks of an MPI job
  bool Verbose = false;                       // --verbose: with --mpi, the traffic of every generation
  std::filesystem::path ExperimentFile;       // --experiment; empty: the default experiment
  std::filesystem::path WriteExperimentFile;  // --write-experiment; empty: run
  int CheckpointEvery = 1;                    // --checkpoint-every; 0: no checkpoints
  std::filesystem::path ResumeFolder;         // --resume; empty: a new run
  bool Force = false;                         // --force: start over in a folder holding a run
  std::filesystem::path ReplayFile;           // --replay; a brain file to evaluate once instead of a run
  std::filesystem::path TrajectoryFile;       // --trajectory; with --replay, the CSV to write
  // The options given on the command line ("--seed", ...): they override
  // the experiment file's values.
  std::set<std::string> Given;
  // The command line as typed, for the run's manifest.
  std::string CommandLine;

  bool Has(const std::string& Option) const { return Given.contains(Option); }
};

// The usage text, ending in a line end.
const char* BatchUsage();

// Reads the arguments after the program name. Options take their value as
// the next argument or after '='; a value that looks like an option is not
// taken as one. Throws TUsageError for an unknown, repeated or incomplete
// option, a value that does not convert or lies out of range, a missing
// --arena (unless an experiment file may name the arena), run parameters
// that a run would refuse, and --replay with an option other than
// --experiment, --seed and --trajectory (or --trajectory without it).
TBatchOptions ParseBatchOptions(const std::vector<std::string>& Arguments);

// The EA parameters that the EA setup dialog leaves after OK without edits,
// with PopulationSize agents.
TEAParameters BatchEAParameters(int PopulationSize);

}  // namespace kestrovan
