#include "view3d/Scene.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace kestrovan {
namespace {

using testing::HasSubstr;

// The message of the TSceneNameError that Add throws, or "" when it throws none.
template <class Add>
std::string NameErrorOf(Add&& Adding) {
  try {
    Adding();
  } catch (const TSceneNameError& error) {
    return error.what();
  }
  return "";
}

TEST(TScene, RefusesNamesThatAreNotIdentifiers) {
  TScene scene;
  EXPECT_EQ(NameErrorOf([&] { scene.Root().AddNew<TSceneBox>("2Box"); }),
            "''2Box'' is not a valid component name");
  EXPECT_EQ(NameErrorOf([&] { scene.Root().AddNew<TSceneBox>("Red box"); }),
            "''Red box'' is not a valid component name");
  EXPECT_EQ(NameErrorOf([&] { scene.Root().AddNew<TSceneBox>("Box-1"); }),
            "''Box-1'' is not a valid component name");
  EXPECT_EQ(NameErrorOf([&] { scene.Root().AddNew<TSceneBox>("_Box_2"); }), "");
  // nothing of a refused object stays behind
  EXPECT_EQ(scene.Root().Children().size(), 1u);
}

TEST(TScene, RefusesADuplicateAnywhereInTheScene) {
  TScene scene;
  auto& group = scene.Root().AddNew<TSceneDummy>("Group");
  group.AddNew<TSceneBox>("Table");
  EXPECT_EQ(NameErrorOf([&] { scene.Root().AddNew<TSceneCylinder>("Table"); }),
            "A component named Table already exists");
  EXPECT_EQ(NameErrorOf([&] { group.AddNew<TSceneSphere>("Group"); }), "A component named Group already exists");
  // names differ by case, and any number of objects may be unnamed
  EXPECT_EQ(NameErrorOf([&] { scene.Root().AddNew<TSceneBox>("table"); }), "");
  EXPECT_EQ(NameErrorOf([&] {
              group.AddNew<TSceneBox>();
              group.AddNew<TSceneBox>();
            }),
            "");
}

TEST(TScene, AcceptsAGeneratedNameOnceAndOnlyFromTheScene) {
  TScene scene;
  const std::string name = scene.GenerateName();
  EXPECT_FALSE(IsValidIdentifier(name));
  EXPECT_NE(scene.GenerateName(), name);
  auto& box = scene.Root().AddNew<TSceneBox>(name);
  EXPECT_EQ(scene.Root().FindChild(name), &box);
  // used up: a second object, or a name merely looking like one, is refused
  EXPECT_THAT(NameErrorOf([&] { scene.Root().AddNew<TSceneBox>(name); }), HasSubstr("is not a valid component name"));
  EXPECT_THAT(NameErrorOf([&] { scene.Root().AddNew<TSceneBox>("#99"); }), HasSubstr("is not a valid component name"));
}

TEST(TSceneObject, FindChildSearchesTheSubtreeOnly) {
  TScene scene;
  auto& a = scene.Root().AddNew<TSceneDummy>("A");
  auto& b = scene.Root().AddNew<TSceneDummy>("B");
  auto& deep = a.AddNew<TSceneDummy>().AddNew<TSceneDummy>().AddNew<TSceneSphere>("Deep");
  b.AddNew<TSceneBox>("Other");
  EXPECT_EQ(a.FindChild("Deep"), &deep);
  EXPECT_EQ(scene.Root().FindChild("Deep"), &deep);
  EXPECT_EQ(a.FindChild("Other"), nullptr);
  EXPECT_EQ(a.FindChild("A"), nullptr);  // descendants, not the node itself
  // an empty name finds nothing, although unnamed nodes exist
  EXPECT_EQ(a.FindChild(""), nullptr);
}

void ExpectNear(const TSceneVector& Actual, const TSceneVector& Expected) {
  EXPECT_NEAR(Actual.X, Expected.X, 1e-12);
  EXPECT_NEAR(Actual.Y, Expected.Y, 1e-12);
  EXPECT_NEAR(Actual.Z, Expected.Z, 1e-12);
}

TEST(TSceneObject, ChildrenMoveAndTurnWithTheirParent) {
  TScene scene;
  auto& parent = scene.Root().AddNew<TSceneDummy>();
  parent.Position = {1.0, 0.5, 0.0};
  parent.TurnAngle = 90.0;
  auto& child = parent.AddNew<TSceneBox>();
  child.Position = {2.0, 0.0, 0.0};
  // a turn by 90 degrees takes +X to -Z (counter-clockwise seen from above)
  ExpectNear(child.AbsolutePosition(), {1.0, 0.5, -2.0});
  // a pitch by 90 degrees takes +Y to +Z
  child.PitchAngle = 90.0;
  auto& grandChild = child.AddNew<TSceneSphere>();
  grandChild.Position = {0.0, 1.0, 0.0};
  ExpectNear(grandChild.AbsolutePosition(), {2.0, 0.5, -2.0});
}

TEST(TSceneCamera, ProjectsTheTargetToTheCentreAndKeepsTheAxesUpright) {
  TScene scene;
  auto& target = scene.Root().AddNew<TSceneDummy>();
  TSceneCamera camera;
  camera.Target = &target;
  camera.Position = {0.0, 0.0, 5.0};
  double x = 0.0;
  double y = 0.0;
  ASSERT_TRUE(camera.Project({0.0, 0.0, 0.0}, 400, 200, x, y));
  EXPECT_NEAR(x, 200.0, 1e-9);
  EXPECT_NEAR(y, 100.0, 1e-9);
  ASSERT_TRUE(camera.Project({1.0, 1.0, 0.0}, 400, 200, x, y));
  EXPECT_GT(x, 200.0);  // +X to the right
  EXPECT_LT(y, 100.0);  // +Y up
  // the shorter side (the height here) spans the field of view
  ASSERT_TRUE(camera.Project({0.0, 5.0 * std::tan(camera.FieldOfView() / 2.0 * std::numbers::pi / 180.0), 0.0}, 400, 200, x, y));
  EXPECT_NEAR(y, 0.0, 1e-6);
  EXPECT_FALSE(camera.Project({0.0, 0.0, 6.0}, 400, 200, x, y));  // behind the eye
  // looking straight down still gives a usable view
  camera.Position = {0.0, 5.0, 0.0};
  ASSERT_TRUE(camera.Project({0.0, 0.0, 0.0}, 200, 200, x, y));
  EXPECT_NEAR(x, 100.0, 1e-9);
  EXPECT_NEAR(y, 100.0, 1e-9);
}

TEST(TSceneCamera, OrbitKeepsTheDistanceAndStopsShortOfThePole) {
  TScene scene;
  auto& target = scene.Root().AddNew<TSceneDummy>();
  target.Position = {1.0, 0.0, 1.0};
  TSceneCamera camera;
  camera.Target = &target;
  camera.Position = {3.0, 0.0, 1.0};
  camera.MoveAroundTarget(0.0, 90.0);
  ExpectNear(camera.Position, {1.0, 0.0, -1.0});
  camera.MoveAroundTarget(30.0, 0.0);
  EXPECT_NEAR(camera.Position.Y, 2.0 * std::sin(std::numbers::pi / 6.0), 1e-12);
  EXPECT_NEAR(camera.DistanceToTarget(), 2.0, 1e-12);
  camera.MoveAroundTarget(500.0, 0.0);
  EXPECT_NEAR(camera.DistanceToTarget(), 2.0, 1e-12);
  EXPECT_LT(camera.Position.Y, 2.0);
  EXPECT_GT(camera.Position.Y, 1.99);
}

TEST(TSceneCamera, DistanceScalingIgnoresFactorsThatAreNotPositive) {
  TSceneCamera camera;
  camera.Position = {0.0, 3.0, 4.0};
  camera.AdjustDistanceToTarget(2.0);
  ExpectNear(camera.Position, {0.0, 6.0, 8.0});
  camera.AdjustDistanceToTarget(0.0);
  camera.AdjustDistanceToTarget(-1.0);
  camera.AdjustDistanceToTarget(NAN);
  ExpectNear(camera.Position, {0.0, 6.0, 8.0});
  EXPECT_NEAR(camera.NearPlane(), 0.001 * 10.0, 1e-15);
}

}  // namespace
}  // namespace kestrovan
