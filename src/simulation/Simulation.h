#pragma once

#include "ea/Agent.h"

namespace kestrovan {

class TRobotSimulation;

// Base of the parameter classes of simulations; carries nothing itself.
class TSimulationParameters {
 public:
  virtual ~TSimulationParameters() = default;

  // Hands these parameters to Simulation (TRobotSimulation::SetParameters
  // calls it with itself); parameters of no robot simulation throw
  // std::invalid_argument.
  virtual void ApplyTo(TRobotSimulation& Simulation) const;
};

// A simulation that evaluates one agent.
class TSimulation {
 public:
  virtual ~TSimulation() = default;

  // Prepares the run; nothing to do in the base.
  virtual void Initialize() {}
  // Takes what the simulation needs from Parameters; the caller keeps them.
  virtual void SetParameters(const TSimulationParameters& Parameters) { static_cast<void>(Parameters); }

  // Stores the agent under evaluation (not owned). When the simulation
  // refuses the agent (AgentChanged throws), Agent is left empty and the
  // exception passes on.
  void SetAgent(TAgent& NewAgent) {
    Agent = &NewAgent;
    try {
      AgentChanged();
    } catch (...) {
      Agent = nullptr;
      throw;
    }
  }

  TAgent* Agent = nullptr;  // the individual under evaluation, not owned

 protected:
  TSimulation() = default;
  TSimulation(const TSimulation&) = delete;
  TSimulation& operator=(const TSimulation&) = delete;

  // Called by SetAgent after the agent has been stored, so that a
  // simulation can look once at what the agent is made of, and throw
  // std::invalid_argument for an agent it cannot handle.
  virtual void AgentChanged() {}
};

}  // namespace kestrovan
