// Cost of the robot simulation on the default arena: one step through the
// simulation classes against the same arithmetic written as one flat loop,
// whole evaluations with and without trajectory recording, the text of a
// new-best file, and whole generations of the default run on 1 and 2 threads.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "arena/Arena.h"
#include "numerics/RandomNumbers.h"
#include "numerics/Trig.h"
#include "robot/Angles.h"
#include "robot/DefaultRobot.h"
#include "simulation/EvolutionRun.h"
#include "simulation/ResultFiles.h"
#include "simulation/RobotSimulation.h"

namespace kestrovan {
namespace {

const std::string kDefaultArena = std::string(KESTROVAN_SOURCE_DIR) + "/arenas/default.txt";
constexpr std::uint32_t kBrainSeed = 3;
const TRobotSimulationParameters kDefaultTimes(20.0, 0.01);

// The default robot with the brain that kBrainSeed draws.
std::unique_ptr<TRobot> SeededRobot() {
  RandSeed = kBrainSeed;
  const TRobotConfiguration configuration = TRobotConfiguration::Default();
  return BuildRobot(configuration, configuration.Body.Radius);
}

// One evaluation through the simulation classes; returns the number of steps.
[[gnu::noinline]] int Evaluate(TRobot& Robot, TArena& Arena, bool Record) {
  TRobotSimulation simulation;
  simulation.SetParameters(kDefaultTimes);
  simulation.SetArena(Arena);
  if (Record) {
    simulation.RecordTrajectory = true;
    simulation.Initialize();
  }
  Robot.Reset();
  Arena.ResetObjects();
  simulation.SetAgent(Robot);
  int steps = 0;
  do {
    simulation.Step();
    ++steps;
  } while (!simulation.Finished);
  return steps;
}

// The evaluation of Evaluate with every class flattened into plain arrays
// and one loop: the same operations in the same order, so the same bits.
class TFlatEvaluation {
 public:
  TFlatEvaluation(const TRobot& Robot, const TArena& Arena) {
    const auto& body = static_cast<const TDifferentiallySteeredBody&>(*Robot.Body);
    const auto& brain = static_cast<const TFSMBrain&>(*Robot.Brain);
    const auto& motor = static_cast<const TDCMotor&>(body.Motors.Items(1));
    mass_ = body.Mass;
    radius_ = body.Radius;
    height_ = body.Height;
    alpha_ = body.Alpha;
    beta_ = body.Beta;
    wheelRadius_ = body.LeftWheel.Radius;
    linearInertia_ = body.LinearInertia;
    angularInertia_ = body.AngularInertia;
    maxVoltage_ = motor.MaxVoltage;
    torqueConstant_ = motor.TorqueConstant;
    backEMF_ = motor.BackEMFConstant;
    resistance_ = motor.ArmatureResistance;
    staticFriction_ = motor.StaticFrictionTorque;
    viscousFriction_ = motor.ViscousFrictionCoefficient;
    gear_ = motor.GearRatio;
    efficiency_ = motor.Efficiency;
    for (int i = 1; i <= 5; ++i) {
      const auto& sensor = static_cast<const TIRSensor&>(body.Sensors.Items(i));
      sensorX_[i] = sensor.RelativePosition.GetElement(1);
      sensorY_[i] = sensor.RelativePosition.GetElement(2);
      sensorZ_[i] = sensor.RelativePosition.GetElement(3);
      sensorDirection_[i] = sensor.RelativeDirection;
      opening_[i] = sensor.OpeningAngle;
      range_[i] = sensor.Range;
    }
    states_ = brain.NumberOfStates;
    conditions_ = brain.NumberOfConditions;
    inputs_ = brain.NumberOfInputs;
    columns_ = brain.Genome.Columns();
    genome_.assign(static_cast<std::size_t>((states_ + 1) * (columns_ + 1)), 0.0);
    for (int q = 1; q <= states_; ++q) {
      for (int j = 1; j <= columns_; ++j) {
        Gene(q, j) = brain.Genome.GetElement(q, j);
      }
    }
    hasFloor_ = Arena.GetFloorBounds(xMin_, xMax_, yMin_, yMax_);
    for (const TCylinderZ* cylinder : Arena.Cylinders()) {
      // every evaluation starts from the arena as loaded
      const TArena::TInitialState& loaded = Arena.InitialStates()[IndexOf(Arena, cylinder)];
      TCylinder c{};
      for (int k = 0; k < 3; ++k) {
        c.P[k] = loaded.Position[k];
        c.V[k] = loaded.Velocity[k];
      }
      c.Mass = cylinder->Mass;
      c.Radius = cylinder->Radius;
      c.Immovable = cylinder->IsImmovable();
      initial_.push_back(c);
    }
  }

  // A whole evaluation from the start state; returns the number of steps.
  [[gnu::noinline]] int Run(double& Fitness) {
    constexpr double kPi = std::numbers::pi;
    const double dt = 0.01;
    const double simulationTime = 20.0;
    std::vector<TCylinder>& cylinders = cylinders_;
    cylinders = initial_;
    double x = 0.0, y = 0.0, vx = 0.0, vy = 0.0, speed = 0.0, heading = 0.0, omega = 0.0;
    double distance = 0.0, leftAngle = 0.0, rightAngle = 0.0;
    double wheelPosition[2][3] = {};
    double reading[6] = {};
    double sensorPX[6] = {}, sensorPY[6] = {}, sensorPZ[6] = {}, sensorDir[6] = {};
    double inputs[16] = {};
    bool hasMoved = false;
    int state = 1;
    double time = 0.0;
    int steps = 0;

    for (;;) {
      ++steps;
      time = time + dt;

      // brain: inputs, one transition, motor signals
      for (double& input : inputs) {
        input = 0.0;
      }
      for (int i = 1; i <= 5; ++i) {
        inputs[i] = reading[i];
        inputs[6] = inputs[6] + reading[i];
      }
      inputs[6] = inputs[6] / 5;
      for (int m = 0; m < 4; ++m) {
        inputs[7 + m] = Gene(state, 3 + m);
      }
      const int q = state;
      for (int c = 1; c <= conditions_; ++c) {
        const int column = 5 * (c - 1) + 7;
        const int i = static_cast<int>(Gene(q, column) * (inputs_ + 4 - 0.00001)) + 1;
        const int j = static_cast<int>(Gene(q, column + 1) * (inputs_ + 4 - 0.00001)) + 1;
        if (!(inputs[i] > inputs[j])) {
          continue;
        }
        const int k = static_cast<int>(Gene(q, column + 2) * (inputs_ + 4 - 0.00001)) + 1;
        const int l = static_cast<int>(Gene(q, column + 3) * (inputs_ + 4 - 0.00001)) + 1;
        if (inputs[k] > inputs[l]) {
          state = static_cast<int>(Gene(q, column + 4) * states_) + 1;
          break;
        }
      }
      const double voltageL = (2 * Gene(state, 1) - 1) * maxVoltage_;
      const double voltageR = (2 * Gene(state, 2) - 1) * maxVoltage_;

      // motors
      const double vL = speed - 0.5 * radius_ * omega;
      const double vR = 0.5 * radius_ * omega + speed;
      const double tau1 = Torque(voltageL, vL / wheelRadius_);
      const double tau2 = Torque(voltageR, vR / wheelRadius_);

      // floor edge
      const double margin = radius_ + 0.01;
      const bool atEdge =
          hasFloor_ && (x - xMin_ < margin || xMax_ - x < margin || y - yMin_ < margin || yMax_ - y < margin);

      // collisions
      for (TCylinder& c : cylinders) {
        const double dx = x - c.P[0];
        const double dy = y - c.P[1];
        const double d = std::sqrt(dx * dx + dy * dy);
        const double overlap = d - radius_ - c.Radius;
        if (!(overlap < 0.0) || d == 0.0) {
          continue;
        }
        const double nx = dx / d;
        const double ny = dy / d;
        double nvx = 0.0, nvy = 0.0;
        if (c.Immovable) {
          const double k = vx * nx + vy * ny;
          nvx = vx - 2 * k * nx;
          nvy = vy - 2 * k * ny;
        } else {
          const double mu = mass_ * c.Mass / (mass_ + c.Mass);
          const double k = (vx - c.V[0]) * nx + (vy - c.V[1]) * ny;
          nvx = vx - (mu / mass_) * 2 * k * nx;
          nvy = vy - (mu / mass_) * 2 * k * ny;
          c.V[0] = c.V[0] + (mu / c.Mass) * 2 * k * nx;
          c.V[1] = c.V[1] + (mu / c.Mass) * 2 * k * ny;
        }
        vx = nvx;
        vy = nvy;
        speed = trig::cos(heading) * vx + trig::sin(heading) * vy;
        const double contact = radius_ + c.Radius;
        x = c.P[0] + contact * nx;
        y = c.P[1] + contact * ny;
      }

      // body: semi-implicit Euler, wrap-around, wheels, sensor poses
      {
        const double v = speed;
        const double phi = heading;
        const double w = omega;
        const double a = (tau1 + tau2 - alpha_ * v) / linearInertia_;
        const double b = (tau2 - tau1 - beta_ * w) / angularInertia_;
        speed = a * dt + v;
        omega = b * dt + w;
        heading = WrapAngle(omega * dt + phi);
        vx = trig::cos(heading) * speed;
        vy = trig::sin(heading) * speed;
        double nx = x + vx * dt;
        double ny = y + vy * dt;
        if (hasFloor_) {
          if (nx > xMax_) {
            nx = xMin_;
          } else if (nx < xMin_) {
            nx = xMax_;
          }
          if (ny > yMax_) {
            ny = yMin_;
          } else if (ny < yMin_) {
            ny = yMax_;
          }
        }
        x = nx;
        y = ny;
        if (hasMoved && speed > 0.0) {
          distance = distance + speed * dt;
        }
        hasMoved = true;
        wheelPosition[0][0] = x + radius_ * trig::cos(heading + kPi / 2);
        wheelPosition[0][1] = y + radius_ * trig::sin(heading + kPi / 2);
        leftAngle = WrapAngle((speed - 0.5 * radius_ * omega) / wheelRadius_ * dt + leftAngle);
        wheelPosition[1][0] = x + radius_ * trig::cos(heading - kPi / 2);
        wheelPosition[1][1] = y + radius_ * trig::sin(heading - kPi / 2);
        rightAngle = WrapAngle((speed + 0.5 * radius_ * omega) / wheelRadius_ * dt + rightAngle);
        const double elevation = height_ / 2;
        const double c = trig::cos(heading);
        const double s = trig::sin(heading);
        for (int i = 1; i <= 5; ++i) {
          sensorPX[i] = x + c * sensorX_[i] - s * sensorY_[i];
          sensorPY[i] = y + s * sensorX_[i] + c * sensorY_[i];
          sensorPZ[i] = sensorZ_[i] + elevation;
          sensorDir[i] = WrapAngle(heading + sensorDirection_[i]);
        }
      }

      // sensors
      for (int i = 1; i <= 5; ++i) {
        reading[i] = 0.0;
        const double h = opening_[i] / 2;
        const double cd = trig::cos(sensorDir[i]);
        const double sd = trig::sin(sensorDir[i]);
        for (const TCylinder& c : cylinders) {
          const double dx = c.P[0] - sensorPX[i];
          const double dy = c.P[1] - sensorPY[i];
          const double lx = cd * dx + sd * dy;
          if (lx <= 0.0) {
            continue;
          }
          const double ly = -sd * dx + cd * dy;
          const double q2 = lx * lx + ly * ly;
          if (c.Radius >= 0.0) {
            const double reach = range_[i] + c.Radius;
            if (q2 > reach * reach * (1.0 + 1e-9)) {
              continue;
            }
          }
          const double theta = trig::atan2(ly, lx);
          if (std::abs(theta) > h) {
            continue;
          }
          const double d = std::sqrt(q2) - c.Radius;
          if (d <= 0.0 || d > range_[i]) {
            continue;
          }
          const double response = trig::cos(theta) * (1.0 - d / range_[i]);
          if (response > reading[i]) {
            reading[i] = response;
          }
        }
      }

      // cylinders: drag, move, bounce
      for (TCylinder& c : cylinders) {
        if (c.Immovable) {
          continue;
        }
        for (int k = 0; k < 3; ++k) {
          c.V[k] = c.V[k] - c.V[k] * (0.1 / c.Mass) * dt;
        }
        for (int k = 0; k < 3; ++k) {
          c.P[k] = c.P[k] + c.V[k] * dt;
        }
        if (!hasFloor_) {
          continue;
        }
        if (c.P[0] + c.Radius > xMax_) {
          c.V[0] = -c.V[0];
          c.P[0] = xMax_ - c.Radius;
        } else if (c.P[0] - c.Radius < xMin_) {
          c.V[0] = -c.V[0];
          c.P[0] = xMin_ + c.Radius;
        }
        if (c.P[1] + c.Radius > yMax_) {
          c.V[1] = -c.V[1];
          c.P[1] = yMax_ - c.Radius;
        } else if (c.P[1] - c.Radius < yMin_) {
          c.V[1] = -c.V[1];
          c.P[1] = yMin_ + c.Radius;
        }
      }

      // end of the run and the fitness
      if (time >= simulationTime || atEdge) {
        Fitness = 0.0;
        for (const TCylinder& c : cylinders) {
          Fitness = Fitness + (c.P[0] * c.P[0] + c.P[1] * c.P[1]);
        }
        Fitness = std::sqrt(Fitness);
        benchmark::DoNotOptimize(distance);
        benchmark::DoNotOptimize(wheelPosition);
        benchmark::DoNotOptimize(sensorPZ);
        return steps;
      }
    }
  }

 private:
  struct TCylinder {
    double P[3];
    double V[3];
    double Mass;
    double Radius;
    bool Immovable;
  };

  // Index of Cylinder in the arena's object list, from 0.
  static std::size_t IndexOf(const TArena& Arena, const TCylinderZ* Cylinder) {
    for (int i = 1; i <= Arena.NumberOfObjects(); ++i) {
      if (&Arena.Objects(i) == Cylinder) {
        return static_cast<std::size_t>(i - 1);
      }
    }
    return 0;
  }

  static double SignOf(double Value) { return Value >= 0.0 ? 1.0 : -1.0; }

  double Torque(double Voltage, double WheelSpeed) const {
    const double w = gear_ * WheelSpeed;
    double tau = (Voltage - backEMF_ * w) * torqueConstant_ / resistance_;
    if (std::abs(w) >= 1e-10) {
      tau = tau - (SignOf(WheelSpeed) * staticFriction_ + viscousFriction_ * w);
    } else if (std::abs(tau) <= 1e-6) {
    } else if (std::abs(tau) < staticFriction_) {
      tau = 0.0;
    } else {
      tau = tau - SignOf(tau) * staticFriction_;
    }
    tau = efficiency_ * gear_ * tau;
    if (tau > 0.0) {
      tau = std::min(tau, TDCMotor::kTorqueLimit);
    }
    if (tau < 0.0) {
      tau = std::max(tau, -TDCMotor::kTorqueLimit);
    }
    return tau;
  }

  double& Gene(int Row, int Column) { return genome_[static_cast<std::size_t>(Row * (columns_ + 1) + Column)]; }

  double mass_, radius_, height_, alpha_, beta_, wheelRadius_, linearInertia_, angularInertia_;
  double maxVoltage_, torqueConstant_, backEMF_, resistance_, staticFriction_, viscousFriction_, gear_, efficiency_;
  double sensorX_[6] = {}, sensorY_[6] = {}, sensorZ_[6] = {}, sensorDirection_[6] = {}, opening_[6] = {},
         range_[6] = {};
  int states_, conditions_, inputs_, columns_;
  std::vector<double> genome_;
  bool hasFloor_;
  double xMin_ = 0.0, xMax_ = 0.0, yMin_ = 0.0, yMax_ = 0.0;
  std::vector<TCylinder> initial_;
  std::vector<TCylinder> cylinders_;
};

// Nanoseconds per simulation step, through the simulation classes.
void BM_SimulationStep(benchmark::State& State) {
  TArena arena(kDefaultArena);
  const std::unique_ptr<TRobot> robot = SeededRobot();
  std::int64_t steps = 0;
  for (auto _ : State) {
    steps += Evaluate(*robot, arena, false);
  }
  State.SetItemsProcessed(steps);
  State.counters["steps/evaluation"] = static_cast<double>(steps) / static_cast<double>(State.iterations());
}
BENCHMARK(BM_SimulationStep)->Unit(benchmark::kMicrosecond);

// The same evaluation as one flat loop; refuses to report when its fitness
// differs in any bit from the simulation's.
void BM_HandWrittenStep(benchmark::State& State) {
  TArena arena(kDefaultArena);
  const std::unique_ptr<TRobot> robot = SeededRobot();
  Evaluate(*robot, arena, false);
  TFlatEvaluation flat(*robot, arena);
  double fitness = 0.0;
  flat.Run(fitness);
  if (fitness != robot->Fitness) {
    State.SkipWithError("the flat loop does not reproduce the simulation");
    return;
  }
  std::int64_t steps = 0;
  for (auto _ : State) {
    steps += flat.Run(fitness);
    benchmark::DoNotOptimize(fitness);
  }
  State.SetItemsProcessed(steps);
}
BENCHMARK(BM_HandWrittenStep)->Unit(benchmark::kMicrosecond);

// A whole evaluation with and without trajectory recording.
void BM_Evaluation(benchmark::State& State) {
  TArena arena(kDefaultArena);
  const std::unique_ptr<TRobot> robot = SeededRobot();
  const bool record = State.range(0) != 0;
  std::int64_t steps = 0;
  for (auto _ : State) {
    steps += Evaluate(*robot, arena, record);
  }
  State.SetItemsProcessed(steps);
  State.SetLabel(record ? "recording" : "not recording");
}
BENCHMARK(BM_Evaluation)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The text of a new-best file for a full default run.
void BM_NewBestFileText(benchmark::State& State) {
  TArena arena(kDefaultArena);
  const std::unique_ptr<TRobot> robot = SeededRobot();
  TRobotSimulation simulation;
  simulation.SetParameters(kDefaultTimes);
  simulation.SetArena(arena);
  simulation.RecordTrajectory = true;
  simulation.Initialize();
  robot->Reset();
  simulation.SetAgent(*robot);
  do {
    simulation.Step();
  } while (!simulation.Finished);
  const auto& brain = static_cast<const TFSMBrain&>(*robot->Brain);
  std::size_t bytes = 0;
  for (auto _ : State) {
    const std::string text = FormatNewBestFile(brain, simulation.RobotTrajectory, simulation.CylinderTrajectory);
    bytes += text.size();
    benchmark::DoNotOptimize(text.data());
  }
  State.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_NewBestFileText)->Unit(benchmark::kMicrosecond);

// One number of a result file with three decimals: the result files'
// formatter against to_chars with fixed precision, over trajectory-like values.
std::vector<double> TrajectoryLikeValues() {
  std::vector<double> values;
  for (int i = 0; i < 4096; ++i) {
    values.push_back(std::sin(i * 0.37) * 1.3);
  }
  return values;
}

void BM_FixedThreeDecimals(benchmark::State& State) {
  const std::vector<double> values = TrajectoryLikeValues();
  std::string text;
  for (auto _ : State) {
    text.clear();
    for (const double value : values) {
      AppendFixed(text, value, 3);
    }
    benchmark::DoNotOptimize(text.data());
  }
  State.SetItemsProcessed(static_cast<std::int64_t>(State.iterations() * values.size()));
}
BENCHMARK(BM_FixedThreeDecimals);

void BM_FixedThreeDecimalsToChars(benchmark::State& State) {
  const std::vector<double> values = TrajectoryLikeValues();
  std::string text;
  for (auto _ : State) {
    text.clear();
    for (const double value : values) {
      char digits[64];
      const auto result = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, 3);
      text.append(digits, result.ptr);
    }
    benchmark::DoNotOptimize(text.data());
  }
  State.SetItemsProcessed(static_cast<std::int64_t>(State.iterations() * values.size()));
}
BENCHMARK(BM_FixedThreeDecimalsToChars);

// Generations of the default run (population 100, 20 s, 0.01 s) on Threads
// threads, new-best records and files included.
void BM_Generation(benchmark::State& State) {
  const int threads = static_cast<int>(State.range(0));
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("kestrovan-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);

  TEAParameters eaParameters;
  eaParameters.UseRanking = false;
  eaParameters.CrossoverProbability = 0.0;
  const TRobotConfiguration configuration = TRobotConfiguration::Default();
  const std::unique_ptr<TRobot> robot = BuildRobot(configuration, configuration.Body.Radius);
  TEvolutionRun run;
  run.SetEAParameters(eaParameters);
  run.SetRobot(*robot);
  run.SetFSMBrainParameters(configuration.Brain);
  run.SetArenaFileName(kDefaultArena);
  run.OutputFolder = folder;
  run.Initialize(1);
  run.BeginRun(kDefaultTimes);

  for (auto _ : State) {
    run.BeginGeneration();
    run.EvaluateGeneration(threads);
    run.EndGeneration();
  }
  State.SetItemsProcessed(State.iterations() * eaParameters.PopulationSize);
  State.SetLabel("evaluations");
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_Generation)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace
}  // namespace kestrovan
