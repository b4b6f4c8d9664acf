#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
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
};

// The usage text, ending in a line end.
const char* BatchUsage();

// Reads the arguments after the program name. Options take their value as
// the next argument or after '='. Throws TUsageError for an unknown, repeated
// or incomplete option, a value that does not convert or lies out of range,
// a missing --arena, and run parameters that a run would refuse.
TBatchOptions ParseBatchOptions(const std::vector<std::string>& Arguments);

// The EA parameters that the EA setup dialog leaves after OK without edits,
// with PopulationSize agents.
TEAParameters BatchEAParameters(int PopulationSize);

}  // namespace kestrovan
