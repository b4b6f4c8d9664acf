#pragma once

namespace kestrovan {

// +1 for x >= 0 (also for 0 and -0.0), otherwise -1; never 0.
inline int Sign(double x) { return x >= 0.0 ? 1 : -1; }

// Components (XR, YR) of the plane vector (X, Y) in a frame whose first axis
// points in the direction Angle (rad, counter-clockwise from x) and whose
// second axis lies 90 degrees to its left.
void RotateToFrame(double X, double Y, double Angle, double& XR, double& YR);

// Euclidean distance of (X1, Y1) and (X2, Y2).
double Distance(double X1, double Y1, double X2, double Y2);

}  // namespace kestrovan
