#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "arena/ArenaModel.h"
#include "ea/EA.h"
#include "ea/EAParameters.h"
#include "numerics/Matrices.h"
#include "robot/FSMBrain.h"
#include "robot/Robot.h"
#include "simulation/GenerationEvaluator.h"
#include "simulation/RobotSimulation.h"
#include "simulation/RunObserver.h"

namespace kestrovan {

// What the run loop reports when an evaluation has finished.
struct TEvaluationResult {
  int AgentIndex = 0;                // 1-based index in the population
  int EvaluationCount = 0;           // evaluations since BeginRun, this one included
  double Fitness = 0.0;              // the evaluation's fitness
  bool NewBest = false;              // strictly above the best fitness of the run so far
  double RecordedFitness = 0.0;      // with NewBest: the fitness of the recording run
  std::filesystem::path RecordFile;  // with NewBest: the new-best file written
  std::filesystem::path BrainFile;   // with NewBest: the brain file written beside it
};

// What a run carries from one generation to the next, taken between
// generations (after EndGeneration, before the next BeginGeneration): with
// the configuration and the seed, it determines every later generation.
struct TEvolutionRunState {
  std::uint32_t Seed = 0;            // the seed Initialize was given
  std::uint32_t GeneratorState = 0;  // the run's generator
  int Generation = 0;                // generation steps taken by the algorithm
  int EvaluationCount = 0;
  double BestFitness = 0.0;
  TVector MaxFitnessHistory{0};
  TVector AverageFitnessHistory{0};
  TPopulation Population;  // robots, as the run's own population
};

// The evolution run shared by every front end: Initialize, the generation
// loop (evaluate every agent, record every new best, extend the histories,
// form the next generation) and the result files. The run window drives it
// one simulation step at a time and adds event processing, pause, stop and
// the 3D view around it; the batch runner evaluates whole generations, on
// several threads if asked.
//
// The configuration objects (EA parameters, template robot, brain
// parameters or brain factory, evaluator) belong to the caller and must
// outlive the run; the run owns the arena, the algorithm with its
// population, the current simulation and the histories.
class TEvolutionRun {
 public:
  TEvolutionRun();
  ~TEvolutionRun();
  TEvolutionRun(const TEvolutionRun&) = delete;
  TEvolutionRun& operator=(const TEvolutionRun&) = delete;

  // ---- configuration, set before Initialize

  void SetEAParameters(const TEAParameters& Parameters) { eaParameters_ = &Parameters; }
  // Stores the name and loads the arena from it; throws TArenaFileError.
  void SetArenaFileName(const std::string& FileName);
  void SetRobot(const TRobot& TemplateRobot) { robot_ = &TemplateRobot; }
  // Brains made by a factory of finite-state-machine brains with these
  // parameters.
  void SetFSMBrainParameters(const TFSMBrainParameters& Parameters);
  // Brains made by Factory: one new brain per agent, in agent order.
  void SetBrainFactory(const TBrainFactory& Factory);
  // EvaluateGeneration hands every generation to Evaluator instead of the
  // sequential or thread-pool evaluator its Threads argument picks;
  // nullptr returns to those.
  void SetEvaluator(TGenerationEvaluator* Evaluator) { evaluator_ = Evaluator; }
  // The fitness every evaluation, recording and replay computes; may be
  // called on several threads at once.
  TFitnessFunction Fitness = CylinderDistanceFitness;

  bool KeepCylinderVelocities = false;
  double MinimumCylinderSpeed = 0.0;  // m/s
  double MaximumCylinderSpeed = 0.0;  // m/s
  // Folder that receives the new-best files and "descr.txt".
  std::filesystem::path OutputFolder = ".";
  // The experiment's hash (ExperimentHash), carried by every brain file;
  // may be empty.
  std::string ExperimentSha256;
  // Called while a new best is recorded and written, so that a user
  // interface can process its events; may be empty.
  std::function<void()> Yield;
  // Told of every evaluation and generation; not owned; may be null.
  TRunObserver* Observer = nullptr;

  // ---- Initialize

  // Starts a new evolution: empty histories; the run's generator seeded
  // with Seed, or the time of day when Seed is empty; RandomSeed :=
  // trunc(draw * 100000) + 1; a new algorithm drawing from the run's
  // generator, with the EA parameters and PopulationSize copies of the
  // template robot, each with a new random brain from the same generator; the arena reloaded from
  // its file; random cylinder velocities unless KeepCylinderVelocities.
  // Throws std::invalid_argument for parameters that would crash or corrupt
  // a run, TArenaFileError for an arena file that cannot be read.
  void Initialize(std::optional<std::uint32_t> Seed = std::nullopt);

  bool Initialized() const { return ea_ != nullptr; }
  std::uint32_t Seed() const { return seed_; }  // the seed of the last Initialize
  // The run's generator: every draw of the evolution comes from it, in the
  // same order as from Random with RandSeed := Seed.
  TRandomGenerator& RandomGenerator() { return random_; }
  std::int32_t RandomSeed() const { return randomSeed_; }

  // ---- the run loop

  // Starts a run with these simulation parameters; throws
  // std::invalid_argument when they are refused, TRunInputError when the
  // arena and the parameters give nothing a run can compute (see
  // CheckRunInputs). EvaluationCount := 0.
  void BeginRun(const TRobotSimulationParameters& Parameters);
  // The warnings of the last BeginRun, one "FILE:LINE: warning: ..." each.
  const std::vector<std::string>& RunWarnings() const { return runWarnings_; }
  // BestFitness := the population's MaxFitness after the first generation,
  // else 0.
  void BeginGeneration();
  int PopulationCount() const;

  // Step-by-step evaluation of agent Index (1-based): resets the agent and
  // the arena and creates the simulation; the caller calls StepEvaluation
  // until it returns true, then FinishEvaluation.
  TRobotSimulation& BeginEvaluation(int Index);
  // One simulation step; true when the evaluation has finished.
  bool StepEvaluation();
  // Counts the evaluation and applies the strict new-best rule (throws
  // TNonFiniteError for a fitness or state that is not finite): a new best
  // is simulated again with trajectory recording and written to
  // "<EvaluationCount>.txt" in OutputFolder, its brain in full precision to
  // "<EvaluationCount>.brain" and best.brain. Throws std::runtime_error
  // naming the file when it cannot be written; files already written stay.
  TEvaluationResult FinishEvaluation();

  // Evaluates every agent of the generation through the evaluator (the one
  // given to SetEvaluator, else the sequential one for one thread or a
  // thread pool of Threads workers, all reading one model of the arena,
  // each with its own cylinder state), and applies the new-best rule and
  // writes the new-best files in agent order, exactly as evaluating one
  // after the other would: on the calling thread, while the evaluator's
  // workers run (as far as the agents done allow), the rest afterwards.
  // OnResult, if set, is called per agent in order, on the calling thread.
  // An exception ends the generation: agents concluded stay concluded.
  void EvaluateGeneration(int Threads, const std::function<void(const TEvaluationResult&)>& OnResult = {});

  // The agent of the evaluation in progress (valid between BeginEvaluation
  // and FinishEvaluation).
  TRobot& EvaluatedAgent();

  // Replay of the population's best agent (largest fitness, lowest index on
  // ties) with these parameters: the arena is reset and, unless
  // KeepCylinderVelocities, given its random cylinder velocities. The replay
  // runs on a copy of the agent, so the population (fitness, elapsed time)
  // is left exactly as it was; the replay's fitness is its own.
  TRobotSimulation& BeginReplay(const TRobotSimulationParameters& Parameters);
  bool StepReplay();
  // The copy being replayed (valid between BeginReplay and EndReplay).
  TRobot& ReplayAgent();
  void EndReplay();

  // Appends BestFitness and the population's average fitness to the
  // histories, then forms the next generation.
  void EndGeneration();
  // Ends the run: releases the algorithm and its population. A new run
  // needs a new Initialize.
  void EndRun();

  // ---- state

  const TArena* Arena() const { return arena_.get(); }
  TArena* Arena() { return arena_.get(); }
  const std::string& ArenaFileName() const { return arenaFileName_; }
  const TEA* EA() const { return ea_.get(); }
  TEA* EA() { return ea_.get(); }
  // The simulation of the evaluation in progress, or nullptr.
  TRobotSimulation* Simulation() { return simulation_.get(); }
  const TRobotSimulationParameters& SimulationParameters() const { return simulationParameters_; }
  int EvaluationCount() const { return evaluationCount_; }
  double BestFitness() const { return bestFitness_; }
  const TVector& MaxFitnessHistory() const { return maxFitnessHistory_; }
  const TVector& AverageFitnessHistory() const { return averageFitnessHistory_; }

  // Writes "descr.txt" (the two histories) into OutputFolder; returns its path.
  std::filesystem::path SaveHistory() const;

  // ---- saving and restoring between generations

  // State of the run's generator (RandomGenerator().Seed).
  std::uint32_t GeneratorState() const { return random_.Seed; }
  // Puts State back into a run that Initialize (with State.Seed) and
  // BeginRun have prepared: the population, the algorithm's generation, the
  // generator, the evaluation count, the best fitness and the histories. The
  // generations that follow are those the saved run would have evaluated.
  // Throws std::invalid_argument, leaving the run as it was, for a state of
  // another seed or population size, or agents that are not robots with a
  // brain fitting the template robot's body.
  void RestoreState(TEvolutionRunState State);

 private:
  void LoadArena();
  void RecordNewBest(TRobot& Agent, TEvaluationResult& Result);
  // Writes the brain file of the new best Result beside its new-best file.
  void WriteBrainOf(const TRobot& Agent, TEvaluationResult& Result, std::vector<double> CylinderVelocities) const;
  // Parameters, arena and fitness handed to a simulation.
  void Configure(TRobotSimulation& Simulation, const TRobotSimulationParameters& Parameters);
  // Counts the evaluation of agent Index and applies the new-best rule.
  TEvaluationResult ConcludeEvaluation(int Index, TRobot& Agent);
  // Agent Index of the population as a robot; throws std::out_of_range.
  TRobot& RobotAt(int Index);
  // Throws std::logic_error naming Operation unless Initialize has run.
  void RequireInitialized(const char* Operation) const;

  const TEAParameters* eaParameters_ = nullptr;
  const TRobot* robot_ = nullptr;
  const TBrainFactory* brainFactory_ = nullptr;
  std::unique_ptr<TBrainFactory> ownBrainFactory_;  // the one SetFSMBrainParameters made
  TGenerationEvaluator* evaluator_ = nullptr;
  std::string arenaFileName_;

  std::vector<std::string> runWarnings_;
  std::unique_ptr<TArena> arena_;
  // the arena as last read from its file, for inputs that cannot be read twice
  std::unique_ptr<TArena> loadedArena_;
  std::unique_ptr<TEA> ea_;
  std::unique_ptr<TRobotSimulation> simulation_;
  std::unique_ptr<TRobot> replayAgent_;
  std::unique_ptr<TRobotSimulation> replay_;
  int evaluatedIndex_ = 0;
  // recordings prepared during EvaluateGeneration, by agent index from 0
  std::vector<TNewBestRecord> prepared_;
  TRobotSimulationParameters simulationParameters_;
  TRandomGenerator random_;
  std::uint32_t seed_ = 0;
  std::int32_t randomSeed_ = 0;
  int evaluationCount_ = 0;
  double bestFitness_ = 0.0;
  TVector maxFitnessHistory_{0};
  TVector averageFitnessHistory_{0};
};

}  // namespace kestrovan
