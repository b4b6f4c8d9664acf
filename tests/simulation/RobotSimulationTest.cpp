#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

#include "robot/DifferentiallySteeredBody.h"
#include "simulation/AllocationCounter.h"
#include "simulation/RobotSimulation.h"
#include "simulation/SimulationTestSupport.h"

namespace kestrovan {
namespace {

using test::TArenaText;

class RobotSimulationFixture : public ::testing::Test {
 protected:
  // The robot reset and the arena loaded from Text, as an evaluation starts.
  void Use(const TArenaText& Text, double SimulationTime = 20.0, double TimeStep = 0.01) {
    arena = Text.Arena();
    simulation.SetParameters(TRobotSimulationParameters(SimulationTime, TimeStep));
    simulation.SetArena(*arena);
    robot->Reset();
    arena->ResetObjects();
    simulation.SetAgent(*robot);
  }

  TDifferentiallySteeredBody& Body() { return static_cast<TDifferentiallySteeredBody&>(*robot->Body); }
  TCoordinates& Pose() { return Body().Coordinates; }

  // Puts the robot at (X, Y) moving with velocity (VX, VY), Speed and Heading.
  void Place(double X, double Y, double VX = 0.0, double VY = 0.0, double Heading = 0.0, double Speed = 0.0) {
    Pose().SetPosition(1, X);
    Pose().SetPosition(2, Y);
    Pose().SetVelocity(1, VX);
    Pose().SetVelocity(2, VY);
    Pose().Heading = Heading;
    Pose().Speed = Speed;
  }

  TCylinderZ& Cylinder(int k) { return *arena->Cylinders()[static_cast<std::size_t>(k - 1)]; }
  double CX(int k) { return Cylinder(k).Position.GetElement(1); }
  double CY(int k) { return Cylinder(k).Position.GetElement(2); }
  double CVX(int k) { return Cylinder(k).Velocity.GetElement(1); }
  double CVY(int k) { return Cylinder(k).Velocity.GetElement(2); }

  std::unique_ptr<TRobot> robot = test::DefaultRobot();
  std::unique_ptr<TArena> arena;
  TRobotSimulation simulation;
};

using RobotSimulationFitness = RobotSimulationFixture;
using RobotSimulationFloorEdge = RobotSimulationFixture;
using RobotSimulationCollision = RobotSimulationFixture;
using RobotSimulationRun = RobotSimulationFixture;

TEST_F(RobotSimulationFitness, IsTheNormOfAllCylinderPositions) {
  Use(TArenaText().Cylinder(3, 4, 0.03, 0.1).Wall(7, 7).Cylinder(0, 0, 0.03, 0.1));
  robot->Fitness = 99.0;  // accumulated from 0, not from what the agent carried
  simulation.ComputeFitness();
  EXPECT_DOUBLE_EQ(robot->Fitness, 5.0);
}

TEST_F(RobotSimulationFloorEdge, StopsAfterTheFirstStepNearAnEdgeOnly) {
  Use(TArenaText().Floor(2, 2).Cylinder(0.5, 0.5, 0.03, 0.1));
  simulation.Step();
  EXPECT_FALSE(simulation.Finished) << "the centre of the floor is far from every edge";

  Use(TArenaText().Floor(2, 2).Cylinder(0.5, 0.5, 0.03, 0.1));
  Place(0.95, 0.0);
  simulation.Step();
  EXPECT_TRUE(simulation.Finished);
  EXPECT_LT(simulation.Time, simulation.SimulationTime);
  EXPECT_EQ(robot->ElapsedTime, simulation.Time);
  EXPECT_DOUBLE_EQ(robot->Fitness, std::sqrt(0.5)) << "the fitness is computed when the edge ends the run";
}

TEST_F(RobotSimulationFloorEdge, MarginIsRadiusPlusOneCentimetreExclusive) {
  Use(TArenaText().Floor(2, 2));
  // a radius whose margin r + 0.01 is 1/16, so that distances to the edges
  // of this floor can equal it exactly
  const double margin = 0.0625;
  double radius = 0.0525;
  while (radius + 0.01 < margin) {
    radius = std::nextafter(radius, 1.0);
  }
  while (radius + 0.01 > margin) {
    radius = std::nextafter(radius, 0.0);
  }
  ASSERT_EQ(radius + 0.01, margin);
  Body().Radius = radius;
  // on every side: exactly the margin away does not stop, a hair closer does
  const double right = 1.0 - margin;
  const double left = -1.0 + margin;
  ASSERT_EQ(1.0 - right, margin);
  ASSERT_EQ(left - -1.0, margin);

  Place(right, 0.0);
  EXPECT_FALSE(simulation.RobotAtFloorEdge());
  Place(std::nextafter(right, 2.0), 0.0);
  EXPECT_TRUE(simulation.RobotAtFloorEdge());
  Place(left, 0.0);
  EXPECT_FALSE(simulation.RobotAtFloorEdge());
  Place(std::nextafter(left, -2.0), 0.0);
  EXPECT_TRUE(simulation.RobotAtFloorEdge());
  Place(0.0, right);
  EXPECT_FALSE(simulation.RobotAtFloorEdge());
  Place(0.0, std::nextafter(left, -2.0));
  EXPECT_TRUE(simulation.RobotAtFloorEdge());

  // a step with the robot exactly the margin away keeps running
  Place(right, 0.0);
  simulation.Step();
  EXPECT_FALSE(simulation.Finished);
}

TEST_F(RobotSimulationFloorEdge, UsesTheFloorRectangleWidthAlongXLengthAlongY) {
  // 4 m along x, 1 m along y
  Use(TArenaText().Floor(4, 1));
  Place(1.5, 0.0);
  EXPECT_FALSE(simulation.RobotAtFloorEdge()) << "1.5 m lies well inside a floor 4 m wide";
  simulation.Step();
  EXPECT_FALSE(simulation.Finished);

  Place(0.0, 0.45);
  EXPECT_TRUE(simulation.RobotAtFloorEdge()) << "0.05 m from the edge of a floor 1 m long";

  // a floor whose centre is not the origin
  Use(TArenaText().Floor(2, 2, 5.0, -3.0));
  Place(5.0, -3.0);
  EXPECT_FALSE(simulation.RobotAtFloorEdge());
  Place(5.95, -3.0);
  EXPECT_TRUE(simulation.RobotAtFloorEdge());
}

TEST_F(RobotSimulationFloorEdge, TakesTheFirstBasicFloorWhereverItIsListed) {
  Use(TArenaText().Wall(0, 0).Cylinder(0.5, 0, 0.03, 0.1).Floor(2, 2));
  Place(0.95, 0.0);
  EXPECT_TRUE(simulation.RobotAtFloorEdge());

  // without a TBasicFloor there is no edge
  Use(TArenaText().Wall(0, 0).Cylinder(0.5, 0, 0.03, 0.1));
  Place(100.0, -100.0);
  EXPECT_FALSE(simulation.RobotAtFloorEdge());
  simulation.Step();
  EXPECT_FALSE(simulation.Finished);
}

TEST_F(RobotSimulationCollision, EqualMassesExchangeTheirNormalVelocities) {
  // robot of mass 0.1 at (1, 0) into a resting cylinder of mass 0.1 straight ahead
  ASSERT_EQ(Body().Mass, 0.1);
  Use(TArenaText().Cylinder(0.07, 0.0, 0.03, 0.1));
  Place(0.0, 0.0, 1.0, 0.0, 0.0, 1.0);
  simulation.HandleCylinderCollisions();

  EXPECT_NEAR(Pose().GetVelocity(1), 0.0, 1e-12);
  EXPECT_NEAR(Pose().GetVelocity(2), 0.0, 1e-12);
  EXPECT_NEAR(Pose().Speed, 0.0, 1e-12);
  EXPECT_NEAR(CVX(1), 1.0, 1e-12);
  EXPECT_NEAR(CVY(1), 0.0, 1e-12);
  // the robot is put back to exact contact; the cylinder stays where it was
  const double distance = std::hypot(Pose().GetPosition(1) - CX(1), Pose().GetPosition(2) - CY(1));
  EXPECT_NEAR(distance, Body().Radius + 0.03, 1e-15);
  EXPECT_EQ(CX(1), 0.07);
  EXPECT_EQ(CY(1), 0.0);
}

TEST_F(RobotSimulationCollision, TouchingDiscsExchangeNothing) {
  // radii and distance exact in binary: the overlap is exactly 0
  Use(TArenaText().Cylinder(0.5, 0.0, 0.25, 0.1));
  Body().Radius = 0.25;
  Place(0.0, 0.0, 1.0, 0.0, 0.0, 1.0);
  simulation.HandleCylinderCollisions();
  EXPECT_EQ(Pose().GetVelocity(1), 1.0);
  EXPECT_EQ(Pose().Speed, 1.0);
  EXPECT_EQ(Pose().GetPosition(1), 0.0);
  EXPECT_EQ(CVX(1), 0.0);

  // the slightest overlap collides
  Place(std::ldexp(1.0, -20), 0.0, 1.0, 0.0, 0.0, 1.0);
  simulation.HandleCylinderCollisions();
  EXPECT_NEAR(CVX(1), 1.0, 1e-12);
  EXPECT_EQ(Pose().GetPosition(1), 0.0) << "put back to exact contact";
}

TEST_F(RobotSimulationCollision, ImmovableCylinderReflectsTheRobot) {
  // mass 0 and a cylinder without a Mass line (the default -1) are both immovable
  for (const double mass : {0.0, -1.0}) {
    SCOPED_TRACE(mass);
    // normal from the cylinder to the robot: (-0.8, -0.6)
    Use(TArenaText().Cylinder(0.04, 0.03, 0.03, mass));
    Place(0.0, 0.0, 1.0, 0.0, 0.0, 1.0);
    simulation.HandleCylinderCollisions();

    EXPECT_NEAR(Pose().GetVelocity(1), -0.28, 1e-12);
    EXPECT_NEAR(Pose().GetVelocity(2), -0.96, 1e-12);
    EXPECT_NEAR(Pose().Speed, -0.28, 1e-12) << "the component along heading 0";
    EXPECT_NEAR(Pose().GetPosition(1), 0.04 - 0.08 * 0.8, 1e-12);
    EXPECT_NEAR(Pose().GetPosition(2), 0.03 - 0.08 * 0.6, 1e-12);
    EXPECT_EQ(CX(1), 0.04);
    EXPECT_EQ(CY(1), 0.03);
    EXPECT_EQ(CVX(1), 0.0);
    EXPECT_EQ(CVY(1), 0.0);
  }
}

TEST_F(RobotSimulationCollision, CoincidentCentresAreLeftAlone) {
  Use(TArenaText().Cylinder(0.3, 0.2, 0.03, 0.1, 0.5, 0.0));
  Place(0.3, 0.2, 1.0, 0.0, 0.0, 1.0);
  simulation.HandleCylinderCollisions();
  EXPECT_EQ(Pose().GetVelocity(1), 1.0);
  EXPECT_EQ(Pose().GetPosition(1), 0.3);
  EXPECT_EQ(Pose().GetPosition(2), 0.2);
  EXPECT_EQ(CVX(1), 0.5);
  EXPECT_EQ(CVY(1), 0.0);

  // and a whole step stays finite
  simulation.Step();
  EXPECT_TRUE(std::isfinite(Pose().GetPosition(1)) && std::isfinite(Pose().GetPosition(2)));
}

TEST_F(RobotSimulationCollision, RobotBackingIntoALightCylinderKeepsBackingOff) {
  // a cylinder of half the robot's mass behind the robot, for headings 0 and pi/2
  for (const double heading : {0.0, std::numbers::pi / 2}) {
    SCOPED_TRACE(heading);
    const double bx = -0.07 * std::cos(heading);
    const double by = -0.07 * std::sin(heading);
    Use(TArenaText().Cylinder(bx, by, 0.03, 0.05));
    Place(0.0, 0.0, -0.2 * std::cos(heading), -0.2 * std::sin(heading), heading, -0.2);
    simulation.HandleCylinderCollisions();

    // slowed from 0.2 to 0.2/3 m/s, still backwards
    EXPECT_NEAR(Pose().Speed, -0.2 / 3, 1e-12);
    EXPECT_NEAR(std::hypot(CVX(1), CVY(1)), 0.8 / 3, 1e-12);
  }
}

TEST_F(RobotSimulationCollision, ALaterCylinderSeesTheRobotAsAnEarlierOneLeftIt) {
  // two cylinders ahead; the first puts the robot back out of the second's reach
  Use(TArenaText().Cylinder(0.07, 0.0, 0.03, 0.1).Cylinder(0.05, 0.06, 0.03, 0.1));
  Place(0.0, 0.0, 1.0, 0.0, 0.0, 1.0);
  ASSERT_LT(std::hypot(0.05, 0.06), Body().Radius + 0.03) << "the second cylinder overlaps the robot as placed";
  simulation.HandleCylinderCollisions();
  EXPECT_NEAR(CVX(1), 1.0, 1e-12);
  EXPECT_EQ(CVX(2), 0.0);
  EXPECT_EQ(CVY(2), 0.0);
}

TEST_F(RobotSimulationRun, TrajectoriesHaveOneRowPerStep) {
  Use(TArenaText().Floor(2, 2).Cylinder(0.3, 0.1, 0.03, 0.1, 0.2, 0.0).Wall(1, 1).Cylinder(-0.4, 0.2, 0.04, 0.2));
  simulation.RecordTrajectory = true;
  simulation.Initialize();
  for (int n = 1; n <= 7; ++n) {
    simulation.Step();
  }
  ASSERT_EQ(simulation.RobotTrajectory.Rows(), 7);
  ASSERT_EQ(simulation.RobotTrajectory.Columns(), 2);
  ASSERT_EQ(simulation.CylinderTrajectory.Rows(), 7);
  ASSERT_EQ(simulation.CylinderTrajectory.Columns(), 4);
  // the last row holds the positions after the last step, cylinders in list order
  EXPECT_EQ(simulation.RobotTrajectory.GetElement(7, 1), Pose().GetPosition(1));
  EXPECT_EQ(simulation.RobotTrajectory.GetElement(7, 2), Pose().GetPosition(2));
  EXPECT_EQ(simulation.CylinderTrajectory.GetElement(7, 1), CX(1));
  EXPECT_EQ(simulation.CylinderTrajectory.GetElement(7, 2), CY(1));
  EXPECT_EQ(simulation.CylinderTrajectory.GetElement(7, 3), CX(2));
  EXPECT_EQ(simulation.CylinderTrajectory.GetElement(7, 4), CY(2));
  EXPECT_GT(simulation.CylinderTrajectory.GetElement(7, 1), simulation.CylinderTrajectory.GetElement(1, 1))
      << "the moving cylinder's row changes from step to step";
}

TEST_F(RobotSimulationRun, TrajectoryWithoutCylindersHasNoColumns) {
  Use(TArenaText().Floor(2, 2));
  simulation.RecordTrajectory = true;
  simulation.Initialize();
  for (int n = 1; n <= 3; ++n) {
    simulation.Step();
  }
  EXPECT_EQ(simulation.RobotTrajectory.Rows(), 3);
  EXPECT_EQ(simulation.CylinderTrajectory.Rows(), 3);
  EXPECT_EQ(simulation.CylinderTrajectory.Columns(), 0);
}

TEST_F(RobotSimulationRun, DefaultRunTakes2000StepsAndEndsOnTheDoubleSum) {
  // no floor: no edge stop
  Use(TArenaText().Cylinder(0.5, 0.5, 0.03, 0.1));
  simulation.RecordTrajectory = true;
  simulation.Initialize();
  int steps = 0;
  double sum = 0.0;
  do {
    simulation.Step();
    ++steps;
    sum = sum + 0.01;
  } while (!simulation.Finished && steps < 5000);
  EXPECT_EQ(steps, 2000);
  EXPECT_EQ(simulation.Time, sum);
  EXPECT_GE(simulation.Time, 20.0);
  EXPECT_EQ(robot->ElapsedTime, simulation.Time);
  EXPECT_EQ(simulation.RobotTrajectory.Rows(), 2000);
  EXPECT_EQ(simulation.CylinderTrajectory.Rows(), 2000);
}

TEST_F(RobotSimulationRun, StepsAllocateNothing) {
  Use(TArenaText()
          .Floor(2, 2)
          .Cylinder(0.2, 0.0, 0.03, 0.1)
          .Cylinder(0.0, 0.25, 0.03, 0.1)
          .Cylinder(-0.3, -0.1, 0.03, 0.1));
  simulation.RecordTrajectory = true;
  simulation.Initialize();
  const long before = test::AllocationCount();
  int steps = 0;
  do {
    simulation.Step();
    ++steps;
  } while (!simulation.Finished);
  EXPECT_EQ(test::AllocationCount() - before, 0) << "over " << steps << " steps";
}

TEST(TRobotSimulationParameters, RefusesRunsThatCouldNotEndOrWouldStepWithGarbage) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct TCase {
    double SimulationTime;
    double TimeStep;
    const char* Field;
  };
  for (const TCase& c :
       {TCase{20.0, 0.0, "TimeStep"}, TCase{20.0, -0.01, "TimeStep"}, TCase{20.0, nan, "TimeStep"},
        TCase{20.0, inf, "TimeStep"}, TCase{-1.0, 0.01, "SimulationTime"}, TCase{nan, 0.01, "SimulationTime"},
        TCase{inf, 0.01, "SimulationTime"}, TCase{1e6, 1e-6, "TimeStep"}}) {
    SCOPED_TRACE(std::to_string(c.SimulationTime) + " / " + std::to_string(c.TimeStep));
    TRobotSimulation simulation;
    try {
      simulation.SetParameters(TRobotSimulationParameters(c.SimulationTime, c.TimeStep));
      ADD_FAILURE() << "accepted";
    } catch (const std::invalid_argument& error) {
      EXPECT_NE(std::string(error.what()).find(c.Field), std::string::npos) << error.what();
    }
  }
}

TEST_F(RobotSimulationRun, ZeroSimulationTimeTakesOneStepAndInitializeChecksTheTimeStep) {
  Use(TArenaText().Floor(2, 2), 0.0, 0.01);
  simulation.Step();
  EXPECT_TRUE(simulation.Finished);
  simulation.TimeStep = 0.0;
  EXPECT_THROW(simulation.Initialize(), std::invalid_argument);
  EXPECT_THROW(simulation.SetParameters(TSimulationParameters()), std::invalid_argument);
}

}  // namespace
}  // namespace kestrovan
