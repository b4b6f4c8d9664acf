#include "simulation/EvolutionRun.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cmath>
#include <exception>
#include <stdexcept>
#include <thread>
#include <vector>

#include "numerics/RandomNumbers.h"
#include "simulation/ResultFiles.h"
#include "simulation/RunInputCheck.h"

namespace kestrovan {

namespace {

// Hands the simulation its parameters and the arena.
void Configure(TRobotSimulation& Simulation, const TRobotSimulationParameters& Parameters, TArena& Arena) {
  Simulation.SetParameters(Parameters);
  Simulation.SetArena(Arena);
}

// Resets the robot and the arena and hands the robot to the simulation:
// every evaluation starts with the robot at the origin, heading 0, brain in
// its first state, and every arena object as loaded.
void Start(TRobotSimulation& Simulation, TRobot& Agent, TArena& Arena) {
  Agent.Reset();
  Arena.ResetObjects();
  Simulation.SetAgent(Agent);
}

// Configure, then Start.
void PrepareEvaluation(TRobotSimulation& Simulation, const TRobotSimulationParameters& Parameters, TRobot& Agent,
                       TArena& Arena) {
  Configure(Simulation, Parameters, Arena);
  Start(Simulation, Agent, Arena);
}

// A whole evaluation of Agent in Arena; the fitness ends up in Agent.
void EvaluateAgent(TRobot& Agent, TArena& Arena, const TRobotSimulationParameters& Parameters) {
  TRobotSimulation simulation;
  PrepareEvaluation(simulation, Parameters, Agent, Arena);
  do {
    simulation.Step();
  } while (!simulation.Finished);
}

void Call(const std::function<void()>& Yield) {
  if (Yield) {
    Yield();
  }
}

}  // namespace

TEvolutionRun::TEvolutionRun() = default;
TEvolutionRun::~TEvolutionRun() = default;

void TEvolutionRun::SetArenaFileName(const std::string& FileName) {
  const std::string previous = arenaFileName_;
  std::unique_ptr<TArena> previousLoaded = std::move(loadedArena_);
  arenaFileName_ = FileName;
  try {
    LoadArena();
  } catch (...) {
    arenaFileName_ = previous;
    loadedArena_ = std::move(previousLoaded);
    throw;
  }
}

void TEvolutionRun::LoadArena() {
  // the old arena stays until the new one has been read completely; a pipe
  // can be read only once, so its arena is the one read first
  std::error_code error;
  const bool reread = loadedArena_ == nullptr || std::filesystem::is_regular_file(arenaFileName_, error);
  auto arena = reread ? std::make_unique<TArena>(arenaFileName_) : std::make_unique<TArena>(*loadedArena_);
  if (reread) {
    loadedArena_ = std::make_unique<TArena>(*arena);
  }
  simulation_.reset();
  replay_.reset();
  arena_ = std::move(arena);
}

void TEvolutionRun::Initialize(std::optional<std::uint32_t> Seed) {
  if (eaParameters_ == nullptr || robot_ == nullptr || brainParameters_ == nullptr) {
    throw std::logic_error("Initialize needs the EA parameters, the template robot and the brain parameters");
  }
  if (arenaFileName_.empty()) {
    throw std::logic_error("Initialize needs an arena file");
  }
  eaParameters_->Validate();
  brainParameters_->Validate();
  robot_->Validate();
  if (!std::isfinite(MinimumCylinderSpeed) || !std::isfinite(MaximumCylinderSpeed)) {
    throw std::invalid_argument("MinimumCylinderSpeed and MaximumCylinderSpeed must be finite");
  }

  // new, empty histories
  TVector maxHistory(0);
  TVector averageHistory(0);

  // seed Random; RandomSeed for the cylinders' random velocities
  if (Seed.has_value()) {
    RandSeed = *Seed;
  } else {
    Randomize();
  }
  const std::uint32_t seed = RandSeed;
  const auto randomSeed = static_cast<std::int32_t>(std::trunc(Random() * 100000)) + 1;

  // the algorithm and its population: copies of the template robot, each
  // with its own random brain, drawn in agent order
  auto ea = std::make_unique<TEA>();
  ea->SetParameters(*eaParameters_);
  for (int i = 1; i <= eaParameters_->PopulationSize; ++i) {
    TRobot robot(*robot_);
    robot.Brain = std::make_unique<TFSMBrain>(*brainParameters_);
    robot.Validate();
    ea->Population().Add(robot);
  }

  // the arena read anew; random cylinder velocities (they show until the
  // first evaluation resets the arena)
  LoadArena();
  if (!KeepCylinderVelocities) {
    arena_->RandomizeCylinderVelocities(randomSeed, MinimumCylinderSpeed, MaximumCylinderSpeed);
  }

  ea_ = std::move(ea);
  replayAgent_.reset();
  seed_ = seed;
  randomSeed_ = randomSeed;
  maxFitnessHistory_ = std::move(maxHistory);
  averageFitnessHistory_ = std::move(averageHistory);
  evaluationCount_ = 0;
  bestFitness_ = 0.0;
  evaluatedIndex_ = 0;
}

void TEvolutionRun::RequireInitialized(const char* Operation) const {
  if (!Initialized()) {
    throw std::logic_error(std::string(Operation) + " needs an initialized run");
  }
}

void TEvolutionRun::BeginRun(const TRobotSimulationParameters& Parameters) {
  RequireInitialized("BeginRun");
  Parameters.Validate();
  runWarnings_ = CheckRunInputs(*arena_, *robot_, Parameters);
  simulationParameters_ = Parameters;
  evaluationCount_ = 0;
}

void TEvolutionRun::BeginGeneration() {
  RequireInitialized("BeginGeneration");
  // agents of a later generation carry their fitness: a new best must beat it
  bestFitness_ = ea_->Generation() > 0 ? ea_->Population().MaxFitness() : 0.0;
}

int TEvolutionRun::PopulationCount() const { return ea_ ? ea_->Population().Count() : 0; }

TRobot& TEvolutionRun::RobotAt(int Index) {
  if (Index < 1 || Index > PopulationCount()) {
    throw std::out_of_range("Agent index " + std::to_string(Index) + " outside 1.." +
                            std::to_string(PopulationCount()));
  }
  auto* robot = dynamic_cast<TRobot*>(&ea_->Population().GetAgent(Index));
  if (robot == nullptr) {
    throw std::logic_error("Agent " + std::to_string(Index) + " is not a robot");
  }
  return *robot;
}

TRobotSimulation& TEvolutionRun::BeginEvaluation(int Index) {
  RequireInitialized("BeginEvaluation");
  TRobot& agent = RobotAt(Index);
  simulation_ = std::make_unique<TRobotSimulation>();
  evaluatedIndex_ = Index;
  PrepareEvaluation(*simulation_, simulationParameters_, agent, *arena_);
  return *simulation_;
}

bool TEvolutionRun::StepEvaluation() {
  assert(simulation_ != nullptr);
  simulation_->Step();
  return simulation_->Finished;
}

TRobot& TEvolutionRun::EvaluatedAgent() { return RobotAt(evaluatedIndex_); }

TEvaluationResult TEvolutionRun::FinishEvaluation() {
  if (!simulation_ || !simulation_->Finished) {
    throw std::logic_error("FinishEvaluation needs a finished evaluation");
  }
  simulation_.reset();
  return ConcludeEvaluation(evaluatedIndex_, RobotAt(evaluatedIndex_));
}

TEvaluationResult TEvolutionRun::ConcludeEvaluation(int Index, TRobot& Agent) {
  // a NaN or an infinity never reaches the best fitness, the elite or a summary
  CheckEvaluationFinite(Agent, ea_->Generation() + 1, Index);
  ++evaluationCount_;
  TEvaluationResult result;
  result.AgentIndex = Index;
  result.EvaluationCount = evaluationCount_;
  result.Fitness = Agent.Fitness;
  // strictly better than the best so far
  if (Agent.Fitness > bestFitness_) {
    bestFitness_ = Agent.Fitness;
    result.NewBest = true;
    RecordNewBest(Agent, result);
  }
  if (Observer != nullptr) {
    Observer->EvaluationFinished(*this, result);
  }
  return result;
}

void TEvolutionRun::RecordNewBest(TRobot& Agent, TEvaluationResult& Result) {
  const auto* brain = dynamic_cast<const TFSMBrain*>(Agent.Brain.get());
  if (brain == nullptr) {
    throw std::logic_error("A new-best file needs a finite-state-machine brain");
  }
  Result.RecordFile = OutputFolder / (std::to_string(Result.EvaluationCount) + ".txt");

  // the same evaluation again, with trajectories; its fitness replaces the first
  TRobotSimulation recording;
  recording.RecordTrajectory = true;
  Configure(recording, simulationParameters_, *arena_);
  recording.Initialize();
  Start(recording, Agent, *arena_);
  do {
    recording.Step();
    Call(Yield);
  } while (!recording.Finished);
  CheckEvaluationFinite(Agent, ea_->Generation() + 1, Result.AgentIndex);
  Result.RecordedFitness = Agent.Fitness;

  WriteFileAtomically(Result.RecordFile,
                      FormatNewBestFile(*brain, recording.RobotTrajectory, recording.CylinderTrajectory, Yield));
  Call(Yield);
}

void TEvolutionRun::EvaluateGeneration(int Threads, const std::function<void(const TEvaluationResult&)>& OnResult) {
  RequireInitialized("EvaluateGeneration");
  if (Threads < 1) {
    throw std::invalid_argument("Threads must be at least 1 (got " + std::to_string(Threads) + ")");
  }
  const int count = PopulationCount();
  const int workers = std::min(Threads, count);

  if (workers <= 1) {
    // one after the other, exactly as the run window steps through them
    for (int i = 1; i <= count; ++i) {
      BeginEvaluation(i);
      while (!StepEvaluation()) {
      }
      const TEvaluationResult result = FinishEvaluation();
      if (OnResult) {
        OnResult(result);
      }
    }
    return;
  }

  // every worker takes the next agent not yet taken and evaluates it in its
  // own copy of the arena; agents are independent, so the fitness values
  // are those of the sequential loop
  std::atomic<int> next{1};
  std::atomic<bool> failed{false};
  std::vector<std::exception_ptr> errors(static_cast<std::size_t>(workers));
  {
    std::vector<std::jthread> threads;
    threads.reserve(static_cast<std::size_t>(workers));
    for (int w = 0; w < workers; ++w) {
      threads.emplace_back([this, w, count, &next, &failed, &errors] {
        try {
          TArena arena(*arena_);
          for (int i = next.fetch_add(1); i <= count && !failed.load(); i = next.fetch_add(1)) {
            EvaluateAgent(RobotAt(i), arena, simulationParameters_);
          }
        } catch (...) {
          errors[static_cast<std::size_t>(w)] = std::current_exception();
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

  // new bests announced and recorded in agent order, as in the sequential loop
  for (int i = 1; i <= count; ++i) {
    const TEvaluationResult result = ConcludeEvaluation(i, RobotAt(i));
    if (OnResult) {
      OnResult(result);
    }
  }
}

TRobotSimulation& TEvolutionRun::BeginReplay(const TRobotSimulationParameters& Parameters) {
  RequireInitialized("BeginReplay");
  Parameters.Validate();
  const auto* best = dynamic_cast<const TRobot*>(&ea_->Population().BestAgent());
  if (best == nullptr) {
    throw std::logic_error("The best agent is not a robot");
  }
  replayAgent_ = std::make_unique<TRobot>(*best);
  replay_ = std::make_unique<TRobotSimulation>();
  PrepareEvaluation(*replay_, Parameters, *replayAgent_, *arena_);
  if (!KeepCylinderVelocities) {
    arena_->RandomizeCylinderVelocities(randomSeed_, MinimumCylinderSpeed, MaximumCylinderSpeed);
  }
  return *replay_;
}

bool TEvolutionRun::StepReplay() {
  assert(replay_ != nullptr);
  replay_->Step();
  return replay_->Finished;
}

TRobot& TEvolutionRun::ReplayAgent() { return *replayAgent_; }

void TEvolutionRun::EndReplay() {
  replay_.reset();
  replayAgent_.reset();
}

void TEvolutionRun::EndGeneration() {
  RequireInitialized("EndGeneration");
  maxFitnessHistory_.Append(bestFitness_);
  averageFitnessHistory_.Append(ea_->Population().AverageFitness());
  if (Observer != nullptr) {
    Observer->GenerationFinished(*this);
  }
  ea_->NextGeneration();
}

void TEvolutionRun::EndRun() {
  simulation_.reset();
  replay_.reset();
  replayAgent_.reset();
  ea_.reset();
}

std::filesystem::path TEvolutionRun::SaveHistory() const {
  const std::filesystem::path path = OutputFolder / "descr.txt";
  WriteFileAtomically(path, FormatHistoryFile(maxFitnessHistory_, averageFitnessHistory_));
  return path;
}

}  // namespace kestrovan
