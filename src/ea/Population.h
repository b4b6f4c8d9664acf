#pragma once

#include <memory>
#include <vector>

#include "ea/Agent.h"

namespace kestrovan {

// An owning list of agents indexed 1..Count, with fitness statistics. Every
// scan runs upward from index 1 and compares fitness strictly, so ties go to
// the lower index.
class TPopulation {
 public:
  // An empty population.
  TPopulation() = default;
  // A deep copy: each agent is its source's Copy.
  TPopulation(const TPopulation& Source);
  TPopulation& operator=(const TPopulation& Source);
  // A moved-from population is empty.
  TPopulation(TPopulation&&) noexcept = default;
  TPopulation& operator=(TPopulation&&) noexcept = default;
  ~TPopulation() = default;

  int Count() const { return static_cast<int>(agents_.size()); }

  // The agent at Index (1..Count), still owned by the population.
  TAgent& GetAgent(int Index);
  const TAgent& GetAgent(int Index) const;

  // Stores Agent itself at Index (1..Count); the agent that was there is
  // destroyed.
  void SetAgent(int Index, std::unique_ptr<TAgent> Agent);

  // Stores Agent itself at Index (1..Count) and hands back the agent that
  // was there.
  std::unique_ptr<TAgent> Exchange(int Index, std::unique_ptr<TAgent> Agent);
  // Hands over every agent, in index order; the population is then empty.
  std::vector<std::unique_ptr<TAgent>> Release();
  // Room for Count agents without reallocating.
  void Reserve(int Count) { agents_.reserve(static_cast<std::size_t>(Count)); }

  // Appends Agent's Copy at the new index Count; the caller keeps Agent.
  void Add(const TAgent& Agent);
  // Appends Agent itself at the new index Count; the population takes it.
  void Append(std::unique_ptr<TAgent> Agent);

  // Statistics of a non-empty population (asserted in debug builds).
  // Sum of the fitness in index order, divided by Count.
  double AverageFitness() const;
  double MaxFitness() const;
  double MinFitness() const;
  // The first agent with the largest fitness.
  TAgent& BestAgent();
  const TAgent& BestAgent() const;
  // Index of the first agent with the smallest fitness.
  int IndexOfWorst() const;
  // Index of the smallest fitness among all agents but IndexOfWorst; needs
  // Count >= 2. Among equal smallest values: the one after the worst.
  int IndexOfSecondWorst() const;

  // Every agent's RankFitness := 1 + the number of other agents with a
  // strictly smaller fitness. Equal fitness shares the lower rank.
  void Rank();

 private:
  int IndexOfBest() const;

  std::vector<std::unique_ptr<TAgent>> agents_;  // agent i at element i - 1, never null
};

}  // namespace kestrovan
