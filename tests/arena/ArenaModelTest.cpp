#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

#include "arena/ArenaModel.h"

namespace kestrovan {
namespace {

TArena Load(std::string_view Text) {
  std::istringstream input{std::string(Text)};
  return TArena(input, "test.txt");
}

std::uint64_t Bits(double Value) { return std::bit_cast<std::uint64_t>(Value); }

// A floor 4 m by 2 m; two movable cylinders heading for its edges, an
// immovable one, a wall and a drink can that is a cylinder.
const char* const kRoom =
    "object G: TBasicFloor\n  Position = 0.5 -0.25 0\n  Width = 4\n  Length = 2\nend\n"
    "object A: TCylinderZ\n  Position = 2.2 0 0.1\n  Velocity = 3 -1.5 0.2\n  Radius = 0.1\n  Mass = 0.3\nend\n"
    "object W: TWall\n  Position = 0 1 0\n  Length = 2\nend\n"
    "object S: TCylinderZ\n  Position = 0 0 0\n  Velocity = 1 1 0\n  Radius = 0.05\n  Mass = 0\nend\n"
    "object Z: TSoftDrinkCanZ\n  Position = -1 -1 0\n  Velocity = -2 -4 0\n  Radius = 0.03\n  Mass = 0.1\nend\n";

TEST(TArenaModel, ReadsConstantsInPlaceAndStartsFromTheSnapshot) {
  TArena arena = Load(kRoom);
  // what the arena's objects went through since loading is not the start
  arena.RandomizeCylinderVelocities(5, 0.1, 0.2);
  for (int i = 0; i < 50; ++i) {
    arena.MoveObjects(0.01);
  }
  arena.Objects(1).Position.SetElement(1, 40.0);
  const TArenaModel model(arena);

  EXPECT_EQ(&model.Arena(), &arena) << "the model reads the arena, it does not copy it";
  ASSERT_EQ(model.CylinderCount(), 3u);
  ASSERT_EQ(model.StartStates().size(), 3u);
  const int objects[] = {2, 4, 5};
  const double radii[] = {0.1, 0.05, 0.03};
  const bool immovable[] = {false, true, false};
  for (std::size_t i = 0; i < 3; ++i) {
    const TCylinderConstants& c = model.Cylinders()[i];
    EXPECT_EQ(c.Object, objects[i]) << i;
    EXPECT_EQ(c.Radius, radii[i]) << i;
    EXPECT_EQ(c.Immovable, immovable[i]) << i;
    const TArena::TInitialState& loaded = arena.InitialStates()[static_cast<std::size_t>(objects[i] - 1)];
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(model.StartStates()[i].Position[k], loaded.Position[k]) << i << ' ' << k;
      EXPECT_EQ(model.StartStates()[i].Velocity[k], loaded.Velocity[k]) << i << ' ' << k;
    }
  }
  // the floor where it was loaded: x from 0.5 - 2 to 0.5 + 2
  const TFloorRectangle& floor = model.FloorRectangle();
  EXPECT_TRUE(floor.Present);
  EXPECT_EQ(floor.XMin, -1.5);
  EXPECT_EQ(floor.XMax, 2.5);
  EXPECT_EQ(floor.YMin, -1.25);
  EXPECT_EQ(floor.YMax, 0.75);

  const TArenaModel bare(Load("object W: TWall\nend\n"));
  EXPECT_EQ(bare.CylinderCount(), 0u);
  EXPECT_FALSE(bare.FloorRectangle().Present);
}

TEST(TArenaState, MovesBitForBitAsTheArenaMovesItsObjects) {
  TArena arena = Load(kRoom);
  const TArenaModel model(arena);
  TArenaState state(model);
  const TArena before(arena);
  TArena objects(arena);
  int bounces = 0;
  for (int step = 1; step <= 400; ++step) {
    const double vx = state.Cylinders()[0].Velocity[0];
    const double vy = state.Cylinders()[2].Velocity[1];
    state.Move(model, 0.01);
    objects.MoveObjects(0.01);
    bounces += (vx > 0.0) != (state.Cylinders()[0].Velocity[0] > 0.0) ? 1 : 0;
    bounces += (vy > 0.0) != (state.Cylinders()[2].Velocity[1] > 0.0) ? 1 : 0;
    for (std::size_t i = 0; i < model.CylinderCount(); ++i) {
      const TCylinderZ& object = *objects.Cylinders()[i];
      for (int k = 0; k < 3; ++k) {
        ASSERT_EQ(Bits(state.Cylinders()[i].Position[k]), Bits(object.Position.GetElement(k + 1)))
            << "step " << step << " cylinder " << i << " axis " << k;
        ASSERT_EQ(Bits(state.Cylinders()[i].Velocity[k]), Bits(object.Velocity.GetElement(k + 1)))
            << "step " << step << " cylinder " << i << " axis " << k;
      }
    }
  }
  // the bounces happened, the immovable cylinder stayed, the model's arena did not move
  EXPECT_GE(bounces, 4);
  EXPECT_EQ(state.Cylinders()[1].Position[0], 0.0);
  EXPECT_EQ(state.Cylinders()[1].Velocity[0], 1.0);
  for (int i = 1; i <= arena.NumberOfObjects(); ++i) {
    EXPECT_EQ(arena.Objects(i).Position.GetElement(1), before.Objects(i).Position.GetElement(1)) << i;
  }
}

TEST(TArenaState, ResetReturnsToTheStartInTheSameStorage) {
  TArena arena = Load(kRoom);
  const TArenaModel model(arena);
  TArenaState state(model);
  ASSERT_EQ(state.Cylinders().size(), 3u);
  const TCylinderState* storage = state.Cylinders().data();
  for (int evaluation = 0; evaluation < 3; ++evaluation) {
    for (int step = 0; step < 100; ++step) {
      state.Move(model, 0.01);
    }
    ASSERT_NE(state.Cylinders()[0].Position[0], model.StartStates()[0].Position[0]);
    state.Reset(model);
    EXPECT_EQ(state.Cylinders().data(), storage) << "evaluation " << evaluation;
    for (std::size_t i = 0; i < 3; ++i) {
      for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(state.Cylinders()[i].Position[k], model.StartStates()[i].Position[k]);
        EXPECT_EQ(state.Cylinders()[i].Velocity[k], model.StartStates()[i].Velocity[k]);
      }
    }
  }
  // a model of another arena: sized anew
  const TArena other = Load("object A: TCylinderZ\n  Position = 7 8 9\nend\n");
  const TArenaModel otherModel(other);
  state.Reset(otherModel);
  ASSERT_EQ(state.Cylinders().size(), 1u);
  EXPECT_EQ(state.Cylinders()[0].Position[2], 9.0);
}

TEST(TArenaState, PushAndPullCarryTheMotionToAndFromTheObjects) {
  TArena arena = Load(kRoom);
  TArenaModel model(arena);
  TArenaState state(model);
  for (int step = 0; step < 30; ++step) {
    state.Move(model, 0.01);
  }
  state.Push(arena);
  for (std::size_t i = 0; i < 3; ++i) {
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(arena.Cylinders()[i]->Position.GetElement(k + 1), state.Cylinders()[i].Position[k]);
      EXPECT_EQ(arena.Cylinders()[i]->Velocity.GetElement(k + 1), state.Cylinders()[i].Velocity[k]);
    }
  }
  EXPECT_EQ(arena.Objects(3).Position.GetElement(1), 0.0) << "only cylinders are written";

  // changed on the objects: radius and mass through Refresh, motion through Pull
  arena.Cylinders()[1]->Mass = 2.0;
  arena.Cylinders()[1]->Radius = 0.25;
  arena.Cylinders()[2]->Position.SetElement(1, -0.75);
  model.Refresh();
  state.Pull(arena);
  EXPECT_FALSE(model.Cylinders()[1].Immovable);
  EXPECT_EQ(model.Cylinders()[1].Radius, 0.25);
  EXPECT_EQ(model.Cylinders()[1].Object, 4);
  EXPECT_EQ(state.Cylinders()[2].Position[0], -0.75);
}

}  // namespace
}  // namespace kestrovan
