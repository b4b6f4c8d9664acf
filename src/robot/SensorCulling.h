#pragma once

#include <cmath>
#include <numbers>

#include "numerics/Trig.h"

namespace kestrovan {

// A cheap, conservative test of whether an IR sensor can see a cylinder,
// made before any trigonometry or square root of the exact test. It never
// rejects a cylinder that the exact test would see: it only rejects
// cylinders whose centre lies clearly beyond the range plus the radius or
// clearly outside the opening cone, with margins far above the rounding
// of either computation. The sensor's axis may be given approximately
// (for example built from the heading's and the mounting direction's
// cosine and sine by the angle-sum formulas): a few ulps of error in it
// are covered by the angular margin.
class TSensorCull {
 public:
  // Margins: relative on the squared reach, absolute in radians on the
  // half opening, relative to |dx| + |dy| on the cone test's two products.
  static constexpr double kReachSlack = 1.0 + 1e-9;
  static constexpr double kAngleMargin = 1e-9;
  static constexpr double kConeSlack = 1e-12;

  TSensorCull() = default;
  // For a sensor with this full opening angle (rad) and range (m).
  TSensorCull(double OpeningAngle, double Range) : range_(Range) {
    const double limit = OpeningAngle / 2 + kAngleMargin;
    // a cone of half an opening near pi or more (or not a number) is not culled by angle
    coneTest_ = limit > 0.0 && limit < std::numbers::pi - 1e-6;
    cosLimit_ = trig::cos(limit);
    sinLimit_ = trig::sin(limit);
  }

  // False only when a cylinder of Radius (m) whose centre lies (Dx, Dy)
  // from the sensor (m, arena frame) cannot be seen by a sensor whose
  // axis is the unit vector (AxisX, AxisY).
  bool MayBeVisible(double Dx, double Dy, double AxisX, double AxisY, double Radius) const {
    // beyond the range plus the radius (only for a radius that is a length)
    if (Radius >= 0.0) {
      const double reach = range_ + Radius;
      if (Dx * Dx + Dy * Dy > reach * reach * kReachSlack) {
        return false;
      }
    }
    if (!coneTest_) {
      return true;
    }
    // outside the cone: the angle phi between the axis and the centre has
    // sin|phi| cos(limit) > cos(phi) sin(limit), i.e. |phi| > limit
    const double along = AxisX * Dx + AxisY * Dy;
    const double across = std::fabs(AxisX * Dy - AxisY * Dx);
    const double slack = kConeSlack * (std::fabs(Dx) + std::fabs(Dy));
    return !(across * cosLimit_ > along * sinLimit_ + slack);
  }

 private:
  double range_ = 0.0;
  double cosLimit_ = 1.0;
  double sinLimit_ = 0.0;
  bool coneTest_ = false;
};

}  // namespace kestrovan
