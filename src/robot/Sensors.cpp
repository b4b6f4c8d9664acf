#include "robot/Sensors.h"

namespace kestrovan {

void TSensor::SetPose(double, double, double, double) {}

TSensors::TSensors(const TSensors& Source) {
  items_.reserve(Source.items_.size());
  for (const auto& sensor : Source.items_) {
    items_.push_back(sensor->Copy());
  }
}

void TSensors::Add(const TSensor& Sensor) { items_.push_back(Sensor.Copy()); }

}  // namespace kestrovan
