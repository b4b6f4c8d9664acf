#pragma once

namespace kestrovan {

struct TEvaluationResult;
class TEvolutionRun;

// Follows a run from inside the run loop, whatever front end drives it (the
// record files of a result folder are written by one).
class TRunObserver {
 public:
  virtual ~TRunObserver() = default;
  // An evaluation has been counted (and a new best written); the agent is
  // still in the population as evaluated.
  virtual void EvaluationFinished(const TEvolutionRun& Run, const TEvaluationResult& Result) = 0;
  // A generation has been evaluated and its fitness appended to the
  // histories; the population is still the evaluated one.
  virtual void GenerationFinished(const TEvolutionRun& Run) = 0;
};

}  // namespace kestrovan
