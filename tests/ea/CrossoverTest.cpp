#include <gtest/gtest.h>

#include "TestAgent.h"
#include "ea/Crossover.h"

namespace kestrovan {
namespace {

using test::AsTest;
using test::TTestAgent;

TEST(TCrossover, ExecuteMakesTwoChildrenFromItsOwnParentCopies) {
  const int live = TTestAgent::Live;
  {
    TTestAgent first(1, 4.0);
    const TTestAgent second(2, 6.0);
    TCrossover crossover(first, second);
    EXPECT_EQ(crossover.Child1, nullptr);
    first.Mutate();  // the parent copy is not the caller's agent
    crossover.Execute();
    ASSERT_NE(crossover.Child1, nullptr);
    ASSERT_NE(crossover.Child2, nullptr);
    EXPECT_EQ(AsTest(*crossover.Child1).Mutations, 0);
    EXPECT_EQ(AsTest(*crossover.Child2).Id, 2);
    EXPECT_EQ(crossover.Child2->Fitness, 6.0);
    EXPECT_EQ(TTestAgent::Live, live + 6);
  }
  EXPECT_EQ(TTestAgent::Live, live);
}

}  // namespace
}  // namespace kestrovan
