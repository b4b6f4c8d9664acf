#include "simulation/RobotSimulation.h"

#include <cassert>
#include <charconv>
#include <cmath>
#include <stdexcept>
#include <string>

#include "arena/ArenaModel.h"
#include "numerics/Trig.h"
#include "robot/Coordinates.h"
#include "robot/Robot.h"

namespace kestrovan {

namespace {

// The value in its shortest exact form, with '.' whatever the locale.
std::string Seconds(double Value) {
  char text[64];
  const std::to_chars_result result = std::to_chars(text, text + sizeof text, Value);
  return std::string(text, result.ptr) + " s";
}

// Relative slack of the collision pre-test on the squared distance.
constexpr double kContactSlack = 1.0 + 1e-9;

}  // namespace

void TRobotSimulationParameters::Validate() const {
  if (!std::isfinite(SimulationTime) || SimulationTime < 0.0) {
    throw std::invalid_argument("SimulationTime must be a finite number of seconds, 0 or more (got " +
                                Seconds(SimulationTime) + ")");
  }
  if (!std::isfinite(TimeStep) || !(TimeStep > 0.0)) {
    throw std::invalid_argument("TimeStep must be a finite number of seconds above 0 (got " + Seconds(TimeStep) + ")");
  }
  if (NominalSteps() > kMaximumSteps) {
    throw std::invalid_argument("TimeStep " + Seconds(TimeStep) + " is too small for SimulationTime " +
                                Seconds(SimulationTime) + ": a run would take more than 10000000 steps");
  }
}

double TRobotSimulationParameters::NominalSteps() const { return std::ceil(SimulationTime / TimeStep); }

void TSimulationParameters::ApplyTo(TRobotSimulation& Simulation) const {
  static_cast<void>(Simulation);
  throw std::invalid_argument("A robot simulation needs TRobotSimulationParameters");
}

void TRobotSimulationParameters::ApplyTo(TRobotSimulation& Simulation) const { Simulation.SetParameters(*this); }

void TRobotSimulation::SetParameters(const TRobotSimulationParameters& Parameters) {
  Parameters.Validate();
  SimulationTime = Parameters.SimulationTime;
  TimeStep = Parameters.TimeStep;
}

void TRobotSimulation::SetAgent(TRobot& Robot) {
  offered_ = &Robot;
  try {
    TSimulation::SetAgent(Robot);
  } catch (...) {
    offered_ = nullptr;
    throw;
  }
  offered_ = nullptr;
}

struct TRobotSimulation::TOwnWorld {
  explicit TOwnWorld(const TArena& Arena) : Model(Arena), State(Model) {}
  TArenaModel Model;
  TArenaState State;
};

void TRobotSimulation::SetArena(TArena& NewArena) {
  // built anew every time: an arena loaded again may have other cylinders
  own_ = std::make_shared<TOwnWorld>(NewArena);
  Arena = &NewArena;
  model_ = &own_->Model;
  state_ = &own_->State;
}

void TRobotSimulation::SetWorld(const TArenaModel& Model, TArenaState& State) {
  own_.reset();
  Arena = nullptr;
  model_ = &Model;
  state_ = &State;
}

void TRobotSimulation::PullArena() const {
  if (own_ != nullptr) {
    own_->Model.Refresh();
    own_->State.Pull(*Arena);
  }
}

void TRobotSimulation::PushArena() const {
  if (own_ != nullptr) {
    own_->State.Push(*Arena);
  }
}

void TRobotSimulation::Initialize() {
  const TRobotSimulationParameters parameters(SimulationTime, TimeStep);
  parameters.Validate();
  assert(model_ != nullptr && state_ != nullptr);

  Time = 0.0;
  Finished = false;
  if (Arena != nullptr) {
    Arena->ResetObjects();
  } else {
    state_->Reset(*model_);
  }
  if (RecordTrajectory) {
    // one row per step, and room for the rounding of the running time sum
    const int rows = static_cast<int>(parameters.NominalSteps()) + 2;
    const int cylinders = static_cast<int>(model_->CylinderCount());
    RobotTrajectory = TMatrix(0, 2);
    CylinderTrajectory = TMatrix(0, 2 * cylinders);
    RobotTrajectory.ReserveRows(rows);
    CylinderTrajectory.ReserveRows(rows);
  }
}

void TRobotSimulation::AgentChanged() {
  robot_ = nullptr;
  body_ = nullptr;
  pose_ = nullptr;
  // looked up once here, never in the step; the robot comes from
  // SetAgent(TRobot&), so that any other agent is refused without asking
  // the agent what it is
  TRobot* robot = offered_;
  if (robot == nullptr || Agent != robot) {
    throw std::invalid_argument(
        "A robot simulation evaluates robots only: hand the robot over with TRobotSimulation::SetAgent(TRobot&)");
  }
  const std::string who = "Robot '" + robot->Name + "'";
  if (!robot->Body) {
    throw std::invalid_argument(who + " has no body");
  }
  if (!robot->Brain) {
    throw std::invalid_argument(who + " has no brain");
  }
  TCoordinates* pose = robot->Body->Kinematics();
  if (pose == nullptr) {
    throw std::invalid_argument(who +
                                ": its body has no planar pose, which the collisions and the floor-edge test need");
  }
  const double radius = robot->Body->CollisionRadius();
  const double mass = robot->Body->CollisionMass();
  if (!(radius > 0.0) || !std::isfinite(radius) || !(mass > 0.0) || !std::isfinite(mass)) {
    throw std::invalid_argument(who + ": its body needs a finite collision radius and mass above 0");
  }
  robot->Brain->CheckFits(robot->Body->Sensors.Count(), robot->Body->Motors.Count());
  robot->Brain->BeginEvaluation();
  robot_ = robot;
  body_ = robot->Body.get();
  pose_ = pose;
}

void TRobotSimulation::Step() {
  assert(Agent != nullptr && model_ != nullptr && TimeStep > 0.0);

  PullArena();
  // advance the time
  Time = Time + TimeStep;
  // sense, think, act: the brain reads the previous step's readings and sets the motors
  Agent->Step(TimeStep);
  // floor-edge test on the position the previous step reached; it ends the run below
  const bool atFloorEdge = AtFloorEdge();
  // elastic robot-cylinder collisions
  Collide();
  // the body's move and the sensors' new readings
  MoveRobot();
  // the cylinders' sliding motion and bounces
  state_->Move(*model_, TimeStep);
  PushArena();
  // trajectory rows
  if (RecordTrajectory) {
    AppendTrajectoryRows();
  }
  // elapsed time of the evaluation
  Agent->ElapsedTime = Time;
  // end of the run
  if (Time >= SimulationTime || atFloorEdge) {
    Finished = true;
    ComputeFitness();
  }
}

bool TRobotSimulation::RobotAtFloorEdge() const {
  PullArena();
  return AtFloorEdge();
}

bool TRobotSimulation::AtFloorEdge() const {
  const TFloorRectangle& floor = model_->FloorRectangle();
  if (pose_ == nullptr || !floor.Present) {
    return false;
  }
  const double x = pose_->GetPosition(1);
  const double y = pose_->GetPosition(2);
  const double margin = body_->CollisionRadius() + 0.01;
  return x - floor.XMin < margin || floor.XMax - x < margin || y - floor.YMin < margin || floor.YMax - y < margin;
}

void TRobotSimulation::HandleCylinderCollisions() {
  PullArena();
  Collide();
  PushArena();
}

namespace {

// The elastic collision of the robot with a cylinder whose centre lies
// (Dx, Dy) from the robot's, which the quick rejection did not turn away:
// the exact test, then the new velocities and the robot back at contact.
// Apart from the collision loop, which then keeps its registers on every step.
[[gnu::noinline]] void ResolveContact(TCoordinates& Robot, TCylinderState& Moving, const TCylinderConstants& Cylinder,
                                      double RobotMass, double RobotRadius, double Dx, double Dy,
                                      double SquaredDistance) {
  const double vxr = Robot.GetVelocity(1);
  const double vyr = Robot.GetVelocity(2);
  const double xc = Moving.Position[0];
  const double yc = Moving.Position[1];
  const double distance = std::sqrt(SquaredDistance);

  // touching discs do not collide; coincident centres have no normal
  const double overlap = distance - RobotRadius - Cylinder.Radius;
  if (!(overlap < 0.0) || distance == 0.0) {
    return;
  }
  // unit normal from the cylinder's centre to the robot's
  const double nx = Dx / distance;
  const double ny = Dy / distance;

  double vx = 0.0;
  double vy = 0.0;
  if (Cylinder.Immovable) {
    // reflected as off an infinitely heavy body at rest
    const double k = vxr * nx + vyr * ny;
    vx = vxr - 2 * k * nx;
    vy = vyr - 2 * k * ny;
  } else {
    // perfectly elastic impulse along the normal
    const double cylinderMass = Cylinder.Mass;
    const double vxc = Moving.Velocity[0];
    const double vyc = Moving.Velocity[1];
    const double mu = RobotMass * cylinderMass / (RobotMass + cylinderMass);
    const double k = (vxr - vxc) * nx + (vyr - vyc) * ny;
    vx = vxr - (mu / RobotMass) * 2 * k * nx;
    vy = vyr - (mu / RobotMass) * 2 * k * ny;
    Moving.Velocity[0] = vxc + (mu / cylinderMass) * 2 * k * nx;
    Moving.Velocity[1] = vyc + (mu / cylinderMass) * 2 * k * ny;
  }
  Robot.SetVelocity(1, vx);
  Robot.SetVelocity(2, vy);
  // the body rebuilds its velocity from heading and speed: keep the signed
  // component along the heading, so a robot that backs into a cylinder
  // keeps backing off
  Robot.Speed = trig::cos(Robot.Heading) * vx + trig::sin(Robot.Heading) * vy;
  // back along the line of centres to exact contact
  const double contact = RobotRadius + Cylinder.Radius;
  Robot.SetPosition(1, xc + contact * nx);
  Robot.SetPosition(2, yc + contact * ny);
}

}  // namespace

void TRobotSimulation::Collide() {
  if (pose_ == nullptr) {
    return;
  }
  TCoordinates& robot = *pose_;
  const double robotMass = body_->CollisionMass();
  const double robotRadius = body_->CollisionRadius();

  const std::span<const TCylinderConstants> constants = model_->Cylinders();
  const std::span<TCylinderState> states = state_->Cylinders();
  for (std::size_t i = 0; i < states.size(); ++i) {
    const TCylinderConstants& cylinder = constants[i];
    TCylinderState& moving = states[i];
    // state read now: a later cylinder sees the robot as an earlier one left it
    const double dx = robot.GetPosition(1) - moving.Position[0];
    const double dy = robot.GetPosition(2) - moving.Position[1];
    const double squaredDistance = dx * dx + dy * dy;
    // cheap rejection of discs clearly apart, before the square root (for
    // radii that are lengths); the slack is far above the rounding of the
    // exact test below
    const double reach = robotRadius + cylinder.Radius;
    if (cylinder.Radius >= 0.0 && squaredDistance > reach * reach * kContactSlack) {
      continue;
    }
    ResolveContact(robot, moving, cylinder, robotMass, robotRadius, dx, dy, squaredDistance);
  }
}

double CylinderDistanceFitness(const TRobotSimulation& Simulation) {
  double sum = 0.0;
  for (const TCylinderState& cylinder : Simulation.State().Cylinders()) {
    const double x = cylinder.Position[0];
    const double y = cylinder.Position[1];
    sum = sum + (x * x + y * y);
  }
  return std::sqrt(sum);
}

void TRobotSimulation::ComputeFitness() {
  PullArena();
  Agent->Fitness = Fitness(*this);
}

void TRobotSimulation::MoveRobot() {
  if (robot_ == nullptr) {
    return;
  }
  robot_->Move(*model_, TimeStep);
  if (body_ != nullptr) {
    body_->UpdateSensors(ViewOf(*model_, *state_));
  }
}

void TRobotSimulation::AppendTrajectoryRows() {
  double x = 0.0;
  double y = 0.0;
  if (pose_ != nullptr) {
    x = pose_->GetPosition(1);
    y = pose_->GetPosition(2);
  }
  RobotTrajectory.AddRow();
  const int row = RobotTrajectory.Rows();
  RobotTrajectory.SetElement(row, 1, x);
  RobotTrajectory.SetElement(row, 2, y);

  CylinderTrajectory.AddRow();
  int column = 1;
  for (const TCylinderState& cylinder : state_->Cylinders()) {
    // a matrix that Initialize did not size gets no cylinder columns
    if (column + 1 > CylinderTrajectory.Columns()) {
      break;
    }
    CylinderTrajectory.SetElement(row, column, cylinder.Position[0]);
    CylinderTrajectory.SetElement(row, column + 1, cylinder.Position[1]);
    column += 2;
  }
}

}  // namespace kestrovan
