#include "robot/DifferentiallySteeredBody.h"

#include <cassert>
#include <cmath>
#include <numbers>

#include "arena/Arena.h"
#include "numerics/Trig.h"
#include "robot/Angles.h"
#include "robot/ParameterChecks.h"

namespace kestrovan {

void TDifferentiallySteeredBodyParameters::Validate() const {
  RequirePositive(Mass, "Body", "Mass", "kg");
  RequirePositive(Radius, "Body", "Radius", "m");
  RequirePositive(MomentOfInertia, "Body", "MomentOfInertia", "kg m^2");
  RequirePositive(WheelRadius, "Body", "WheelRadius", "m");
  RequirePositive(Height, "Body", "Height", "m");
}

TDifferentiallySteeredBody::TDifferentiallySteeredBody(const TDifferentiallySteeredBodyParameters& Parameters)
    : Mass(Parameters.Mass),
      Radius(Parameters.Radius),
      MomentOfInertia(Parameters.MomentOfInertia),
      Height(Parameters.Height),
      Alpha(Parameters.Alpha),
      Beta(Parameters.Beta) {
  Parameters.Validate();
  LeftWheel.SetRadius(Parameters.WheelRadius);
  RightWheel.SetRadius(Parameters.WheelRadius);
  ComputeInertias();
}

TDifferentiallySteeredBody::TDifferentiallySteeredBody(const TDifferentiallySteeredBody& Source)
    : TBody(Source),
      Mass(Source.Mass),
      Radius(Source.Radius),
      MomentOfInertia(Source.MomentOfInertia),
      Height(Source.Height),
      Alpha(Source.Alpha),
      Beta(Source.Beta),
      Distance(Source.GetDistance()) {
  // new wheels with the source's radii; the pose starts at zero
  LeftWheel.SetRadius(Source.LeftWheel.Radius);
  RightWheel.SetRadius(Source.RightWheel.Radius);
  ComputeInertias();
}

std::unique_ptr<TBody> TDifferentiallySteeredBody::Copy() const {
  return std::make_unique<TDifferentiallySteeredBody>(*this);
}

void TDifferentiallySteeredBody::ComputeInertias() {
  // the left wheel's radius stands for both wheels
  const double r = LeftWheel.Radius;
  LinearInertia = Mass * r;
  AngularInertia = r * MomentOfInertia / (Radius * Radius);
}

void TDifferentiallySteeredBody::UpdateMotors() {
  assert(Motors.Count() >= 2);
  const double vL = Coordinates.Speed - 0.5 * Radius * Coordinates.AngularVelocity;
  const double vR = 0.5 * Radius * Coordinates.AngularVelocity + Coordinates.Speed;
  TMotor& left = Motors.Items(1);
  TMotor& right = Motors.Items(2);
  left.SetAngularVelocity(vL / LeftWheel.Radius);
  right.SetAngularVelocity(vR / RightWheel.Radius);
  left.UpdateTorque();
  right.UpdateTorque();
}

void TDifferentiallySteeredBody::Move(const TArena& Arena, double TimeStep) {
  assert(Motors.Count() >= 2);
  constexpr double kHalfPi = std::numbers::pi / 2;
  const double dt = TimeStep;
  const double v = Coordinates.Speed;
  const double phi = Coordinates.Heading;
  const double omega = Coordinates.AngularVelocity;
  const double tau1 = Motors.Items(1).Torque;
  const double tau2 = Motors.Items(2).Torque;

  // semi-implicit Euler: speeds first, the new turn rate drives the heading
  const double a = (tau1 + tau2 - Alpha * v) / LinearInertia;
  const double b = (tau2 - tau1 - Beta * omega) / AngularInertia;
  Coordinates.Speed = a * dt + v;
  Coordinates.AngularVelocity = b * dt + omega;
  Coordinates.Heading = WrapAngle(Coordinates.AngularVelocity * dt + phi);
  const double heading = Coordinates.Heading;
  const double speed = Coordinates.Speed;

  Coordinates.SetVelocity(1, trig::cos(heading) * speed);
  Coordinates.SetVelocity(2, trig::sin(heading) * speed);
  double x = Coordinates.GetPosition(1) + Coordinates.GetVelocity(1) * dt;
  double y = Coordinates.GetPosition(2) + Coordinates.GetVelocity(2) * dt;

  // re-enter at the opposite edge of the floor rectangle; no floor, no wrap
  double xMin = 0.0;
  double xMax = 0.0;
  double yMin = 0.0;
  double yMax = 0.0;
  if (WrapAround && Arena.GetFloorBounds(xMin, xMax, yMin, yMax)) {
    if (x > xMax) {
      x = xMin;
    } else if (x < xMin) {
      x = xMax;
    }
    if (y > yMax) {
      y = yMin;
    } else if (y < yMin) {
      y = yMax;
    }
  }
  Coordinates.SetPosition(1, x);
  Coordinates.SetPosition(2, y);

  // forward distance; the first move after a reset adds nothing
  if (HasMoved && speed > 0.0) {
    Distance = Distance + speed * dt;
  }
  HasMoved = true;

  // wheels on either side of the centre
  const double turnRate = Coordinates.AngularVelocity;
  LeftWheel.Position[0] = x + Radius * trig::cos(heading + kHalfPi);
  LeftWheel.Position[1] = y + Radius * trig::sin(heading + kHalfPi);
  LeftWheel.Position[2] = 0.0;
  LeftWheel.AngularVelocity = (speed - 0.5 * Radius * turnRate) / LeftWheel.Radius;
  LeftWheel.Rotate(dt);
  RightWheel.Position[0] = x + Radius * trig::cos(heading - kHalfPi);
  RightWheel.Position[1] = y + Radius * trig::sin(heading - kHalfPi);
  RightWheel.Position[2] = 0.0;
  RightWheel.AngularVelocity = (speed + 0.5 * Radius * turnRate) / RightWheel.Radius;
  RightWheel.Rotate(dt);

  // sensors follow the body, in the plane at half its height
  const double elevation = Height / 2;
  for (int i = 1; i <= Sensors.Count(); ++i) {
    Sensors.Items(i).SetPose(x, y, elevation, heading);
  }
}

void TDifferentiallySteeredBody::Reset() {
  Coordinates = TCoordinates();
  Distance = 0.0;
  for (int i = 1; i <= Sensors.Count(); ++i) {
    Sensors.Items(i).Reset();
  }
  HasMoved = false;
}

}  // namespace kestrovan
