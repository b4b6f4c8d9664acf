#include "ea/Crossover.h"

#include <gtest/gtest.h>

#include "TestAgent.h"

namespace kestrovan {
namespace {

using test::AsTest;
using test::TTestAgent;

TEST(TCrossover, OwnsCopiesOfTheParentsAndMakesTwoChildren) {
  const int live = TTestAgent::Live;
  {
    TTestAgent first(1, 4.0);
    TTestAgent second(2, 6.0);
    TCrossover crossover(first, second);
    crossover.SetCrossoverType(3);
    EXPECT_EQ(crossover.CrossoverType, 3);
    EXPECT_EQ(crossover.Child1, nullptr);
    EXPECT_EQ(crossover.Child2, nullptr);

    // the parents are copies: changing the originals leaves them alone
    first.Mutate();
    ASSERT_NE(crossover.Parent1, nullptr);
    EXPECT_NE(crossover.Parent1.get(), &first);
    EXPECT_EQ(AsTest(*crossover.Parent1).Mutations, 0);

    crossover.Execute();
    ASSERT_NE(crossover.Child1, nullptr);
    ASSERT_NE(crossover.Child2, nullptr);
    EXPECT_NE(crossover.Child1.get(), crossover.Parent1.get());
    EXPECT_EQ(AsTest(*crossover.Child1).Id, 1);
    EXPECT_EQ(AsTest(*crossover.Child2).Id, 2);
    EXPECT_EQ(crossover.Child1->Fitness, 4.0);
    EXPECT_EQ(crossover.Child2->Fitness, 6.0);
    EXPECT_EQ(TTestAgent::Live, live + 6);
  }
  EXPECT_EQ(TTestAgent::Live, live);
}

}  // namespace
}  // namespace kestrovan
