#pragma once

#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
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
// The recording of a likely new best made ahead of the run loop's ordered
// conclusion, where the agent was evaluated; Ready when it was made.
struct TNewBestRecord {
  bool Ready = false;
  double Fitness = 0.0;  // the recording run's fitness and elapsed time
  double ElapsedTime = 0.0;
  std::string Text;                        // the new-best file's text
  std::vector<double> CylinderVelocities;  // at the recording's start, for its brain file
};

// Called by an evaluator whose evaluations run elsewhere (another process)
// once agent Index's results are in Agent, with the recording made there
// (nullptr when none was).
using TAfterRemoteEvaluation = std::function<void(std::size_t Index, const TRobot& Agent, TNewBestRecord* Record)>;

struct TEvaluationContext {
  const TArenaModel& Model;
  const TRobotSimulationParameters& Parameters;
  const TFitnessFunction& Fitness;
  TAfterEvaluation AfterEvaluation = {};
  // For an evaluator whose evaluations run elsewhere: the fitness above
  // which agent Index or one after it may be a new best, from the results
  // handed over so far (unset: record nothing there), and the hand-over of
  // each result. An evaluator that uses neither changes no result.
  std::function<double(std::size_t Index)> RecordThreshold = {};
  TAfterRemoteEvaluation AfterRemoteEvaluation = {};
  // Called by an evaluator, on the thread that called Evaluate only and
  // while evaluations may still run, with Finished: agents 0..Finished-1
  // have been evaluated (and AfterEvaluation has returned for each). Lets
  // the run loop conclude them in agent order meanwhile. When it throws,
  // the evaluator starts no further evaluation, waits for those under way
  // and passes the exception on. An evaluator that never calls it changes
  // no result.
  std::function<void(std::size_t Finished)> ConcludeUpTo = {};
};

// The run loop's recording of a new best: Agent, just evaluated in Work,
// evaluated again there with trajectories, and its new-best file formatted.
// Agent keeps the fitness and elapsed time of its first evaluation. A
// failure leaves Record not Ready (the run loop then records the agent
// itself). Touches only Agent, Work and Record.
void RecordAhead(TRobot& Agent, TArenaState& Work, const TEvaluationContext& Context, TNewBestRecord& Record);

// Which of Count agents, evaluated in any order, may be new bests. Agent i
// is a new best exactly when its fitness beats Start (the best before them)
// and the fitness of every agent before it; knowing only the agents already
// evaluated, this picks every new best and now and then an agent that one
// still being evaluated will beat. Thread-safe.
class TNewBestCandidates {
 public:
  TNewBestCandidates(std::size_t Count, double Start);

  // Notes agent Index's fitness; true when it may be a new best.
  bool MayBeNewBest(std::size_t Index, double AgentFitness);
  // The best of Start and every agent before Index noted so far: agent
  // Index, or one after it, is a new best only above it.
  double Threshold(std::size_t Index);

 private:
  // the agents noted without a gap from the first, and the best before each
  void Advance();

  std::mutex mutex_;
  std::vector<char> done_;
  std::vector<double> fitness_;
  std::size_t prefix_ = 0;
  // prefixBest_[k]: the best of the start and agents 0..k-1, for k <= prefix_
  std::vector<double> prefixBest_;
};

// A whole evaluation of Agent: the robot reset, Work reset to the model's
// start state, then steps until the simulation finishes; the fitness and
// the elapsed time end up in Agent. Work is the evaluation's own cylinder
// state, sized for Context.Model, that nothing else touches meanwhile; it
// is reused from one evaluation to the next without reallocation.
void EvaluateAgent(TRobot& Agent, TArenaState& Work, const TEvaluationContext& Context);

// EvaluateAgent a few steps at a time, for a caller with other work between
// them: the same steps, so the same results.
class TAgentEvaluation {
 public:
  // Prepares as EvaluateAgent does; Agent, Work and Context outlive this.
  TAgentEvaluation(TRobot& Agent, TArenaState& Work, const TEvaluationContext& Context);

  // At most Steps more steps (at least one on the first call); true once
  // the simulation has finished, Agent then holding its results.
  bool Advance(int Steps);

 private:
  TRobotSimulation simulation_;
  bool started_ = false;
};

// Evaluates the agents of one generation. When Evaluate returns, every
// agent holds the Fitness and ElapsedTime of one whole evaluation, exactly
// as EvaluateAgent gives them, whatever the order or place the evaluations
// ran in; an evaluator never changes Context.Model and never records new
// bests: the run loop concludes the evaluations in agent order, afterwards
// or, through Context.ConcludeUpTo, while they run. An evaluation's
// exception is passed on once every evaluation started has ended; it takes
// precedence over one of ConcludeUpTo.
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
// sequential evaluator. Meanwhile the calling thread waits for the agents
// evaluated without a gap from the first and hands each longer prefix to
// Context.ConcludeUpTo.
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
