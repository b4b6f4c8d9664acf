#pragma once

#include "robot/Body.h"
#include "robot/Coordinates.h"
#include "robot/Wheels.h"

namespace kestrovan {

// Parameters of a differentially steered body.
class TDifferentiallySteeredBodyParameters : public TBodyParameters {
 public:
  double Mass = 0.1;                // kg
  double Radius = 0.05;             // m
  double MomentOfInertia = 2.5e-6;  // kg m^2
  double WheelRadius = 0.01;        // m
  double Height = 0.03;             // m
  double Alpha = 0.004;             // N s/m, linear damping
  double Beta = 0.0002;             // N m s/rad, angular damping

  // Throws std::invalid_argument naming the first field that is not
  // positive among Mass, Radius, MomentOfInertia, WheelRadius and Height.
  void Validate() const;
};

// A cylindrical robot on two wheels driven by two motors (motor 1 left,
// motor 2 right). One semi-implicit Euler step per Move:
//   a = (tau1 + tau2 - Alpha v) / LinearInertia,  LinearInertia = Mass r
//   b = (tau2 - tau1 - Beta w) / AngularInertia,  AngularInertia = r I / R^2
// with r the wheel radius, R the body radius and I the moment of inertia.
class TDifferentiallySteeredBody : public TBody {
 public:
  // Validates the parameters (see TDifferentiallySteeredBodyParameters::Validate).
  explicit TDifferentiallySteeredBody(const TDifferentiallySteeredBodyParameters& Parameters);
  // Copies of the sensors and motors, the constants and wheel radii, and
  // the source's distance; the pose starts at zero.
  TDifferentiallySteeredBody(const TDifferentiallySteeredBody& Source);

  std::unique_ptr<TBody> Copy() const override;
  // Everything the copy constructor sets, in this body's storage; false
  // unless both are of exactly this class (and not the same body).
  bool AssignCopyOf(const TBody& Source) override;
  void Move(const TArenaModel& Model, double TimeStep) override;
  void UpdateMotors() override;
  void Reset() override;
  double GetDistance() const override { return Distance; }
  TCoordinates* Kinematics() override { return &Coordinates; }
  double CollisionRadius() const override { return Radius; }
  double CollisionMass() const override { return Mass; }
  // The wheels' positions (arena frame, at the floor) for the current pose;
  // Move turns the wheels but leaves their positions to this.
  void UpdateWheelPositions();

  TCoordinates Coordinates;
  double Mass;             // kg
  double Radius;           // m
  double MomentOfInertia;  // kg m^2
  double Height;           // m
  double Alpha;            // N s/m
  double Beta;             // N m s/rad
  TWheel LeftWheel;
  TWheel RightWheel;
  bool HasMoved = false;
  double Distance = 0.0;        // m travelled forwards since the last Reset
  double LinearInertia = 0.0;   // Mass * wheel radius
  double AngularInertia = 0.0;  // wheel radius * MomentOfInertia / Radius^2

 private:
  void ComputeInertias();
};

}  // namespace kestrovan
