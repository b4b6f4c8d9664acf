#include "robot/Motors.h"

namespace kestrovan {

TMotors::TMotors(const TMotors& Source) {
  items_.reserve(Source.items_.size());
  for (const auto& motor : Source.items_) {
    items_.push_back(motor->Copy());
  }
}

void TMotors::Add(const TMotor& Motor) { items_.push_back(Motor.Copy()); }

}  // namespace kestrovan
