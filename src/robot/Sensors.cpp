#include "robot/Sensors.h"

namespace kestrovan {

void TSensor::SetPose(double, double, double, double) {}

void TSensor::Place(const TSensorPose& Pose) { SetPose(Pose.X, Pose.Y, Pose.Elevation, Pose.Heading); }

}  // namespace kestrovan
