#include "numerics/BasicFunctions.h"

#include <cmath>

#include "numerics/Trig.h"

namespace kestrovan {

void RotateToFrame(double X, double Y, double Angle, double& XR, double& YR) {
  const double c = trig::cos(Angle);
  const double s = trig::sin(Angle);
  XR = c * X + s * Y;
  YR = -s * X + c * Y;
}

double Distance(double X1, double Y1, double X2, double Y2) {
  const double dx = X1 - X2;
  const double dy = Y1 - Y2;
  return std::sqrt(dx * dx + dy * dy);
}

}  // namespace kestrovan
