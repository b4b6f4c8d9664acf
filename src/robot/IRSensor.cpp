#include "robot/IRSensor.h"

#include <cmath>
#include <typeinfo>

#include "arena/ArenaModel.h"
#include "numerics/Trig.h"
#include "robot/Angles.h"
#include "robot/ParameterChecks.h"

namespace kestrovan {

namespace {

// Relative slack of the squared-distance pre-test: far larger than the
// rounding of sqrt(q) - Radius, so the pre-test only rejects cylinders
// that the exact distance test rejects as well.
constexpr double kReachSlack = 1.0 + 1e-9;

// Up to this |Heading| + |RelativeDirection| (rad) the axis built from
// their cosines and sines lies within about 1e-15 rad of the exact one.
constexpr double kAxisSumLimit = 16.0;

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

bool TIRSensor::AssignCopyOf(const TSensor& Source) {
  if (&Source == this || typeid(Source) != typeid(TIRSensor) || typeid(*this) != typeid(TIRSensor)) {
    return false;
  }
  const auto& source = static_cast<const TIRSensor&>(Source);
  RelativePosition = source.RelativePosition;
  RelativeDirection = source.RelativeDirection;
  if (AbsolutePosition.Count() == 3) {
    AbsolutePosition.SetToZero();
  } else {
    AbsolutePosition = TVector(3);
  }
  AbsoluteDirection = source.RelativeDirection;
  OpeningAngle = source.OpeningAngle;
  Range = source.Range;
  Reading = source.Reading;
  cull_ = TSensorCull();
  cullOpening_ = kUnset;
  cullRange_ = kUnset;
  mountCos_ = 1.0;
  mountSin_ = 0.0;
  mountFor_ = kUnset;
  axisX_ = 1.0;
  axisY_ = 0.0;
  axisFor_ = kUnset;
  return true;
}

TMatrix TIRSensor::GetReading() const {
  TMatrix reading(1, 1);
  reading.SetElement(1, 1, Reading);
  return reading;
}

void TIRSensor::SetPose(double X, double Y, double Elevation, double Heading) {
  TSensorPose pose;
  pose.X = X;
  pose.Y = Y;
  pose.Elevation = Elevation;
  pose.Heading = Heading;
  pose.CosHeading = trig::cos(Heading);
  pose.SinHeading = trig::sin(Heading);
  Place(pose);
}

void TIRSensor::Place(const TSensorPose& Pose) {
  const double c = Pose.CosHeading;
  const double s = Pose.SinHeading;
  const double rx = RelativePosition.GetElement(1);
  const double ry = RelativePosition.GetElement(2);
  const double rz = RelativePosition.GetElement(3);
  AbsolutePosition.SetElement(1, Pose.X + c * rx - s * ry);
  AbsolutePosition.SetElement(2, Pose.Y + s * rx + c * ry);
  AbsolutePosition.SetElement(3, rz + Pose.Elevation);
  AbsoluteDirection = WrapAngle(Pose.Heading + RelativeDirection);

  // the axis by the angle-sum formulas, for the rejection test only; far
  // from 0 the sum Heading + RelativeDirection itself is too coarse for the
  // test's margin, and Update then takes the exact axis
  if (!(mountFor_ == RelativeDirection)) {
    RebuildMount();
  }
  if (std::fabs(Pose.Heading) + std::fabs(RelativeDirection) <= kAxisSumLimit) {
    axisX_ = c * mountCos_ - s * mountSin_;
    axisY_ = s * mountCos_ + c * mountSin_;
    axisFor_ = AbsoluteDirection;
  } else {
    axisFor_ = kUnset;
  }
}

void TIRSensor::RebuildCull() {
  cull_ = TSensorCull(OpeningAngle, Range);
  cullOpening_ = OpeningAngle;
  cullRange_ = Range;
}

void TIRSensor::RebuildMount() {
  mountCos_ = trig::cos(RelativeDirection);
  mountSin_ = trig::sin(RelativeDirection);
  mountFor_ = RelativeDirection;
}

void TIRSensor::Update(const TCylinderView& Cylinders) {
  ComputeReading<true, false>(Cylinders, nullptr, Cylinders.Size());
}

void TIRSensor::UpdateEveryCylinder(const TCylinderView& Cylinders) {
  ComputeReading<false, false>(Cylinders, nullptr, Cylinders.Size());
}

bool TIRSensor::SensingDisc(double& X, double& Y, double& Radius) const {
  X = AbsolutePosition.GetElement(1);
  Y = AbsolutePosition.GetElement(2);
  Radius = Range;
  return true;
}

void TIRSensor::UpdateAmong(const TCylinderView& Cylinders, std::span<const std::uint32_t> Candidates) {
  ComputeReading<true, true>(Cylinders, Candidates.data(), Candidates.size());
}

template <bool Culled, bool Listed>
void TIRSensor::ComputeReading(const TCylinderView& Cylinders, const std::uint32_t* Indices, std::size_t Count) {
  std::size_t first = 0;
  if constexpr (Culled) {
    // with the axis of Place, the cylinders that the rejection test turns
    // away (usually all of them) are passed over here, without the set-up
    // of the exact computation; ReadFrom starts at the first that passes
    if (axisFor_ == AbsoluteDirection) {
      if (!(cullOpening_ == OpeningAngle && cullRange_ == Range)) {
        RebuildCull();
      }
      const TSensorCull cull = cull_;
      const double x = AbsolutePosition.GetElement(1);
      const double y = AbsolutePosition.GetElement(2);
      const double axisX = axisX_;
      const double axisY = axisY_;
      const TCylinderState* states = Cylinders.States.data();
      const TCylinderConstants* constants = Cylinders.Constants.data();
      while (first < Count) {
        const std::size_t i = Listed ? Indices[first] : first;
        if (cull.MayBeVisible(states[i].Position[0] - x, states[i].Position[1] - y, axisX, axisY,
                              constants[i].Radius)) {
          break;
        }
        ++first;
      }
      if (first == Count) {
        Reading = 0.0;
        return;
      }
    }
  }
  ReadFrom<Culled, Listed>(Cylinders, Indices, Count, first);
}

template <bool Culled, bool Listed>
void TIRSensor::ReadFrom(const TCylinderView& Cylinders, const std::uint32_t* Indices, std::size_t Count,
                         std::size_t First) {
  double reading = 0.0;
  const double range = Range;
  const double h = OpeningAngle / 2;
  const double x = AbsolutePosition.GetElement(1);
  const double y = AbsolutePosition.GetElement(2);

  // the direction's cosine and sine: at once when the axis of Place does
  // not hold, else when the first cylinder passes the rejection test
  bool exact = !Culled || !(axisFor_ == AbsoluteDirection);
  double cosDelta = 1.0;
  double sinDelta = 0.0;
  if (exact) {
    cosDelta = trig::cos(AbsoluteDirection);
    sinDelta = trig::sin(AbsoluteDirection);
  }
  const double axisX = exact ? cosDelta : axisX_;
  const double axisY = exact ? sinDelta : axisY_;
  if (Culled && !(cullOpening_ == OpeningAngle && cullRange_ == Range)) {
    RebuildCull();
  }
  // the test and the reading in locals, which no store in the loop can change
  const TSensorCull cull = cull_;

  const TCylinderState* states = Cylinders.States.data();
  const TCylinderConstants* constants = Cylinders.Constants.data();
  for (std::size_t k = First; k < Count; ++k) {
    const std::size_t i = Listed ? Indices[k] : k;
    const double dx = states[i].Position[0] - x;
    const double dy = states[i].Position[1] - y;
    const double radius = constants[i].Radius;
    if constexpr (Culled) {
      if (!cull.MayBeVisible(dx, dy, axisX, axisY, radius)) {
        continue;
      }
      if (!exact) {
        cosDelta = trig::cos(AbsoluteDirection);
        sinDelta = trig::sin(AbsoluteDirection);
        exact = true;
      }
    }
    // the cylinder's centre in the sensor frame: lx along the axis, ly to the left
    const double lx = cosDelta * dx + sinDelta * dy;
    if (lx <= 0.0) {
      continue;  // behind the sensor
    }
    const double ly = -sinDelta * dx + cosDelta * dy;
    const double squaredDistance = lx * lx + ly * ly;

    // cheap rejection of cylinders clearly beyond the range
    if (radius >= 0.0) {
      const double reach = range + radius;
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
    if (d <= 0.0 || d > range) {
      continue;
    }
    const double response = trig::cos(theta) * (1.0 - d / range);
    if (response > reading) {
      reading = response;
    }
  }
  Reading = reading;
}

}  // namespace kestrovan
