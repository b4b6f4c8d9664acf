#pragma once

#include "numerics/PortableMath.h"

// The trigonometric functions the simulation and the algorithm call:
// trig::sin(x) and friends, the portable implementations, so that a run's
// numbers do not depend on the C library or the CPU it picks a variant for.
// One place to change should another implementation be wanted.
namespace kestrovan::trig {

inline double sin(double X) { return Sin(X); }
inline double cos(double X) { return Cos(X); }
inline double atan2(double Y, double X) { return Atan2(Y, X); }

}  // namespace kestrovan::trig
