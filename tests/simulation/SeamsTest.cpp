#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "numerics/RandomNumbers.h"
#include "robot/Coordinates.h"
#include "simulation/EvolutionRun.h"
#include "simulation/GenerationEvaluator.h"
#include "simulation/RobotSimulation.h"
#include "simulation/SimulationTestSupport.h"
#include "support/TestSupport.h"

namespace kestrovan {
namespace {

using test::TArenaText;

// A body of a second kind: a disc that slides at the velocity in its pose,
// with no wheels, sensors or motors.
class TSlidingDisc : public TBody {
 public:
  TSlidingDisc(double Radius, double Mass, double VX) : radius_(Radius), mass_(Mass), vx_(VX) { Reset(); }
  std::unique_ptr<TBody> Copy() const override { return std::make_unique<TSlidingDisc>(radius_, mass_, vx_); }
  void Move(const TArenaModel&, double TimeStep) override {
    pose_.SetPosition(1, pose_.GetPosition(1) + pose_.GetVelocity(1) * TimeStep);
    pose_.SetPosition(2, pose_.GetPosition(2) + pose_.GetVelocity(2) * TimeStep);
  }
  void UpdateMotors() override {}
  void Reset() override {
    pose_ = TCoordinates();
    pose_.SetVelocity(1, vx_);
    pose_.Speed = vx_;
  }
  double GetDistance() const override { return pose_.GetPosition(1); }
  TCoordinates* Kinematics() override { return &pose_; }
  double CollisionRadius() const override { return radius_; }
  double CollisionMass() const override { return mass_; }

 private:
  TCoordinates pose_;
  double radius_;
  double mass_;
  double vx_;
};

// A body that offers no planar pose.
class TPoselessBody : public TBody {
 public:
  std::unique_ptr<TBody> Copy() const override { return std::make_unique<TPoselessBody>(); }
  void Move(const TArenaModel&, double) override {}
  void UpdateMotors() override {}
  void Reset() override {}
  double GetDistance() const override { return 0.0; }
};

// A brain of a second kind: no genome, counts its steps, and refuses bodies
// with fewer sensors than it reads.
class TCountingBrain : public TBrain {
 public:
  explicit TCountingBrain(int SensorsNeeded = 0) : sensorsNeeded_(SensorsNeeded) {}
  std::unique_ptr<TBrain> Copy() const override { return std::make_unique<TCountingBrain>(*this); }
  void ReadInputs(const TSensors&) override {}
  void SetMotorSignals(TMotors&) const override {}
  void UpdateState(double) override { ++Steps; }
  void Mutate() override {}
  void Reset() override { Steps = 0; }
  void CheckFits(int SensorCount, int) const override {
    if (SensorCount < sensorsNeeded_) {
      throw std::invalid_argument("the counting brain reads " + std::to_string(sensorsNeeded_) + " sensors");
    }
  }
  void AppendDescription(std::string& Text) const override { Text += "Counting brain\r\n"; }

  int Steps = 0;

 private:
  int sensorsNeeded_;
};

class TCountingBrainFactory : public TBrainFactory {
 public:
  void Validate() const override {}
  std::unique_ptr<TBrain> MakeBrain(TRandomGenerator&) const override {
    ++Made;
    return std::make_unique<TCountingBrain>();
  }
  mutable int Made = 0;
};

TRobot SlidingRobot(double Radius, double Mass, double VX) {
  TRobot robot;
  robot.Name = "slider";
  robot.Body = std::make_unique<TSlidingDisc>(Radius, Mass, VX);
  robot.Brain = std::make_unique<TCountingBrain>();
  return robot;
}

// Parameters, arena and agent handed over as the run loop does.
void Prepare(TRobotSimulation& Simulation, TArena& Arena, TRobot& Robot, double SimulationTime) {
  Simulation.SetParameters(TRobotSimulationParameters(SimulationTime, 0.01));
  Simulation.SetArena(Arena);
  Robot.Reset();
  Arena.ResetObjects();
  Simulation.SetAgent(Robot);
}

void RunToEnd(TRobotSimulation& Simulation) {
  do {
    Simulation.Step();
  } while (!Simulation.Finished);
}

TEST(SimulationSeams, ABodyOfAnotherKindCollidesThroughItsInterface) {
  // equal masses head on: the disc hands its whole velocity to the cylinder
  auto arena = TArenaText().Cylinder(0.3, 0.0, 0.05, 0.1).Arena();
  TRobot robot = SlidingRobot(0.05, 0.1, 1.0);
  TRobotSimulation simulation;
  Prepare(simulation, *arena, robot, 0.5);
  RunToEnd(simulation);

  const TCylinderZ& cylinder = *arena->Cylinders()[0];
  EXPECT_GT(cylinder.Velocity.GetElement(1), 0.5) << "pushed along x, then slowed by its sliding friction";
  EXPECT_EQ(cylinder.Velocity.GetElement(2), 0.0);
  EXPECT_NEAR(robot.Body->Kinematics()->GetVelocity(1), 0.0, 1e-9);
  EXPECT_LT(robot.Body->Kinematics()->GetPosition(1), 0.21) << "stopped at contact, not passed through";
  EXPECT_GT(cylinder.Position.GetElement(1), 0.45) << "the cylinder slid on";
  EXPECT_EQ(static_cast<const TCountingBrain&>(*robot.Brain).Steps, 50) << "the brain thought once per step";
  EXPECT_DOUBLE_EQ(robot.Fitness, cylinder.Position.GetElement(1)) << "default fitness: the cylinders' norm";
}

TEST(SimulationSeams, TheStepResolvesCollisionsOnThePreviousPoseAndThenMoves) {
  // a disc of radius 0.05 sliding at 1 m/s towards an immovable cylinder of
  // radius 0.1 at x = 0.205: contact at x = 0.055, crossed by the sixth move
  auto arena = TArenaText().Cylinder(0.205, 0.0, 0.1, 0.0).Arena();
  TRobot robot = SlidingRobot(0.05, 0.1, 1.0);
  TRobotSimulation simulation;
  Prepare(simulation, *arena, robot, 1.0);
  const TCoordinates& pose = *robot.Body->Kinematics();
  for (int step = 1; step <= 6; ++step) {
    simulation.Step();
  }
  // the overlap the sixth move made stays until the next step's collision phase
  EXPECT_NEAR(pose.GetPosition(1), 0.06, 1e-12);
  EXPECT_EQ(pose.GetVelocity(1), 1.0);
  simulation.Step();
  // put back to contact and reflected, then moved
  EXPECT_NEAR(pose.GetPosition(1), 0.055 - 0.01, 1e-12);
  EXPECT_EQ(pose.GetVelocity(1), -1.0);
}

TEST(SimulationSeams, ABodyOfAnotherKindStopsAtTheFloorEdgeAndTheFitnessIsTheGivenFunction) {
  // 1 m/s towards x = 1: the margin 0.06 is reached after about 0.94 s
  auto arena = TArenaText().Floor(2, 2).Cylinder(0.0, 0.8, 0.05, 0.1).Arena();
  TRobot robot = SlidingRobot(0.05, 0.1, 1.0);
  TRobotSimulation simulation;
  simulation.Fitness = [](const TRobotSimulation& Simulation) {
    return 100.0 + Simulation.Robot()->Body->Kinematics()->GetPosition(1);
  };
  Prepare(simulation, *arena, robot, 5.0);
  RunToEnd(simulation);
  EXPECT_GT(simulation.Time, 0.9);
  EXPECT_LT(simulation.Time, 1.0);
  EXPECT_DOUBLE_EQ(robot.Fitness, 100.0 + robot.Body->Kinematics()->GetPosition(1));
}

TEST(SimulationSeams, SetAgentRefusesWhatTheStepCannotHandle) {
  auto arena = TArenaText().Floor(2, 2).Arena();
  TRobotSimulation simulation;
  simulation.SetParameters(TRobotSimulationParameters(1.0, 0.01));
  simulation.SetArena(*arena);

  const auto refusal = [&simulation](TRobot& Robot) {
    try {
      simulation.SetAgent(Robot);
    } catch (const std::invalid_argument& error) {
      EXPECT_EQ(simulation.Agent, nullptr) << "a refused agent is not kept";
      return std::string(error.what());
    }
    return std::string("accepted");
  };

  TRobot poseless;
  poseless.Name = "ghost";
  poseless.Body = std::make_unique<TPoselessBody>();
  poseless.Brain = std::make_unique<TCountingBrain>();
  EXPECT_EQ(refusal(poseless),
            "Robot 'ghost': its body has no planar pose, which the collisions and the floor-edge test need");

  TRobot weightless = SlidingRobot(0.05, 0.0, 1.0);
  EXPECT_NE(refusal(weightless).find("collision radius and mass above 0"), std::string::npos);

  TRobot brainless = SlidingRobot(0.05, 0.1, 1.0);
  brainless.Brain.reset();
  EXPECT_EQ(refusal(brainless), "Robot 'slider' has no brain");

  TRobot unfit = SlidingRobot(0.05, 0.1, 1.0);
  unfit.Brain = std::make_unique<TCountingBrain>(3);
  EXPECT_EQ(refusal(unfit), "the counting brain reads 3 sensors");

  TRobot fine = SlidingRobot(0.05, 0.1, 1.0);
  EXPECT_EQ(refusal(fine), "accepted");
  EXPECT_EQ(simulation.Agent, &fine);
}

// An agent of another kind: it only counts its steps.
class TStepCounter : public TAgent {
 public:
  std::unique_ptr<TAgent> Copy() const override { return std::make_unique<TStepCounter>(*this); }
  void Step(double TimeStep) override { static_cast<void>(TimeStep); }
  void Move(const TArenaModel& Model, double TimeStep) override {
    static_cast<void>(Model);
    static_cast<void>(TimeStep);
  }
  void Mutate() override {}
};

// Parameters of another kind of simulation.
class TOtherParameters : public TSimulationParameters {};

TEST(SimulationSeams, TheBaseInterfacesRefuseWhatIsNoRobotAndPassRobotParametersOn) {
  auto arena = TArenaText().Floor(2, 2).Arena();
  TRobotSimulation simulation;
  TSimulation& base = simulation;

  // parameters through the base reach the robot simulation; others are refused and change nothing
  const TRobotSimulationParameters parameters(3.5, 0.02);
  base.SetParameters(parameters);
  EXPECT_EQ(simulation.SimulationTime, 3.5);
  EXPECT_EQ(simulation.TimeStep, 0.02);
  try {
    base.SetParameters(TOtherParameters());
    ADD_FAILURE() << "accepted";
  } catch (const std::invalid_argument& error) {
    EXPECT_STREQ(error.what(), "A robot simulation needs TRobotSimulationParameters");
  }
  EXPECT_EQ(simulation.TimeStep, 0.02);
  EXPECT_THROW(base.SetParameters(TRobotSimulationParameters(1.0, 0.0)), std::invalid_argument);
  simulation.SetArena(*arena);

  // an agent that is no robot, and a robot not handed over as one, are refused and not kept
  const std::string refusal =
      "A robot simulation evaluates robots only: hand the robot over with TRobotSimulation::SetAgent(TRobot&)";
  TStepCounter counter;
  TRobot robot = SlidingRobot(0.05, 0.1, 1.0);
  for (TAgent* agent : {static_cast<TAgent*>(&counter), static_cast<TAgent*>(&robot)}) {
    try {
      base.SetAgent(*agent);
      ADD_FAILURE() << "accepted";
    } catch (const std::invalid_argument& error) {
      EXPECT_EQ(error.what(), refusal);
    }
    EXPECT_EQ(simulation.Agent, nullptr);
    EXPECT_EQ(simulation.Robot(), nullptr);
  }

  // a robot refused after an accepted one leaves no robot behind; the next one is taken
  simulation.SetAgent(robot);
  EXPECT_EQ(simulation.Robot(), &robot);
  EXPECT_THROW(base.SetAgent(counter), std::invalid_argument);
  EXPECT_EQ(simulation.Robot(), nullptr);
  simulation.SetAgent(robot);
  RunToEnd(simulation);
  EXPECT_TRUE(simulation.Finished);
}

class RunSeamsFixture : public ::testing::Test {
 protected:
  RunSeamsFixture() {
    eaParameters.PopulationSize = 6;
    eaParameters.UseRanking = false;
    eaParameters.CrossoverProbability = 0.0;
    robot = test::DefaultRobot();
    brainParameters = TRobotConfiguration::Default().Brain;
  }

  std::unique_ptr<TEvolutionRun> MakeRun(const std::string& Output) {
    auto run = std::make_unique<TEvolutionRun>();
    run->SetEAParameters(eaParameters);
    run->SetRobot(*robot);
    run->SetFSMBrainParameters(brainParameters);
    run->SetArenaFileName(
        folder.Write("arena.txt", TArenaText().Floor(2, 2).Cylinder(0.12, 0.02, 0.03, 0.1).Text()).string());
    run->OutputFolder = folder.Path() / Output;
    std::filesystem::create_directories(run->OutputFolder);
    return run;
  }

  static std::vector<TEvaluationResult> Generation(TEvolutionRun& Run, int Threads) {
    std::vector<TEvaluationResult> results;
    Run.BeginRun(TRobotSimulationParameters(1.0, 0.01));
    Run.BeginGeneration();
    Run.EvaluateGeneration(Threads, [&results](const TEvaluationResult& Result) { results.push_back(Result); });
    return results;
  }

  test::TTemporaryFolder folder;
  TEAParameters eaParameters;
  std::unique_ptr<TRobot> robot;
  TFSMBrainParameters brainParameters;
};

TEST_F(RunSeamsFixture, BrainsComeFromTheFactoryAndWriteTheirOwnSection) {
  TCountingBrainFactory factory;
  auto run = MakeRun("counting");
  run->SetBrainFactory(factory);
  run->Initialize(5);
  EXPECT_EQ(factory.Made, 6);
  const std::vector<TEvaluationResult> results = Generation(*run, 1);
  ASSERT_TRUE(results.front().NewBest);
  const std::string text = test::ReadFile(results.front().RecordFile);
  EXPECT_EQ(text.rfind("(*\r\nCounting brain\r\n*)\r\n \r\nRobotpos = {\r\n", 0), 0U) << text.substr(0, 80);
}

TEST_F(RunSeamsFixture, EachRunDrawsFromItsOwnGeneratorOnly) {
  RandSeed = 777;
  auto first = MakeRun("first");
  auto second = MakeRun("second");
  first->Initialize(9);
  second->Initialize(9);
  EXPECT_EQ(RandSeed, 777U) << "Initialize drew from the process-wide generator";

  // interleaved, with draws from the process-wide generator in between: the
  // two runs still go through the same generations
  for (int g = 1; g <= 3; ++g) {
    const std::vector<TEvaluationResult> a = Generation(*first, 1);
    Random();
    const std::vector<TEvaluationResult> b = Generation(*second, 2);
    first->EndGeneration();
    Random();
    second->EndGeneration();
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
      EXPECT_EQ(a[i].Fitness, b[i].Fitness) << "generation " << g << ", agent " << i + 1;
    }
  }
  EXPECT_EQ(first->RandomGenerator().Seed, second->RandomGenerator().Seed);
  TRandomGenerator testDraws(777);
  for (int i = 0; i < 6; ++i) {
    testDraws.Random();
  }
  EXPECT_EQ(RandSeed, testDraws.Seed) << "only the test's own six draws moved the process-wide generator";
}

// Passes every generation on to the sequential evaluator and counts what it saw.
class TCountingEvaluator : public TGenerationEvaluator {
 public:
  void Evaluate(const std::vector<TRobot*>& Agents, const TEvaluationContext& Context) override {
    ++Calls;
    Agents_ += static_cast<int>(Agents.size());
    TSequentialEvaluator().Evaluate(Agents, Context);
  }
  int Calls = 0;
  int Agents_ = 0;
};

TEST_F(RunSeamsFixture, AGivenEvaluatorAndFitnessReplaceTheDefaultsWithoutChangingTheConclusion) {
  auto reference = MakeRun("reference");
  reference->Initialize(9);
  const std::vector<TEvaluationResult> expected = Generation(*reference, 1);

  TCountingEvaluator evaluator;
  auto run = MakeRun("given");
  run->SetEvaluator(&evaluator);
  run->Initialize(9);
  const std::vector<TEvaluationResult> results = Generation(*run, 2);
  EXPECT_EQ(evaluator.Calls, 1);
  EXPECT_EQ(evaluator.Agents_, 6);
  ASSERT_EQ(results.size(), expected.size());
  for (std::size_t i = 0; i < results.size(); ++i) {
    EXPECT_EQ(results[i].Fitness, expected[i].Fitness) << i;
    EXPECT_EQ(results[i].NewBest, expected[i].NewBest) << i;
    EXPECT_EQ(results[i].RecordFile.filename(), expected[i].RecordFile.filename()) << i;
  }

  // a constant fitness: only the first evaluation is a new best, and the
  // recording run computes it too
  auto constant = MakeRun("constant");
  constant->Fitness = [](const TRobotSimulation&) { return 7.0; };
  constant->Initialize(9);
  const std::vector<TEvaluationResult> sevens = Generation(*constant, 2);
  for (const TEvaluationResult& result : sevens) {
    EXPECT_EQ(result.Fitness, 7.0);
    EXPECT_EQ(result.NewBest, result.AgentIndex == 1);
  }
  EXPECT_EQ(sevens.front().RecordedFitness, 7.0);
}

// Each evaluation's fitness waits until the other worker's evaluation has
// reached its fitness too: the evaluations can only finish if they run at
// the same time. A wait that times out marks the run as not overlapping
// instead of hanging the test.
class TRendezvous {
 public:
  double Meet() {
    std::unique_lock lock(mutex_);
    const int arrival = ++arrived_;
    threads_.insert(std::this_thread::get_id());
    changed_.notify_all();
    const int partner = arrival % 2 == 1 ? arrival + 1 : arrival;
    if (!changed_.wait_for(lock, std::chrono::seconds(10), [&] { return arrived_ >= partner; })) {
      timedOut_ = true;
    }
    return 0.0;
  }
  bool TimedOut() const { return timedOut_; }
  std::size_t Threads() const { return threads_.size(); }
  int Arrived() const { return arrived_; }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int arrived_ = 0;
  bool timedOut_ = false;
  std::set<std::thread::id> threads_;
};

TEST(ThreadPoolEvaluator, EvaluationsOverlapAndGiveTheSequentialResults) {
  auto arena = TArenaText().Floor(2, 2).Cylinder(0.12, 0.02, 0.03, 0.1).Cylinder(0.1, -0.1, 0.03, 0.05).Arena();
  const TRobotSimulationParameters parameters(2.0, 0.01);
  const TFSMBrainParameters brainParameters = TRobotConfiguration::Default().Brain;
  const std::unique_ptr<TRobot> base = test::DefaultRobot();

  std::vector<TRobot> sequential;
  RandSeed = 31;
  for (int i = 0; i < 4; ++i) {
    sequential.emplace_back(*base);
    sequential.back().Brain = std::make_unique<TFSMBrain>(brainParameters);
  }
  // and discs that hit the first cylinder at different speeds
  for (int i = 1; i <= 4; ++i) {
    sequential.push_back(SlidingRobot(0.05, 0.1, 0.25 * i));
  }
  std::vector<TRobot> pooled(sequential.begin(), sequential.end());
  const auto pointers = [](std::vector<TRobot>& Robots) {
    std::vector<TRobot*> result;
    for (TRobot& robot : Robots) {
      result.push_back(&robot);
    }
    return result;
  };

  const TFitnessFunction plain = CylinderDistanceFitness;
  const TArenaModel model(*arena);
  TSequentialEvaluator().Evaluate(pointers(sequential), TEvaluationContext{model, parameters, plain});
  std::set<double> distinct;
  for (const TRobot& robot : sequential) {
    distinct.insert(robot.Fitness);
  }
  ASSERT_GT(distinct.size(), 1U) << "the robots must leave the cylinders in different places";

  TRendezvous rendezvous;
  // meet the other worker first, then read this evaluation's arena: an arena
  // shared by the workers would show the other evaluation's cylinders
  const TFitnessFunction meeting = [&rendezvous](const TRobotSimulation& Simulation) {
    const double met = rendezvous.Meet();
    return met + CylinderDistanceFitness(Simulation);
  };
  TThreadPoolEvaluator(2).Evaluate(pointers(pooled), TEvaluationContext{model, parameters, meeting});

  EXPECT_FALSE(rendezvous.TimedOut()) << "an evaluation waited in vain for one on the other worker";
  EXPECT_EQ(rendezvous.Arrived(), 8);
  EXPECT_EQ(rendezvous.Threads(), 2U);
  for (std::size_t i = 0; i < pooled.size(); ++i) {
    EXPECT_EQ(pooled[i].Fitness, sequential[i].Fitness) << i;
    EXPECT_EQ(pooled[i].ElapsedTime, sequential[i].ElapsedTime) << i;
  }
  EXPECT_THROW(TThreadPoolEvaluator(0), std::invalid_argument);
}

// Evaluations interleaved a few steps at a time, two in one arena each,
// end with the bits of whole evaluations; a robot that leaves the floor at
// once finishes in the first call.
// Count robots with random brains, their pointers, and the index of one.
struct TRobots {
  explicit TRobots(std::size_t Count) {
    const std::unique_ptr<TRobot> base = test::DefaultRobot();
    RandSeed = 12;
    robots.reserve(Count);
    for (std::size_t i = 0; i < Count; ++i) {
      robots.emplace_back(*base);
    }
    for (TRobot& robot : robots) {
      robot.Brain = std::make_unique<TFSMBrain>(TRobotConfiguration::Default().Brain);
      pointers.push_back(&robot);
    }
  }
  std::size_t IndexOf(const TAgent* Agent) const {
    return static_cast<std::size_t>(std::find(pointers.begin(), pointers.end(), Agent) - pointers.begin());
  }
  std::vector<TRobot> robots;
  std::vector<TRobot*> pointers;
};

TEST(ThreadPoolEvaluator, HandsTheCallingThreadEachLongerPrefixOfAgentsDoneWhileAWorkerStillEvaluates) {
  auto arena = TArenaText().Floor(2, 2).Cylinder(0.12, 0.02, 0.03, 0.1).Cylinder(0.1, -0.1, 0.03, 0.05).Arena();
  const TRobotSimulationParameters parameters(1.0, 0.01);
  const TArenaModel model(*arena);
  constexpr std::size_t kCount = 7;
  TRobots sequential(kCount);
  const TFitnessFunction plain = CylinderDistanceFitness;
  TSequentialEvaluator().Evaluate(sequential.pointers, TEvaluationContext{model, parameters, plain});

  TRobots pooled(kCount);
  test::TGate gate;
  test::TGate thirdDone;
  const std::thread::id testThread = std::this_thread::get_id();
  // agents end out of order: the first after the third, the second only
  // after a conclusion
  const TFitnessFunction held = [&](const TRobotSimulation& Simulation) {
    const std::size_t index = pooled.IndexOf(Simulation.Agent);
    if (index == 0) {
      thirdDone.Wait();
    } else if (index == 1) {
      gate.Wait();
    }
    return CylinderDistanceFitness(Simulation);
  };
  std::vector<std::atomic<bool>> after(kCount);
  std::vector<std::size_t> finished;
  bool wholePrefixes = true;
  TEvaluationContext context{model, parameters, held};
  context.AfterEvaluation = [&](std::size_t Index, TRobot&, TArenaState&) {
    after[Index].store(true);
    if (Index == 2) {
      thirdDone.Open();
    }
  };
  context.ConcludeUpTo = [&](std::size_t Finished) {
    finished.push_back(Finished);
    wholePrefixes = wholePrefixes && std::this_thread::get_id() == testThread;
    for (std::size_t i = 0; i < Finished; ++i) {
      wholePrefixes = wholePrefixes && after[i].load() && pooled.robots[i].Fitness == sequential.robots[i].Fitness;
    }
    gate.Open();
  };
  TThreadPoolEvaluator(3).Evaluate(pooled.pointers, context);

  EXPECT_FALSE(gate.TimedOut() || thirdDone.TimedOut()) << "no conclusion while the second agent was evaluated";
  ASSERT_FALSE(finished.empty());
  EXPECT_EQ(finished.front(), 1U) << "the third agent is done, the second is not";
  EXPECT_LE(finished.back(), kCount);
  EXPECT_TRUE(std::is_sorted(finished.begin(), finished.end(), std::less_equal<>())) << "a prefix handed twice";
  EXPECT_TRUE(wholePrefixes) << "a prefix held an agent not yet done, or came on a worker";
  for (std::size_t i = 0; i < kCount; ++i) {
    EXPECT_EQ(pooled.robots[i].Fitness, sequential.robots[i].Fitness) << i;
  }
}

TEST(ThreadPoolEvaluator, AFailingConclusionStopsTheWorkersButAnEvaluationErrorComesFirst) {
  auto arena = TArenaText().Floor(2, 2).Cylinder(0.12, 0.02, 0.03, 0.1).Arena();
  const TRobotSimulationParameters parameters(1.0, 0.01);
  const TArenaModel model(*arena);
  constexpr std::size_t kCount = 40;
  for (const bool evaluationFails : {false, true}) {
    TRobots pooled(kCount);
    test::TGate concluded;
    test::TGate secondUnderWay;
    test::TGate never;
    // the conclusion fails once the first agent is done; the agents after
    // the second, then under way, end a second later, when the workers
    // have been told to stop. With evaluationFails, the second, under way
    // too, fails after the conclusion.
    const TFitnessFunction held = [&](const TRobotSimulation& Simulation) {
      const std::size_t index = pooled.IndexOf(Simulation.Agent);
      if (evaluationFails && index == 1) {
        secondUnderWay.Open();
        concluded.Wait();
        throw std::runtime_error("evaluation failed");
      }
      if (index >= 2) {
        never.Wait(std::chrono::seconds(1));
      }
      return CylinderDistanceFitness(Simulation);
    };
    std::atomic<int> evaluated{0};
    int calls = 0;
    TEvaluationContext context{model, parameters, held};
    context.AfterEvaluation = [&evaluated](std::size_t, TRobot&, TArenaState&) { ++evaluated; };
    context.ConcludeUpTo = [&](std::size_t) {
      ++calls;
      if (evaluationFails) {
        secondUnderWay.Wait();
      }
      concluded.Open();
      throw std::runtime_error("cannot write 3.txt");
    };
    try {
      TThreadPoolEvaluator(2).Evaluate(pooled.pointers, context);
      ADD_FAILURE() << "the evaluations went on";
    } catch (const std::runtime_error& error) {
      EXPECT_STREQ(error.what(), evaluationFails ? "evaluation failed" : "cannot write 3.txt");
    }
    EXPECT_FALSE(concluded.TimedOut() || secondUnderWay.TimedOut());
    EXPECT_EQ(calls, 1) << "concluded on after a failed conclusion";
    // the first two agents and the two under way when the conclusion failed,
    // and a few more only when the calling thread waited seconds for a core:
    // the workers stopped long before the last agent
    EXPECT_LT(evaluated.load(), static_cast<int>(kCount) / 2);
  }
}

TEST(AgentEvaluation, InterleavedStepsGiveTheWholeEvaluationsResults) {
  auto arena = TArenaText().Floor(2, 2).Cylinder(0.12, 0.02, 0.03, 0.1).Cylinder(0.1, -0.1, 0.03, 0.05).Arena();
  const TRobotSimulationParameters parameters(2.0, 0.01);
  const TFitnessFunction fitness = CylinderDistanceFitness;
  const TArenaModel model(*arena);
  const TEvaluationContext context{model, parameters, fitness};
  const TFSMBrainParameters brainParameters = TRobotConfiguration::Default().Brain;
  const std::unique_ptr<TRobot> base = test::DefaultRobot();
  RandSeed = 7;
  std::vector<TRobot> whole;
  for (int i = 0; i < 4; ++i) {
    whole.emplace_back(*base);
    whole.back().Brain = std::make_unique<TFSMBrain>(brainParameters);
  }
  std::vector<TRobot> stepped(whole.begin(), whole.end());
  TArenaState work(model);
  for (TRobot& robot : whole) {
    EvaluateAgent(robot, work, context);
  }

  for (const int steps : {1, 7, 250, 1000000}) {
    for (std::size_t i = 0; i + 1 < stepped.size(); i += 2) {
      TArenaState first(model);
      TArenaState second(model);
      TAgentEvaluation a(stepped[i], first, context);
      TAgentEvaluation b(stepped[i + 1], second, context);
      bool aDone = false;
      bool bDone = false;
      int calls = 0;
      while (!aDone || !bDone) {
        aDone = aDone || a.Advance(steps);
        bDone = bDone || b.Advance(steps);
        ++calls;
      }
      EXPECT_TRUE(a.Advance(steps)) << "a finished evaluation stays finished";
      EXPECT_EQ(calls > 1, steps < 200) << steps;
      for (const std::size_t k : {i, i + 1}) {
        EXPECT_EQ(std::bit_cast<std::uint64_t>(stepped[k].Fitness), std::bit_cast<std::uint64_t>(whole[k].Fitness))
            << steps << " steps, robot " << k;
        EXPECT_EQ(stepped[k].ElapsedTime, whole[k].ElapsedTime) << steps << " steps, robot " << k;
      }
    }
  }

  TRobot edge = SlidingRobot(0.99, 0.1, 1.0);
  TRobot edgeWhole = SlidingRobot(0.99, 0.1, 1.0);
  EvaluateAgent(edgeWhole, work, context);
  ASSERT_LT(edgeWhole.ElapsedTime, 0.05) << "the disc must leave the floor at once";
  TArenaState edgeWork(model);
  TAgentEvaluation atTheEdge(edge, edgeWork, context);
  bool done = false;
  for (int i = 0; i < 5 && !done; ++i) {
    done = atTheEdge.Advance(1);
  }
  EXPECT_TRUE(done);
  EXPECT_EQ(edge.ElapsedTime, edgeWhole.ElapsedTime);
  EXPECT_EQ(std::bit_cast<std::uint64_t>(edge.Fitness), std::bit_cast<std::uint64_t>(edgeWhole.Fitness));
}

}  // namespace
}  // namespace kestrovan
