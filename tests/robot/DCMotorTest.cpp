#include "robot/DCMotor.h"

#include <gtest/gtest.h>

#include "robot/DefaultRobot.h"

namespace kestrovan {
namespace {

// A motor with the default constants, given a signal and a wheel speed.
double TorqueFor(double Signal, double WheelSpeed, const TDCMotorParameters& Parameters = TDCMotorParameters()) {
  TDCMotor motor(Parameters);
  motor.SetInput(Signal);
  motor.SetAngularVelocity(WheelSpeed);
  motor.UpdateTorque();
  return motor.Torque;
}

// Signal that drives a stalled default motor with the torque Tau before friction.
double SignalForStalledTorque(double Tau) {
  const TDCMotorParameters p;
  return Tau * p.ArmatureResistance / p.TorqueConstant / p.MaxVoltage;
}

TEST(TDCMotor, StalledWithoutSignalGivesNoTorque) { EXPECT_EQ(TorqueFor(0.0, 0.0), 0.0); }

TEST(TDCMotor, FullSignalSaturatesInBothDirections) {
  // 12 V * 3.3e-6 / 0.062 is well above the static friction
  const TDCMotorParameters p;
  ASSERT_GT(12.0 * p.TorqueConstant / p.ArmatureResistance - p.StaticFrictionTorque, TDCMotor::kTorqueLimit);
  EXPECT_EQ(TorqueFor(1.0, 0.0), 0.0003);
  EXPECT_EQ(TorqueFor(-1.0, 0.0), -0.0003);
}

TEST(TDCMotor, ShaftAtRestThresholds) {
  // at most 1e-6: passed through without friction
  EXPECT_NEAR(TorqueFor(SignalForStalledTorque(5e-7), 0.0), 5e-7, 1e-15);
  EXPECT_NEAR(TorqueFor(SignalForStalledTorque(-5e-7), 0.0), -5e-7, 1e-15);
  // above 1e-6 but below the static friction: cannot break away
  EXPECT_EQ(TorqueFor(SignalForStalledTorque(2e-6), 0.0), 0.0);
  EXPECT_EQ(TorqueFor(SignalForStalledTorque(-7e-5), 0.0), 0.0);
  // above the static friction: reduced by it, keeping the sign
  EXPECT_NEAR(TorqueFor(SignalForStalledTorque(2e-4), 0.0), 1.2e-4, 1e-15);
  EXPECT_NEAR(TorqueFor(SignalForStalledTorque(-2e-4), 0.0), -1.2e-4, 1e-15);
}

TEST(TDCMotor, ShaftSpeedThresholdSeparatesRestFromTurning) {
  // below 1e-10 rad/s the shaft counts as at rest: the tiny back-EMF torque passes
  const double atRest = TorqueFor(0.0, 5e-11);
  EXPECT_LT(atRest, 0.0);
  EXPECT_GT(atRest, -1e-12);
  // from 1e-10 on it turns, and the static friction opposes the wheel's direction
  EXPECT_NEAR(TorqueFor(0.0, 2e-10), -8e-5, 1e-12);
  EXPECT_NEAR(TorqueFor(0.0, -2e-10), 8e-5, 1e-12);
}

TEST(TDCMotor, TurningShaftFeelsBackEMFAndViscousFriction) {
  // half signal at 10 rad/s: 3.2e-4 of drive against 2.08e-3 of friction, limited
  EXPECT_EQ(TorqueFor(0.5, 10.0), -0.0003);
  // backwards at -10 rad/s with no signal: both frictions push forwards
  EXPECT_EQ(TorqueFor(0.0, -10.0), 0.0003);
  TDCMotorParameters weakFriction;
  weakFriction.ViscousFrictionCoefficient = 0.0;
  weakFriction.StaticFrictionTorque = 1e-5;
  EXPECT_NEAR(TorqueFor(0.25, 10.0, weakFriction), (3.0 - 0.033333) * 3.3e-6 / 0.062 - 1e-5, 1e-15);
}

TEST(TDCMotor, GearAndEfficiencyScaleButNeverPassTheLimit) {
  TDCMotorParameters geared;
  geared.GearRatio = 2.0;
  geared.Efficiency = 0.5;
  // at rest, 2e-4 before friction: 0.5 * 2 * (2e-4 - 8e-5)
  EXPECT_NEAR(TorqueFor(SignalForStalledTorque(2e-4), 0.0, geared), 1.2e-4, 1e-15);

  TDCMotorParameters strong;
  strong.TorqueConstant = 1.0;
  strong.GearRatio = 50.0;
  strong.Efficiency = 3.0;
  for (const double signal : {-1.0, -0.3, 0.3, 1.0}) {
    for (const double speed : {-100.0, 0.0, 100.0}) {
      const double torque = TorqueFor(signal, speed, strong);
      EXPECT_LE(torque, 0.0003);
      EXPECT_GE(torque, -0.0003);
    }
  }
}

TEST(TDCMotor, CopyKeepsConstantsButStartsWithoutVoltage) {
  TDCMotorParameters p = TRobotConfiguration::Default().Motor;
  p.ArmatureResistance = 0.1;
  TDCMotor source(p);
  source.SetInput(1.0);
  const auto copy = source.Copy();
  const auto& motor = dynamic_cast<const TDCMotor&>(*copy);
  EXPECT_EQ(motor.Voltage, 0.0);
  EXPECT_EQ(motor.ArmatureResistance, 0.1);
  EXPECT_EQ(motor.Position.GetElement(2), 0.05);
  EXPECT_EQ(motor.Position.GetElement(3), 0.1);
  source.Position.SetElement(2, 9.0);
  EXPECT_EQ(motor.Position.GetElement(2), 0.05);
}

}  // namespace
}  // namespace kestrovan
