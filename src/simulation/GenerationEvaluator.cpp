#include "simulation/GenerationEvaluator.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <stdexcept>
#include <string>
#include <thread>

#include "arena/ArenaModel.h"
#include "robot/Robot.h"

namespace kestrovan {

void EvaluateAgent(TRobot& Agent, TArenaState& Work, const TEvaluationContext& Context) {
  TRobotSimulation simulation;
  simulation.SetParameters(Context.Parameters);
  simulation.SetWorld(Context.Model, Work);
  simulation.Fitness = Context.Fitness;
  Agent.Reset();
  Work.Reset(Context.Model);
  simulation.SetAgent(Agent);
  do {
    simulation.Step();
  } while (!simulation.Finished);
}

void TSequentialEvaluator::Evaluate(const std::vector<TRobot*>& Agents, const TEvaluationContext& Context) {
  if (Agents.empty()) {
    return;
  }
  TArenaState work(Context.Model);
  for (std::size_t i = 0; i < Agents.size(); ++i) {
    EvaluateAgent(*Agents[i], work, Context);
    if (Context.AfterEvaluation) {
      Context.AfterEvaluation(i, *Agents[i], work);
    }
  }
}

TThreadPoolEvaluator::TThreadPoolEvaluator(int Threads) : threads_(Threads) {
  if (Threads < 1) {
    throw std::invalid_argument("Threads must be at least 1 (got " + std::to_string(Threads) + ")");
  }
}

void TThreadPoolEvaluator::Evaluate(const std::vector<TRobot*>& Agents, const TEvaluationContext& Context) {
  const auto count = Agents.size();
  const auto workers = std::min(static_cast<std::size_t>(threads_), count);
  if (workers <= 1) {
    TSequentialEvaluator().Evaluate(Agents, Context);
    return;
  }

  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  std::vector<std::exception_ptr> errors(workers);
  {
    std::vector<std::jthread> threads;
    threads.reserve(workers);
    for (std::size_t w = 0; w < workers; ++w) {
      threads.emplace_back([w, count, &Agents, &Context, &next, &failed, &errors] {
        try {
          TArenaState work(Context.Model);
          for (std::size_t i = next.fetch_add(1); i < count && !failed.load(); i = next.fetch_add(1)) {
            EvaluateAgent(*Agents[i], work, Context);
            if (Context.AfterEvaluation) {
              Context.AfterEvaluation(i, *Agents[i], work);
            }
          }
        } catch (...) {
          errors[w] = std::current_exception();
          failed.store(true);
        }
      });
    }
  }
  for (const std::exception_ptr& error : errors) {
    if (error) {
      std::rethrow_exception(error);
    }
  }
}

}  // namespace kestrovan
