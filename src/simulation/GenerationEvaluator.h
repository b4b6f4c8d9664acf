#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "simulation/RobotSimulation.h"

namespace kestrovan {

class TArena;
class TRobot;

// Called by an evaluator right after the evaluation of agent Index (0-based
// in the agents given to Evaluate), on the thread that evaluated it, with
// that evaluation's own arena; may be called on several threads at once.
using TAfterEvaluation = std::function<void(std::size_t Index, TRobot& Agent, TArena& Work)>;

// What every evaluation of one generation shares: the arena as the run
// loaded it (read only: every evaluation starts from its objects as
// loaded), the simulation parameters and the fitness function. The fitness
// function may be called on several threads at once. AfterEvaluation, when
// set, lets the run loop do work of its own on the workers (the recording of
// likely new bests); an evaluator that does not call it changes no result,
// only where that work is done.
struct TEvaluationContext {
  const TArena& Arena;
  const TRobotSimulationParameters& Parameters;
  const TFitnessFunction& Fitness;
  TAfterEvaluation AfterEvaluation = {};
};

// A whole evaluation of Agent: the robot reset, Work reset to its objects as
// loaded, then steps until the simulation finishes; the fitness and the
// elapsed time end up in Agent. Work is the evaluation's own arena, a copy
// of Context.Arena that nothing else touches meanwhile.
void EvaluateAgent(TRobot& Agent, TArena& Work, const TEvaluationContext& Context);

// Evaluates the agents of one generation. When Evaluate returns, every
// agent holds the Fitness and ElapsedTime of one whole evaluation, exactly
// as EvaluateAgent gives them, whatever the order or place the evaluations
// ran in; an evaluator never touches Context.Arena and never records new
// bests: the run loop concludes the evaluations afterwards, in agent order.
// An evaluation's exception is passed on once every evaluation started has
// ended.
class TGenerationEvaluator {
 public:
  virtual ~TGenerationEvaluator() = default;
  virtual void Evaluate(const std::vector<TRobot*>& Agents, const TEvaluationContext& Context) = 0;

 protected:
  TGenerationEvaluator() = default;
  TGenerationEvaluator(const TGenerationEvaluator&) = default;
  TGenerationEvaluator& operator=(const TGenerationEvaluator&) = default;
};

// One agent after the other on the calling thread, in one copy of the arena.
class TSequentialEvaluator : public TGenerationEvaluator {
 public:
  void Evaluate(const std::vector<TRobot*>& Agents, const TEvaluationContext& Context) override;
};

// Threads worker threads (at most one per agent); each takes the next agent
// not yet taken and evaluates it in its own copy of the arena. Agents are
// independent, so the results are those of the sequential evaluator.
class TThreadPoolEvaluator : public TGenerationEvaluator {
 public:
  // Throws std::invalid_argument for Threads below 1.
  explicit TThreadPoolEvaluator(int Threads);

  void Evaluate(const std::vector<TRobot*>& Agents, const TEvaluationContext& Context) override;
  int Threads() const { return threads_; }

 private:
  int threads_;
};

}  // namespace kestrovan
