#pragma once

#include "numerics/Matrices.h"
#include "robot/Motors.h"

namespace kestrovan {

// Parameters of a permanent-magnet DC motor with a gear stage.
class TDCMotorParameters : public TMotorParameters {
 public:
  double MaxVoltage = 12.0;            // V at signal 1
  TVector Position{3};                 // m, mounting point relative to the body centre (not used by the dynamics)
  double Orientation = 0.0;            // rad (not used by the dynamics)
  double TorqueConstant = 3.3e-6;      // N m / A
  double BackEMFConstant = 0.0033333;  // V s / rad
  double ArmatureResistance = 0.062;   // Ohm
  double StaticFrictionTorque = 8e-5;  // N m
  double ViscousFrictionCoefficient = 0.0002;  // N m s / rad
  double GearRatio = 1.0;                      // shaft speed / wheel speed
  double Efficiency = 1.0;
};

// DC motor: shaft speed w = G omega; motor torque
//   tau = (V - Ke w) Kt / Ra  minus static and viscous friction,
// then tau := Efficiency G tau, limited to +-0.0003 N m.
class TDCMotor : public TMotor {
 public:
  explicit TDCMotor(const TDCMotorParameters& Parameters);
  // Copies the constants; Voltage starts at 0.
  TDCMotor(const TDCMotor& Source);

  // Voltage := Signal * MaxVoltage.
  void SetInput(double Signal) override { Voltage = Signal * MaxVoltage; }
  std::unique_ptr<TMotor> Copy() const override;
  // The constants copied, Voltage 0; false unless both are of exactly this class.
  bool AssignCopyOf(const TMotor& Source) override;
  void UpdateTorque() override;

  static constexpr double kTorqueLimit = 0.0003;  // N m, fixed

  TVector Position{3};
  double Orientation;
  double Voltage = 0.0;  // V
  double MaxVoltage;
  double TorqueConstant;
  double BackEMFConstant;
  double ArmatureResistance;
  double StaticFrictionTorque;
  double ViscousFrictionCoefficient;
  double GearRatio;
  double Efficiency;
};

}  // namespace kestrovan
