#include "robot/DifferentiallySteeredBody.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "RobotTestSupport.h"
#include "robot/DCMotor.h"
#include "robot/IRSensor.h"

namespace kestrovan {
namespace {

using test::ArenaFrom;
using test::CylinderBlock;
using test::FloorBlock;

constexpr double kDt = 0.01;

// A default body with one IR sensor and two DC motors, on a 2.5 m floor.
class TBodyTest : public ::testing::Test {
 protected:
  TBodyTest() : body(TDifferentiallySteeredBodyParameters()), arena(ArenaFrom(FloorBlock(2.5))) {
    TIRSensorParameters sensor;
    sensor.RelativePosition.SetElement(1, 0.05);
    body.Sensors.Add(TIRSensor(sensor));
    const TDCMotor motor{TDCMotorParameters()};
    body.Motors.Add(motor);
    body.Motors.Add(motor);
  }

  void SetTorques(double Left, double Right) {
    body.Motors.Items(1).Torque = Left;
    body.Motors.Items(2).Torque = Right;
  }

  TDifferentiallySteeredBody body;
  std::unique_ptr<TArena> arena;
};

TEST_F(TBodyTest, DerivedInertiasUseTheWheelRadius) {
  EXPECT_EQ(body.LeftWheel.Radius, 0.01);
  EXPECT_NEAR(body.LinearInertia, 0.1 * 0.01, 1e-18);
  EXPECT_NEAR(body.AngularInertia, 0.01 * 2.5e-6 / (0.05 * 0.05), 1e-18);
}

TEST_F(TBodyTest, ZeroTorquesDecaySpeedAndTurnRate) {
  body.Coordinates.Speed = 0.1;
  body.Coordinates.AngularVelocity = 1.0;
  body.Move(*arena, kDt);
  // v - Alpha v / LinearInertia dt = 0.1 - 0.4 dt; w - Beta w / AngularInertia dt = 1 - 20 dt
  EXPECT_NEAR(body.Coordinates.Speed, 0.096, 1e-12);
  EXPECT_NEAR(body.Coordinates.AngularVelocity, 0.8, 1e-12);
  // the new turn rate drives the heading, the new heading and speed the position
  EXPECT_NEAR(body.Coordinates.Heading, 0.008, 1e-12);
  EXPECT_NEAR(body.Coordinates.GetPosition(1), std::cos(0.008) * 0.096 * kDt, 1e-15);
  EXPECT_NEAR(body.Coordinates.GetPosition(2), std::sin(0.008) * 0.096 * kDt, 1e-15);
}

TEST_F(TBodyTest, EqualTorquesDriveStraightAlongTheHeading) {
  body.Coordinates.Heading = 0.3;
  SetTorques(1e-4, 1e-4);
  for (int i = 0; i < 50; ++i) {
    body.Move(*arena, kDt);
  }
  EXPECT_EQ(body.Coordinates.AngularVelocity, 0.0);
  EXPECT_EQ(body.Coordinates.Heading, 0.3);
  EXPECT_GT(body.Coordinates.Speed, 0.0);
  EXPECT_NEAR(body.Coordinates.GetPosition(2) / body.Coordinates.GetPosition(1), std::tan(0.3), 1e-12);
  // a stronger right motor turns the body to the left
  SetTorques(1e-4, 2e-4);
  body.Move(*arena, kDt);
  EXPECT_GT(body.Coordinates.AngularVelocity, 0.0);
}

TEST(TDifferentiallySteeredBody, HeadingWrapsOncePerStep) {
  TDifferentiallySteeredBodyParameters p;
  p.Beta = 0.0;
  TDifferentiallySteeredBody body(p);
  const TDCMotor motor{TDCMotorParameters()};
  body.Motors.Add(motor);
  body.Motors.Add(motor);
  const auto arena = ArenaFrom(FloorBlock(2.5));
  body.Coordinates.Heading = 3.1;
  body.Coordinates.AngularVelocity = 10.0;
  body.Move(*arena, kDt);
  EXPECT_NEAR(body.Coordinates.Heading, 3.2 - 2 * std::numbers::pi, 1e-12);
  body.Coordinates.AngularVelocity = -10.0;
  body.Move(*arena, kDt);
  body.Move(*arena, kDt);
  EXPECT_NEAR(body.Coordinates.Heading, 3.0, 1e-12);
}

TEST_F(TBodyTest, WrapsAroundTheFloorRectangle) {
  body.Alpha = 0.0;
  body.Coordinates.SetPosition(1, 1.249);
  body.Coordinates.SetPosition(2, 0.3);
  body.Coordinates.Speed = 1.0;
  body.Move(*arena, kDt);
  EXPECT_EQ(body.Coordinates.GetPosition(1), -1.25);
  EXPECT_EQ(body.Coordinates.GetPosition(2), 0.3);
  EXPECT_EQ(body.Coordinates.Speed, 1.0);
  EXPECT_EQ(body.Coordinates.Heading, 0.0);
  EXPECT_EQ(body.Coordinates.GetVelocity(1), 1.0);

  body.Coordinates.SetPosition(1, 0.0);
  body.Coordinates.SetPosition(2, -1.249);
  body.Coordinates.Heading = -std::numbers::pi / 2;
  body.Move(*arena, kDt);
  EXPECT_EQ(body.Coordinates.GetPosition(2), 1.25);
}

TEST_F(TBodyTest, NoWrapWithoutAFloorOrWhenSwitchedOff) {
  body.Alpha = 0.0;
  body.Coordinates.SetPosition(1, 1.249);
  body.Coordinates.Speed = 1.0;
  body.Move(*ArenaFrom(CylinderBlock(1.0, 1.0, 0.05)), kDt);
  EXPECT_NEAR(body.Coordinates.GetPosition(1), 1.259, 1e-12);

  body.WrapAround = false;
  body.Move(*arena, kDt);
  EXPECT_NEAR(body.Coordinates.GetPosition(1), 1.269, 1e-12);
}

TEST_F(TBodyTest, DistanceCountsForwardMotionAfterTheFirstMove) {
  body.Alpha = 0.0;
  body.Coordinates.Speed = 0.2;
  body.Move(*arena, kDt);
  EXPECT_EQ(body.GetDistance(), 0.0);
  body.Move(*arena, kDt);
  EXPECT_NEAR(body.GetDistance(), 0.002, 1e-15);
  body.Coordinates.Speed = -0.2;
  body.Move(*arena, kDt);
  EXPECT_NEAR(body.GetDistance(), 0.002, 1e-15);

  body.Reset();
  EXPECT_EQ(body.GetDistance(), 0.0);
  EXPECT_FALSE(body.HasMoved);
  body.Coordinates.Speed = 0.2;
  body.Move(*arena, kDt);
  EXPECT_EQ(body.GetDistance(), 0.0);
}

TEST_F(TBodyTest, UpdateMotorsHandsOverWheelSpeeds) {
  body.Coordinates.Speed = 0.01;
  body.Coordinates.AngularVelocity = 0.2;
  body.Motors.Items(1).SetInput(1.0);
  body.Motors.Items(2).SetInput(-1.0);
  body.UpdateMotors();
  // (0.01 -+ 0.5 * 0.05 * 0.2) / 0.01
  EXPECT_NEAR(body.Motors.Items(1).AngularVelocity, 0.5, 1e-12);
  EXPECT_NEAR(body.Motors.Items(2).AngularVelocity, 1.5, 1e-12);
  EXPECT_GT(body.Motors.Items(1).Torque, 0.0);
  EXPECT_LT(body.Motors.Items(2).Torque, 0.0);
}

TEST_F(TBodyTest, MoveCarriesWheelsAndSensors) {
  body.Coordinates.SetPosition(1, 0.5);
  body.Coordinates.Heading = std::numbers::pi / 2;
  body.Move(*arena, kDt);
  EXPECT_NEAR(body.LeftWheel.Position[0], 0.45, 1e-12);
  EXPECT_NEAR(body.RightWheel.Position[0], 0.55, 1e-12);
  EXPECT_EQ(body.LeftWheel.Position[2], 0.0);
  const auto& sensor = dynamic_cast<const TIRSensor&>(body.Sensors.Items(1));
  EXPECT_NEAR(sensor.AbsolutePosition.GetElement(1), 0.5, 1e-12);
  EXPECT_NEAR(sensor.AbsolutePosition.GetElement(2), 0.05, 1e-12);
  EXPECT_EQ(sensor.AbsolutePosition.GetElement(3), 0.015);
  EXPECT_DOUBLE_EQ(sensor.AbsoluteDirection, std::numbers::pi / 2);
}

TEST_F(TBodyTest, ResetClearsPoseAndReadingsButCopyKeepsDistance) {
  body.Alpha = 0.0;
  body.Coordinates.Speed = 0.5;
  body.Coordinates.Heading = 1.0;
  body.Move(*arena, kDt);
  body.Move(*arena, kDt);
  body.WrapAround = false;
  const auto copy = body.Copy();
  const auto& copied = dynamic_cast<const TDifferentiallySteeredBody&>(*copy);
  EXPECT_EQ(copied.Coordinates.GetPosition(1), 0.0);
  EXPECT_EQ(copied.Coordinates.GetVelocity(2), 0.0);
  EXPECT_EQ(copied.Coordinates.Speed, 0.0);
  EXPECT_EQ(copied.Coordinates.Heading, 0.0);
  EXPECT_EQ(copied.GetDistance(), body.GetDistance());
  EXPECT_GT(copied.GetDistance(), 0.0);
  EXPECT_FALSE(copied.HasMoved);
  EXPECT_TRUE(copied.WrapAround);
  EXPECT_EQ(copied.Sensors.Count(), 1);
  EXPECT_EQ(copied.Motors.Count(), 2);
  EXPECT_NE(&copied.Sensors.Items(1), &body.Sensors.Items(1));

  dynamic_cast<TIRSensor&>(body.Sensors.Items(1)).Reading = 0.4;
  body.Reset();
  EXPECT_EQ(body.Coordinates.GetPosition(1), 0.0);
  EXPECT_EQ(body.Coordinates.GetPosition(2), 0.0);
  EXPECT_EQ(body.Coordinates.Speed, 0.0);
  EXPECT_EQ(body.Coordinates.Heading, 0.0);
  EXPECT_EQ(body.Sensors.Items(1).GetScalarReading(), 0.0);
}

TEST(TDifferentiallySteeredBodyParameters, RefusesNonPositiveSizesAndMasses) {
  const auto refused = [](auto Change) {
    TDifferentiallySteeredBodyParameters p;
    Change(p);
    EXPECT_THROW(TDifferentiallySteeredBody{p}, std::invalid_argument);
  };
  refused([](auto& p) { p.Mass = 0.0; });
  refused([](auto& p) { p.Radius = -0.05; });
  refused([](auto& p) { p.MomentOfInertia = std::nan(""); });
  refused([](auto& p) { p.WheelRadius = 0.0; });
  refused([](auto& p) { p.Height = -1.0; });
  TDifferentiallySteeredBodyParameters p;
  p.WheelRadius = 0.0;
  try {
    p.Validate();
    FAIL() << "no error";
  } catch (const std::invalid_argument& error) {
    EXPECT_NE(std::string(error.what()).find("WheelRadius"), std::string::npos) << error.what();
  }
}

}  // namespace
}  // namespace kestrovan
