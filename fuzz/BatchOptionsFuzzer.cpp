// libFuzzer target: kestrovan-batch's command line, one argument per
// NUL-separated piece of the input.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "BatchOptions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  std::vector<std::string> arguments(1);
  for (std::size_t i = 0; i < Size; ++i) {
    if (Data[i] == 0) {
      arguments.emplace_back();
    } else {
      arguments.back().push_back(static_cast<char>(Data[i]));
    }
  }
  try {
    const kestrovan::TBatchOptions options = kestrovan::ParseBatchOptions(arguments);
    // what the parser accepts, a run can start with
    if (!options.Help && (options.ArenaFileName.empty() || options.PopulationSize < 3 || !(options.TimeStep > 0.0))) {
      __builtin_trap();
    }
  } catch (const kestrovan::TUsageError&) {
  }
  return 0;
}
