#include "ea/EA.h"

#include <cassert>
#include <stdexcept>
#include <string>

#include "ea/Crossover.h"
#include "numerics/RandomNumbers.h"

namespace kestrovan {

namespace {

constexpr std::uint8_t kRouletteWheel = 1;

}  // namespace

TEA::TEA() = default;

void TEA::SetParameters(const TEAParameters& Parameters) {
  Parameters.Validate();
  parameters_ = Parameters;
}

bool TEA::UsesRouletteWheel() const { return parameters_.SelectionMethod == kRouletteWheel; }

void TEA::PrepareRouletteWheel(TPopulation& Pool) {
  if (parameters_.UseRanking) {
    Pool.Rank();
  }
  ComputeCumulativeProbabilities(Pool);
}

void TEA::NextGeneration() {
  // the generational loop always makes a pair, so fewer than three agents
  // would not keep their number; the steady state replaces two agents
  const int minimum = parameters_.SteadyStateReplacement ? 2 : 3;
  if (population_.Count() < minimum) {
    throw std::logic_error("the generation step needs a population of at least " + std::to_string(minimum) +
                           " agents, not " + std::to_string(population_.Count()));
  }
  // raw fitness as roulette weight must not be negative
  if (UsesRouletteWheel() && !parameters_.UseRanking) {
    MakeFitnessNonNegative();
  }
  if (parameters_.SteadyStateReplacement) {
    SteadyStateStep();
  } else {
    GenerationalStep();
  }
  ++generation_;
}

int TEA::Select(const TPopulation& Pool) const {
  return UsesRouletteWheel() ? RouletteWheelSelection(Pool) : TournamentSelection(Pool);
}

std::pair<std::unique_ptr<TAgent>, std::unique_ptr<TAgent>> TEA::Offspring(const TPopulation& Pool, int A, int B) {
  // one draw per pair, also when CrossoverProbability is 0
  if (generator_->Random() < parameters_.CrossoverProbability) {
    TCrossover crossover(Pool.GetAgent(A), Pool.GetAgent(B), &stock_);
    crossover.SetCrossoverType(parameters_.CrossoverType);
    crossover.Execute();
    stock_.Keep(std::move(crossover.Parent1));
    stock_.Keep(std::move(crossover.Parent2));
    return {std::move(crossover.Child1), std::move(crossover.Child2)};
  }
  std::unique_ptr<TAgent> first = stock_.CopyOf(Pool.GetAgent(A));
  return {std::move(first), stock_.CopyOf(Pool.GetAgent(B))};
}

void TEA::GenerationalStep() {
  // the evaluated population is the pool; the next one is built beside it
  // and replaces it only when complete
  const TPopulation& pool = population_;
  const int size = pool.Count();
  TPopulation next;
  next.Reserve(size);

  // the elite: a copy of the first best agent, never mutated
  if (parameters_.UseElitism) {
    next.Append(stock_.CopyOf(pool.BestAgent()));
  }

  if (UsesRouletteWheel()) {
    PrepareRouletteWheel(population_);
  }

  // pairs, each mutated before the next pair is selected
  do {
    const int a = Select(pool);
    const int b = Select(pool);
    auto [first, second] = Offspring(pool, a, b);
    next.Append(std::move(first));
    next.Append(std::move(second));
    const int n = next.Count();
    next.GetAgent(n - 1).MutateFrom(*generator_);
    next.GetAgent(n).MutateFrom(*generator_);
  } while (next.Count() < size - 1);

  // one single fills an odd gap
  if (next.Count() < size) {
    next.Append(stock_.CopyOf(pool.GetAgent(Select(pool))));
    next.GetAgent(next.Count()).MutateFrom(*generator_);
  }

  cumulativeProbabilities_ = TVector();
  // the replaced generation's agents become the next step's copies
  stock_.KeepAll(population_.Release());
  population_ = std::move(next);
}

void TEA::SteadyStateStep() {
  const int worst = population_.IndexOfWorst();
  const int secondWorst = population_.IndexOfSecondWorst();

  if (UsesRouletteWheel()) {
    PrepareRouletteWheel(population_);
  }

  // the two worst take part in the selection; the offspring are copies, so
  // a worst agent can be a parent of its own replacement
  const int a = Select(population_);
  const int b = Select(population_);
  auto [first, second] = Offspring(population_, a, b);
  stock_.Keep(population_.Exchange(worst, std::move(first)));
  stock_.Keep(population_.Exchange(secondWorst, std::move(second)));
  population_.GetAgent(worst).MutateFrom(*generator_);
  population_.GetAgent(secondWorst).MutateFrom(*generator_);

  cumulativeProbabilities_ = TVector();
}

int TEA::TournamentSelection(const TPopulation& Pool) const {
  const int poolSize = Pool.Count();
  assert(poolSize >= 1 && parameters_.TournamentSize >= 1);

  // contestants drawn with replacement; the first of equally fit ones is best
  TIntegerVector contestants(parameters_.TournamentSize);
  double bestValue = -1e20;
  int bestPosition = 1;
  for (int j = 1; j <= parameters_.TournamentSize; ++j) {
    const int k = static_cast<int>(generator_->Random() * poolSize) + 1;
    contestants.SetElement(j, k);
    if (Pool.GetAgent(k).Fitness > bestValue) {
      bestValue = Pool.GetAgent(k).Fitness;
      bestPosition = j;
    }
  }

  // the best wins with the winner probability, otherwise any contestant
  if (generator_->Random() < parameters_.TournamentWinnerProbability) {
    return contestants.GetElement(bestPosition);
  }
  return contestants.GetElement(static_cast<int>(generator_->Random() * parameters_.TournamentSize) + 1);
}

int TEA::RouletteWheelSelection(const TPopulation& Pool) const {
  const int poolSize = Pool.Count();
  assert(cumulativeProbabilities_.Count() == poolSize);
  const double r = generator_->Random();
  for (int i = 1; i <= poolSize; ++i) {
    if (cumulativeProbabilities_.GetElement(i) > r) {
      return i;
    }
  }
  return poolSize;
}

void TEA::ComputeCumulativeProbabilities(const TPopulation& Pool) {
  const int poolSize = Pool.Count();
  TVector entries(poolSize);
  for (int i = 1; i <= poolSize; ++i) {
    const TAgent& agent = Pool.GetAgent(i);
    entries.SetElement(i, parameters_.UseRanking ? agent.RankFitness : agent.Fitness);
  }
  const double total = entries.Sum();

  if (total == 0.0) {
    // no weight anywhere: every agent equally likely rather than 0 / 0
    for (int i = 1; i <= poolSize; ++i) {
      entries.SetElement(i, static_cast<double>(i) / poolSize);
    }
  } else {
    for (int i = 2; i <= poolSize; ++i) {
      entries.SetElement(i, entries.GetElement(i) + entries.GetElement(i - 1));
    }
    for (int i = 1; i <= poolSize; ++i) {
      entries.SetElement(i, entries.GetElement(i) / total);
    }
  }
  cumulativeProbabilities_ = std::move(entries);
}

void TEA::MakeFitnessNonNegative() {
  if (population_.Count() == 0) {
    return;
  }
  const double minimum = population_.MinFitness();
  if (minimum < 0.0) {
    for (int i = 1; i <= population_.Count(); ++i) {
      TAgent& agent = population_.GetAgent(i);
      agent.Fitness = agent.Fitness - minimum + 1e-16;
    }
  }
}

}  // namespace kestrovan
