#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "arena/Arena.h"
#include "robot/Robot.h"
#include "simulation/RobotSimulation.h"

namespace kestrovan {

// The largest time step a run accepts (s).
inline constexpr double kMaximumTimeStep = 1.0;

// Inputs that a run cannot compute; what() names the object or value and
// the bound, one finding per line.
class TRunInputError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// A non-finite fitness or state met during a run; what() names the
// evaluation (generation and individual).
class TNonFiniteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Checks a run of Robot in Arena with Parameters before its first step.
// Throws TRunInputError for a time step above kMaximumTimeStep or above the
// simulation time, and for every error CheckArena finds (as "FILE:LINE:
// message" lines); returns CheckArena's warnings as "FILE:LINE: warning:
// message" lines.
std::vector<std::string> CheckRunInputs(const TArena& Arena, const TRobot& Robot,
                                        const TRobotSimulationParameters& Parameters);

// Throws TNonFiniteError when Agent's fitness, distance or position after
// the evaluation of individual Index in generation Generation is not finite.
void CheckEvaluationFinite(const TRobot& Agent, int Generation, int Index);

}  // namespace kestrovan
