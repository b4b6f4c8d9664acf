#include <gtest/gtest.h>

#include "TestAgent.h"
#include "ea/Population.h"

namespace kestrovan {
namespace {

using test::AsTest;
using test::MakePopulation;
using test::TTestAgent;

TEST(TAgent, BaseCopyTakesFitnessOnly) {
  TTestAgent agent(1, 2.5);
  agent.RankFitness = 3.0;
  agent.ElapsedTime = 4.0;
  const auto copy = agent.Copy();
  EXPECT_EQ(copy->Fitness, 2.5);
  EXPECT_EQ(copy->RankFitness, 0.0);
  EXPECT_EQ(copy->ElapsedTime, 0.0);
}

TEST(TPopulation, AddCopiesSetAgentTakesOver) {
  const int live = TTestAgent::Live;
  {
    TPopulation population;
    TTestAgent agent(7, 1.0);
    population.Add(agent);
    population.Add(agent);
    agent.Fitness = 9.0;
    agent.Mutate();
    ASSERT_EQ(population.Count(), 2);
    EXPECT_EQ(population.GetAgent(2).Fitness, 1.0);
    EXPECT_EQ(AsTest(population.GetAgent(2)).Mutations, 0);

    auto replacement = std::make_unique<TTestAgent>(9, 5.0);
    const TAgent* stored = replacement.get();
    population.SetAgent(1, std::move(replacement));
    EXPECT_EQ(&population.GetAgent(1), stored);
    EXPECT_EQ(TTestAgent::Live, live + 3);
  }
  EXPECT_EQ(TTestAgent::Live, live);
}

TEST(TPopulation, CopiesAreDeep) {
  const TPopulation source = MakePopulation({1, 2});
  TPopulation copy(source);
  TPopulation assigned;
  assigned = source;
  for (TPopulation* population : {&copy, &assigned}) {
    ASSERT_EQ(population->Count(), 2);
    EXPECT_EQ(population->GetAgent(2).Fitness, 2.0);
    population->GetAgent(1).Mutate();
  }
  EXPECT_EQ(AsTest(source.GetAgent(1)).Mutations, 0);
  EXPECT_EQ(AsTest(source.GetAgent(1)).Genome[0], 0.0);
}

TEST(TPopulation, BestAndWorstTieRules) {
  const TPopulation a = MakePopulation({2, 7, 7});
  EXPECT_EQ(AsTest(a.BestAgent()).Id, 2);
  EXPECT_EQ(a.MaxFitness(), 7.0);
  struct TCase {
    TPopulation Population;
    int Worst;
    int SecondWorst;
  };
  const TCase cases[] = {{MakePopulation({4, 1, 1}), 2, 3},
                         {MakePopulation({0, 5, 3}), 1, 3},
                         {MakePopulation({5, 0, 3}), 2, 3},
                         {MakePopulation({-1, 6, 2, 2}), 1, 3}};
  for (const TCase& c : cases) {
    EXPECT_EQ(c.Population.IndexOfWorst(), c.Worst);
    EXPECT_EQ(c.Population.IndexOfSecondWorst(), c.SecondWorst);
    EXPECT_EQ(c.Population.MinFitness(), c.Population.GetAgent(c.Worst).Fitness);
  }
}

TEST(TPopulation, RankSharesTheLowerRank) {
  TPopulation population = MakePopulation({3, 1, 3, 2, 2, 2});
  population.Rank();
  const double expected[] = {5, 1, 5, 2, 2, 2};
  for (int i = 1; i <= 6; ++i) {
    EXPECT_EQ(population.GetAgent(i).RankFitness, expected[i - 1]) << "agent " << i;
  }
  EXPECT_EQ(MakePopulation({1, 2, 4}).AverageFitness(), 7.0 / 3.0);
}

#ifndef NDEBUG
TEST(TPopulationDeathTest, StatisticsOfAnEmptyPopulationAssert) {
  const TPopulation empty;
  EXPECT_DEATH(empty.MaxFitness(), "Count");
  EXPECT_DEATH(empty.AverageFitness(), "Count");
  EXPECT_DEATH(MakePopulation({1}).IndexOfSecondWorst(), "Count");
}
#endif

}  // namespace
}  // namespace kestrovan
