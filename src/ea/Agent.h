#pragma once

#include <memory>

namespace kestrovan {

class TArenaModel;
class TRandomGenerator;

// An individual of the evolutionary algorithm: a fitness and the operations
// that the algorithm and the simulation call on it. Larger fitness is better.
class TAgent {
 public:
  virtual ~TAgent() = default;

  // A fully independent deep copy of the same class.
  virtual std::unique_ptr<TAgent> Copy() const = 0;
  // One sense-think-act cycle.
  virtual void Step(double TimeStep) = 0;
  // Moves the agent through the model's arena by one time step.
  virtual void Move(const TArenaModel& Model, double TimeStep) = 0;
  // Changes the genome in place.
  virtual void Mutate() = 0;
  // Mutate drawing from Generator; an agent that draws only through Random
  // ignores it.
  virtual void MutateFrom(TRandomGenerator& Generator) {
    static_cast<void>(Generator);
    Mutate();
  }

  // Makes this agent what Source.Copy() returns, in the storage it already
  // holds (an agent of a replaced generation taking the place of a new one):
  // nothing of its own state stays. False, and this agent unchanged, when
  // it cannot take Source (another class, or an agent that does not recycle).
  virtual bool AssignCopyOf(const TAgent& Source) {
    static_cast<void>(Source);
    return false;
  }
  // True when AssignCopyOf takes agents of this agent's own class: only
  // such agents are worth keeping for a later generation.
  virtual bool Recyclable() const { return false; }

  double Fitness = 0.0;
  double RankFitness = 0.0;  // rank within its population, written by TPopulation::Rank
  double ElapsedTime = 0.0;  // s, simulated time of the current or last evaluation

 protected:
  TAgent() = default;
  // The base copy takes the fitness only; RankFitness and ElapsedTime start at 0.
  TAgent(const TAgent& Source) : Fitness(Source.Fitness) {}
  TAgent& operator=(const TAgent&) = delete;
  // The base part of AssignCopyOf, as the base copy: the fitness only.
  void AssignAgentCopyOf(const TAgent& Source) {
    Fitness = Source.Fitness;
    RankFitness = 0.0;
    ElapsedTime = 0.0;
  }
};

}  // namespace kestrovan
