// One robot step (brain, motors, move, five IR sensor updates) against an
// arena like the default one: a textured 2.5 m floor and three cylinders
// near the origin.
#include <benchmark/benchmark.h>

#include <sstream>

#include "arena/ArenaModel.h"
#include "numerics/RandomNumbers.h"
#include "robot/DefaultRobot.h"

namespace kestrovan {
namespace {

constexpr double kTimeStep = 0.01;
constexpr int kStepsPerEvaluation = 2000;  // 20 s

const char* const kArenaText = R"(object Ground: TBasicFloor
  Position = 0 0 0
  Length = 2.5
  Width = 2.5
  Texture = floor.jpg
  TileLength = 0.5
  TileWidth = 0.5
end
object Can1: TCylinderZ
  Position = 0.3 0.1 0
  Radius = 0.05
  Height = 0.12
  Mass = 0.1
end
object Can2: TCylinderZ
  Position = -0.2 0.35 0
  Radius = 0.05
  Height = 0.12
  Mass = 0.1
end
object Can3: TCylinderZ
  Position = 0.1 -0.4 0
  Radius = 0.05
  Height = 0.12
  Mass = 0.1
end
)";

TArena MakeArena() {
  std::istringstream input(kArenaText);
  return TArena(input, "benchmark arena");
}

// Step, Move and UpdateSensors; the robot is reset every simulated 20 s,
// as at the start of an evaluation.
void BM_RobotStep(benchmark::State& state) {
  TArena arena = MakeArena();
  const TArenaModel model(arena);
  const TArenaState cylinders(model);
  RandSeed = 12345;
  const auto robot = BuildRobot(TRobotConfiguration::Default(), 0.05);
  robot->Reset();
  int step = 0;
  for (auto _ : state) {
    robot->Step(kTimeStep);
    robot->Move(model, kTimeStep);
    robot->Body->UpdateSensors(ViewOf(model, cylinders));
    if (++step == kStepsPerEvaluation) {
      step = 0;
      robot->Reset();
    }
  }
  benchmark::DoNotOptimize(robot->DistanceTravelled);
  state.SetItemsProcessed(state.iterations());
  state.SetLabel("ns per step");
}
BENCHMARK(BM_RobotStep);

// The five sensor updates alone, at a pose that sees a cylinder.
void BM_SensorUpdate(benchmark::State& state) {
  TArena arena = MakeArena();
  const TArenaModel model(arena);
  const TArenaState cylinders(model);
  RandSeed = 12345;
  const auto robot = BuildRobot(TRobotConfiguration::Default(), 0.05);
  auto& body = dynamic_cast<TDifferentiallySteeredBody&>(*robot->Body);
  body.Coordinates.SetPosition(1, 0.15);
  body.Coordinates.SetPosition(2, 0.1);
  robot->Move(model, 0.0);
  for (auto _ : state) {
    robot->Body->UpdateSensors(ViewOf(model, cylinders));
    benchmark::DoNotOptimize(robot->Body->Sensors.Items(2).GetScalarReading());
  }
  benchmark::DoNotOptimize(robot->Body->Sensors.Items(2).GetScalarReading());
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SensorUpdate);

}  // namespace
}  // namespace kestrovan
