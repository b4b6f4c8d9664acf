#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "RobotTestSupport.h"
#include "numerics/RandomNumbers.h"
#include "robot/DefaultRobot.h"

namespace kestrovan {
namespace {

constexpr double kPi = std::numbers::pi;

const TIRSensor& Sensor(const TRobot& Robot, int i) {
  return dynamic_cast<const TIRSensor&>(Robot.Body->Sensors.Items(i));
}

void ExpectSensorsMountedAt(const TRobot& Robot, double Radius, double Range = 0.125) {
  const double directions[5] = {kPi / 4, 0.0, -kPi / 4, -kPi / 8, kPi / 8};
  ASSERT_EQ(Robot.Body->Sensors.Count(), 5);
  for (int i = 1; i <= 5; ++i) {
    const TIRSensor& sensor = Sensor(Robot, i);
    const double a = directions[i - 1];
    EXPECT_DOUBLE_EQ(sensor.RelativeDirection, a) << "sensor " << i;
    EXPECT_DOUBLE_EQ(sensor.AbsoluteDirection, a) << "sensor " << i;
    EXPECT_NEAR(sensor.RelativePosition.GetElement(1), Radius * std::cos(a), 1e-15) << "sensor " << i;
    EXPECT_NEAR(sensor.RelativePosition.GetElement(2), Radius * std::sin(a), 1e-15) << "sensor " << i;
    EXPECT_EQ(sensor.RelativePosition.GetElement(3), 0.0);
    EXPECT_EQ(sensor.OpeningAngle, 0.353);
    EXPECT_EQ(sensor.Range, Range);
    EXPECT_EQ(sensor.Reading, 0.0);
  }
}

TEST(DefaultRobot, BuildsTheDefaultConfiguration) {
  RandSeed = 17;
  const auto robot = BuildRobot(TRobotConfiguration::Default(), 0.05);
  EXPECT_EQ(robot->Name, "Robot");
  ExpectSensorsMountedAt(*robot, 0.05);

  const auto& body = dynamic_cast<const TDifferentiallySteeredBody&>(*robot->Body);
  EXPECT_EQ(body.Radius, 0.05);
  EXPECT_EQ(body.LeftWheel.Radius, 0.01);
  EXPECT_EQ(body.RightWheel.Radius, 0.01);

  ASSERT_EQ(body.Motors.Count(), 2);
  for (int i = 1; i <= 2; ++i) {
    const auto& motor = dynamic_cast<const TDCMotor&>(body.Motors.Items(i));
    EXPECT_EQ(motor.Position.GetElement(2), 0.05);
    EXPECT_EQ(motor.Position.GetElement(3), 0.1);
    EXPECT_EQ(motor.Orientation, kPi);
  }

  const auto& brain = dynamic_cast<const TFSMBrain&>(*robot->Brain);
  EXPECT_EQ(brain.Genome.Rows(), 5);
  EXPECT_EQ(brain.Genome.Columns(), 21);
  EXPECT_EQ(brain.NumberOfInputs, 6);

  // the same seed gives the same brain
  RandSeed = 17;
  const auto again = BuildRobot(TRobotConfiguration::Default(), 0.05);
  const auto& twin = dynamic_cast<const TFSMBrain&>(*again->Brain);
  for (int column = 1; column <= 21; ++column) {
    EXPECT_EQ(twin.Genome.GetElement(5, column), brain.Genome.GetElement(5, column));
  }
}

TEST(DefaultRobot, SensorsKeepTheirMountingRadiusOnALargerBody) {
  TRobotConfiguration configuration = TRobotConfiguration::Default();
  configuration.Body.Radius = 0.1;
  configuration.Sensor.Range = 0.2;
  const auto robot = BuildRobot(configuration, 0.05);
  ExpectSensorsMountedAt(*robot, 0.05, 0.2);
  EXPECT_EQ(dynamic_cast<const TDifferentiallySteeredBody&>(*robot->Body).Radius, 0.1);
}

TEST(DefaultRobot, RefusesConfigurationsThatDoNotFit) {
  TRobotConfiguration configuration = TRobotConfiguration::Default();
  configuration.Brain.NumberOfInputs = 5;
  EXPECT_THROW(BuildRobot(configuration, 0.05), std::invalid_argument);
  configuration = TRobotConfiguration::Default();
  configuration.Body.Mass = -0.1;
  RandSeed = 8;
  EXPECT_THROW(BuildRobot(configuration, 0.05), std::invalid_argument);
  EXPECT_EQ(RandSeed, 8u);
}

TEST(DefaultRobot, UnequalConstantSignalsSettleIntoASteadyLeftTurn) {
  RandSeed = 2;
  const auto robot = BuildRobot(TRobotConfiguration::Default(), 0.05);
  auto& brain = dynamic_cast<TFSMBrain&>(*robot->Brain);
  // state 1 only: no condition can fire when its first two indices are equal
  for (int c = 0; c < 3; ++c) {
    brain.Genome.SetElement(1, 5 * c + 7, 0.0);
    brain.Genome.SetElement(1, 5 * c + 8, 0.0);
  }
  brain.Genome.SetElement(1, 1, 0.9);   // left motor 0.8
  brain.Genome.SetElement(1, 2, 0.95);  // right motor 0.9
  const auto arena = test::ArenaFrom(test::FloorBlock(100.0));
  const auto& body = dynamic_cast<const TDifferentiallySteeredBody&>(*robot->Body);
  robot->Reset();
  const test::TCylindersOf cylinders(*arena);
  double previousTurnRate = 0.0;
  for (int i = 0; i < 1000; ++i) {
    previousTurnRate = body.Coordinates.AngularVelocity;
    robot->Step(0.01);
    robot->Move(cylinders.Model(), 0.01);
    robot->Body->UpdateSensors(cylinders);
    ASSERT_LE(std::abs(body.Coordinates.Heading), kPi);
  }
  EXPECT_EQ(brain.CurrentState, 1);
  EXPECT_GT(body.Coordinates.Speed, 0.0);
  EXPECT_GT(body.Coordinates.AngularVelocity, 0.0);
  EXPECT_NEAR(body.Coordinates.AngularVelocity, previousTurnRate, 1e-9);
  EXPECT_GT(robot->DistanceTravelled, 0.0);
}

}  // namespace
}  // namespace kestrovan
