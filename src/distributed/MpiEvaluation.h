#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "simulation/GenerationEvaluator.h"

namespace kestrovan {

// One evolution over the ranks of an MPI job. Rank 0 runs the algorithm,
// writes every file and evaluates on its own threads as well; every other
// rank is a worker that receives what it needs once (the experiment and the
// bytes of its arena file), then pulls chunks of a generation's genomes and
// sends back what the run loop reads of an evaluation. Numbers travel as
// their bytes, so a homogeneous cluster gives exactly a one-process run's
// results.

// MPI_Init and MPI_Finalize around a program's life. On rank 0, the
// destructor stops workers that are still waiting (a run that failed before
// or during its evaluation).
class TMpiSession {
 public:
  // Throws std::runtime_error when MPI cannot give the thread support needed.
  TMpiSession();
  ~TMpiSession();
  TMpiSession(const TMpiSession&) = delete;
  TMpiSession& operator=(const TMpiSession&) = delete;

  int Rank() const { return rank_; }
  int Size() const { return size_; }

  // Rank 0: the workers wait for a run from now on and must be stopped.
  void Arm() { armed_ = true; }
  // Rank 0: tells every worker that waits for a run or for work to end.
  void StopWorkers();

 private:
  int rank_ = 0;
  int size_ = 1;
  bool armed_ = false;
  bool stopped_ = false;
  friend class TMpiEvaluator;
};

// What a worker rebuilds a run's evaluation from.
struct TDistributedSetup {
  std::string ExperimentText;   // the experiment file of the run, without its arena
  std::string ArenaText;        // the bytes of the arena file
  std::string ArenaName;        // names the arena in a worker's messages
  std::int32_t RandomSeed = 0;  // the run's seed of the cylinders' random velocities
};

// Traffic and waiting of rank 0 in one generation.
struct TDistributedStatistics {
  std::uint64_t BytesSent = 0;
  std::uint64_t BytesReceived = 0;
  int Messages = 0;                // messages sent and received
  int RemoteChunks = 0;            // chunks evaluated by other ranks
  int RemoteEvaluations = 0;       // evaluations done by other ranks
  int RemoteRecords = 0;           // new-best recordings made ahead by other ranks
  double WaitSeconds = 0.0;        // rank 0's threads idle, waiting on other ranks' results
  double RemoteIdleSeconds = 0.0;  // other ranks without a chunk, summed, since their previous results
  double SerialSeconds = 0.0;      // rank 0 between the previous generation's evaluation and this one's
};

// Rank 0's evaluator: each generation's agents in chunks that the ranks
// (rank 0's own Threads threads included) pull as they finish; results
// written into the agents as a local evaluation would leave them. Agents
// must have finite-state-machine brains.
class TMpiEvaluator : public TGenerationEvaluator {
 public:
  // Sends Setup to every worker and waits for each to answer; throws
  // std::runtime_error naming a rank that cannot use it.
  TMpiEvaluator(TMpiSession& Session, int Threads, const TDistributedSetup& Setup);
  // Waits until every worker has asked for more work, then stops them.
  ~TMpiEvaluator() override;
  TMpiEvaluator(const TMpiEvaluator&) = delete;
  TMpiEvaluator& operator=(const TMpiEvaluator&) = delete;

  void Evaluate(const std::vector<TRobot*>& Agents, const TEvaluationContext& Context) override;
  const TDistributedStatistics& LastGeneration() const { return statistics_; }

 private:
  struct TState;
  TMpiSession& session_;
  int threads_;
  TDistributedStatistics statistics_;
  std::unique_ptr<TState> state_;
  std::chrono::steady_clock::time_point lastEnd_{};  // when the previous Evaluate returned
};

// A worker rank: waits for rank 0's setup, then evaluates chunks on Threads
// threads until rank 0 stops it (a setup this rank cannot use is reported to
// rank 0, which ends the run). Returns the exit status, 0.
int RunMpiWorker(int Threads);

// The bytes of an agent's genome as they travel, and back into a brain of
// the same shape; exposed for the tests. Throws std::invalid_argument for a
// brain that is not a finite-state machine or a genome of another shape.
void AppendGenome(const TRobot& Agent, std::vector<double>& Genes);
void ReadGenome(const double* Genes, TRobot& Agent);
std::size_t GenomeSize(const TRobot& Agent);

}  // namespace kestrovan
