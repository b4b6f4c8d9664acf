#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "simulation/RobotSimulation.h"

namespace kestrovan {

class TArenaModel;
class TArenaState;
class TRobot;

// Called by an evaluator right after the evaluation of agent Index (0-based
// in the agents given to Evaluate), on the thread that evaluated it, with
// the cylinder state that evaluation used (the worker's own, for the
// context's model); may be called on several threads at once.
using TAfterEvaluation = std::function<void(std::size_t Index, TRobot& Agent, TArenaState& Work)>;

// What every evaluation of one generation shares: the model of the arena
// as the run loaded it (read only: every evaluation starts from its
// cylinders as loaded, in a state of its own), the simulation parameters
// and the fitness function. The fitness
// function may be called on several threads at once. AfterEvaluation, when
// set, lets the run loop do work of its own on the workers (the recording of
// likely new bests); an evaluator that does not call it changes no result,
// only where that work is done.
struct TEvaluationContext {
  const TArenaModel& Model;
  const TRobotSimulationParameters& Parameters;
  const TFitnessFunction& Fitness;
  TAfterEvaluation AfterEvaluation = {};
};

// A whole evaluation of Agent: the robot reset, Work reset to the model's
// start state, then steps until the simulation finishes; the fitness and
// the elapsed time end up in Agent. Work is the evaluation's own cylinder
// state, sized for Context.Model, that nothing else touches meanwhile; it
// is reused from one evaluation to the next without reallocation.
void EvaluateAgent(TRobot& Agent, TArenaState& Work, const TEvaluationContext& Context);

// Evaluates the agents of one generation. When Evaluate returns, every
// agent holds the Fitness and ElapsedTime of one whole evaluation, exactly
// as EvaluateAgent gives them, whatever the order or place the evaluations
// ran in; an evaluator never changes Context.Model and never records new
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

// One agent after the other on the calling thread, in one cylinder state.
class TSequentialEvaluator : public TGenerationEvaluator {
 public:
  void Evaluate(const std::vector<TRobot*>& Agents, const TEvaluationContext& Context) override;
};

// Threads worker threads (at most one per agent); each takes the next agent
// not yet taken and evaluates it on the shared model in its own cylinder
// state. Agents are independent, so the results are those of the
// sequential evaluator.
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
