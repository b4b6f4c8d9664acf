#include "robot/Wheels.h"

#include "robot/Angles.h"

namespace kestrovan {

void TWheel::Rotate(double TimeStep) { RotationAngle = WrapAngle(AngularVelocity * TimeStep + RotationAngle); }

}  // namespace kestrovan
