#include "simulation/EvolutionRun.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <stdexcept>
#include <vector>

#include "numerics/RandomNumbers.h"
#include "simulation/BrainFile.h"
#include "simulation/ResultFiles.h"
#include "simulation/RunInputCheck.h"

namespace kestrovan {

namespace {

// Resets the robot and the arena and hands the robot to the simulation:
// every evaluation starts with the robot at the origin, heading 0, brain in
// its first state, and every arena object as loaded.
void Start(TRobotSimulation& Simulation, TRobot& Agent, TArena& Arena) {
  Agent.Reset();
  Arena.ResetObjects();
  Simulation.SetAgent(Agent);
}

void Call(const std::function<void()>& Yield) {
  if (Yield) {
    Yield();
  }
}

}  // namespace

TEvolutionRun::TEvolutionRun() = default;
TEvolutionRun::~TEvolutionRun() = default;

void TEvolutionRun::SetFSMBrainParameters(const TFSMBrainParameters& Parameters) {
  ownBrainFactory_ = std::make_unique<TFSMBrainFactory>(Parameters);
  brainFactory_ = ownBrainFactory_.get();
}

void TEvolutionRun::SetBrainFactory(const TBrainFactory& Factory) {
  brainFactory_ = &Factory;
  ownBrainFactory_.reset();
}

void TEvolutionRun::Configure(TRobotSimulation& Simulation, const TRobotSimulationParameters& Parameters) {
  Simulation.SetParameters(Parameters);
  Simulation.SetArena(*arena_);
  Simulation.Fitness = Fitness;
}

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
  if (eaParameters_ == nullptr || robot_ == nullptr || brainFactory_ == nullptr) {
    throw std::logic_error("Initialize needs the EA parameters, the template robot and the brain parameters");
  }
  if (!Fitness) {
    throw std::logic_error("Initialize needs a fitness function");
  }
  if (arenaFileName_.empty()) {
    throw std::logic_error("Initialize needs an arena file");
  }
  eaParameters_->Validate();
  brainFactory_->Validate();
  robot_->Validate();
  if (!std::isfinite(MinimumCylinderSpeed) || !std::isfinite(MaximumCylinderSpeed)) {
    throw std::invalid_argument("MinimumCylinderSpeed and MaximumCylinderSpeed must be finite");
  }

  // new, empty histories
  TVector maxHistory(0);
  TVector averageHistory(0);

  // the run's own generator; RandomSeed for the cylinders' random velocities
  TRandomGenerator generator(Seed.has_value() ? *Seed : CurrentMillisecondsSinceMidnight());
  const std::uint32_t seed = generator.Seed;
  const auto randomSeed = static_cast<std::int32_t>(std::trunc(generator.Random() * 100000)) + 1;

  // the algorithm and its population: copies of the template robot, each
  // with its own random brain, drawn in agent order
  auto ea = std::make_unique<TEA>();
  ea->SetParameters(*eaParameters_);
  for (int i = 1; i <= eaParameters_->PopulationSize; ++i) {
    TRobot robot(*robot_);
    robot.Brain = brainFactory_->MakeBrain(generator);
    robot.Validate();
    ea->Population().Add(robot);
  }

  // the arena read anew; random cylinder velocities (they show until the
  // first evaluation resets the arena)
  LoadArena();
  if (!KeepCylinderVelocities) {
    arena_->RandomizeCylinderVelocities(randomSeed, MinimumCylinderSpeed, MaximumCylinderSpeed);
  }

  random_ = generator;
  ea->SetRandomGenerator(random_);
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
  // the population holds robots only: Initialize adds robots, and the
  // algorithm makes new agents by Copy and crossover, which keep the class
  return static_cast<TRobot&>(ea_->Population().GetAgent(Index));
}

TRobotSimulation& TEvolutionRun::BeginEvaluation(int Index) {
  RequireInitialized("BeginEvaluation");
  TRobot& agent = RobotAt(Index);
  simulation_ = std::make_unique<TRobotSimulation>();
  evaluatedIndex_ = Index;
  Configure(*simulation_, simulationParameters_);
  Start(*simulation_, agent, *arena_);
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
  Result.RecordFile = OutputFolder / (std::to_string(Result.EvaluationCount) + ".txt");

  // recorded ahead on a worker: the same run, the same text
  const auto index = static_cast<std::size_t>(Result.AgentIndex - 1);
  if (index < prepared_.size() && prepared_[index].Ready) {
    TNewBestRecord& prepared = prepared_[index];
    Agent.Fitness = prepared.Fitness;
    Agent.ElapsedTime = prepared.ElapsedTime;
    CheckEvaluationFinite(Agent, ea_->Generation() + 1, Result.AgentIndex);
    Result.RecordedFitness = Agent.Fitness;
    WriteFileAtomically(Result.RecordFile, prepared.Text);
    WriteBrainOf(Agent, Result, std::move(prepared.CylinderVelocities));
    prepared = TNewBestRecord();
    Call(Yield);
    return;
  }

  // the same evaluation again, with trajectories; its fitness replaces the first
  TRobotSimulation recording;
  recording.RecordTrajectory = true;
  Configure(recording, simulationParameters_);
  recording.Initialize();
  Start(recording, Agent, *arena_);
  std::vector<double> velocities = CylinderVelocitiesOf(*arena_);
  do {
    recording.Step();
    Call(Yield);
  } while (!recording.Finished);
  CheckEvaluationFinite(Agent, ea_->Generation() + 1, Result.AgentIndex);
  Result.RecordedFitness = Agent.Fitness;

  WriteFileAtomically(Result.RecordFile,
                      FormatNewBestFile(*Agent.Brain, recording.RobotTrajectory, recording.CylinderTrajectory, Yield));
  WriteBrainOf(Agent, Result, std::move(velocities));
  Call(Yield);
}

void TEvolutionRun::WriteBrainOf(const TRobot& Agent, TEvaluationResult& Result,
                                 std::vector<double> CylinderVelocities) const {
  TBrainOrigin origin;
  origin.CylinderVelocities = std::move(CylinderVelocities);
  origin.ExperimentSha256 = ExperimentSha256;
  origin.Seed = seed_;
  origin.Generation = ea_->Generation() + 1;
  origin.Evaluation = Result.EvaluationCount;
  origin.Fitness = Result.RecordedFitness;
  origin.SimulationTime = simulationParameters_.SimulationTime;
  origin.TimeStep = simulationParameters_.TimeStep;
  Result.BrainFile = WriteNewBestBrain(OutputFolder, *Agent.Brain, origin);
}

void TEvolutionRun::EvaluateGeneration(int Threads, const std::function<void(const TEvaluationResult&)>& OnResult) {
  RequireInitialized("EvaluateGeneration");
  if (Threads < 1) {
    throw std::invalid_argument("Threads must be at least 1 (got " + std::to_string(Threads) + ")");
  }
  const int count = PopulationCount();
  std::vector<TRobot*> agents;
  agents.reserve(static_cast<std::size_t>(count));
  for (int i = 1; i <= count; ++i) {
    agents.push_back(&RobotAt(i));
  }
  // one read-only model of the run's arena for every evaluation of the
  // generation; each evaluator keeps the cylinders' motion in states of its own
  const TArenaModel model(*arena_);
  TEvaluationContext context{model, simulationParameters_, Fitness};

  // likely new bests are recorded and formatted on the workers, right after
  // their evaluation; the conclusion below then only writes the ready text.
  // A user interface that yields during recordings records them itself.
  // An evaluator that runs evaluations in other processes records there,
  // and hands the records over with the results.
  prepared_.assign(static_cast<std::size_t>(count), TNewBestRecord());
  TNewBestCandidates candidates(static_cast<std::size_t>(count), bestFitness_);
  // new bests announced and recorded in agent order, as in the sequential
  // loop: while the evaluator runs, as far as it tells, then the rest
  int concluded = 0;
  const auto concludeUpTo = [&](int End) {
    while (concluded < End) {
      ++concluded;
      const TEvaluationResult result = ConcludeEvaluation(concluded, RobotAt(concluded));
      if (OnResult) {
        OnResult(result);
      }
    }
  };
  if (!Yield) {
    context.AfterEvaluation = [this, &candidates, &context](std::size_t Index, TRobot& Agent, TArenaState& Work) {
      if (Index < prepared_.size() && candidates.MayBeNewBest(Index, Agent.Fitness)) {
        RecordAhead(Agent, Work, context, prepared_[Index]);
      }
    };
    context.RecordThreshold = [&candidates](std::size_t Index) { return candidates.Threshold(Index); };
    context.AfterRemoteEvaluation = [this, &candidates](std::size_t Index, const TRobot& Agent,
                                                        TNewBestRecord* Record) {
      if (Index < prepared_.size() && candidates.MayBeNewBest(Index, Agent.Fitness) && Record != nullptr) {
        prepared_[Index] = std::move(*Record);
      }
    };
    context.ConcludeUpTo = [&concludeUpTo, count](std::size_t Finished) {
      concludeUpTo(static_cast<int>(std::min(Finished, static_cast<std::size_t>(count))));
    };
  }
  try {
    if (evaluator_ != nullptr) {
      evaluator_->Evaluate(agents, context);
    } else if (Threads == 1) {
      TSequentialEvaluator().Evaluate(agents, context);
    } else {
      TThreadPoolEvaluator(Threads).Evaluate(agents, context);
    }
    concludeUpTo(count);
  } catch (...) {
    prepared_.clear();
    throw;
  }
  prepared_.clear();
}

TRobotSimulation& TEvolutionRun::BeginReplay(const TRobotSimulationParameters& Parameters) {
  RequireInitialized("BeginReplay");
  Parameters.Validate();
  // a robot, as every agent of the population (see RobotAt)
  const auto& best = static_cast<const TRobot&>(ea_->Population().BestAgent());
  replayAgent_ = std::make_unique<TRobot>(best);
  replay_ = std::make_unique<TRobotSimulation>();
  Configure(*replay_, Parameters);
  Start(*replay_, *replayAgent_, *arena_);
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

void TEvolutionRun::RestoreState(TEvolutionRunState State) {
  RequireInitialized("RestoreState");
  if (State.Seed != seed_) {
    throw std::invalid_argument("the saved run has seed " + std::to_string(State.Seed) + ", this run " +
                                std::to_string(seed_));
  }
  const int count = State.Population.Count();
  if (count != eaParameters_->PopulationSize) {
    throw std::invalid_argument("the saved run has " + std::to_string(count) + " agents, the EA parameters ask for " +
                                std::to_string(eaParameters_->PopulationSize));
  }
  if (State.Generation < 0 || State.EvaluationCount < 0 ||
      State.MaxFitnessHistory.Count() != State.AverageFitnessHistory.Count()) {
    throw std::invalid_argument("the saved run's counters or histories do not agree");
  }
  for (int i = 1; i <= count; ++i) {
    // RobotAt relies on every agent being a robot
    const auto* robot = dynamic_cast<const TRobot*>(&State.Population.GetAgent(i));
    if (robot == nullptr || robot->Brain == nullptr) {
      throw std::invalid_argument("saved agent " + std::to_string(i) + " is not a robot with a brain");
    }
    robot->Validate();
  }
  simulation_.reset();
  replay_.reset();
  replayAgent_.reset();
  ea_->Restore(std::move(State.Population), State.Generation);
  random_.Seed = State.GeneratorState;
  evaluationCount_ = State.EvaluationCount;
  bestFitness_ = State.BestFitness;
  maxFitnessHistory_ = std::move(State.MaxFitnessHistory);
  averageFitnessHistory_ = std::move(State.AverageFitnessHistory);
  evaluatedIndex_ = 0;
}

std::filesystem::path TEvolutionRun::SaveHistory() const {
  std::filesystem::path path = OutputFolder / "descr.txt";
  WriteFileAtomically(path, FormatHistoryFile(maxFitnessHistory_, averageFitnessHistory_));
  return path;
}

}  // namespace kestrovan
