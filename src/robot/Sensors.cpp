#include "robot/Sensors.h"

namespace kestrovan {

void TSensor::SetPose(double, double, double, double) {}

}  // namespace kestrovan
