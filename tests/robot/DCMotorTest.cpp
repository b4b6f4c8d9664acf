#include <gtest/gtest.h>

#include <cmath>

#include "robot/DCMotor.h"

namespace kestrovan {
namespace {

// The torque of a motor given a signal and a wheel speed.
double TorqueFor(double Signal, double WheelSpeed, const TDCMotorParameters& Parameters = TDCMotorParameters()) {
  TDCMotor motor(Parameters);
  motor.SetInput(Signal);
  motor.SetAngularVelocity(WheelSpeed);
  motor.UpdateTorque();
  return motor.Torque;
}

// The signal that gives a stalled default motor the torque Tau before friction.
double StalledSignal(double Tau) { return Tau * 0.062 / 3.3e-6 / 12.0; }

TEST(TDCMotor, StallAndSaturation) {
  EXPECT_EQ(TorqueFor(0.0, 0.0), 0.0);
  // 12 * 3.3e-6 / 0.062 - 8e-5 exceeds the limit
  EXPECT_EQ(TorqueFor(1.0, 0.0), 0.0003);
  EXPECT_EQ(TorqueFor(-1.0, 0.0), -0.0003);
}

TEST(TDCMotor, ShaftAtRestThresholds) {
  // up to 1e-6 the drive passes without friction
  EXPECT_NEAR(TorqueFor(StalledSignal(-5e-7), 0.0), -5e-7, 1e-15);
  // above 1e-6 but below the static friction it cannot break away
  EXPECT_EQ(TorqueFor(StalledSignal(2e-6), 0.0), 0.0);
  EXPECT_EQ(TorqueFor(StalledSignal(-7e-5), 0.0), 0.0);
  // above it, the static friction is taken off, keeping the sign
  EXPECT_NEAR(TorqueFor(StalledSignal(-2e-4), 0.0), -1.2e-4, 1e-15);
}

TEST(TDCMotor, ShaftSpeedThresholdSeparatesRestFromTurning) {
  // below 1e-10 rad/s: at rest, the tiny back-EMF torque passes
  const double atRest = TorqueFor(0.0, 5e-11);
  EXPECT_LT(atRest, 0.0);
  EXPECT_GT(atRest, -1e-12);
  // from 1e-10 on: turning, the static friction opposes the wheel's direction
  EXPECT_NEAR(TorqueFor(0.0, 2e-10), -8e-5, 1e-12);
  EXPECT_NEAR(TorqueFor(0.0, -2e-10), 8e-5, 1e-12);
  // back EMF and viscous friction at 10 rad/s
  TDCMotorParameters p;
  p.ViscousFrictionCoefficient = 0.0;
  p.StaticFrictionTorque = 1e-5;
  EXPECT_NEAR(TorqueFor(0.25, 10.0, p), (3.0 - 0.033333) * 3.3e-6 / 0.062 - 1e-5, 1e-15);
}

TEST(TDCMotor, GearAndEfficiencyScaleButNeverPassTheLimit) {
  TDCMotorParameters p;
  p.GearRatio = 2.0;
  p.Efficiency = 0.5;
  EXPECT_NEAR(TorqueFor(StalledSignal(2e-4), 0.0, p), 1.2e-4, 1e-15);
  p.TorqueConstant = 1.0;
  p.GearRatio = 50.0;
  p.Efficiency = 3.0;
  for (const double signal : {-1.0, -0.3, 0.3, 1.0}) {
    for (const double speed : {-100.0, 0.0, 100.0}) {
      EXPECT_LE(std::abs(TorqueFor(signal, speed, p)), 0.0003);
    }
  }
}

TEST(TDCMotor, CopyKeepsConstantsButStartsWithoutVoltage) {
  TDCMotorParameters p;
  p.ArmatureResistance = 0.1;
  p.Position.SetElement(2, 0.05);
  TDCMotor source(p);
  source.SetInput(1.0);
  const auto copy = source.Copy();
  const auto& motor = dynamic_cast<const TDCMotor&>(*copy);
  source.Position.SetElement(2, 9.0);
  EXPECT_EQ(motor.Voltage, 0.0);
  EXPECT_EQ(motor.ArmatureResistance, 0.1);
  EXPECT_EQ(motor.Position.GetElement(2), 0.05);
}

}  // namespace
}  // namespace kestrovan
