#pragma once

#include <cstdint>

namespace kestrovan {

// Settings of the evolutionary algorithm, edited by the EA setup dialog.
class TEAParameters {
 public:
  TEAParameters() { SetDefaults(); }

  // The defaults of a new object.
  void SetDefaults();

  // The settings that the EA setup dialog does not offer, as its OK sets
  // them: tournament selection, no ranking, generational replacement, no
  // crossover.
  void SetFixedChoices();

  // Throws std::invalid_argument naming the first field that would crash or
  // corrupt a run: PopulationSize below 3, TournamentSize below 1, a
  // probability outside [0, 1].
  void Validate() const;

  std::int32_t PopulationSize;
  std::uint8_t SelectionMethod;  // 0 tournament, 1 roulette wheel
  std::int32_t TournamentSize;
  double TournamentWinnerProbability;
  bool UseRanking;
  bool UseElitism;
  bool SteadyStateReplacement;
  double CrossoverProbability;
  std::uint8_t CrossoverType;
  double MutationRate;
  double CreepProbability;
  std::uint8_t CreepMethod;  // 1 geometric (multiplicative), the only method
  double CreepRate;
};

}  // namespace kestrovan
