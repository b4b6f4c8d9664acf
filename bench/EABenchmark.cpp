// Cost of one generation step on a population of 100 agents whose genome has
// the size of the robot's brain (5 x 21 numbers).
#include <benchmark/benchmark.h>

#include <memory>

#include "ea/EA.h"
#include "numerics/Matrices.h"
#include "numerics/RandomNumbers.h"

namespace kestrovan {
namespace {

constexpr int kPopulationSize = 100;
constexpr double kMutationRate = 0.04;
constexpr double kCreepProbability = 0.5;
constexpr double kCreepRate = 0.05;

// An agent with a brain-sized genome that mutates like the brain: one draw
// per gene, two more for a gene that is mutated (creep or new value).
class TGenomeAgent : public TAgent {
 public:
  TGenomeAgent() : genome_(5, 21) { genome_.FillRandom(-1.0, 1.0); }
  TGenomeAgent(const TGenomeAgent& Source) = default;

  std::unique_ptr<TAgent> Copy() const override { return std::make_unique<TGenomeAgent>(*this); }
  void Step(double) override {}
  void Move(const TArenaModel&, double) override {}
  void Mutate() override {
    for (int i = 1; i <= genome_.Rows(); ++i) {
      for (int j = 1; j <= genome_.Columns(); ++j) {
        if (Random() < kMutationRate) {
          if (Random() < kCreepProbability) {
            genome_.SetElement(i, j, genome_.GetElement(i, j) * (1.0 + kCreepRate * (2.0 * Random() - 1.0)));
          } else {
            genome_.SetElement(i, j, 2.0 * Random() - 1.0);
          }
        }
      }
    }
  }

 private:
  TMatrix genome_;
};

void RunGenerations(benchmark::State& State, const TEAParameters& Parameters) {
  RandSeed = 1;
  TEA ea;
  ea.SetParameters(Parameters);
  const TGenomeAgent agent;
  for (int i = 0; i < kPopulationSize; ++i) {
    ea.Population().Add(agent);
  }
  for (auto _ : State) {
    // stands in for the evaluation: 100 fresh fitness values
    for (int i = 1; i <= kPopulationSize; ++i) {
      ea.Population().GetAgent(i).Fitness = Random();
    }
    ea.NextGeneration();
  }
  State.SetItemsProcessed(State.iterations() * kPopulationSize);
}

// What every run from the setup dialog uses: tournament of 4, elitism, no
// crossover.
void BM_NextGenerationTournament(benchmark::State& State) {
  TEAParameters parameters;
  parameters.UseRanking = false;
  parameters.CrossoverProbability = 0.0;
  RunGenerations(State, parameters);
}
BENCHMARK(BM_NextGenerationTournament)->Unit(benchmark::kMicrosecond);

// Roulette wheel with ranking (quadratic in the population size).
void BM_NextGenerationRankedRoulette(benchmark::State& State) {
  TEAParameters parameters;
  parameters.SelectionMethod = 1;
  parameters.CrossoverProbability = 0.0;
  RunGenerations(State, parameters);
}
BENCHMARK(BM_NextGenerationRankedRoulette)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kestrovan
