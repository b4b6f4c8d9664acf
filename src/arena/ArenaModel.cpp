#include "arena/ArenaModel.h"

#include <algorithm>
#include <cassert>

namespace kestrovan {

namespace {

TCylinderConstants ConstantsOf(const TCylinderZ& Cylinder, int Object) {
  TCylinderConstants constants;
  constants.Radius = Cylinder.Radius;
  constants.Mass = Cylinder.Mass;
  constants.Immovable = Cylinder.IsImmovable();
  constants.Object = Object;
  return constants;
}

}  // namespace

TArenaModel::TArenaModel(const TArena& Source) : arena_(&Source) {
  const std::vector<TCylinderZ*>& cylinders = Source.Cylinders();
  cylinders_.reserve(cylinders.size());
  startStates_.reserve(cylinders.size());
  const std::vector<TArena::TInitialState>& snapshot = Source.InitialStates();
  const TBasicFloor* floor = Source.Floor();
  int floorObject = 0;
  std::size_t next = 0;
  for (int i = 1; i <= Source.NumberOfObjects(); ++i) {
    const TArenaObject& object = Source.Objects(i);
    if (&object == floor) {
      floorObject = i;
    }
    if (next < cylinders.size() && &object == cylinders[next]) {
      cylinders_.push_back(ConstantsOf(*cylinders[next], i));
      const TArena::TInitialState& loaded = snapshot[static_cast<std::size_t>(i - 1)];
      TCylinderState state;
      for (int k = 0; k < 3; ++k) {
        state.Position[k] = loaded.Position[k];
        state.Velocity[k] = loaded.Velocity[k];
      }
      startStates_.push_back(state);
      ++next;
    }
  }
  assert(next == cylinders.size());
  // the rectangle of the floor at its loaded position, as ResetObjects leaves it
  if (floor != nullptr) {
    const TArena::TInitialState& loaded = snapshot[static_cast<std::size_t>(floorObject - 1)];
    floorRectangle_.Present = true;
    floorRectangle_.XMin = loaded.Position[0] - floor->Width / 2;
    floorRectangle_.XMax = floorRectangle_.XMin + floor->Width;
    floorRectangle_.YMin = loaded.Position[1] - floor->Length / 2;
    floorRectangle_.YMax = floorRectangle_.YMin + floor->Length;
  }
}

void TArenaModel::Refresh() {
  const std::vector<TCylinderZ*>& cylinders = arena_->Cylinders();
  assert(cylinders.size() == cylinders_.size());
  for (std::size_t i = 0; i < cylinders_.size(); ++i) {
    cylinders_[i] = ConstantsOf(*cylinders[i], cylinders_[i].Object);
  }
  floorRectangle_ = arena_->FloorRectangle();
}

TArenaState::TArenaState(const TArenaModel& Model) { Reset(Model); }

void TArenaState::Reset(const TArenaModel& Model) {
  const std::span<const TCylinderState> start = Model.StartStates();
  if (cylinders_.size() != start.size()) {
    cylinders_.assign(start.begin(), start.end());
    return;
  }
  std::copy(start.begin(), start.end(), cylinders_.begin());
}

void TArenaState::Move(const TArenaModel& Model, double TimeStep) {
  // the floor in registers, not read again for every cylinder
  const TFloorRectangle floor = Model.FloorRectangle();
  const TCylinderConstants* constants = Model.Cylinders().data();
  TCylinderState* cylinders = cylinders_.data();
  const std::size_t count = cylinders_.size();
  for (std::size_t i = 0; i < count; ++i) {
    const TCylinderConstants& cylinder = constants[i];
    if (cylinder.Immovable) {
      continue;
    }
    MoveCylinder(cylinders[i], cylinder.Mass, cylinder.Radius, floor, TimeStep);
  }
}

void TArenaState::Pull(const TArena& Arena) {
  const std::vector<TCylinderZ*>& cylinders = Arena.Cylinders();
  assert(cylinders.size() == cylinders_.size());
  for (std::size_t i = 0; i < cylinders_.size(); ++i) {
    for (int k = 0; k < 3; ++k) {
      cylinders_[i].Position[k] = cylinders[i]->Position.GetElement(k + 1);
      cylinders_[i].Velocity[k] = cylinders[i]->Velocity.GetElement(k + 1);
    }
  }
}

void TArenaState::Push(TArena& Arena) const {
  const std::vector<TCylinderZ*>& cylinders = Arena.Cylinders();
  assert(cylinders.size() == cylinders_.size());
  for (std::size_t i = 0; i < cylinders_.size(); ++i) {
    for (int k = 0; k < 3; ++k) {
      cylinders[i]->Position.SetElement(k + 1, cylinders_[i].Position[k]);
      cylinders[i]->Velocity.SetElement(k + 1, cylinders_[i].Velocity[k]);
    }
  }
}

}  // namespace kestrovan
