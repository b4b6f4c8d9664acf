#include "ea/Population.h"

#include <gtest/gtest.h>

#include "TestAgent.h"

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

TEST(TPopulation, AddStoresACopy) {
  const int live = TTestAgent::Live;
  TPopulation population;
  EXPECT_EQ(population.Count(), 0);
  {
    TTestAgent agent(7, 1.0);
    population.Add(agent);
    population.Add(agent);
    population.Add(agent);
    agent.Fitness = 9.0;
    agent.Mutate();
  }
  ASSERT_EQ(population.Count(), 3);
  EXPECT_EQ(TTestAgent::Live, live + 3);
  for (int i = 1; i <= 3; ++i) {
    EXPECT_EQ(AsTest(population.GetAgent(i)).Id, 7);
    EXPECT_EQ(population.GetAgent(i).Fitness, 1.0);
    EXPECT_EQ(AsTest(population.GetAgent(i)).Mutations, 0);
  }
  EXPECT_NE(&population.GetAgent(1), &population.GetAgent(2));
}

TEST(TPopulation, SetAgentTakesOwnershipAndDestroysThePrevious) {
  TPopulation population = MakePopulation({1, 2, 3});
  const int live = TTestAgent::Live;
  auto agent = std::make_unique<TTestAgent>(9, 5.0);
  const TAgent* stored = agent.get();
  population.SetAgent(2, std::move(agent));
  EXPECT_EQ(&population.GetAgent(2), stored);
  EXPECT_EQ(TTestAgent::Live, live);
  EXPECT_EQ(population.MaxFitness(), 5.0);
}

TEST(TPopulation, CopiesAreDeep) {
  const TPopulation source = MakePopulation({1, 2});
  TPopulation copy(source);
  TPopulation assigned;
  assigned = source;
  assigned = assigned;
  for (TPopulation* population : {&copy, &assigned}) {
    ASSERT_EQ(population->Count(), 2);
    EXPECT_NE(&population->GetAgent(1), &source.GetAgent(1));
    EXPECT_EQ(population->GetAgent(2).Fitness, 2.0);
    population->GetAgent(1).Mutate();
    population->GetAgent(1).Fitness = 8.0;
  }
  EXPECT_EQ(AsTest(source.GetAgent(1)).Mutations, 0);
  EXPECT_EQ(AsTest(source.GetAgent(1)).Genome[0], 0.0);
  EXPECT_EQ(source.GetAgent(1).Fitness, 1.0);

  const TPopulation moved(std::move(copy));
  EXPECT_EQ(moved.Count(), 2);
  EXPECT_EQ(copy.Count(), 0);  // NOLINT(bugprone-use-after-move): documented state
}

TEST(TPopulation, DestroyingReleasesEveryAgent) {
  const int live = TTestAgent::Live;
  {
    const TPopulation population = MakePopulation({1, 2, 3, 4});
    const TPopulation copy(population);
    EXPECT_EQ(TTestAgent::Live, live + 8);
  }
  EXPECT_EQ(TTestAgent::Live, live);
}

TEST(TPopulation, BestAndWorstTieRules) {
  const TPopulation a = MakePopulation({2, 7, 7});
  EXPECT_EQ(AsTest(a.BestAgent()).Id, 2);
  EXPECT_EQ(a.MaxFitness(), 7.0);

  const TPopulation b = MakePopulation({4, 1, 1});
  EXPECT_EQ(b.IndexOfWorst(), 2);
  EXPECT_EQ(b.IndexOfSecondWorst(), 3);
  EXPECT_EQ(b.MinFitness(), 1.0);

  const TPopulation c = MakePopulation({0, 5, 3});
  EXPECT_EQ(c.IndexOfWorst(), 1);
  EXPECT_EQ(c.IndexOfSecondWorst(), 3);

  const TPopulation d = MakePopulation({5, 0, 3});
  EXPECT_EQ(d.IndexOfWorst(), 2);
  EXPECT_EQ(d.IndexOfSecondWorst(), 3);

  // the first of two equal smallest values after the worst
  const TPopulation e = MakePopulation({-1, 6, 2, 2});
  EXPECT_EQ(e.IndexOfWorst(), 1);
  EXPECT_EQ(e.IndexOfSecondWorst(), 3);

  const TPopulation single = MakePopulation({-3});
  EXPECT_EQ(&single.BestAgent(), &single.GetAgent(1));
  EXPECT_EQ(single.IndexOfWorst(), 1);
  EXPECT_EQ(single.MaxFitness(), -3.0);
  EXPECT_EQ(single.MinFitness(), -3.0);
}

TEST(TPopulation, RankSharesTheLowerRank) {
  TPopulation population = MakePopulation({3, 1, 3, 2});
  population.Rank();
  const double expected[] = {3, 1, 3, 2};
  for (int i = 1; i <= 4; ++i) {
    EXPECT_EQ(population.GetAgent(i).RankFitness, expected[i - 1]) << "agent " << i;
  }
  TPopulation equal = MakePopulation({4, 4, 4, 4});
  equal.Rank();
  for (int i = 1; i <= 4; ++i) {
    EXPECT_EQ(equal.GetAgent(i).RankFitness, 1.0);
  }
}

TEST(TPopulation, AverageFitness) {
  EXPECT_EQ(MakePopulation({1, 2, 4}).AverageFitness(), 7.0 / 3.0);
}

#ifndef NDEBUG
TEST(TPopulationDeathTest, StatisticsOfAnEmptyPopulationAssert) {
  const TPopulation empty;
  EXPECT_DEATH(empty.MaxFitness(), "Count");
  EXPECT_DEATH(empty.AverageFitness(), "Count");
  EXPECT_DEATH(empty.IndexOfWorst(), "Count");
  EXPECT_DEATH(MakePopulation({1}).IndexOfSecondWorst(), "Count");
}
#endif

}  // namespace
}  // namespace kestrovan
