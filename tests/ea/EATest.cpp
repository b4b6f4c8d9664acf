#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "TestAgent.h"
#include "ea/AgentStock.h"
#include "ea/EA.h"

namespace kestrovan {
namespace {

using test::AsTest;
using test::SeedAfter;
using test::SeedForDraw;

// Tournament selection, no crossover, generational, no elitism.
TEAParameters Tournament(int Size, double WinnerProbability) {
  TEAParameters parameters;
  parameters.TournamentSize = Size;
  parameters.TournamentWinnerProbability = WinnerProbability;
  parameters.UseElitism = false;
  parameters.CrossoverProbability = 0.0;
  return parameters;
}

TEAParameters Roulette(bool UseRanking, bool UseElitism = false) {
  TEAParameters parameters = Tournament(1, 1.0);
  parameters.SelectionMethod = 1;
  parameters.UseRanking = UseRanking;
  parameters.UseElitism = UseElitism;
  return parameters;
}

TEA MakeEA(const TEAParameters& Parameters, const std::vector<double>& Fitness, int DrawsPerMutate = 1) {
  TEA ea;
  ea.SetParameters(Parameters);
  ea.Population() = test::MakePopulation(Fitness, DrawsPerMutate);
  return ea;
}

// The process-wide generator, replayed apart from RandSeed.
struct TStream {
  std::uint32_t Seed;
  double Next() {
    Seed = Seed * 134775813u + 1u;
    return Seed * 2.3283064365386963e-10;
  }
};

// A tournament over Fitness (agent i at element i - 1), drawing from Stream.
int ReferenceTournament(TStream& Stream, const std::vector<double>& Fitness, const TEAParameters& Parameters) {
  const int size = Parameters.TournamentSize;
  std::vector<int> contestants;
  std::size_t best = 0;
  for (int j = 0; j < size; ++j) {
    contestants.push_back(static_cast<int>(Stream.Next() * static_cast<double>(Fitness.size())) + 1);
    if (Fitness[contestants.back() - 1] > Fitness[contestants[best] - 1]) {
      best = contestants.size() - 1;
    }
  }
  if (Stream.Next() < Parameters.TournamentWinnerProbability) {
    return contestants[best];
  }
  return contestants[static_cast<std::size_t>(Stream.Next() * size)];
}

const std::vector<double> kTenFitness{3, 9, 1, 9, 4, 0, 7, 2, 8, 5};

TEST(TEA, TournamentFollowsTheWinnerProbability) {
  for (int size : {1, 4}) {
    for (double winnerProbability : {0.0, 0.5, 1.0}) {
      const TEAParameters parameters = Tournament(size, winnerProbability);
      const TEA ea = MakeEA(parameters, kTenFitness);
      for (std::uint32_t seed = 0; seed < 2000; seed += 37) {
        RandSeed = seed;
        TStream stream{seed};
        const int selected = ea.TournamentSelection(ea.Population());
        EXPECT_EQ(selected, ReferenceTournament(stream, kTenFitness, parameters)) << "seed " << seed;
        EXPECT_EQ(RandSeed, stream.Seed);
        if (size == 1) {
          EXPECT_EQ(selected, static_cast<int>(TStream{seed}.Next() * 10) + 1);
        }
      }
    }
  }
}

TEST(TEA, TournamentComparesRawFitnessAndPrefersTheFirstDrawn) {
  TEA ea = MakeEA(Tournament(3, 1.0), {2, 2, 2, 2, 2});
  for (int i = 1; i <= 5; ++i) {
    ea.Population().GetAgent(i).RankFitness = i;  // ranks play no part
  }
  for (std::uint32_t seed = 0; seed < 30; ++seed) {
    RandSeed = seed;
    EXPECT_EQ(ea.TournamentSelection(ea.Population()), static_cast<int>(TStream{seed}.Next() * 5) + 1);
  }
}

TEST(TEA, RouletteWithoutRankingShiftsNegativeFitness) {
  TEA ea = MakeEA(Roulette(false), {-2, 0, 2});
  ea.MakeFitnessNonNegative();
  ea.MakeFitnessNonNegative();  // nothing negative left to shift
  EXPECT_EQ(ea.Population().GetAgent(1).Fitness, 1e-16);
  EXPECT_EQ(ea.Population().GetAgent(2).Fitness, 2.0);
  EXPECT_EQ(ea.Population().GetAgent(3).Fitness, 4.0);

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
  EXPECT_DOUBLE_EQ(ea.CumulativeProbabilities().GetElement(1), 0.5);
  EXPECT_DOUBLE_EQ(ea.CumulativeProbabilities().GetElement(2), 2.0 / 3.0);
  EXPECT_DOUBLE_EQ(ea.CumulativeProbabilities().GetElement(3), 1.0);
  for (const auto& [draw, expected] : {std::pair{0.6, 2}, {0.5, 2}, {0.4999, 1}, {0.7, 3}}) {
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
}

// The next generation as (Id of the agent copied, RandSeed at its Mutate,
// 0 for the unmutated elite), written out draw by draw.
std::vector<std::pair<int, std::uint32_t>> ReferenceGenerationalStep(TStream& Stream,
                                                                     const std::vector<double>& Fitness,
                                                                     const TEAParameters& Parameters) {
  const int size = static_cast<int>(Fitness.size());
  std::vector<std::pair<int, std::uint32_t>> next;
  const auto mutate = [&](int Id) {
    next.emplace_back(Id, Stream.Seed);
    Stream.Next();
    Stream.Next();
  };
  if (Parameters.UseElitism) {
    next.emplace_back(std::max_element(Fitness.begin(), Fitness.end()) - Fitness.begin() + 1, 0);
  }
  do {
    const int a = ReferenceTournament(Stream, Fitness, Parameters);
    const int b = ReferenceTournament(Stream, Fitness, Parameters);
    Stream.Next();  // the crossover draw; children are copies of their parents
    mutate(a);
    mutate(b);
  } while (static_cast<int>(next.size()) < size - 1);
  if (static_cast<int>(next.size()) < size) {
    mutate(ReferenceTournament(Stream, Fitness, Parameters));
  }
  return next;
}

// Fitness (i * 37) mod N with a tie for the best at agents 2 and N.
std::vector<double> TiedFitness(int Size) {
  std::vector<double> fitness;
  for (int i = 1; i <= Size; ++i) {
    fitness.push_back(i == 2 || i == Size ? 500.0 : (i * 37) % Size);
  }
  return fitness;
}

TEST(TEA, GenerationalStepDrawsInTheFixedOrder) {
  struct TCase {
    int Size;
    bool UseElitism;
    double CrossoverProbability;
  };
  for (const TCase& c : {TCase{100, true, 0.0}, TCase{100, false, 0.5}, TCase{101, false, 1.0}, TCase{101, true, 0.5},
                         TCase{5, true, 0.5}, TCase{6, false, 0.0}, TCase{3, true, 0.0}}) {
    TEAParameters parameters = Tournament(3, 0.6);
    parameters.UseElitism = c.UseElitism;
    parameters.CrossoverProbability = c.CrossoverProbability;
    const std::vector<double> fitness = TiedFitness(c.Size);
    for (std::uint32_t seed : {0u, 0xDEADBEEFu}) {
      SCOPED_TRACE(testing::Message() << "N " << c.Size << (c.UseElitism ? " with" : " without") << " elitism, seed "
                                      << seed);
      TEA ea = MakeEA(parameters, fitness, 2);
      TStream stream{RandSeed = seed};
      const auto expected = ReferenceGenerationalStep(stream, fitness, parameters);
      ea.NextGeneration();
      ASSERT_EQ(ea.Population().Count(), c.Size);
      for (int i = 1; i <= c.Size; ++i) {
        const test::TTestAgent& agent = AsTest(ea.Population().GetAgent(i));
        const auto [id, seedAtMutate] = expected[static_cast<std::size_t>(i - 1)];
        EXPECT_EQ(agent.Id, id) << "agent " << i;
        EXPECT_EQ(agent.Fitness, fitness[static_cast<std::size_t>(id - 1)]) << "agent " << i;
        EXPECT_EQ(agent.Mutations, c.UseElitism && i == 1 ? 0 : 1) << "agent " << i;
        EXPECT_EQ(agent.SeedAtMutate, seedAtMutate) << "agent " << i;
      }
      EXPECT_EQ(RandSeed, stream.Seed);
    }
  }
}

TEST(TEA, RouletteStepShiftsRawFitnessOnly) {
  TEA ea = MakeEA(Roulette(false, true), {-3, 5, -1, 2, 0});
  RandSeed = 4242;
  ea.NextGeneration();
  // two pairs of 1 + 1 + 1 + 2 draws
  EXPECT_EQ(RandSeed, SeedAfter(4242, 10));
  ASSERT_EQ(ea.Population().Count(), 5);
  EXPECT_EQ(ea.Population().GetAgent(1).Fitness, 5.0 + 3.0 + 1e-16);
  EXPECT_EQ(ea.CumulativeProbabilities().Count(), 0);

  // ranks are never negative: the fitness stays as it is
  TEA ranked = MakeEA(Roulette(true, true), {-3, 5, -1, 2, 0});
  ranked.NextGeneration();
  EXPECT_EQ(ranked.Population().GetAgent(1).Fitness, 5.0);
}

TEST(TEA, SteadyStateReplacesTheTwoWorst) {
  TEAParameters parameters = Tournament(1, 1.0);
  parameters.SteadyStateReplacement = true;
  const std::vector<double> fitness{5, 0, 3, 9, 1};
  for (double crossoverProbability : {0.0, 1.0}) {
    parameters.CrossoverProbability = crossoverProbability;
    TEA ea = MakeEA(parameters, fitness, 2);
    // the first draw picks agent 2, the worst, as the first parent
    const std::uint32_t start = RandSeed = SeedForDraw(0.3);
    TStream stream{start};
    ReferenceTournament(stream, fitness, parameters);
    const int b = ReferenceTournament(stream, fitness, parameters);
    ea.NextGeneration();

    const TPopulation& population = ea.Population();
    ASSERT_EQ(population.Count(), 5);
    EXPECT_EQ(AsTest(population.GetAgent(2)).Id, 2);
    EXPECT_EQ(AsTest(population.GetAgent(5)).Id, b);
    EXPECT_EQ(population.GetAgent(5).Fitness, fitness[static_cast<std::size_t>(b - 1)]);
    // two selections of two draws and the crossover draw, then w1's and w2's mutation
    EXPECT_EQ(AsTest(population.GetAgent(2)).SeedAtMutate, SeedAfter(start, 5));
    EXPECT_EQ(AsTest(population.GetAgent(5)).SeedAtMutate, SeedAfter(start, 7));
    EXPECT_EQ(RandSeed, SeedAfter(start, 9));
    for (int i : {1, 3, 4}) {
      EXPECT_EQ(AsTest(population.GetAgent(i)).Id, i);
      EXPECT_EQ(AsTest(population.GetAgent(i)).Mutations, 0);
    }
  }
}

TEST(TEA, GenerationCountsEveryStepAndAgentsAreNeverLost) {
  const int live = test::TTestAgent::Live;
  {
    TEAParameters generational = Tournament(2, 0.7);
    generational.CrossoverProbability = 0.5;
    TEA ea = MakeEA(generational, {1, 2, 3, 4});
    EXPECT_EQ(ea.Generation(), 0);
    for (int g = 1; g <= 3; ++g) {
      ea.NextGeneration();
      EXPECT_EQ(ea.Generation(), g);
    }
    TEAParameters steady = Roulette(true);
    steady.SteadyStateReplacement = true;
    steady.CrossoverProbability = 0.5;
    ea.SetParameters(steady);
    ea.NextGeneration();
    ea.NextGeneration();
    EXPECT_EQ(ea.Generation(), 5);
    EXPECT_EQ(test::TTestAgent::Live, live + 4);
  }
  EXPECT_EQ(test::TTestAgent::Live, live);
}

TEST(TEA, RefusesParametersAndPopulationsThatWouldBreakAStep) {
  TEA ea;
  TEAParameters parameters = Tournament(5, 0.25);
  parameters.CreepRate = 0.125;
  ea.SetParameters(parameters);
  EXPECT_EQ(ea.Parameters().TournamentSize, 5);
  EXPECT_EQ(ea.Parameters().CreepRate, 0.125);
  parameters.TournamentSize = 0;
  EXPECT_THROW(ea.SetParameters(parameters), std::invalid_argument);
  EXPECT_EQ(ea.Parameters().TournamentSize, 5);

  // two agents cannot stay two in a generational step
  ea.Population() = test::MakePopulation({1, 2});
  RandSeed = 5;
  EXPECT_THROW(ea.NextGeneration(), std::logic_error);
  EXPECT_EQ(RandSeed, 5u);
  EXPECT_EQ(ea.Generation(), 0);
}

// Every number of every agent, in index order.
std::vector<double> GenerationOf(const TPopulation& Population) {
  std::vector<double> values;
  for (int i = 1; i <= Population.Count(); ++i) {
    const test::TTestAgent& agent = AsTest(Population.GetAgent(i));
    values.insert(values.end(), {double(agent.Id), agent.Fitness, agent.RankFitness, agent.ElapsedTime,
                                 double(agent.Mutations), double(agent.SeedAtMutate)});
    values.insert(values.end(), agent.Genome.begin(), agent.Genome.end());
  }
  return values;
}

// Agents recycled from replaced generations give the generations, draws and
// elite of newly allocated copies, and once the stock is full no agent is made.
TEST(TEA, RecycledAgentsGiveTheGenerationsOfNewCopies) {
  struct TCase {
    int Size;
    bool UseElitism;
    double CrossoverProbability;
    bool SteadyState;
    std::uint8_t Selection;
  };
  for (const TCase& c : {TCase{7, true, 0.0, false, 0}, TCase{7, false, 0.5, false, 0}, TCase{6, true, 1.0, false, 1},
                         TCase{3, true, 0.5, false, 0}, TCase{5, false, 0.5, true, 0}, TCase{4, true, 1.0, true, 1}}) {
    SCOPED_TRACE(testing::Message() << "N " << c.Size << ", crossover " << c.CrossoverProbability
                                    << (c.SteadyState ? ", steady state" : ", generational"));
    TEAParameters parameters = Tournament(3, 0.6);
    parameters.SelectionMethod = c.Selection;
    parameters.UseRanking = c.Selection == 1;
    parameters.UseElitism = c.UseElitism;
    parameters.CrossoverProbability = c.CrossoverProbability;
    parameters.SteadyStateReplacement = c.SteadyState;
    TEA copied;
    TEA recycled;
    for (TEA* ea : {&copied, &recycled}) {
      ea->SetParameters(parameters);
      for (int i = 1; i <= c.Size; ++i) {
        if (ea == &copied) {
          ea->Population().Add(test::TTestAgent(i, 0.0, 2));
        } else {
          ea->Population().Add(test::TRecyclingTestAgent(i, 0.0, 2));
        }
      }
    }
    const int assignments = test::TRecyclingTestAgent::Assignments;
    int madeAfterFirstStep = 0;
    for (int generation = 1; generation <= 6; ++generation) {
      // the evaluation: a fitness from the genome, an elapsed time and a rank to be cleared
      for (TEA* ea : {&copied, &recycled}) {
        for (int i = 1; i <= c.Size; ++i) {
          auto& agent = dynamic_cast<test::TTestAgent&>(ea->Population().GetAgent(i));
          agent.Fitness = agent.Genome[0] + agent.Genome[1] + (agent.Id * 7 + generation) % 5;
          agent.ElapsedTime = 0.5 * generation;
          agent.RankFitness = agent.Id;
        }
      }
      const std::uint32_t seed = RandSeed = 1000u * static_cast<std::uint32_t>(generation);
      copied.NextGeneration();
      const std::uint32_t after = RandSeed;
      RandSeed = seed;
      const int live = test::TTestAgent::Live;
      recycled.NextGeneration();
      EXPECT_EQ(RandSeed, after) << "generation " << generation;
      ASSERT_EQ(GenerationOf(recycled.Population()), GenerationOf(copied.Population())) << "generation " << generation;
      EXPECT_GE(recycled.Stock().Count(), c.SteadyState ? 2 : c.Size) << "generation " << generation;
      if (generation >= 2) {
        madeAfterFirstStep += test::TTestAgent::Live - live;
      }
    }
    // after the first step the stock holds a step's copies; only a
    // crossover's two parents, taken before they go back, may be added
    EXPECT_LE(madeAfterFirstStep, c.CrossoverProbability > 0.0 ? 2 : 0);
    const int steps = c.SteadyState ? 2 : c.Size;
    EXPECT_GE(test::TRecyclingTestAgent::Assignments, assignments + 5 * steps);
    EXPECT_EQ(copied.Stock().Count(), 0);
    // a restored state starts without the agents of the replaced run
    recycled.Restore(TPopulation(recycled.Population()), recycled.Generation());
    EXPECT_EQ(recycled.Stock().Count(), 0);
  }
}

TEST(TAgentStock, KeepsRecyclableAgentsOnlyAndCopiesWhenNoneTakesTheSource) {
  const int live = test::TTestAgent::Live;
  {
    TAgentStock stock;
    const test::TRecyclingTestAgent source(4, 2.5, 3);
    // empty: a new copy
    std::unique_ptr<TAgent> first = stock.CopyOf(source);
    EXPECT_EQ(AsTest(*first).Id, 4);
    EXPECT_EQ(test::TTestAgent::Live, live + 2);
    // an agent that cannot be recycled is destroyed, one that can is reused
    stock.Keep(std::make_unique<test::TTestAgent>(9));
    EXPECT_EQ(stock.Count(), 0);
    TAgent* kept = first.get();
    first->RankFitness = 8.0;
    stock.Keep(std::move(first));
    EXPECT_EQ(stock.Count(), 1);
    const test::TRecyclingTestAgent other(6, 1.5);
    std::unique_ptr<TAgent> second = stock.CopyOf(other);
    EXPECT_EQ(second.get(), kept);
    EXPECT_EQ(AsTest(*second).Id, 6);
    EXPECT_EQ(second->Fitness, 1.5);
    EXPECT_EQ(second->RankFitness, 0.0);
    EXPECT_EQ(stock.Count(), 0);
    // a kept agent that refuses the source (another class) stays kept
    stock.Keep(std::move(second));
    std::unique_ptr<TAgent> plain = stock.CopyOf(test::TTestAgent(7));
    EXPECT_EQ(AsTest(*plain).Id, 7);
    EXPECT_EQ(stock.Count(), 1);
    // a copy of a stock is empty
    const TAgentStock copy(stock);
    EXPECT_EQ(copy.Count(), 0);
  }
  EXPECT_EQ(test::TTestAgent::Live, live);
}

}  // namespace
}  // namespace kestrovan
