#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "BatchOptions.h"

namespace kestrovan {

// What a finished batch run reports.
struct TBatchSummary {
  double BestFitness = 0.0;  // the largest maximum fitness of any generation
  int Evaluations = 0;       // evaluations since the run began
  std::uint32_t Seed = 0;    // the seed the run used
};

// Runs the evolution that Options describe with the default robot: Initialize,
// Options.Generations generations (each evaluated, then the next one formed),
// new-best files as they arise and "descr.txt" at the end, all in
// Options.OutputFolder. Progress lines go to Err unless Options.Quiet; Out
// gets the seed when it was not given and ends with a one-line summary.
// Throws on run-time errors (TArenaFileError for the arena file,
// std::runtime_error for a result file).
TBatchSummary RunBatch(const TBatchOptions& Options, std::ostream& Out, std::ostream& Err);

// The whole program on Arguments (without the program name): 0 on success,
// 2 for bad usage (message and usage text on Err), 1 for a run-time error
// (message on Err, an arena file's error as "FILE:LINE: message").
int BatchMain(const std::vector<std::string>& Arguments, std::ostream& Out, std::ostream& Err);

}  // namespace kestrovan
