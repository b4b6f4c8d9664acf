#pragma once

#include <memory>

#include "robot/Coordinates.h"
#include "robot/Motors.h"
#include "robot/Sensors.h"

namespace kestrovan {

class TArenaModel;
struct TCylinderView;

// Base of the bodies' parameter classes.
class TBodyParameters {
 public:
  virtual ~TBodyParameters() = default;
};

// A robot's body: owns its sensors and motors.
class TBody {
 public:
  virtual ~TBody() = default;

  // A deep copy of the same class; the copy starts from a fresh pose.
  virtual std::unique_ptr<TBody> Copy() const = 0;
  // Makes this body what Source.Copy() returns, in its own sensors, motors
  // and their storage; false, and the body unchanged, when it cannot take
  // Source (another class, or a body that does not recycle).
  virtual bool AssignCopyOf(const TBody& Source) {
    static_cast<void>(Source);
    return false;
  }
  // Integrates the motion over one step in the model's arena (its floor
  // rectangle).
  virtual void Move(const TArenaModel& Model, double TimeStep) = 0;
  // Hands wheel speeds to the motors and lets them compute their torques.
  virtual void UpdateMotors() = 0;
  // Updates sensors 1..Count in order.
  virtual void UpdateSensors(const TCylinderView& Cylinders);
  // Returns to the start state.
  virtual void Reset() = 0;
  // Distance (m) accumulated since the last Reset.
  virtual double GetDistance() const = 0;

  // What a simulation with collisions and a floor edge needs of a body: its
  // planar pose and velocity (written back by collisions), the radius of its
  // collision disc (m) and its mass (kg). A body without a planar pose
  // returns nullptr, and such a simulation refuses it.
  virtual TCoordinates* Kinematics() { return nullptr; }
  const TCoordinates* Kinematics() const { return const_cast<TBody*>(this)->Kinematics(); }
  virtual double CollisionRadius() const { return 0.0; }
  virtual double CollisionMass() const { return 0.0; }

  TSensors Sensors;
  TMotors Motors;
  bool WrapAround = true;  // wrap the position around the floor rectangle

 protected:
  TBody() = default;
  // Copies of all of Source's sensors and motors; WrapAround := true.
  TBody(const TBody& Source) : Sensors(Source.Sensors), Motors(Source.Motors) {}
  TBody& operator=(const TBody&) = delete;
  // The base part of AssignCopyOf, as the base copy.
  void AssignBodyCopyOf(const TBody& Source) {
    Sensors.AssignCopyOf(Source.Sensors);
    Motors.AssignCopyOf(Source.Motors);
    WrapAround = true;
  }
};

}  // namespace kestrovan
