#include "robot/DifferentiallySteeredBody.h"

#include <cassert>
#include <cmath>
#include <numbers>
#include <typeinfo>

#include "arena/ArenaModel.h"
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

bool TDifferentiallySteeredBody::AssignCopyOf(const TBody& Source) {
  if (&Source == this || typeid(Source) != typeid(TDifferentiallySteeredBody) ||
      typeid(*this) != typeid(TDifferentiallySteeredBody)) {
    return false;
  }
  const auto& source = static_cast<const TDifferentiallySteeredBody&>(Source);
  AssignBodyCopyOf(source);
  Coordinates = TCoordinates();
  Mass = source.Mass;
  Radius = source.Radius;
  MomentOfInertia = source.MomentOfInertia;
  Height = source.Height;
  Alpha = source.Alpha;
  Beta = source.Beta;
  LeftWheel = TWheel();
  RightWheel = TWheel();
  LeftWheel.SetRadius(source.LeftWheel.Radius);
  RightWheel.SetRadius(source.RightWheel.Radius);
  HasMoved = false;
  Distance = source.GetDistance();
  ComputeInertias();
  return true;
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

void TDifferentiallySteeredBody::Move(const TArenaModel& Model, double TimeStep) {
  assert(Motors.Count() >= 2);
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

  // the heading's cosine and sine, once per step, for the velocity and the sensors
  const double cosHeading = trig::cos(heading);
  const double sinHeading = trig::sin(heading);
  Coordinates.SetVelocity(1, cosHeading * speed);
  Coordinates.SetVelocity(2, sinHeading * speed);
  double x = Coordinates.GetPosition(1) + Coordinates.GetVelocity(1) * dt;
  double y = Coordinates.GetPosition(2) + Coordinates.GetVelocity(2) * dt;

  // re-enter at the opposite edge of the floor rectangle; no floor, no wrap
  const TFloorRectangle& floor = Model.FloorRectangle();
  if (WrapAround && floor.Present) {
    const double xMin = floor.XMin;
    const double xMax = floor.XMax;
    const double yMin = floor.YMin;
    const double yMax = floor.YMax;
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

  // the wheels turn; their positions are computed when asked (UpdateWheelPositions)
  const double turnRate = Coordinates.AngularVelocity;
  LeftWheel.AngularVelocity = (speed - 0.5 * Radius * turnRate) / LeftWheel.Radius;
  LeftWheel.Rotate(dt);
  RightWheel.AngularVelocity = (speed + 0.5 * Radius * turnRate) / RightWheel.Radius;
  RightWheel.Rotate(dt);

  // sensors follow the body, in the plane at half its height
  TSensorPose pose;
  pose.X = x;
  pose.Y = y;
  pose.Elevation = Height / 2;
  pose.Heading = heading;
  pose.CosHeading = cosHeading;
  pose.SinHeading = sinHeading;
  const int sensors = Sensors.Count();
  for (int i = 1; i <= sensors; ++i) {
    Sensors.Items(i).Place(pose);
  }
}

void TDifferentiallySteeredBody::UpdateWheelPositions() {
  constexpr double kHalfPi = std::numbers::pi / 2;
  const double x = Coordinates.GetPosition(1);
  const double y = Coordinates.GetPosition(2);
  const double heading = Coordinates.Heading;
  // on either side of the centre
  LeftWheel.Position[0] = x + Radius * trig::cos(heading + kHalfPi);
  LeftWheel.Position[1] = y + Radius * trig::sin(heading + kHalfPi);
  LeftWheel.Position[2] = 0.0;
  RightWheel.Position[0] = x + Radius * trig::cos(heading - kHalfPi);
  RightWheel.Position[1] = y + Radius * trig::sin(heading - kHalfPi);
  RightWheel.Position[2] = 0.0;
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
