#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>
#include <numbers>
#include <sstream>
#include <string>
#include <string_view>

#include "arena/Arena.h"
#include "numerics/RandomNumbers.h"
#include "numerics/Trig.h"

// Counts every allocation of the test program, to show that a step of
// cylinder motion allocates nothing.
namespace {
std::atomic<long> allocationCount{0};
}  // namespace

void* operator new(std::size_t Size) {
  allocationCount.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(Size == 0 ? 1 : Size)) {
    return p;
  }
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace kestrovan {
namespace {

TArena Load(std::string_view Text) {
  std::istringstream input{std::string(Text)};
  return TArena(input, "test.txt");
}

double X(const TArenaObject& Object) { return Object.Position.GetElement(1); }
double Y(const TArenaObject& Object) { return Object.Position.GetElement(2); }
double VX(const TArenaObject& Object) { return Object.Velocity.GetElement(1); }
double VY(const TArenaObject& Object) { return Object.Velocity.GetElement(2); }

// A floor 4 m along x and 2 m along y, centred on the origin.
const char* const kFloor = "object Ground: TBasicFloor\n  Width = 4\n  Length = 2\nend\n";

std::string Cylinder(const std::string& Properties) { return "object C: TCylinderZ\n" + Properties + "end\n"; }

// The floor rectangle as XMin, XMax, YMin, YMax; NaN where GetFloorBounds
// leaves an output alone.
std::array<double, 4> FloorBounds(const TArena& Arena) {
  std::array<double, 4> b;
  b.fill(std::numeric_limits<double>::quiet_NaN());
  Arena.GetFloorBounds(b[0], b[1], b[2], b[3]);
  return b;
}

TEST(TArena, FloorBoundsComeFromTheFirstBasicFloor) {
  const TArena arena = Load(std::string("object Slab: TFloor\n  Width = 10\n  Length = 10\nend\n") + kFloor +
                            "object Second: TBasicFloor\n  Width = 8\n  Length = 8\nend\n");
  EXPECT_EQ(FloorBounds(arena), (std::array<double, 4>{-2.0, 2.0, -1.0, 1.0}));
  EXPECT_EQ(arena.Floor(), &arena.Objects(2));
}

TEST(TArena, FloorBoundsFollowThePosition) {
  const TArena arena = Load("object G: TBasicFloor\n  Position = 1 -3 0.5\n  Width = 3\n  Length = 5\nend\n");
  EXPECT_EQ(FloorBounds(arena), (std::array<double, 4>{-0.5, 2.5, -5.5, -0.5}));
}

TEST(TArena, WithoutBasicFloorTheBoundsAreLeftAlone) {
  const TArena arena = Load("object Slab: TFloor\n  Width = 10\n  Length = 10\nend\n");
  double xMin = 7.0;
  double xMax = 8.0;
  double yMin = 9.0;
  double yMax = 10.0;
  EXPECT_FALSE(arena.GetFloorBounds(xMin, xMax, yMin, yMax));
  EXPECT_EQ(xMin, 7.0);
  EXPECT_EQ(xMax, 8.0);
  EXPECT_EQ(yMin, 9.0);
  EXPECT_EQ(yMax, 10.0);
  EXPECT_EQ(arena.Floor(), nullptr);
}

TEST(TArena, DragKeepsTheFractionOfSpeedGivenByMass) {
  TArena arena = Load(Cylinder("  Velocity = 1 -2 0.5\n  Position = 0.25 0 1\n  Mass = 1\n"));
  arena.MoveObjects(0.01);
  const TArenaObject& c = arena.Objects(1);
  // v - v * (0.1 / m) * dt, then x + v * dt
  EXPECT_EQ(VX(c), 1.0 - 1.0 * (0.1 / 1.0) * 0.01);
  EXPECT_EQ(VY(c), -2.0 - -2.0 * (0.1 / 1.0) * 0.01);
  EXPECT_NEAR(VX(c), 0.999, 1e-15);
  EXPECT_NEAR(c.Velocity.GetElement(3), 0.4995, 1e-15);
  EXPECT_EQ(X(c), 0.25 + VX(c) * 0.01);
  EXPECT_EQ(Y(c), 0.0 + VY(c) * 0.01);
  // z moves too; nothing bounds it
  EXPECT_EQ(c.Position.GetElement(3), 1.0 + c.Velocity.GetElement(3) * 0.01);
}

TEST(TArena, DragIsLinearInTheMass) {
  TArena arena = Load(Cylinder("  Velocity = 0.5 0 0\n  Mass = 0.25\n"));
  for (int i = 0; i < 100; ++i) {
    arena.MoveObjects(0.01);
  }
  EXPECT_NEAR(VX(arena.Objects(1)), 0.5 * std::pow(1.0 - 0.4 * 0.01, 100), 1e-14);
}

TEST(TArena, BounceIsStrict) {
  // radius 1/8 on a floor reaching x = 2: the limit is x = 1.875; a very
  // large mass keeps the drag below the last bit, so each step is exact
  TArena arena = Load(std::string(kFloor) +
                      "object Touch: TCylinderZ\n  Position = 1.75 0 0\n  Velocity = 2 0 0\n  Radius = 0.125\n"
                      "  Mass = 1e300\nend\n"
                      "object Cross: TCylinderZ\n  Position = 1.75 0.5 0\n  Velocity = 4 0 0\n  Radius = 0.125\n"
                      "  Mass = 1e300\nend\n");
  arena.MoveObjects(0.0625);
  const TArenaObject& touch = arena.Objects(2);
  EXPECT_EQ(X(touch), 1.875);
  EXPECT_EQ(VX(touch), 2.0);
  const TArenaObject& cross = arena.Objects(3);
  EXPECT_EQ(X(cross), 1.875);
  EXPECT_EQ(VX(cross), -4.0);
}

TEST(TArena, BounceOffEveryEdge) {
  TArena arena = Load(std::string(kFloor) +
                      "object Low: TCylinderZ\n  Position = -1.85 -0.85 0\n  Velocity = -10 -10 0\n  Radius = 0.1\n"
                      "  Mass = 1e300\nend\n"
                      "object High: TCylinderZ\n  Position = 1.85 0.85 0\n  Velocity = 10 10 0\n  Radius = 0.1\n"
                      "  Mass = 1e300\nend\n");
  arena.MoveObjects(0.01);
  const TArenaObject& low = arena.Objects(2);
  EXPECT_EQ(X(low), -2.0 + 0.1);
  EXPECT_EQ(Y(low), -1.0 + 0.1);
  EXPECT_EQ(VX(low), 10.0);
  EXPECT_EQ(VY(low), 10.0);
  const TArenaObject& high = arena.Objects(3);
  EXPECT_EQ(X(high), 2.0 - 0.1);
  EXPECT_EQ(Y(high), 1.0 - 0.1);
  EXPECT_EQ(VX(high), -10.0);
  EXPECT_EQ(VY(high), -10.0);
}

TEST(TArena, DrinkCanThatIsACylinderBouncesWithItsRadius) {
  TArena arena = Load(std::string(kFloor) +
                      "object Can: TSoftDrinkCanZ\n  Position = 1.9 0 0\n  Velocity = 1 0 0\n  Radius = 0.2\n"
                      "  Mass = 0.5\nend\n");
  arena.MoveObjects(0.01);
  EXPECT_EQ(X(arena.Objects(2)), 1.8);
  EXPECT_LT(VX(arena.Objects(2)), 0.0);
}

TEST(TArena, CylindersWithoutPositiveMassAreImmovable) {
  TArena arena = Load(std::string(kFloor) + Cylinder("  Position = 3 0 0\n  Velocity = 1 1 0\n  Radius = 0.1\n") +
                      Cylinder("  Position = 0 0 0\n  Velocity = 1 1 0\n  Mass = 0\n") +
                      Cylinder("  Position = 0 0 0\n  Velocity = 1 1 0\n  Mass = -2\n") +
                      Cylinder("  Position = 0 0 0\n  Velocity = 1 1 0\n  Mass = 0.5\n"));
  arena.Cylinders()[1]->Mass = std::numeric_limits<double>::quiet_NaN();
  for (int i = 0; i < 10; ++i) {
    arena.MoveObjects(0.01);
  }
  for (int i = 2; i <= 4; ++i) {
    const TArenaObject& c = arena.Objects(i);
    EXPECT_TRUE(static_cast<const TCylinderZ&>(c).IsImmovable());
    EXPECT_EQ(X(c), i == 2 ? 3.0 : 0.0) << i;
    EXPECT_EQ(Y(c), 0.0) << i;
    EXPECT_EQ(VX(c), 1.0) << i;
    EXPECT_TRUE(std::isfinite(VX(c)));
  }
  EXPECT_GT(X(arena.Objects(5)), 0.0);
}

TEST(TArena, OnlyCylindersMove) {
  TArena arena = Load(
      "object W: TWall\n  Velocity = 1 1 1\n  Mass = 1\nend\n"
      "object D: TSoftDrinkCan\n  Velocity = 1 1 1\n  Mass = 1\n  Radius = 0.03\nend\n"
      "object Z: TSoftDrinkCanZ\n  Velocity = 1 1 1\n  Mass = 1\n  Radius = 0.03\nend\n");
  arena.MoveObjects(0.5);
  EXPECT_EQ(X(arena.Objects(1)), 0.0);
  EXPECT_EQ(X(arena.Objects(2)), 0.0);
  EXPECT_GT(X(arena.Objects(3)), 0.0);
}

TEST(TArena, WithoutBasicFloorNothingBounces) {
  TArena arena = Load(Cylinder("  Position = 100 -100 0\n  Velocity = 1 -1 0\n  Radius = 0.1\n  Mass = 1\n"));
  arena.MoveObjects(0.01);
  EXPECT_GT(X(arena.Objects(1)), 100.0);
  EXPECT_GT(VX(arena.Objects(1)), 0.0);
  EXPECT_LT(Y(arena.Objects(1)), -100.0);
}

TEST(TArena, MoveObjectsAllocatesNothing) {
  TArena arena = Load(std::string(kFloor) + Cylinder("  Velocity = 3 2 0\n  Radius = 0.1\n  Mass = 1\n") +
                      Cylinder("  Velocity = -1 2 0\n  Radius = 0.05\n  Mass = 0.2\n"));
  arena.MoveObjects(0.01);
  const long before = allocationCount.load();
  for (int i = 0; i < 1000; ++i) {
    arena.MoveObjects(0.01);
  }
  EXPECT_EQ(allocationCount.load(), before);
}

const char* const kMixed =
    "object G: TBasicFloor\n  Width = 4\n  Length = 4\nend\n"
    "object A: TCylinderZ\n  Position = 0.5 0 0.1\n  Velocity = 0.3 0.2 0.7\n  Radius = 0.1\n  Mass = 1\nend\n"
    "object W: TWall\n  Position = 0 1 0\n  Velocity = 0.5 0.5 0\n  Angle = 30\nend\n"
    "object D: TSoftDrinkCan\n  Radius = 0.03\nend\n"
    "object Z: TSoftDrinkCanZ\n  Position = -0.5 0 0\n  Radius = 0.03\n  Mass = 0.1\nend\n"
    "object B: TCylinderZ\n  Position = 0 -0.5 0\n  Radius = 0.04\n  Mass = 0.3\n  Angle = 45\nend\n";

TEST(TArena, RandomVelocitiesDrawSpeedThenDirectionForEachCylinder) {
  TArena arena = Load(kMixed);
  arena.RandomizeCylinderVelocities(7, 0.1, 0.3);

  TUniformRandomGenerator generator;
  generator.SetSeed(7);
  ASSERT_EQ(arena.Cylinders().size(), 3u);
  for (const TCylinderZ* cylinder : arena.Cylinders()) {
    const double u1 = generator.GetUniform();
    const double speed = 0.1 + u1 * (0.3 - 0.1);
    const double u2 = generator.GetUniform();
    const double direction = static_cast<double>(static_cast<long double>(u2) * 2 * std::numbers::pi_v<long double>);
    EXPECT_EQ(VX(*cylinder), trig::cos(direction) * speed) << cylinder->Name;
    EXPECT_EQ(VY(*cylinder), trig::sin(direction) * speed) << cylinder->Name;
    // the same within rounding when formed in double throughout
    EXPECT_NEAR(std::atan2(VY(*cylinder), VX(*cylinder)),
                std::remainder(u2 * 2.0 * std::numbers::pi, 2.0 * std::numbers::pi), 1e-12);
    EXPECT_NEAR(std::hypot(VX(*cylinder), VY(*cylinder)), speed, 1e-15);
  }
  // z velocities and positions are untouched, and so is every other object
  EXPECT_EQ(arena.Objects(2).Velocity.GetElement(3), 0.7);
  EXPECT_EQ(X(arena.Objects(2)), 0.5);
  EXPECT_EQ(VX(arena.Objects(3)), 0.5);
  EXPECT_EQ(VX(arena.Objects(4)), 0.0);
}

// The horizontal velocities of every cylinder after RandomizeCylinderVelocities(Seed, 0.05, 0.5).
std::vector<double> RandomVelocities(std::int32_t Seed) {
  TArena arena = Load(kMixed);
  arena.RandomizeCylinderVelocities(Seed, 0.05, 0.5);
  std::vector<double> velocities;
  for (const TCylinderZ* cylinder : arena.Cylinders()) {
    velocities.push_back(VX(*cylinder));
    velocities.push_back(VY(*cylinder));
  }
  return velocities;
}

TEST(TArena, RandomVelocitySeedsZeroAndNegative) {
  EXPECT_EQ(RandomVelocities(0), RandomVelocities(1));
  EXPECT_EQ(RandomVelocities(-5), RandomVelocities(5));
  EXPECT_NE(RandomVelocities(5), RandomVelocities(6));
  EXPECT_EQ(RandomVelocities(12345), RandomVelocities(12345));
  // |-2^31| does not fit 32 bits; it acts as its residue 1
  EXPECT_EQ(RandomVelocities(std::numeric_limits<std::int32_t>::min()), RandomVelocities(1));
}

TEST(TArena, ZeroSpeedRangeSetsCylindersAtRest) {
  TArena arena = Load(kMixed);
  arena.RandomizeCylinderVelocities(3, 0.0, 0.0);
  for (const TCylinderZ* cylinder : arena.Cylinders()) {
    EXPECT_EQ(VX(*cylinder), 0.0);
    EXPECT_EQ(VY(*cylinder), 0.0);
  }
}

TEST(TArena, SnapshotHoldsTheLoadedStateAndResetRestoresIt) {
  TArena arena = Load(kMixed);
  ASSERT_EQ(arena.InitialStates().size(), 6u);
  const TArena::TInitialState& a = arena.InitialStates()[1];
  EXPECT_EQ(a.Position[0], 0.5);
  EXPECT_EQ(a.Position[2], 0.1);
  EXPECT_EQ(a.Velocity[1], 0.2);
  EXPECT_EQ(arena.InitialStates()[2].Angle, 30.0);

  const TArena loaded = arena;
  arena.RandomizeCylinderVelocities(9, 0.1, 0.2);
  for (int i = 0; i < 500; ++i) {
    arena.MoveObjects(0.01);
  }
  arena.Objects(3).Position.SetElement(1, 42.0);
  arena.Objects(3).Angle = 90.0;
  arena.Objects(6).Angle = -1.0;
  arena.Objects(2).Mass = 5.0;
  ASSERT_NE(X(arena.Objects(2)), 0.5);

  arena.ResetObjects();
  for (int i = 1; i <= arena.NumberOfObjects(); ++i) {
    for (int k = 1; k <= 3; ++k) {
      EXPECT_EQ(arena.Objects(i).Position.GetElement(k), loaded.Objects(i).Position.GetElement(k)) << i;
      EXPECT_EQ(arena.Objects(i).Velocity.GetElement(k), loaded.Objects(i).Velocity.GetElement(k)) << i;
    }
    EXPECT_EQ(arena.Objects(i).Angle, loaded.Objects(i).Angle) << i;
  }
  // the snapshot covers position, velocity and angle only
  EXPECT_EQ(arena.Objects(2).Mass, 5.0);
}

TEST(TArena, CopyIsIndependentAndGathersItsOwnCylinders) {
  TArena source = Load(std::string(kMixed) + "object M: TAmbience\n  FogEnd = 3\nend\n");
  TArena copy(source);
  ASSERT_EQ(copy.NumberOfObjects(), source.NumberOfObjects());
  ASSERT_EQ(copy.Cylinders().size(), source.Cylinders().size());
  for (std::size_t i = 0; i < copy.Cylinders().size(); ++i) {
    EXPECT_NE(copy.Cylinders()[i], source.Cylinders()[i]);
  }
  EXPECT_EQ(copy.Cylinders()[0], &copy.Objects(2));
  EXPECT_EQ(copy.Cylinders()[1], &copy.Objects(5));
  EXPECT_EQ(copy.Cylinders()[2], &copy.Objects(6));
  EXPECT_EQ(copy.Floor(), &copy.Objects(1));
  ASSERT_NE(copy.Ambience(), nullptr);
  EXPECT_NE(copy.Ambience(), source.Ambience());
  EXPECT_EQ(copy.Ambience()->FogEnd, 3.0);
  EXPECT_EQ(std::string(ArenaClassName(copy.Objects(5))), "TSoftDrinkCanZ");
  EXPECT_EQ(static_cast<const TSoftDrinkCanZ&>(copy.Objects(5)).Radius, 0.03);

  for (int i = 0; i < 100; ++i) {
    copy.MoveObjects(0.01);
  }
  EXPECT_EQ(X(source.Objects(2)), 0.5);
  EXPECT_NE(X(copy.Objects(2)), 0.5);
  copy.ResetObjects();
  EXPECT_EQ(X(copy.Objects(2)), 0.5);
  source.Objects(2).Name = "Renamed";
  EXPECT_EQ(copy.Objects(2).Name, "A");
}

}  // namespace
}  // namespace kestrovan
