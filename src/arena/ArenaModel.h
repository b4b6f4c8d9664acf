#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "arena/Arena.h"

namespace kestrovan {

// What never changes about a cylinder during an evaluation.
struct TCylinderConstants {
  double Radius = 0.0;    // m
  double Mass = -1.0;     // kg; not positive (or not a number): immovable
  bool Immovable = true;  // !(Mass > 0)
  int Object = 0;         // its index in the arena's object list, 1-based
};

// A cylinder's moving state: position (x, y, z) and velocity, m and m/s.
struct TCylinderState {
  double Position[3] = {0.0, 0.0, 0.0};
  double Velocity[3] = {0.0, 0.0, 0.0};
};

// The floor rectangle the cylinders bounce off and the robot wraps around.
using TFloorRectangle = TArena::TFloorRectangle;

// One step of a movable cylinder: linear drag (coefficient 0.1 kg/s on
// Mass) and a semi-implicit Euler position update on all three axes, then,
// with a floor, an elastic bounce off its x and y edges (touching an edge
// is no contact). Allocates nothing.
inline void MoveCylinder(TCylinderState& State, double Mass, double Radius, const TFloorRectangle& Floor,
                         double TimeStep) {
  for (int k = 0; k < 3; ++k) {
    const double v = State.Velocity[k];
    State.Velocity[k] = v - v * (0.1 / Mass) * TimeStep;
  }
  for (int k = 0; k < 3; ++k) {
    State.Position[k] = State.Position[k] + State.Velocity[k] * TimeStep;
  }
  if (!Floor.Present) {
    return;
  }
  const double minimum[2] = {Floor.XMin, Floor.YMin};
  const double maximum[2] = {Floor.XMax, Floor.YMax};
  for (int k = 0; k < 2; ++k) {
    double& p = State.Position[k];
    double& v = State.Velocity[k];
    if (p + Radius > maximum[k]) {
      v = -v;
      p = maximum[k] - Radius;
    } else if (p - Radius < minimum[k]) {
      v = -v;
      p = minimum[k] + Radius;
    }
  }
}

// The read-only side of an arena during evaluations: the arena itself (its
// objects, names, ambience and loaded snapshot, read in place, never
// copied), the constants of its cylinders in object-list order, their start
// state from the snapshot and the floor rectangle. Every evaluation of a
// generation shares one model; each keeps its moving state in a
// TArenaState. The arena must outlive the model and stay unchanged while
// evaluations read it.
class TArenaModel {
 public:
  // The cylinders' constants from the arena's objects, their start state
  // and the floor rectangle from its snapshot (as after ResetObjects).
  explicit TArenaModel(const TArena& Source);
  TArenaModel(const TArenaModel&) = delete;
  TArenaModel& operator=(const TArenaModel&) = delete;

  const TArena& Arena() const { return *arena_; }
  std::size_t CylinderCount() const { return cylinders_.size(); }
  std::span<const TCylinderConstants> Cylinders() const { return cylinders_; }
  // Every cylinder's position and velocity as loaded.
  std::span<const TCylinderState> StartStates() const { return startStates_; }
  const TFloorRectangle& FloorRectangle() const { return floorRectangle_; }

  // Reads the cylinders' radius and mass and the floor rectangle again from
  // the arena as it is now (for a simulation that moves the arena's own
  // objects, which its owner may change between steps). Allocates nothing.
  void Refresh();

 private:
  const TArena* arena_;
  std::vector<TCylinderConstants> cylinders_;
  std::vector<TCylinderState> startStates_;
  TFloorRectangle floorRectangle_;
};

// The moving state of one evaluation: every cylinder's position and
// velocity, contiguous, in the model's cylinder order. Sized once for a
// model; Reset and Move never allocate.
class TArenaState {
 public:
  TArenaState() = default;
  // Sized for Model's cylinders and reset to their start state.
  explicit TArenaState(const TArenaModel& Model);

  // Every cylinder back to its start state; allocates only when the model
  // has another number of cylinders than the state was sized for.
  void Reset(const TArenaModel& Model);
  // One step of cylinder motion (MoveCylinder) for every movable cylinder,
  // in order. Immovable cylinders stay where they are.
  void Move(const TArenaModel& Model, double TimeStep);

  // The positions and velocities of the arena's cylinder objects, copied
  // into the state (Pull) or from it (Push); the arena is the model's.
  void Pull(const TArena& Arena);
  void Push(TArena& Arena) const;

  std::span<TCylinderState> Cylinders() { return cylinders_; }
  std::span<const TCylinderState> Cylinders() const { return cylinders_; }

 private:
  std::vector<TCylinderState> cylinders_;
};

// What the sensors read in one step: the cylinders' constants and their
// current state, index for index.
struct TCylinderView {
  std::span<const TCylinderConstants> Constants;
  std::span<const TCylinderState> States;

  std::size_t Size() const { return States.size(); }
};

inline TCylinderView ViewOf(const TArenaModel& Model, const TArenaState& State) {
  return TCylinderView{Model.Cylinders(), State.Cylinders()};
}

}  // namespace kestrovan
