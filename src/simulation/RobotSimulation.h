#pragma once

#include <functional>
#include <memory>

#include "numerics/Matrices.h"
#include "simulation/Simulation.h"

namespace kestrovan {

class TArena;
class TArenaModel;
class TArenaState;
class TBody;
class TCoordinates;
class TRobot;
class TRobotSimulation;

// The fitness of a finished evaluation, computed from the simulation's state
// (its arena's model and cylinder state, robot and time); larger is better.
using TFitnessFunction = std::function<double(const TRobotSimulation&)>;

// The default fitness: the Euclidean norm of the vector of all cylinder
// positions, sqrt(sum over the cylinders of x^2 + y^2), in the arena's
// cylinder order.
double CylinderDistanceFitness(const TRobotSimulation& Simulation);

// Duration and step of one evaluation.
class TRobotSimulationParameters : public TSimulationParameters {
 public:
  TRobotSimulationParameters() = default;
  TRobotSimulationParameters(double NewSimulationTime, double NewTimeStep)
      : SimulationTime(NewSimulationTime), TimeStep(NewTimeStep) {}

  // Simulation.SetParameters(*this).
  void ApplyTo(TRobotSimulation& Simulation) const override;

  // Throws std::invalid_argument naming the field when a run with these
  // values would never end or step with garbage: SimulationTime negative or
  // not finite, TimeStep not positive or not finite, or more than
  // kMaximumSteps steps.
  void Validate() const;

  // Number of steps a run takes without an early stop: the first n with
  // n * TimeStep >= SimulationTime (the running sum may need one more).
  double NominalSteps() const;

  static constexpr double kMaximumSteps = 1e7;

  double SimulationTime = 20.0;  // s, length of one evaluation
  double TimeStep = 0.01;        // s, integration step
};

// Evaluates one robot in one arena with a fixed time step until the
// simulation time has elapsed or the robot has come too close to the floor's
// edge, then writes the fitness into the agent (the Fitness function object,
// CylinderDistanceFitness unless replaced). Resolves elastic robot-cylinder
// collisions and, on request, records the trajectories of the robot and of
// every cylinder.
//
// The simulation works on any body and brain through their interfaces: the
// body's Kinematics, CollisionRadius and CollisionMass, the brain's
// CheckFits. SetAgent refuses, with std::invalid_argument, an agent not
// given as a robot, a robot without body or brain, a body without a planar
// pose, or a brain that does not fit the body.
//
// The simulation reads the arena through a read-only model and moves the
// cylinders in a state of its own (SetWorld); SetArena instead moves the
// cylinder objects of a whole arena, which a view may show.
//
// A step allocates nothing and throws nothing: the robot and its body are
// looked up once in SetAgent, the cylinders come from the model and the
// state, and Initialize reserves the trajectory rows for the whole run.
class TRobotSimulation : public TSimulation {
 public:
  TRobotSimulation() = default;

  // Copies SimulationTime and TimeStep; throws std::invalid_argument for
  // values that TRobotSimulationParameters::Validate refuses.
  void SetParameters(const TRobotSimulationParameters& Parameters);
  // The same through the parameters' ApplyTo; throws std::invalid_argument
  // for parameters of another kind of simulation.
  void SetParameters(const TSimulationParameters& Parameters) override { Parameters.ApplyTo(*this); }
  // Stores the robot under evaluation (not owned) and looks once at its body
  // and brain; a refused robot is not kept and the exception passes on.
  // TSimulation::SetAgent, given an agent not handed over as a robot here,
  // refuses it.
  void SetAgent(TRobot& Robot);
  // Simulates on a whole arena (not owned): its cylinder objects carry the
  // motion (copied into the simulation's state before, and back after,
  // every step and every call below), so that whoever shows the arena sees
  // them move, and changes to them between steps count.
  void SetArena(TArena& NewArena);
  // Simulates on Model (shared, read only) with the cylinders' motion in
  // State (the caller's, sized for Model); both are not owned.
  void SetWorld(const TArenaModel& Model, TArenaState& State);
  // Time := 0, Finished := false, the cylinders back to their start (the
  // state reset, or the arena's objects); when recording, empty trajectory
  // matrices with room for the whole run.
  // Throws std::invalid_argument for refused SimulationTime or TimeStep.
  void Initialize() override;

  // One time step: time, sense-think-act, floor-edge test, collisions, the
  // robot's move and sensors, the cylinders' motion, trajectory rows,
  // elapsed time, and the end of the run with the fitness.
  void Step();

  // True when the robot's centre lies closer than its radius + 0.01 m to
  // an edge of the arena's floor rectangle; false without a floor or body.
  bool RobotAtFloorEdge() const;
  // Perfectly elastic impulses along the line of centres between the robot
  // and every cylinder it overlaps, in the arena's cylinder order; the robot
  // is put back to exact contact.
  void HandleCylinderCollisions();
  // Agent.Fitness := Fitness(*this).
  void ComputeFitness();

  // The robot under evaluation, or nullptr before SetAgent.
  const TRobot* Robot() const { return robot_; }
  // The model and the cylinders' state the simulation works on (after
  // SetArena or SetWorld).
  const TArenaModel& Model() const { return *model_; }
  const TArenaState& State() const { return *state_; }

  TArena* Arena = nullptr;  // the whole arena given to SetArena, or nullptr (not owned)
  bool Finished = false;
  double Time = 0.0;             // s, advanced by TimeStep at the start of every step
  double SimulationTime = 20.0;  // s
  double TimeStep = 0.01;        // s
  bool RecordTrajectory = false;
  TMatrix RobotTrajectory{0, 2};     // one row per step: robot x, y (m)
  TMatrix CylinderTrajectory{0, 0};  // one row per step: x, y of every cylinder (m)
  TFitnessFunction Fitness = CylinderDistanceFitness;

 protected:
  void AgentChanged() override;

 private:
  // The body's move, then the sensors' update.
  void MoveRobot();
  // With a whole arena: its cylinders into the state, and back.
  void PullArena() const;
  void PushArena() const;
  bool AtFloorEdge() const;
  void Collide();
  // Appends the robot's and the cylinders' positions.
  void AppendTrajectoryRows();

  TRobot* offered_ = nullptr;     // the robot being handed over by SetAgent(TRobot&)
  TRobot* robot_ = nullptr;       // Agent as a robot, or nullptr
  TBody* body_ = nullptr;         // the robot's body, or nullptr
  TCoordinates* pose_ = nullptr;  // the body's planar pose, or nullptr

  // The model and the state of a whole arena given to SetArena.
  struct TOwnWorld;
  std::shared_ptr<TOwnWorld> own_;
  const TArenaModel* model_ = nullptr;
  TArenaState* state_ = nullptr;
};

}  // namespace kestrovan
