#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "arena/ArenaModel.h"
#include "numerics/RandomNumbers.h"
#include "robot/FSMBrain.h"
#include "simulation/GenerationEvaluator.h"
#include "simulation/RobotSimulation.h"
#include "simulation/SimulationTestSupport.h"

namespace kestrovan {
namespace {

using test::TArenaText;

// Robots of one template with brains of their own.
std::vector<TRobot> Robots(int Count, std::uint32_t Seed) {
  const std::unique_ptr<TRobot> base = test::DefaultRobot();
  const TFSMBrainParameters brainParameters = TRobotConfiguration::Default().Brain;
  TRandomGenerator generator(Seed);
  std::vector<TRobot> robots;
  for (int i = 0; i < Count; ++i) {
    TRobot robot(*base);
    robot.Brain = std::make_unique<TFSMBrain>(brainParameters, generator);
    robots.push_back(std::move(robot));
  }
  return robots;
}

std::vector<TRobot*> Pointers(std::vector<TRobot>& Robots) {
  std::vector<TRobot*> result;
  for (TRobot& robot : Robots) {
    result.push_back(&robot);
  }
  return result;
}

// What the evaluations saw of their model and state, per thread.
class TWhatWorkersSaw {
 public:
  void Note(const TRobotSimulation& Simulation) {
    const std::lock_guard lock(mutex_);
    models_.insert(&Simulation.Model());
    arenas_.insert(&Simulation.Model().Arena());
    storage_[std::this_thread::get_id()].insert(Simulation.State().Cylinders().data());
    all_.insert(Simulation.State().Cylinders().data());
  }
  void NoteAfter(const TArenaState& Work) {
    const std::lock_guard lock(mutex_);
    after_[std::this_thread::get_id()].insert(Work.Cylinders().data());
  }

  std::set<const TArenaModel*> models_;
  std::set<const TArena*> arenas_;
  std::map<std::thread::id, std::set<const TCylinderState*>> storage_;
  std::map<std::thread::id, std::set<const TCylinderState*>> after_;
  std::set<const TCylinderState*> all_;

 private:
  std::mutex mutex_;
};

TEST(GenerationEvaluators, WorkersShareOneModelAndKeepOneStateEachAcrossEvaluations) {
  const auto arena = TArenaText().Floor(2, 2).Cylinder(0.12, 0.02, 0.03, 0.1).Cylinder(0.1, -0.1, 0.03, 0.05).Arena();
  const TArena loaded(*arena);
  const TArenaModel model(*arena);
  const TRobotSimulationParameters parameters(1.0, 0.01);
  std::vector<TRobot> sequential = Robots(12, 41);
  std::vector<TRobot> pooled = Robots(12, 41);

  for (const int threads : {1, 2}) {
    TWhatWorkersSaw saw;
    const TFitnessFunction fitness = [&saw](const TRobotSimulation& Simulation) {
      saw.Note(Simulation);
      return CylinderDistanceFitness(Simulation);
    };
    TEvaluationContext context{model, parameters, fitness};
    context.AfterEvaluation = [&saw](std::size_t, TRobot&, TArenaState& Work) { saw.NoteAfter(Work); };
    if (threads == 1) {
      TSequentialEvaluator().Evaluate(Pointers(sequential), context);
    } else {
      TThreadPoolEvaluator(threads).Evaluate(Pointers(pooled), context);
    }

    EXPECT_EQ(saw.models_, std::set<const TArenaModel*>{&model}) << threads << " thread(s)";
    EXPECT_EQ(saw.arenas_, std::set<const TArena*>{arena.get()}) << "no worker copies the arena";
    ASSERT_GE(saw.storage_.size(), 1u);
    EXPECT_LE(saw.storage_.size(), static_cast<std::size_t>(threads));
    EXPECT_EQ(saw.all_.size(), saw.storage_.size()) << "one state per worker";
    for (const auto& [thread, storage] : saw.storage_) {
      EXPECT_EQ(storage.size(), 1u) << "a worker's state is not reallocated between its evaluations";
      EXPECT_EQ(saw.after_[thread], storage) << "AfterEvaluation gets the worker's own state";
    }
  }
  // the same fitness whatever the evaluator, and the shared arena never moved
  for (std::size_t i = 0; i < sequential.size(); ++i) {
    EXPECT_EQ(std::bit_cast<std::uint64_t>(pooled[i].Fitness), std::bit_cast<std::uint64_t>(sequential[i].Fitness))
        << i;
  }
  for (std::size_t i = 0; i < arena->Cylinders().size(); ++i) {
    EXPECT_EQ(arena->Cylinders()[i]->Position.GetElement(1), loaded.Cylinders()[i]->Position.GetElement(1));
    EXPECT_EQ(arena->Cylinders()[i]->Velocity.GetElement(1), loaded.Cylinders()[i]->Velocity.GetElement(1));
  }
}

TEST(GenerationEvaluators, EveryEvaluationStartsFromTheModelsStartState) {
  // the second evaluation of the same robot in the same state gives the same bits
  const auto arena =
      TArenaText().Floor(2, 2).Cylinder(0.1, 0.0, 0.03, 0.1, 0.3, 0.1).Cylinder(-0.2, 0.1, 0.03, 0.05).Arena();
  const TArenaModel model(*arena);
  const TRobotSimulationParameters parameters(2.0, 0.01);
  const TFitnessFunction fitness = CylinderDistanceFitness;
  const TEvaluationContext context{model, parameters, fitness};
  std::vector<TRobot> robots = Robots(2, 7);
  TArenaState work(model);
  EvaluateAgent(robots[0], work, context);
  const double first = robots[0].Fitness;
  EvaluateAgent(robots[1], work, context);
  EvaluateAgent(robots[0], work, context);
  EXPECT_EQ(std::bit_cast<std::uint64_t>(robots[0].Fitness), std::bit_cast<std::uint64_t>(first));
  EXPECT_NE(work.Cylinders()[0].Position[0], model.StartStates()[0].Position[0]) << "the cylinder moved";
}

TEST(RobotSimulation, AWholeArenaShowsTheMotionOfTheModelAndStateRun) {
  // a moving cylinder the robot may meet, and one that bounces off the floor's edge
  const std::string text = TArenaText()
                               .Floor(1, 1)
                               .Cylinder(0.1, 0.0, 0.03, 0.1, 0.2, 0.05)
                               .Cylinder(0.4, -0.3, 0.03, 0.05, 0.5, -0.2)
                               .Text();
  const auto shown = test::ArenaFrom(text);
  const auto hidden = test::ArenaFrom(text);
  const TArena loaded(*hidden);
  const TArenaModel model(*hidden);
  TArenaState state(model);
  std::vector<TRobot> robots = Robots(2, 3);
  // the same brain on both sides
  robots[1].Brain = robots[0].Brain->Copy();

  TRobotSimulation onArena;
  onArena.SetParameters(TRobotSimulationParameters(3.0, 0.01));
  onArena.SetArena(*shown);
  onArena.RecordTrajectory = true;
  onArena.Initialize();
  robots[0].Reset();
  onArena.SetAgent(robots[0]);

  TRobotSimulation onState;
  onState.SetParameters(TRobotSimulationParameters(3.0, 0.01));
  onState.SetWorld(model, state);
  onState.RecordTrajectory = true;
  onState.Initialize();
  robots[1].Reset();
  onState.SetAgent(robots[1]);

  int steps = 0;
  do {
    onArena.Step();
    onState.Step();
    ++steps;
    for (std::size_t i = 0; i < 2; ++i) {
      ASSERT_EQ(shown->Cylinders()[i]->Position.GetElement(1), state.Cylinders()[i].Position[0]) << steps;
      ASSERT_EQ(shown->Cylinders()[i]->Position.GetElement(2), state.Cylinders()[i].Position[1]) << steps;
      ASSERT_EQ(shown->Cylinders()[i]->Velocity.GetElement(1), state.Cylinders()[i].Velocity[0]) << steps;
    }
  } while (!onArena.Finished && !onState.Finished);
  EXPECT_TRUE(onArena.Finished && onState.Finished);
  EXPECT_EQ(std::bit_cast<std::uint64_t>(robots[0].Fitness), std::bit_cast<std::uint64_t>(robots[1].Fitness));
  EXPECT_EQ(onArena.CylinderTrajectory.Rows(), onState.CylinderTrajectory.Rows());
  EXPECT_NE(shown->Cylinders()[1]->Position.GetElement(1), loaded.Cylinders()[1]->Position.GetElement(1));
  EXPECT_EQ(hidden->Cylinders()[1]->Position.GetElement(1), loaded.Cylinders()[1]->Position.GetElement(1))
      << "a model's arena is read, never moved";
}

}  // namespace
}  // namespace kestrovan
