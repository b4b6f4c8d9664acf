#include "simulation/RunInputCheck.h"

#include <cmath>

#include "arena/ArenaChecks.h"
#include "robot/DifferentiallySteeredBody.h"

namespace kestrovan {

std::vector<std::string> CheckRunInputs(const TArena& Arena, const TRobot& Robot,
                                        const TRobotSimulationParameters& Parameters) {
  if (Parameters.TimeStep > kMaximumTimeStep) {
    throw TRunInputError("time step " + FindingNumber(Parameters.TimeStep) + " s is above the maximum of " +
                         FindingNumber(kMaximumTimeStep) + " s");
  }
  if (Parameters.TimeStep > Parameters.SimulationTime) {
    throw TRunInputError("time step " + FindingNumber(Parameters.TimeStep) + " s is larger than the simulation time " +
                         FindingNumber(Parameters.SimulationTime) + " s");
  }
  const auto* body = dynamic_cast<const TDifferentiallySteeredBody*>(Robot.Body.get());
  const TArenaCheck check = CheckArena(Arena, body != nullptr ? body->Radius : 0.0, Parameters.TimeStep);
  const std::string fileName = Arena.FileName().empty() ? std::string("arena") : Arena.FileName();
  if (!check.Errors.empty()) {
    std::string message;
    for (const TArenaFinding& error : check.Errors) {
      message += (message.empty() ? "" : "\n") + Locate(fileName, error);
    }
    throw TRunInputError(message);
  }
  std::vector<std::string> warnings;
  for (const TArenaFinding& warning : check.Warnings) {
    warnings.push_back(Locate(fileName, {warning.Line, "warning: " + warning.Message}));
  }
  return warnings;
}

void CheckEvaluationFinite(const TRobot& Agent, int Generation, int Index) {
  const auto fail = [&](const char* What, double Value) {
    throw TNonFiniteError("generation " + std::to_string(Generation) + ", individual " + std::to_string(Index) +
                          ": the " + What + " is " + FindingNumber(Value) + "; the run cannot go on");
  };
  if (!std::isfinite(Agent.Fitness)) {
    fail("fitness", Agent.Fitness);
  }
  if (!std::isfinite(Agent.DistanceTravelled)) {
    fail("distance travelled", Agent.DistanceTravelled);
  }
  if (const auto* body = dynamic_cast<const TDifferentiallySteeredBody*>(Agent.Body.get())) {
    for (int i = 1; i <= 2; ++i) {
      if (!std::isfinite(body->Coordinates.GetPosition(i))) {
        fail("robot's position", body->Coordinates.GetPosition(i));
      }
    }
  }
}

}  // namespace kestrovan
