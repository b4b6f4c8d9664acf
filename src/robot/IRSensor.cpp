#include "robot/IRSensor.h"

#include <cmath>

#include "arena/Arena.h"
#include "numerics/Trig.h"
#include "robot/Angles.h"
#include "robot/ParameterChecks.h"

namespace kestrovan {

namespace {

// Relative slack of the squared-distance pre-test: far larger than the
// rounding of sqrt(q) - Radius, so the pre-test only rejects cylinders
// that the exact distance test rejects as well.
constexpr double kReachSlack = 1.0 + 1e-9;

}  // namespace

void TIRSensorParameters::Validate() const { RequirePositive(Range, "IR sensor", "Range", "m"); }

TIRSensor::TIRSensor(const TIRSensorParameters& Parameters)
    : RelativePosition(Parameters.RelativePosition),
      RelativeDirection(Parameters.RelativeDirection),
      AbsoluteDirection(Parameters.RelativeDirection),
      OpeningAngle(Parameters.OpeningAngle),
      Range(Parameters.Range),
      Reading(Parameters.InitialReading) {
  Parameters.Validate();
}

TIRSensor::TIRSensor(const TIRSensor& Source)
    : TSensor(Source),
      RelativePosition(Source.RelativePosition),
      RelativeDirection(Source.RelativeDirection),
      AbsoluteDirection(Source.RelativeDirection),
      OpeningAngle(Source.OpeningAngle),
      Range(Source.Range),
      Reading(Source.Reading) {}

std::unique_ptr<TSensor> TIRSensor::Copy() const { return std::make_unique<TIRSensor>(*this); }

TMatrix TIRSensor::GetReading() const {
  TMatrix reading(1, 1);
  reading.SetElement(1, 1, Reading);
  return reading;
}

void TIRSensor::SetPose(double X, double Y, double Elevation, double Heading) {
  const double c = trig::cos(Heading);
  const double s = trig::sin(Heading);
  const double rx = RelativePosition.GetElement(1);
  const double ry = RelativePosition.GetElement(2);
  const double rz = RelativePosition.GetElement(3);
  AbsolutePosition.SetElement(1, X + c * rx - s * ry);
  AbsolutePosition.SetElement(2, Y + s * rx + c * ry);
  AbsolutePosition.SetElement(3, rz + Elevation);
  AbsoluteDirection = WrapAngle(Heading + RelativeDirection);
}

void TIRSensor::Update(const TArena& Arena) {
  Reading = 0.0;
  const double h = OpeningAngle / 2;
  const double cosDelta = trig::cos(AbsoluteDirection);
  const double sinDelta = trig::sin(AbsoluteDirection);
  const double x = AbsolutePosition.GetElement(1);
  const double y = AbsolutePosition.GetElement(2);

  for (const TCylinderZ* cylinder : Arena.Cylinders()) {
    // the cylinder's centre in the sensor frame: lx along the axis, ly to the left
    const double dx = cylinder->Position.GetElement(1) - x;
    const double dy = cylinder->Position.GetElement(2) - y;
    const double lx = cosDelta * dx + sinDelta * dy;
    if (lx <= 0.0) {
      continue;  // behind the sensor
    }
    const double ly = -sinDelta * dx + cosDelta * dy;
    const double squaredDistance = lx * lx + ly * ly;

    // cheap rejection of cylinders clearly beyond the range
    const double radius = cylinder->Radius;
    if (radius >= 0.0) {
      const double reach = Range + radius;
      if (squaredDistance > reach * reach * kReachSlack) {
        continue;
      }
    }

    // bearing of the centre within the cone
    const double theta = trig::atan2(ly, lx);
    if (std::abs(theta) > h) {
      continue;
    }
    // surface distance: touching or overlapping cylinders, and those out of range, are not seen
    const double d = std::sqrt(squaredDistance) - radius;
    if (d <= 0.0 || d > Range) {
      continue;
    }
    const double response = trig::cos(theta) * (1.0 - d / Range);
    if (response > Reading) {
      Reading = response;
    }
  }
}

}  // namespace kestrovan
