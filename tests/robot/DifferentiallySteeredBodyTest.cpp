#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "RobotTestSupport.h"
#include "robot/DCMotor.h"
#include "robot/DifferentiallySteeredBody.h"
#include "robot/IRSensor.h"

namespace kestrovan {
namespace {

constexpr double kDt = 0.01;
constexpr double kPi = std::numbers::pi;

// A default body with one IR sensor 0.05 m ahead and two DC motors, on a
// 2.5 m square floor centred on the origin.
class TBodyTest : public ::testing::Test {
 protected:
  TBodyTest() : body(TDifferentiallySteeredBodyParameters()), arena(test::ArenaFrom(test::FloorBlock(2.5))) {
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
  // Starts at (X, Y) with Speed along Heading, without damping.
  void Launch(double X, double Y, double Speed, double Heading) {
    body.Alpha = 0.0;
    body.Coordinates.SetPosition(1, X);
    body.Coordinates.SetPosition(2, Y);
    body.Coordinates.Speed = Speed;
    body.Coordinates.Heading = Heading;
  }

  TDifferentiallySteeredBody body;
  std::unique_ptr<TArena> arena;
};

TEST_F(TBodyTest, ZeroTorquesDecaySpeedAndTurnRate) {
  body.Coordinates.Speed = 0.1;
  body.Coordinates.AngularVelocity = 1.0;
  body.Move(test::TCylindersOf(*arena).Model(), kDt);
  // LinearInertia 0.1 * 0.01, AngularInertia 0.01 * 2.5e-6 / 0.05^2:
  // v - 0.004 v / 0.001 dt and w - 0.0002 w / 1e-5 dt
  EXPECT_NEAR(body.Coordinates.Speed, 0.096, 1e-12);
  EXPECT_NEAR(body.Coordinates.AngularVelocity, 0.8, 1e-12);
  // the new turn rate drives the heading, the new heading and speed the position
  EXPECT_NEAR(body.Coordinates.Heading, 0.008, 1e-12);
  EXPECT_NEAR(body.Coordinates.GetPosition(2), std::sin(0.008) * 0.096 * kDt, 1e-15);
}

TEST_F(TBodyTest, EqualTorquesDriveStraightAndTheStrongerRightMotorTurnsLeft) {
  body.Coordinates.Heading = 0.3;
  SetTorques(1e-4, 1e-4);
  for (int i = 0; i < 50; ++i) {
    body.Move(test::TCylindersOf(*arena).Model(), kDt);
  }
  EXPECT_EQ(body.Coordinates.AngularVelocity, 0.0);
  EXPECT_EQ(body.Coordinates.Heading, 0.3);
  EXPECT_NEAR(body.Coordinates.GetPosition(2) / body.Coordinates.GetPosition(1), std::tan(0.3), 1e-12);
  SetTorques(1e-4, 2e-4);
  body.Move(test::TCylindersOf(*arena).Model(), kDt);
  EXPECT_GT(body.Coordinates.AngularVelocity, 0.0);
}

TEST_F(TBodyTest, HeadingWrapsOncePerStep) {
  body.Beta = 0.0;
  body.Coordinates.Heading = 3.1;
  body.Coordinates.AngularVelocity = 10.0;
  body.Move(test::TCylindersOf(*arena).Model(), kDt);
  EXPECT_NEAR(body.Coordinates.Heading, 3.2 - 2 * kPi, 1e-12);
  body.Coordinates.AngularVelocity = -10.0;
  body.Move(test::TCylindersOf(*arena).Model(), kDt);
  EXPECT_NEAR(body.Coordinates.Heading, 3.1, 1e-12);
}

TEST_F(TBodyTest, WrapsAroundTheFloorRectangleOnlyWithAFloor) {
  Launch(1.249, 0.3, 1.0, 0.0);
  body.Move(test::TCylindersOf(*arena).Model(), kDt);
  EXPECT_EQ(body.Coordinates.GetPosition(1), -1.25);
  EXPECT_EQ(body.Coordinates.GetPosition(2), 0.3);
  EXPECT_EQ(body.Coordinates.GetVelocity(1), 1.0);
  EXPECT_EQ(body.Coordinates.Heading, 0.0);

  Launch(0.0, -1.249, 1.0, -kPi / 2);
  body.Move(test::TCylindersOf(*arena).Model(), kDt);
  EXPECT_EQ(body.Coordinates.GetPosition(2), 1.25);

  Launch(1.249, 0.0, 1.0, 0.0);
  body.Move(test::TCylindersOf(*test::ArenaFrom(test::CylinderBlock(1.0, 1.0, 0.05))).Model(), kDt);
  EXPECT_NEAR(body.Coordinates.GetPosition(1), 1.259, 1e-12);
  body.WrapAround = false;
  body.Move(test::TCylindersOf(*arena).Model(), kDt);
  EXPECT_NEAR(body.Coordinates.GetPosition(1), 1.269, 1e-12);
}

TEST_F(TBodyTest, DistanceCountsForwardMotionAfterTheFirstMove) {
  for (int round = 0; round < 2; ++round) {
    body.Reset();
    Launch(0.0, 0.0, 0.2, 0.0);
    body.Move(test::TCylindersOf(*arena).Model(), kDt);
    EXPECT_EQ(body.GetDistance(), 0.0);
    body.Move(test::TCylindersOf(*arena).Model(), kDt);
    EXPECT_NEAR(body.GetDistance(), 0.002, 1e-15);
    body.Coordinates.Speed = -0.2;
    body.Move(test::TCylindersOf(*arena).Model(), kDt);
    EXPECT_NEAR(body.GetDistance(), 0.002, 1e-15);
  }
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
  Launch(0.5, 0.0, 0.0, kPi / 2);
  body.Move(test::TCylindersOf(*arena).Model(), kDt);
  body.UpdateWheelPositions();
  EXPECT_NEAR(body.LeftWheel.Position[0], 0.45, 1e-12);
  EXPECT_NEAR(body.RightWheel.Position[0], 0.55, 1e-12);
  const auto& sensor = dynamic_cast<const TIRSensor&>(body.Sensors.Items(1));
  EXPECT_NEAR(sensor.AbsolutePosition.GetElement(1), 0.5, 1e-12);
  EXPECT_NEAR(sensor.AbsolutePosition.GetElement(2), 0.05, 1e-12);
  EXPECT_EQ(sensor.AbsolutePosition.GetElement(3), 0.015);
}

TEST_F(TBodyTest, CopyStartsAtTheOriginWithTheSourcesDistanceAndResetClears) {
  Launch(0.0, 0.0, 0.5, 1.0);
  body.Move(test::TCylindersOf(*arena).Model(), kDt);
  body.Move(test::TCylindersOf(*arena).Model(), kDt);
  body.WrapAround = false;
  const auto copy = body.Copy();
  const auto& copied = dynamic_cast<const TDifferentiallySteeredBody&>(*copy);
  EXPECT_EQ(copied.Coordinates.GetPosition(1), 0.0);
  EXPECT_EQ(copied.Coordinates.GetVelocity(2), 0.0);
  EXPECT_EQ(copied.Coordinates.Speed, 0.0);
  EXPECT_EQ(copied.Coordinates.Heading, 0.0);
  EXPECT_GT(copied.GetDistance(), 0.0);
  EXPECT_EQ(copied.GetDistance(), body.GetDistance());
  EXPECT_FALSE(copied.HasMoved);
  EXPECT_TRUE(copied.WrapAround);
  EXPECT_NE(&copied.Sensors.Items(1), &body.Sensors.Items(1));

  dynamic_cast<TIRSensor&>(body.Sensors.Items(1)).Reading = 0.4;
  body.Reset();
  EXPECT_EQ(body.Coordinates.GetPosition(2), 0.0);
  EXPECT_EQ(body.Coordinates.Heading, 0.0);
  EXPECT_EQ(body.Sensors.Items(1).GetScalarReading(), 0.0);
}

TEST(TDifferentiallySteeredBodyParameters, RefusesNonPositiveSizesAndMasses) {
  for (int field = 0; field < 5; ++field) {
    TDifferentiallySteeredBodyParameters p;
    double* const fields[5] = {&p.Mass, &p.Radius, &p.MomentOfInertia, &p.WheelRadius, &p.Height};
    *fields[field] = field % 2 == 0 ? 0.0 : std::nan("");
    EXPECT_THROW(TDifferentiallySteeredBody{p}, std::invalid_argument) << "field " << field;
  }
  TDifferentiallySteeredBodyParameters p;
  p.WheelRadius = -0.01;
  try {
    p.Validate();
    ADD_FAILURE() << "accepted";
  } catch (const std::invalid_argument& error) {
    EXPECT_NE(std::string(error.what()).find("WheelRadius"), std::string::npos) << error.what();
  }
}

}  // namespace
}  // namespace kestrovan
