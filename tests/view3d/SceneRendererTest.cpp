#include <gtest/gtest.h>

#include <QOpenGLContext>

#include "view3d/RenderFixture.h"
#include "view3d/SceneRenderer.h"

namespace kestrovan::test {
namespace {

using TSceneRendererTest = TRenderFixture;

constexpr TSceneColor kRed{1.0, 0.0, 0.0, 1.0};
constexpr TSceneColor kBlue{0.0, 0.0, 1.0, 1.0};

TEST_F(TSceneRendererTest, DrawsIntoACompatibilityContextClearedToTheBackground) {
  const QImage empty = Grab();
  ASSERT_FALSE(empty.isNull()) << "no OpenGL context on this display";
  ASSERT_NE(viewer.context(), nullptr);
  EXPECT_NE(viewer.context()->format().profile(), QSurfaceFormat::CoreProfile);
  EXPECT_EQ(empty.size(), QSize(Size, Size));
  EXPECT_EQ(empty.pixelColor(0, 0), QColor(255, 255, 255));
  EXPECT_EQ(empty.pixelColor(Size / 2, Size / 2), QColor(255, 255, 255));
  viewer.BackgroundColor = {0.0, 0.5, 1.0, 1.0};
  const QColor cleared = Grab().pixelColor(Size - 1, Size - 1);
  EXPECT_EQ(cleared.red(), 0);
  EXPECT_NEAR(cleared.green(), 128, 1);
  EXPECT_EQ(cleared.blue(), 255);
}

TEST_F(TSceneRendererTest, DrawsABoxWhereItsPositionProjects) {
  auto& box = scene.Root().AddNew<TSceneBox>();
  box.Width = box.Height = box.Depth = 0.4;
  box.Position = {1.0, -0.5, 0.0};
  box.Material.Emission = kRed;
  const QImage image = Grab();
  EXPECT_TRUE(HasColour(image, Projected(box.Position), true, false, false));
  // the place where the box would be with a sign error is empty
  EXPECT_TRUE(HasColour(image, Projected({-1.0, -0.5, 0.0}), true, true, true));
  EXPECT_TRUE(HasColour(image, Projected({1.0, 0.5, 0.0}), true, true, true));
}

TEST_F(TSceneRendererTest, CylindersStandUprightAndInvisibleParentsHideThem) {
  auto& group = scene.Root().AddNew<TSceneDummy>();
  group.Position = {0.5, 0.0, 0.0};
  group.TurnAngle = 90.0;
  auto& cylinder = group.AddNew<TSceneCylinder>();
  cylinder.BottomRadius = cylinder.TopRadius = 0.1;
  cylinder.Height = 1.6;
  cylinder.Position = {1.0, 0.0, 0.0};  // turned onto (0.5, 0, -1)
  cylinder.Material.Emission = kBlue;
  camera.Position = {0.5, 0.0, 5.0};
  const QImage image = Grab();
  // tall and thin: blue well above and below the centre, not beside it
  EXPECT_TRUE(HasColour(image, Projected({0.5, 0.7, -1.0}), false, false, true));
  EXPECT_TRUE(HasColour(image, Projected({0.5, -0.7, -1.0}), false, false, true));
  EXPECT_TRUE(HasColour(image, Projected({0.5, 0.95, -1.0}), true, true, true));
  EXPECT_TRUE(HasColour(image, Projected({0.8, 0.0, -1.0}), true, true, true));
  group.Visible = false;
  EXPECT_TRUE(HasColour(Grab(), Projected({0.5, 0.7, -1.0}), true, true, true));
}

TEST_F(TSceneRendererTest, FogTurnsFarObjectsIntoTheFogColour) {
  auto& nearBox = scene.Root().AddNew<TSceneBox>();
  nearBox.Position = {-0.3, 0.0, 4.0};  // 1 m from the eye
  nearBox.Width = nearBox.Height = nearBox.Depth = 0.1;
  nearBox.Material.Emission = kRed;
  auto& farBox = scene.Root().AddNew<TSceneBox>();
  farBox.Position = {1.0, 0.0, -5.0};  // 10 m from the eye
  farBox.Material.Emission = kRed;
  scene.Fog = {true, {0.0, 1.0, 0.0, 1.0}, 2.0, 6.0};
  const QImage image = Grab();
  EXPECT_TRUE(HasColour(image, Projected(nearBox.Position), true, false, false));
  const QColor fogged = image.pixelColor(Projected(farBox.Position));
  EXPECT_EQ(fogged, QColor(0, 255, 0));
  // the background is the viewer's own colour, fog or not
  EXPECT_EQ(image.pixelColor(0, 0), QColor(255, 255, 255));
}

TEST_F(TSceneRendererTest, BlendedObjectsAreDrawnAfterTheOpaqueOnesAndAdded) {
  // the see-through rectangle comes first in the tree and lies in front
  auto& glass = scene.Root().AddNew<TSceneRectangle>();
  glass.Position = {0.0, 0.0, 1.0};
  glass.Material.Emission = kBlue;
  glass.Material.Diffuse = {0.0, 0.0, 0.0, 1.0};
  glass.Material.Ambient = {0.0, 0.0, 0.0, 1.0};
  glass.Material.BlendAdditive = true;
  auto& box = scene.Root().AddNew<TSceneBox>();
  box.Material.Emission = kRed;
  const QPoint centre(Size / 2, Size / 2);
  const QImage image = Grab();
  EXPECT_TRUE(HasColour(image, centre, true, false, true));
  // over the white background the sum stays white
  EXPECT_EQ(image.pixelColor(Projected({0.45, 0.45, 1.0})), QColor(255, 255, 255));
  glass.Material.BlendAdditive = false;
  EXPECT_TRUE(HasColour(Grab(), centre, false, false, true));
}

// Colour changes along the image row through the middle.
int ChangesAlongMiddleRow(const QImage& Image, int Row) {
  int changes = 0;
  for (int x = 1; x < Image.width(); ++x) {
    changes += Image.pixelColor(x, Row) != Image.pixelColor(x - 1, Row) ? 1 : 0;
  }
  return changes;
}

TEST_F(TSceneRendererTest, PolylinesAreSolidOrDashedByTheirStipple) {
  auto& line = scene.Root().AddNew<TScenePolyline>();
  line.Nodes = {{-5.0, 0.0, 0.0}, {0.0, 0.001, 0.0}, {5.0, 0.0, 0.0}};
  line.LineColor = {1.0, 0.0, 0.0, 1.0};
  // the row the line is drawn in: the reddest one
  const QImage solid = Grab();
  int row = 0;
  int reddest = -1;
  for (int y = Size / 2 - 3; y <= Size / 2 + 3; ++y) {
    int red = 0;
    for (int x = 0; x < Size; ++x) {
      red += IsColour(solid.pixelColor(x, y), true, false, false) ? 1 : 0;
    }
    if (red > reddest) {
      reddest = red;
      row = y;
    }
  }
  EXPECT_GT(reddest, Size * 9 / 10);
  EXPECT_LE(ChangesAlongMiddleRow(solid, row), 4);
  line.Stipple = 0xCCCC;
  const QImage dashed = Grab();
  // two pixels on, two off: a change about every second pixel
  EXPECT_GT(ChangesAlongMiddleRow(dashed, row), Size / 3);
}

TEST_F(TSceneRendererTest, RectangleRepeatsItsTextureByTheTileCounts) {
  // a texture of two texels: red on the left, green on the right
  auto image = std::make_shared<TTextureImage>();
  image->Width = 2;
  image->Height = 1;
  image->Pixels = {255, 0, 0, 255, 0, 255, 0, 255};
  auto& rectangle = scene.Root().AddNew<TSceneRectangle>();
  rectangle.Width = 2.0;
  rectangle.Height = 1.0;
  rectangle.XTiles = 2;
  rectangle.Material.Emission = {1.0, 1.0, 0.0, 1.0};
  rectangle.Material.Texture = image;
  const QImage drawn = Grab();
  // red, green, red, green across; each colour's texel centre at an eighth
  EXPECT_TRUE(HasColour(drawn, Projected({-0.75, 0.0, 0.0}), true, false, false));
  EXPECT_TRUE(HasColour(drawn, Projected({-0.25, 0.0, 0.0}), false, true, false));
  EXPECT_TRUE(HasColour(drawn, Projected({0.25, 0.0, 0.0}), true, false, false));
  EXPECT_TRUE(HasColour(drawn, Projected({0.75, 0.0, 0.0}), false, true, false));
  // without the texture, the plain colour
  rectangle.Material.Texture = nullptr;
  EXPECT_TRUE(HasColour(Grab(), Projected({-0.25, 0.0, 0.0}), true, true, false));
}

}  // namespace
}  // namespace kestrovan::test
