#include "ea/EA.h"

#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

#include "TestAgent.h"

namespace kestrovan {
namespace {

using test::AsTest;
using test::SeedAfter;
using test::SeedForDraw;
using test::TTestAgent;

// Tournament selection, no crossover, generational, no elitism.
TEAParameters Tournament(int Size, double WinnerProbability) {
  TEAParameters parameters;
  parameters.TournamentSize = Size;
  parameters.TournamentWinnerProbability = WinnerProbability;
  parameters.UseElitism = false;
  parameters.CrossoverProbability = 0.0;
  return parameters;
}

TEAParameters Roulette(bool UseRanking) {
  TEAParameters parameters = Tournament(1, 1.0);
  parameters.SelectionMethod = 1;
  parameters.UseRanking = UseRanking;
  return parameters;
}

TEA MakeEA(const TEAParameters& Parameters, const std::vector<double>& Fitness, int DrawsPerMutate = 1) {
  TEA ea;
  ea.SetParameters(Parameters);
  ea.Population() = test::MakePopulation(Fitness, DrawsPerMutate);
  return ea;
}

// The process-wide generator, replayed independently of RandSeed.
struct TStream {
  std::uint32_t Seed;
  double Next() {
    Seed = Seed * 134775813u + 1u;
    return Seed * 2.3283064365386963e-10;
  }
};

// A tournament over Fitness (agent i at element i - 1), drawing from Stream.
int ReferenceTournament(TStream& Stream, const std::vector<double>& Fitness, int Size,
                        double WinnerProbability) {
  const int poolSize = static_cast<int>(Fitness.size());
  std::vector<int> contestants;
  std::size_t best = 0;
  for (int j = 0; j < Size; ++j) {
    contestants.push_back(static_cast<int>(Stream.Next() * poolSize) + 1);
    if (Fitness[contestants.back() - 1] > Fitness[contestants[best] - 1]) {
      best = contestants.size() - 1;
    }
  }
  if (Stream.Next() < WinnerProbability) {
    return contestants[best];
  }
  return contestants[static_cast<std::size_t>(Stream.Next() * Size)];
}

const std::vector<double> kTenFitness{3, 9, 1, 9, 4, 0, 7, 2, 8, 5};

TEST(TEA, TournamentOfOneReturnsTheDrawnContestant) {
  for (double winnerProbability : {0.0, 1.0}) {
    const TEA ea = MakeEA(Tournament(1, winnerProbability), kTenFitness);
    for (std::uint32_t seed = 1; seed < 40; seed += 3) {
      RandSeed = seed;
      TStream stream{seed};
      const int drawn = static_cast<int>(stream.Next() * 10) + 1;
      EXPECT_EQ(ea.TournamentSelection(ea.Population()), drawn);
      EXPECT_EQ(RandSeed, SeedAfter(seed, winnerProbability == 1.0 ? 2 : 3));
    }
  }
}

TEST(TEA, TournamentFollowsTheWinnerProbability) {
  for (double winnerProbability : {0.0, 0.5, 1.0}) {
    const TEA ea = MakeEA(Tournament(4, winnerProbability), kTenFitness);
    for (std::uint32_t seed = 0; seed < 2000; seed += 37) {
      RandSeed = seed;
      TStream stream{seed};
      EXPECT_EQ(ea.TournamentSelection(ea.Population()),
                ReferenceTournament(stream, kTenFitness, 4, winnerProbability))
          << "seed " << seed;
      EXPECT_EQ(RandSeed, stream.Seed);
    }
  }
}

TEST(TEA, TournamentComparesRawFitnessAndPrefersTheFirstDrawn) {
  TEA ea = MakeEA(Tournament(3, 1.0), {2, 2, 2, 2, 2});
  for (std::uint32_t seed = 0; seed < 30; ++seed) {
    RandSeed = seed;
    TStream stream{seed};
    EXPECT_EQ(ea.TournamentSelection(ea.Population()), static_cast<int>(stream.Next() * 5) + 1);
  }
  // ranks that contradict the fitness do not matter
  ea.Population() = test::MakePopulation(kTenFitness);
  for (int i = 1; i <= 10; ++i) {
    ea.Population().GetAgent(i).RankFitness = -kTenFitness[static_cast<std::size_t>(i - 1)];
  }
  RandSeed = 99;
  TStream stream{99};
  EXPECT_EQ(ea.TournamentSelection(ea.Population()), ReferenceTournament(stream, kTenFitness, 3, 1.0));
}

TEST(TEA, RouletteWithoutRankingShiftsNegativeFitness) {
  TEA ea = MakeEA(Roulette(false), {-2, 0, 2});
  ea.MakeFitnessNonNegative();
  EXPECT_EQ(ea.Population().GetAgent(1).Fitness, 1e-16);
  EXPECT_EQ(ea.Population().GetAgent(2).Fitness, 2.0);
  EXPECT_EQ(ea.Population().GetAgent(3).Fitness, 4.0);
  ea.MakeFitnessNonNegative();  // nothing negative left
  EXPECT_EQ(ea.Population().GetAgent(1).Fitness, 1e-16);

  ea.ComputeCumulativeProbabilities(ea.Population());
  const TVector& entries = ea.CumulativeProbabilities();
  ASSERT_EQ(entries.Count(), 3);
  EXPECT_NEAR(entries.GetElement(1), 0.0, 1e-16);
  EXPECT_DOUBLE_EQ(entries.GetElement(2), 1.0 / 3.0);
  EXPECT_DOUBLE_EQ(entries.GetElement(3), 1.0);
  RandSeed = SeedForDraw(0.5);
  EXPECT_EQ(ea.RouletteWheelSelection(ea.Population()), 3);
  RandSeed = SeedForDraw(0.2);
  EXPECT_EQ(ea.RouletteWheelSelection(ea.Population()), 2);
}

TEST(TEA, RouletteWithRankingUsesTheRanks) {
  TEA ea = MakeEA(Roulette(true), {5, 1, 3});
  ea.Population().Rank();
  ea.ComputeCumulativeProbabilities(ea.Population());
  const TVector& entries = ea.CumulativeProbabilities();
  EXPECT_DOUBLE_EQ(entries.GetElement(1), 0.5);
  EXPECT_DOUBLE_EQ(entries.GetElement(2), 2.0 / 3.0);
  EXPECT_DOUBLE_EQ(entries.GetElement(3), 1.0);
  const std::pair<double, int> draws[] = {{0.6, 2}, {0.5, 2}, {0.4999, 1}, {0.7, 3}, {0.0, 1}};
  for (const auto& [draw, expected] : draws) {
    RandSeed = SeedForDraw(draw);
    EXPECT_EQ(ea.RouletteWheelSelection(ea.Population()), expected) << "draw " << draw;
  }
}

TEST(TEA, RouletteWithZeroTotalWeightIsUniform) {
  TEA ea = MakeEA(Roulette(false), {0, 0, 0, 0});
  ea.ComputeCumulativeProbabilities(ea.Population());
  for (int i = 1; i <= 4; ++i) {
    EXPECT_EQ(ea.CumulativeProbabilities().GetElement(i), i / 4.0);
  }
  RandSeed = SeedForDraw(0.3);
  EXPECT_EQ(ea.RouletteWheelSelection(ea.Population()), 2);
  ea.NextGeneration();
  EXPECT_EQ(ea.Population().Count(), 4);
}

// Agents of the next generation: the Id of the agent each was copied from
// and RandSeed when it was mutated (0 for the unmutated elite).
struct TExpectedAgent {
  int Id;
  std::uint32_t SeedAtMutate;
};

// The generational step with tournament selection, written out draw by draw.
std::vector<TExpectedAgent> ReferenceGenerationalStep(TStream& Stream, const std::vector<double>& Fitness,
                                                      const TEAParameters& Parameters, int DrawsPerMutate) {
  const int size = static_cast<int>(Fitness.size());
  std::vector<TExpectedAgent> next;
  const auto select = [&] {
    return ReferenceTournament(Stream, Fitness, Parameters.TournamentSize,
                               Parameters.TournamentWinnerProbability);
  };
  const auto mutate = [&](int Id) {
    next.push_back({Id, Stream.Seed});
    for (int d = 0; d < DrawsPerMutate; ++d) {
      Stream.Next();
    }
  };
  if (Parameters.UseElitism) {
    int best = 0;
    for (int i = 1; i < size; ++i) {
      best = Fitness[static_cast<std::size_t>(i)] > Fitness[static_cast<std::size_t>(best)] ? i : best;
    }
    next.push_back({best + 1, 0});
  }
  do {
    const int a = select();
    const int b = select();
    Stream.Next();  // the crossover draw; children are copies of the parents
    mutate(a);
    mutate(b);
  } while (static_cast<int>(next.size()) < size - 1);
  if (static_cast<int>(next.size()) < size) {
    mutate(select());
  }
  return next;
}

TEST(TEA, GenerationalStepDrawsInTheFixedOrder) {
  struct TCase {
    std::vector<double> Fitness;
    bool UseElitism;
    double CrossoverProbability;
  };
  const TCase cases[] = {{{4, 1, 8, 8, 2}, true, 0.5},
                         {{4, 1, 8, 3, 2, 6}, false, 1.0},
                         {{0, 5, 1, 5, 2, 7, 3}, false, 0.0},
                         {{1, 2, 3, 4, 5, 6, 7, 8}, true, 0.5}};
  for (const TCase& c : cases) {
    TEAParameters parameters = Tournament(3, 0.6);
    parameters.UseElitism = c.UseElitism;
    parameters.CrossoverProbability = c.CrossoverProbability;
    for (std::uint32_t seed : {0u, 12345u, 0xDEADBEEFu}) {
      TEA ea = MakeEA(parameters, c.Fitness, 2);
      RandSeed = seed;
      TStream stream{seed};
      const std::vector<TExpectedAgent> expected = ReferenceGenerationalStep(stream, c.Fitness, parameters, 2);
      ea.NextGeneration();
      SCOPED_TRACE(testing::Message() << "size " << c.Fitness.size() << ", seed " << seed);
      ASSERT_EQ(ea.Population().Count(), static_cast<int>(c.Fitness.size()));
      for (int i = 1; i <= ea.Population().Count(); ++i) {
        const TTestAgent& agent = AsTest(ea.Population().GetAgent(i));
        const TExpectedAgent& e = expected[static_cast<std::size_t>(i - 1)];
        EXPECT_EQ(agent.Id, e.Id) << "agent " << i;
        EXPECT_EQ(agent.Fitness, c.Fitness[static_cast<std::size_t>(e.Id - 1)]) << "agent " << i;
        EXPECT_EQ(agent.Mutations, c.UseElitism && i == 1 ? 0 : 1) << "agent " << i;
        if (agent.Mutations == 1) {
          EXPECT_EQ(agent.SeedAtMutate, e.SeedAtMutate) << "agent " << i;
        }
      }
      EXPECT_EQ(RandSeed, stream.Seed);
    }
  }
}

TEST(TEA, GenerationalStepKeepsThePopulationSize) {
  const int kTournament = 4;
  struct TCase {
    int Size;
    bool UseElitism;
    int Pairs;
    int Singles;
  };
  for (const TCase& c : {TCase{100, true, 49, 1}, TCase{100, false, 50, 0}, TCase{101, false, 50, 1},
                         TCase{101, true, 50, 0}, TCase{3, true, 1, 0}}) {
    std::vector<double> fitness;
    for (int i = 1; i <= c.Size; ++i) {
      fitness.push_back((i * 37) % c.Size);
    }
    const int best = c.Size == 3 ? 2 : 42;
    fitness[static_cast<std::size_t>(best - 1)] = 500.0;
    fitness.back() = 500.0;  // a later tie for the best
    TEAParameters parameters = Tournament(kTournament, 1.0);
    parameters.UseElitism = c.UseElitism;

    const int live = TTestAgent::Live;
    {
      TEA ea = MakeEA(parameters, fitness);
      RandSeed = 777;
      ea.NextGeneration();
      SCOPED_TRACE(testing::Message() << "N " << c.Size << (c.UseElitism ? " with" : " without") << " elitism");
      ASSERT_EQ(ea.Population().Count(), c.Size);
      // each selection draws T + 1 numbers, each pair one more, each mutation one
      const int draws = c.Pairs * (2 * (kTournament + 1) + 1 + 2) + c.Singles * (kTournament + 1 + 1);
      EXPECT_EQ(RandSeed, SeedAfter(777, draws));
      const int first = c.UseElitism ? 2 : 1;
      if (c.UseElitism) {
        const TTestAgent& elite = AsTest(ea.Population().GetAgent(1));
        EXPECT_EQ(elite.Id, best);
        EXPECT_EQ(elite.Fitness, 500.0);
        EXPECT_EQ(elite.Mutations, 0);
        EXPECT_EQ(elite.Genome, std::vector<double>(3, 0.0));
      }
      for (int i = first; i <= c.Size; ++i) {
        EXPECT_EQ(AsTest(ea.Population().GetAgent(i)).Mutations, 1) << "agent " << i;
      }
      EXPECT_EQ(TTestAgent::Live, live + c.Size);
    }
    EXPECT_EQ(TTestAgent::Live, live);
  }
}

TEST(TEA, RouletteStepDrawsOncePerSelectionAndCarriesShiftedFitness) {
  TEAParameters parameters = Roulette(false);
  parameters.UseElitism = true;
  TEA ea = MakeEA(parameters, {-3, 5, -1, 2, 0});
  RandSeed = 4242;
  ea.NextGeneration();
  // two pairs of (1 + 1 + 1 + 2) draws
  EXPECT_EQ(RandSeed, SeedAfter(4242, 10));
  ASSERT_EQ(ea.Population().Count(), 5);
  EXPECT_EQ(AsTest(ea.Population().GetAgent(1)).Id, 2);
  EXPECT_EQ(ea.Population().GetAgent(1).Fitness, 5.0 + 3.0 + 1e-16);
  EXPECT_EQ(ea.CumulativeProbabilities().Count(), 0);

  // ranks are never negative: the fitness stays as it is
  parameters.UseRanking = true;
  TEA ranked = MakeEA(parameters, {-3, 5, -1, 2, 0});
  ranked.NextGeneration();
  ASSERT_EQ(ranked.Population().Count(), 5);
  EXPECT_EQ(ranked.Population().GetAgent(1).Fitness, 5.0);
}

TEST(TEA, SteadyStateReplacesTheTwoWorst) {
  TEAParameters parameters = Tournament(1, 1.0);
  parameters.SteadyStateReplacement = true;
  parameters.UseElitism = false;
  const std::vector<double> fitness{5, 0, 3, 9, 1};
  for (double crossoverProbability : {0.0, 1.0}) {
    parameters.CrossoverProbability = crossoverProbability;
    TEA ea = MakeEA(parameters, fitness, 2);
    // the first draw picks agent 2, the worst, as the first parent
    RandSeed = SeedForDraw(0.3);
    TStream stream{RandSeed};
    const std::uint32_t start = RandSeed;
    ReferenceTournament(stream, fitness, 1, 1.0);
    const int b = ReferenceTournament(stream, fitness, 1, 1.0);
    const int live = TTestAgent::Live;
    ea.NextGeneration();

    const TPopulation& population = ea.Population();
    ASSERT_EQ(population.Count(), 5);
    EXPECT_EQ(TTestAgent::Live, live);
    EXPECT_EQ(AsTest(population.GetAgent(2)).Id, 2);
    EXPECT_EQ(AsTest(population.GetAgent(5)).Id, b);
    EXPECT_EQ(population.GetAgent(5).Fitness, fitness[static_cast<std::size_t>(b - 1)]);
    EXPECT_EQ(AsTest(population.GetAgent(2)).SeedAtMutate, SeedAfter(start, 5));
    EXPECT_EQ(AsTest(population.GetAgent(5)).SeedAtMutate, SeedAfter(start, 7));
    EXPECT_EQ(RandSeed, SeedAfter(start, 9));
    for (int i : {1, 3, 4}) {
      EXPECT_EQ(AsTest(population.GetAgent(i)).Id, i);
      EXPECT_EQ(AsTest(population.GetAgent(i)).Mutations, 0);
    }
    EXPECT_EQ(ea.Generation(), 1);
  }
}

TEST(TEA, GenerationCountsEveryStep) {
  TEA ea = MakeEA(Tournament(2, 0.7), {1, 2, 3, 4});
  EXPECT_EQ(ea.Generation(), 0);
  for (int g = 1; g <= 3; ++g) {
    ea.NextGeneration();
    EXPECT_EQ(ea.Generation(), g);
  }
  TEAParameters steady = Roulette(true);
  steady.SteadyStateReplacement = true;
  ea.SetParameters(steady);
  ea.NextGeneration();
  ea.NextGeneration();
  EXPECT_EQ(ea.Generation(), 5);
  EXPECT_EQ(ea.Population().Count(), 4);
}

TEST(TEA, RefusesParametersAndPopulationsThatWouldBreakAStep) {
  TEA ea;
  EXPECT_EQ(ea.TournamentSize(), 4);
  EXPECT_EQ(ea.CrossoverProbability(), 0.8);
  TEAParameters parameters = Tournament(5, 0.25);
  parameters.CreepMethod = 7;
  parameters.CreepRate = 0.125;
  ea.SetParameters(parameters);
  EXPECT_EQ(ea.TournamentSize(), 5);
  EXPECT_EQ(ea.TournamentWinnerProbability(), 0.25);
  EXPECT_EQ(ea.CreepMethod(), 7);
  EXPECT_EQ(ea.CreepRate(), 0.125);

  parameters.TournamentSize = 0;
  EXPECT_THROW(ea.SetParameters(parameters), std::invalid_argument);
  EXPECT_EQ(ea.TournamentSize(), 5);

  // two agents cannot stay two in a generational step
  ea.Population() = test::MakePopulation({1, 2});
  RandSeed = 5;
  EXPECT_THROW(ea.NextGeneration(), std::logic_error);
  EXPECT_EQ(RandSeed, 5u);
  EXPECT_EQ(ea.Generation(), 0);
  EXPECT_EQ(ea.Population().Count(), 2);
}

}  // namespace
}  // namespace kestrovan
