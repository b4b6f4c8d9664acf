#include "simulation/GenerationEvaluator.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <limits>
#include <stdexcept>
#include <string>
#include <thread>

#include "arena/ArenaModel.h"
#include "robot/Robot.h"
#include "simulation/BrainFile.h"
#include "simulation/ResultFiles.h"

namespace kestrovan {

void EvaluateAgent(TRobot& Agent, TArenaState& Work, const TEvaluationContext& Context) {
  TAgentEvaluation evaluation(Agent, Work, Context);
  while (!evaluation.Advance(std::numeric_limits<int>::max())) {
  }
}

TAgentEvaluation::TAgentEvaluation(TRobot& Agent, TArenaState& Work, const TEvaluationContext& Context) {
  simulation_.SetParameters(Context.Parameters);
  simulation_.SetWorld(Context.Model, Work);
  simulation_.Fitness = Context.Fitness;
  Agent.Reset();
  Work.Reset(Context.Model);
  simulation_.SetAgent(Agent);
}

bool TAgentEvaluation::Advance(int Steps) {
  if (started_ && simulation_.Finished) {
    return true;
  }
  // the loop of a whole evaluation, cut after Steps steps
  do {
    simulation_.Step();
  } while (--Steps > 0 && !simulation_.Finished);
  started_ = true;
  return simulation_.Finished;
}

void RecordAhead(TRobot& Agent, TArenaState& Work, const TEvaluationContext& Context, TNewBestRecord& Record) {
  // the agent keeps its evaluation's own results for the conclusion
  const double fitness = Agent.Fitness;
  const double elapsedTime = Agent.ElapsedTime;
  try {
    TRobotSimulation recording;
    recording.RecordTrajectory = true;
    recording.SetParameters(Context.Parameters);
    recording.SetWorld(Context.Model, Work);
    recording.Fitness = Context.Fitness;
    recording.Initialize();
    Agent.Reset();
    Work.Reset(Context.Model);
    recording.SetAgent(Agent);
    Record.CylinderVelocities = CylinderVelocitiesOf(Work);
    do {
      recording.Step();
    } while (!recording.Finished);
    Record.Fitness = Agent.Fitness;
    Record.ElapsedTime = Agent.ElapsedTime;
    Record.Text = FormatNewBestFile(*Agent.Brain, recording.RobotTrajectory, recording.CylinderTrajectory);
    Record.Ready = true;
  } catch (...) {
    Record = TNewBestRecord();
  }
  Agent.Fitness = fitness;
  Agent.ElapsedTime = elapsedTime;
}

TNewBestCandidates::TNewBestCandidates(std::size_t Count, double Start)
    : done_(Count, 0), fitness_(Count, 0.0), prefixBest_(Count + 1, Start) {}

void TNewBestCandidates::Advance() {
  while (prefix_ < done_.size() && done_[prefix_] != 0) {
    const double before = prefixBest_[prefix_];
    prefixBest_[prefix_ + 1] = fitness_[prefix_] > before ? fitness_[prefix_] : before;
    ++prefix_;
  }
}

bool TNewBestCandidates::MayBeNewBest(std::size_t Index, double AgentFitness) {
  const std::lock_guard<std::mutex> lock(mutex_);
  done_[Index] = 1;
  fitness_[Index] = AgentFitness;
  Advance();
  if (Index <= prefix_) {
    return AgentFitness > prefixBest_[Index];
  }
  double best = prefixBest_[prefix_];
  for (std::size_t j = prefix_; j < Index; ++j) {
    if (done_[j] != 0 && fitness_[j] > best) {
      best = fitness_[j];
    }
  }
  return AgentFitness > best;
}

double TNewBestCandidates::Threshold(std::size_t Index) {
  const std::lock_guard<std::mutex> lock(mutex_);
  const std::size_t end = std::min(Index, done_.size());
  if (end <= prefix_) {
    return prefixBest_[end];
  }
  double best = prefixBest_[prefix_];
  for (std::size_t j = prefix_; j < end; ++j) {
    if (done_[j] != 0 && fitness_[j] > best) {
      best = fitness_[j];
    }
  }
  return best;
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
  // the agents evaluated, and the workers still running, for the calling
  // thread's conclusions
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<char> done(count, 0);
  std::size_t running = workers;
  std::exception_ptr concludeError;
  {
    std::vector<std::jthread> threads;
    threads.reserve(workers);
    for (std::size_t w = 0; w < workers; ++w) {
      threads.emplace_back([&, w] {
        try {
          TArenaState work(Context.Model);
          for (std::size_t i = next.fetch_add(1); i < count && !failed.load(); i = next.fetch_add(1)) {
            EvaluateAgent(*Agents[i], work, Context);
            if (Context.AfterEvaluation) {
              Context.AfterEvaluation(i, *Agents[i], work);
            }
            const std::lock_guard<std::mutex> lock(mutex);
            done[i] = 1;
            changed.notify_one();
          }
        } catch (...) {
          errors[w] = std::current_exception();
          failed.store(true);
        }
        const std::lock_guard<std::mutex> lock(mutex);
        --running;
        changed.notify_one();
      });
    }
    if (Context.ConcludeUpTo) {
      std::size_t prefix = 0;
      std::unique_lock<std::mutex> lock(mutex);
      for (;;) {
        changed.wait(lock, [&] { return running == 0 || failed.load() || (prefix < count && done[prefix] != 0); });
        // after a failure, the workers are only waited for
        if (failed.load()) {
          changed.wait(lock, [&] { return running == 0; });
          break;
        }
        std::size_t end = prefix;
        while (end < count && done[end] != 0) {
          ++end;
        }
        if (end == prefix) {
          break;  // every worker has ended and nothing more is done
        }
        prefix = end;
        lock.unlock();
        try {
          Context.ConcludeUpTo(prefix);
        } catch (...) {
          concludeError = std::current_exception();
          failed.store(true);
        }
        lock.lock();
      }
    }
  }
  for (const std::exception_ptr& error : errors) {
    if (error) {
      std::rethrow_exception(error);
    }
  }
  if (concludeError) {
    std::rethrow_exception(concludeError);
  }
}

}  // namespace kestrovan
