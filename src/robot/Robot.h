#pragma once

#include <memory>
#include <string>

#include "ea/Agent.h"
#include "robot/Body.h"
#include "robot/Brain.h"

namespace kestrovan {

// A robot: an agent of the evolutionary algorithm that owns a brain and a
// body. Its brain is the genome.
class TRobot : public TAgent {
 public:
  // An empty robot without brain or body; the owner sets Name, Body, Brain.
  TRobot() = default;
  // The agent's fitness, copies of brain and body, the name;
  // DistanceTravelled starts at 0.
  TRobot(const TRobot& Source);

  std::unique_ptr<TAgent> Copy() const override;
  // The copy written over this robot's brain and body where they take it
  // (the same classes); false for anything but a TRobot, or for itself.
  bool AssignCopyOf(const TAgent& Source) override;
  // A TRobot, not a class derived from it.
  bool Recyclable() const override;
  // Sense, think, act: the brain reads the sensors, takes at most one
  // transition and sets the motor signals; the motors compute their torques.
  void Step(double TimeStep) override;
  // The body's move, then DistanceTravelled := the body's distance.
  void Move(const TArenaModel& Model, double TimeStep) override;
  // Mutates the brain; the body is never mutated.
  void Mutate() override;
  void MutateFrom(TRandomGenerator& Generator) override;

  // The body's Reset, then the brain's.
  void Reset();

  // Throws std::invalid_argument when the robot cannot be stepped: no brain
  // or body, fewer than two motors, no sensor, or a brain that does not fit
  // the body (see TBrain::CheckFits).
  void Validate() const;

  std::unique_ptr<TBrain> Brain;
  std::unique_ptr<TBody> Body;
  std::string Name;
  double DistanceTravelled = 0.0;  // m, the body's distance after the last move
};

}  // namespace kestrovan
