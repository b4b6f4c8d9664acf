#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

#include "ea/Agent.h"
#include "ea/Population.h"
#include "numerics/RandomNumbers.h"

namespace kestrovan::test {

// A small agent for the algorithm's tests: an identity that survives copies,
// a genome of three numbers and a Mutate that counts its calls, notes where
// in the random stream it ran and draws a fixed number of random numbers.
class TTestAgent : public TAgent {
 public:
  explicit TTestAgent(int AgentId, double InitialFitness = 0.0, int Draws = 1) : Id(AgentId), DrawsPerMutate(Draws) {
    Fitness = InitialFitness;
    ++Live;
  }
  TTestAgent(const TTestAgent& Source)
      : TAgent(Source),
        Id(Source.Id),
        DrawsPerMutate(Source.DrawsPerMutate),
        Genome(Source.Genome),
        Mutations(Source.Mutations),
        SeedAtMutate(Source.SeedAtMutate) {
    ++Live;
  }
  ~TTestAgent() override { --Live; }

  std::unique_ptr<TAgent> Copy() const override { return std::make_unique<TTestAgent>(*this); }
  void Step(double) override {}
  void Move(const TArenaModel&, double) override {}
  void Mutate() override {
    ++Mutations;
    SeedAtMutate = RandSeed;
    for (int d = 0; d < DrawsPerMutate; ++d) {
      Genome[static_cast<std::size_t>(d) % Genome.size()] += Random();
    }
  }

  static inline int Live = 0;  // test agents in existence

  int Id;
  int DrawsPerMutate;
  std::vector<double> Genome{0.0, 0.0, 0.0};
  int Mutations = 0;
  std::uint32_t SeedAtMutate = 0;  // RandSeed when Mutate was last called
};

// A test agent that takes copies in its own storage (TAgent::AssignCopyOf),
// as a robot does; Assignments counts them.
class TRecyclingTestAgent : public TTestAgent {
 public:
  using TTestAgent::TTestAgent;

  std::unique_ptr<TAgent> Copy() const override { return std::make_unique<TRecyclingTestAgent>(*this); }
  bool AssignCopyOf(const TAgent& Source) override {
    const auto* source = dynamic_cast<const TRecyclingTestAgent*>(&Source);
    if (source == nullptr || source == this) {
      return false;
    }
    AssignAgentCopyOf(*source);
    Id = source->Id;
    DrawsPerMutate = source->DrawsPerMutate;
    Genome = source->Genome;
    Mutations = source->Mutations;
    SeedAtMutate = source->SeedAtMutate;
    ++Assignments;
    return true;
  }
  bool Recyclable() const override { return true; }

  static inline int Assignments = 0;
};

inline const TTestAgent& AsTest(const TAgent& Agent) { return dynamic_cast<const TTestAgent&>(Agent); }

// Agents with Id i and the i-th fitness.
inline TPopulation MakePopulation(const std::vector<double>& Fitness, int DrawsPerMutate = 1) {
  TPopulation population;
  int id = 0;
  for (double fitness : Fitness) {
    population.Add(TTestAgent(++id, fitness, DrawsPerMutate));
  }
  return population;
}

// RandSeed after Draws calls of Random starting from Seed.
inline std::uint32_t SeedAfter(std::uint32_t Seed, int Draws) {
  for (int i = 0; i < Draws; ++i) {
    Seed = Seed * 134775813u + 1u;
  }
  return Seed;
}

// The RandSeed from which the next Random returns Value (rounded down to a
// multiple of 2^-32).
inline std::uint32_t SeedForDraw(double Value) {
  const auto target = static_cast<std::uint32_t>(Value * 4294967296.0);
  // inverse of the odd multiplier modulo 2^32 by Newton's iteration
  std::uint32_t inverse = 134775813u;
  for (int i = 0; i < 5; ++i) {
    inverse *= 2u - 134775813u * inverse;
  }
  return (target - 1u) * inverse;
}

}  // namespace kestrovan::test
