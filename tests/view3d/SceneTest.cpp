#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "view3d/Scene.h"

namespace kestrovan {
namespace {

// The message of the TSceneNameError that adding an object named Name
// under Parent throws, or "" when it throws none.
std::string NameError(TSceneObject& Parent, const std::string& Name) {
  try {
    Parent.AddNew<TSceneBox>(Name);
  } catch (const TSceneNameError& error) {
    return error.what();
  }
  return "";
}

TEST(TScene, AcceptsOnlyUniqueIdentifiersAsNames) {
  TScene scene;
  auto& group = scene.Root().AddNew<TSceneDummy>("Group");
  EXPECT_EQ(NameError(group, "2Box"), "''2Box'' is not a valid component name");
  EXPECT_EQ(NameError(group, "Box-1"), "''Box-1'' is not a valid component name");
  EXPECT_EQ(NameError(group, "Table"), "");
  // unique in the whole scene, not only among siblings; case matters
  EXPECT_EQ(NameError(scene.Root(), "Table"), "A component named Table already exists");
  EXPECT_EQ(NameError(group, "Group"), "A component named Group already exists");
  EXPECT_EQ(NameError(group, "table"), "");
  // any number of unnamed objects; refused ones leave nothing behind
  EXPECT_EQ(NameError(group, ""), "");
  EXPECT_EQ(NameError(group, ""), "");
  EXPECT_EQ(group.Children().size(), 4u);
}

TEST(TScene, AcceptsAGeneratedNameOnceAndOnlyWhenGenerated) {
  TScene scene;
  const std::string name = scene.GenerateName();
  EXPECT_NE(scene.GenerateName(), name);
  EXPECT_EQ(NameError(scene.Root(), name), "");
  EXPECT_NE(scene.Root().FindChild(name), nullptr);
  EXPECT_EQ(NameError(scene.Root(), name), "''" + name + "'' is not a valid component name");
  EXPECT_EQ(NameError(scene.Root(), "#99"), "''#99'' is not a valid component name");
}

TEST(TSceneObject, FindChildSearchesTheSubtreeOnly) {
  TScene scene;
  auto& a = scene.Root().AddNew<TSceneDummy>("A");
  auto& deep = a.AddNew<TSceneDummy>().AddNew<TSceneDummy>().AddNew<TSceneSphere>("Deep");
  scene.Root().AddNew<TSceneDummy>("B").AddNew<TSceneBox>("Other");
  EXPECT_EQ(a.FindChild("Deep"), &deep);
  EXPECT_EQ(scene.Root().FindChild("Deep"), &deep);
  EXPECT_EQ(a.FindChild("Other"), nullptr);
  EXPECT_EQ(a.FindChild("A"), nullptr);  // descendants only
  EXPECT_EQ(a.FindChild(""), nullptr);   // not the unnamed nodes
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

TEST(TSceneCamera, ProjectsUprightWithTheTargetInTheCentre) {
  TSceneCamera camera;
  camera.Position = {0.0, 0.0, 5.0};
  double x = 0.0;
  double y = 0.0;
  ASSERT_TRUE(camera.Project({0.0, 0.0, 0.0}, 400, 200, x, y));
  EXPECT_NEAR(x, 200.0, 1e-9);
  EXPECT_NEAR(y, 100.0, 1e-9);
  ASSERT_TRUE(camera.Project({1.0, 1.0, 0.0}, 400, 200, x, y));
  EXPECT_GT(x, 200.0);  // +X to the right
  EXPECT_LT(y, 100.0);  // +Y up
  // the shorter side spans the field of view
  const double top = 5.0 * std::tan(camera.FieldOfView() / 2.0 * std::numbers::pi / 180.0);
  ASSERT_TRUE(camera.Project({0.0, top, 0.0}, 400, 200, x, y));
  EXPECT_NEAR(y, 0.0, 1e-6);
  EXPECT_FALSE(camera.Project({0.0, 0.0, 6.0}, 400, 200, x, y));  // behind the eye
  // looking straight down still gives a usable view
  camera.Position = {0.0, 5.0, 0.0};
  ASSERT_TRUE(camera.Project({0.0, 0.0, 0.0}, 200, 200, x, y));
  EXPECT_NEAR(x, 100.0, 1e-9);
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
  EXPECT_NEAR(camera.Position.Y, 1.0, 1e-12);
  camera.MoveAroundTarget(500.0, 0.0);
  EXPECT_NEAR(camera.DistanceToTarget(), 2.0, 1e-12);
  EXPECT_GT(camera.Position.Y, 1.99);
  EXPECT_LT(camera.Position.Y, 2.0);
  // factors that are not positive leave the distance alone
  camera.AdjustDistanceToTarget(0.0);
  camera.AdjustDistanceToTarget(NAN);
  EXPECT_NEAR(camera.DistanceToTarget(), 2.0, 1e-12);
}

}  // namespace
}  // namespace kestrovan
