#include <gtest/gtest.h>

#include "numerics/RandomNumbers.h"

namespace kestrovan {
namespace {

TEST(Random, SequenceFromZero) {
  RandSeed = 0;
  EXPECT_EQ(Random(), 2.3283064365386963e-10);
  EXPECT_EQ(RandSeed, 1u);
  EXPECT_EQ(Random(), 0.031379939522594213);
  EXPECT_EQ(RandSeed, 134775814u);
  EXPECT_EQ(Random(), 0.8610484672244638);
  EXPECT_EQ(RandSeed, 3698175007u);
}

TEST(Random, StaysInUnitInterval) {
  RandSeed = 0xFFFFFFFFu;
  for (int i = 0; i < 100000; ++i) {
    const double r = Random();
    ASSERT_GE(r, 0.0);
    ASSERT_LT(r, 1.0);
  }
}

TEST(Random, SameSeedSameSequence) {
  RandSeed = 424242;
  const double a = Random();
  const double b = Random();
  RandSeed = 424242;
  EXPECT_EQ(Random(), a);
  EXPECT_EQ(Random(), b);
}

TEST(Randomize, TimeOfDayInMilliseconds) {
  EXPECT_EQ(MillisecondsSinceMidnight(0, 0, 0, 0), 0u);
  EXPECT_EQ(MillisecondsSinceMidnight(23, 59, 59, 999), 86399999u);
  EXPECT_EQ(MillisecondsSinceMidnight(1, 2, 3, 4), 3723004u);
  Randomize();
  EXPECT_LE(RandSeed, 86399999u);
}

TEST(TUniformRandomGenerator, SequenceFromOne) {
  TUniformRandomGenerator g;
  g.SetSeed(1);
  EXPECT_EQ(g.GetUniform(), 2.2477936010098986e-05);
  EXPECT_EQ(g.State(), 48271);
  EXPECT_EQ(g.GetUniform(), 0.08503244914348818);
  EXPECT_EQ(g.State(), 182605794);
  EXPECT_EQ(g.GetUniform(), 0.6013526053174179);
  EXPECT_EQ(g.State(), 1291394886);
}

TEST(TUniformRandomGenerator, FixedPoints) {
  TUniformRandomGenerator g;
  g.SetSeed(0);
  EXPECT_EQ(g.GetUniform(), 0.0);
  EXPECT_EQ(g.GetUniform(), 0.0);
  g.SetSeed(2147483647);
  g.Next();
  EXPECT_EQ(g.State(), 0);
  EXPECT_EQ(g.GetUniform(), 0.0);
}

TEST(TUniformRandomGenerator, LargestStateDoesNotOverflow) {
  TUniformRandomGenerator g;
  g.SetSeed(2147483646);
  g.Next();
  // 48271 * (m - 1) mod m = m - 48271
  EXPECT_EQ(g.State(), 2147483647 - 48271);
}

TEST(TUniformRandomGenerator, ClockSeedIsValidAndSetSeedOverridesIt) {
  TUniformRandomGenerator a;
  EXPECT_GE(a.State(), 1);
  EXPECT_LE(a.State(), 2147483646);
  TUniformRandomGenerator b;
  a.SetSeed(777);
  b.SetSeed(777);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(a.GetUniform(), b.GetUniform());
  }
}

}  // namespace
}  // namespace kestrovan
