#pragma once

#include <memory>
#include <vector>

#include "robot/OwningList.h"

namespace kestrovan {

// Base of the motors' parameter classes.
class TMotorParameters {
 public:
  virtual ~TMotorParameters() = default;
};

// A motor driving one wheel: turns the brain's signal and the wheel's
// angular speed into a torque.
class TMotor {
 public:
  virtual ~TMotor() = default;

  // Accepts the brain's signal in [-1, 1].
  virtual void SetInput(double Signal) = 0;
  // A deep copy of the same class.
  virtual std::unique_ptr<TMotor> Copy() const = 0;
  // Makes this motor what Source.Copy() returns, in its own storage; false,
  // and the motor unchanged, when it cannot take Source.
  virtual bool AssignCopyOf(const TMotor& Source) {
    static_cast<void>(Source);
    return false;
  }
  // Computes Torque from the input and AngularVelocity.
  virtual void UpdateTorque() = 0;

  // Stores the angular speed of the driven wheel.
  void SetAngularVelocity(double Value) { AngularVelocity = Value; }

  double AngularVelocity = 0.0;  // rad/s, of the driven wheel, written by the body
  double Torque = 0.0;           // N m, the output, read by the body

 protected:
  TMotor() = default;
  // A copy starts with zero angular velocity and torque.
  TMotor(const TMotor&) {}
  TMotor& operator=(const TMotor&) = delete;
  // The base part of AssignCopyOf, as the base copy.
  void AssignMotorCopyOf() {
    AngularVelocity = 0.0;
    Torque = 0.0;
  }
};

// An owning, 1-based list of motors; Add stores a copy of its argument.
// Motor 1 drives the left wheel, motor 2 the right one.
class TMotors : public TOwningList<TMotor> {};

}  // namespace kestrovan
