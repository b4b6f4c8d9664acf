#pragma once

#include <numbers>

namespace kestrovan {

// One correction of +-2 pi towards [-pi, pi]: an angle above pi loses 2 pi,
// one below -pi gains 2 pi. Enough for angles that change by less than a
// full turn per step.
inline double WrapAngle(double Angle) {
  constexpr double kPi = std::numbers::pi;
  if (Angle > kPi) {
    return Angle - 2.0 * kPi;
  }
  if (Angle < -kPi) {
    return Angle + 2.0 * kPi;
  }
  return Angle;
}

}  // namespace kestrovan
