#include "robot/DCMotor.h"

#include <algorithm>
#include <cmath>
#include <typeinfo>

#include "numerics/BasicFunctions.h"

namespace kestrovan {

TDCMotor::TDCMotor(const TDCMotorParameters& Parameters)
    : Position(Parameters.Position),
      Orientation(Parameters.Orientation),
      MaxVoltage(Parameters.MaxVoltage),
      TorqueConstant(Parameters.TorqueConstant),
      BackEMFConstant(Parameters.BackEMFConstant),
      ArmatureResistance(Parameters.ArmatureResistance),
      StaticFrictionTorque(Parameters.StaticFrictionTorque),
      ViscousFrictionCoefficient(Parameters.ViscousFrictionCoefficient),
      GearRatio(Parameters.GearRatio),
      Efficiency(Parameters.Efficiency) {}

TDCMotor::TDCMotor(const TDCMotor& Source)
    : TMotor(Source),
      Position(Source.Position),
      Orientation(Source.Orientation),
      MaxVoltage(Source.MaxVoltage),
      TorqueConstant(Source.TorqueConstant),
      BackEMFConstant(Source.BackEMFConstant),
      ArmatureResistance(Source.ArmatureResistance),
      StaticFrictionTorque(Source.StaticFrictionTorque),
      ViscousFrictionCoefficient(Source.ViscousFrictionCoefficient),
      GearRatio(Source.GearRatio),
      Efficiency(Source.Efficiency) {}

std::unique_ptr<TMotor> TDCMotor::Copy() const { return std::make_unique<TDCMotor>(*this); }

bool TDCMotor::AssignCopyOf(const TMotor& Source) {
  if (&Source == this || typeid(Source) != typeid(TDCMotor) || typeid(*this) != typeid(TDCMotor)) {
    return false;
  }
  const auto& source = static_cast<const TDCMotor&>(Source);
  AssignMotorCopyOf();
  Position = source.Position;
  Orientation = source.Orientation;
  Voltage = 0.0;
  MaxVoltage = source.MaxVoltage;
  TorqueConstant = source.TorqueConstant;
  BackEMFConstant = source.BackEMFConstant;
  ArmatureResistance = source.ArmatureResistance;
  StaticFrictionTorque = source.StaticFrictionTorque;
  ViscousFrictionCoefficient = source.ViscousFrictionCoefficient;
  GearRatio = source.GearRatio;
  Efficiency = source.Efficiency;
  return true;
}

void TDCMotor::UpdateTorque() {
  // shaft speed and the electrical torque against the back EMF
  const double w = GearRatio * AngularVelocity;
  double tau = (Voltage - BackEMFConstant * w) * TorqueConstant / ArmatureResistance;

  if (std::abs(w) >= 1e-10) {
    // turning shaft: Coulomb friction against the wheel's direction, plus viscous friction
    tau = tau - (Sign(AngularVelocity) * StaticFrictionTorque + ViscousFrictionCoefficient * w);
  } else if (std::abs(tau) <= 1e-6) {
    // shaft at rest and a negligible drive: left as it is
  } else if (std::abs(tau) < StaticFrictionTorque) {
    // too weak to break away
    tau = 0.0;
  } else {
    tau = tau - Sign(tau) * StaticFrictionTorque;
  }

  // gear stage and efficiency, then the fixed limit
  tau = Efficiency * GearRatio * tau;
  if (tau > 0.0) {
    tau = std::min(tau, kTorqueLimit);
  }
  if (tau < 0.0) {
    tau = std::max(tau, -kTorqueLimit);
  }
  Torque = tau;
}

}  // namespace kestrovan
