#include "robot/Robot.h"

#include <cassert>
#include <stdexcept>
#include <string>
#include <typeinfo>

namespace kestrovan {

TRobot::TRobot(const TRobot& Source)
    : TAgent(Source),
      Brain(Source.Brain ? Source.Brain->Copy() : nullptr),
      Body(Source.Body ? Source.Body->Copy() : nullptr),
      Name(Source.Name) {}

std::unique_ptr<TAgent> TRobot::Copy() const { return std::make_unique<TRobot>(*this); }

bool TRobot::AssignCopyOf(const TAgent& Source) {
  // a derived class has state of its own that this assignment would not copy
  if (&Source == this || !Recyclable() || typeid(Source) != typeid(TRobot)) {
    return false;
  }
  const auto& source = static_cast<const TRobot&>(Source);
  AssignAgentCopyOf(source);
  AssignCopy(Brain, source.Brain.get());
  AssignCopy(Body, source.Body.get());
  Name = source.Name;
  DistanceTravelled = 0.0;
  return true;
}

bool TRobot::Recyclable() const { return typeid(*this) == typeid(TRobot); }

void TRobot::Step(double TimeStep) {
  assert(Brain && Body);
  // sense: the readings computed at the end of the previous step
  Brain->ReadInputs(Body->Sensors);
  // think: at most one transition
  Brain->UpdateState(TimeStep);
  // act: signals to the motors, which compute their torques
  Brain->SetMotorSignals(Body->Motors);
  Body->UpdateMotors();
}

void TRobot::Move(const TArenaModel& Model, double TimeStep) {
  assert(Body);
  Body->Move(Model, TimeStep);
  DistanceTravelled = Body->GetDistance();
}

void TRobot::Mutate() {
  assert(Brain);
  Brain->Mutate();
}

void TRobot::MutateFrom(TRandomGenerator& Generator) {
  assert(Brain);
  Brain->MutateFrom(Generator);
}

void TRobot::Reset() {
  assert(Brain && Body);
  Body->Reset();
  Brain->Reset();
}

void TRobot::Validate() const {
  const std::string who = "Robot '" + Name + "'";
  if (!Body) {
    throw std::invalid_argument(who + " has no body");
  }
  if (!Brain) {
    throw std::invalid_argument(who + " has no brain");
  }
  if (Body->Motors.Count() < 2) {
    throw std::invalid_argument(who + ": the body has " + std::to_string(Body->Motors.Count()) +
                                " motor(s), at least 2 (left and right) are needed");
  }
  if (Body->Sensors.Count() < 1) {
    throw std::invalid_argument(who + ": the body has no sensor, at least 1 is needed");
  }
  Brain->CheckFits(Body->Sensors.Count(), Body->Motors.Count());
}

}  // namespace kestrovan
