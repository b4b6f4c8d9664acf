#pragma once

#include <cstdint>
#include <memory>
#include <utility>

#include "ea/AgentStock.h"
#include "ea/EAParameters.h"
#include "ea/Population.h"
#include "numerics/Matrices.h"
#include "numerics/RandomNumbers.h"

namespace kestrovan {

// The evolutionary algorithm: owns the population and turns it, once every
// agent has been evaluated, into the next one by selection, the crossover
// draw, the agents' own mutation and replacement. Every random decision comes
// from the generator (the default one behind Random unless SetRandomGenerator
// gave another) in a fixed order, so one seed gives one sequence of
// generations.
class TEA {
 public:
  // An empty population, generation 0 and the parameters' defaults.
  TEA();

  // Takes a copy of the parameters (PopulationSize plays no part: the step
  // works on the population's Count). Parameters that Validate refuses throw
  // std::invalid_argument and leave the algorithm unchanged, so no step ever
  // runs on them.
  void SetParameters(const TEAParameters& Parameters);
  // Draws from Generator (not owned) from now on, mutations included.
  void SetRandomGenerator(TRandomGenerator& Generator) { generator_ = &Generator; }

  // One generation step: the generational or the steady-state scheme, then
  // Generation + 1. Throws std::logic_error, before drawing any number, when
  // the population is too small for the scheme (3 generational, 2 steady
  // state).
  void NextGeneration();

  // Index of an agent of Pool chosen by a tournament of TournamentSize
  // contestants drawn with replacement; the best (first drawn among equal
  // fitness) wins with TournamentWinnerProbability, otherwise a uniformly
  // drawn contestant. Draws TournamentSize + 1 or + 2 numbers.
  int TournamentSelection(const TPopulation& Pool) const;

  // Index of an agent of Pool: the first whose cumulative probability is
  // strictly greater than one draw, or Count. Needs
  // ComputeCumulativeProbabilities(Pool) first.
  int RouletteWheelSelection(const TPopulation& Pool) const;

  // Cumulative selection probabilities of Pool's agents, weighted by
  // RankFitness when UseRanking, else by Fitness. When every weight is 0,
  // each agent gets the same probability.
  void ComputeCumulativeProbabilities(const TPopulation& Pool);

  // When the smallest fitness m is negative, every fitness := fitness - m +
  // 1e-16, so that the worst agent keeps a tiny positive weight.
  void MakeFitnessNonNegative();

  TPopulation& Population() { return population_; }
  const TPopulation& Population() const { return population_; }
  // Number of NextGeneration calls since construction (or since Restore).
  int Generation() const { return generation_; }
  // Puts back a saved state: Population replaces the population and
  // Generation the generation counter, as if that many steps had run.
  void Restore(TPopulation Population, int Generation) {
    population_ = std::move(Population);
    generation_ = Generation;
    stock_.Clear();
  }
  // The agents of replaced generations kept for the next step's copies
  // (the population's size of them after a generational step).
  const TAgentStock& Stock() const { return stock_; }
  // Entry i: cumulative probability of agent i; filled only while a
  // roulette-wheel step runs or after ComputeCumulativeProbabilities.
  const TVector& CumulativeProbabilities() const { return cumulativeProbabilities_; }

  // The parameters of the last SetParameters. PopulationSize is not used:
  // the step works on the population's Count. The mutation values are
  // stored only: every agent mutates itself with its own copies of them.
  const TEAParameters& Parameters() const { return parameters_; }

 private:
  // Replaces the whole population: the elite (with UseElitism), mutated
  // pairs and, to fill up, one mutated single.
  void GenerationalStep();
  // Replaces the two worst agents by mutated copies of two selected ones.
  void SteadyStateStep();
  // Roulette wheel for SelectionMethod 1, a tournament for every other value.
  int Select(const TPopulation& Pool) const;
  bool UsesRouletteWheel() const;
  // For the roulette wheel: ranks Pool when ranking is on, then its
  // cumulative probabilities.
  void PrepareRouletteWheel(TPopulation& Pool);
  // The pair's crossover draw, then the two new agents: the recombined
  // children when the draw falls below CrossoverProbability, otherwise copies
  // of Pool's agents A and B. Neither is mutated yet. Every copy comes
  // from the stock; the crossover's parents go back to it.
  std::pair<std::unique_ptr<TAgent>, std::unique_ptr<TAgent>> Offspring(const TPopulation& Pool, int A, int B);

  TPopulation population_;
  int generation_ = 0;
  TVector cumulativeProbabilities_;
  // Agents of replaced generations, recycled into the copies the step makes.
  TAgentStock stock_;

  TEAParameters parameters_;
  TRandomGenerator* generator_ = &DefaultRandomGenerator();
};

}  // namespace kestrovan
