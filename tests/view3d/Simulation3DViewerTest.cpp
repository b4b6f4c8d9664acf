#include "view3d/Simulation3DViewer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <sstream>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QWidget>

#include "arena/Arena.h"
#include "robot/DefaultRobot.h"
#include "support/TestSupport.h"
#include "view3d/RenderFixture.h"

namespace kestrovan::test {
namespace {

using testing::HasSubstr;

constexpr double kPi = std::numbers::pi;

class TSimulation3DViewerTest : public testing::Test {
 protected:
  TSimulation3DViewerTest() {
    host.resize(440, 440);
    host.show();
    viewer = std::make_unique<TSimulation3DViewer>(&host);
    viewer->Scene->Textures.ErrorStream = &textureErrors;
  }

  // Loads Text as the arena and builds its scene.
  void Build(const std::string& Text) {
    std::istringstream input(Text);
    arena = std::make_unique<TArena>(input, "test arena");
    viewer->SetArena(arena.get());
    viewer->BuildArenaScene();
  }

  TSceneObject& Part(const std::string& Name) {
    TSceneObject* part = viewer->Scene->Root().FindChild(Name);
    if (part == nullptr) {
      ADD_FAILURE() << "no part named " << Name;
      return viewer->Scene->Root();
    }
    return *part;
  }

  // Puts the camera at Offset from the scene point Target, looking at it.
  void LookAt(const TSceneVector& Target, const TSceneVector& Offset) {
    viewer->CameraTarget->Position = Target;
    viewer->Camera.Position = Target + Offset;
  }

  QImage Grab() { return viewer->SceneViewer->grabFramebuffer(); }

  QPoint Projected(const TSceneVector& Point) const {
    double x = 0.0;
    double y = 0.0;
    EXPECT_TRUE(viewer->Camera.Project(Point, viewer->SceneViewer->width(), viewer->SceneViewer->height(), x, y));
    return QPoint(static_cast<int>(x), static_cast<int>(y));
  }

  std::ostringstream textureErrors;
  QWidget host;
  std::unique_ptr<TArena> arena;
  std::unique_ptr<TSimulation3DViewer> viewer;
};

void ExpectAt(const TSceneVector& Actual, const TSceneVector& Expected, const std::string& What) {
  EXPECT_NEAR(Actual.X, Expected.X, 1e-9) << What;
  EXPECT_NEAR(Actual.Y, Expected.Y, 1e-9) << What;
  EXPECT_NEAR(Actual.Z, Expected.Z, 1e-9) << What;
}

const char* const kRedCylinder = R"(
object Red: TCylinderZ
  Position = 1 2 0
  Radius = 0.1
  Height = 0.2
  RGBColor = 255 0 0
end
)";

// ---- set-up and camera

TEST_F(TSimulation3DViewerTest, CreatesTheSurfaceInsideThePanelWithTheCameraAndLight) {
  EXPECT_EQ(viewer->SceneViewer->parentWidget(), &host);
  EXPECT_EQ(viewer->SceneViewer->geometry(), QRect(20, 20, 400, 400));
  ExpectAt(viewer->Camera.Position, {1.0, 2.0, 0.5}, "camera");
  EXPECT_EQ(viewer->Camera.Target, viewer->CameraTarget);
  ExpectAt(viewer->CameraTarget->AbsolutePosition(), {0.0, 0.0, 0.0}, "camera target");
  ExpectAt(viewer->Scene->Light.Position, {10.0, 10.0, 30.0}, "light");
  EXPECT_DOUBLE_EQ(viewer->Scene->Light.SpotCutOff, 180.0);
  // the run window shrinks the surface later
  viewer->SetViewerGeometry(20, 20, 440 - 60, 440 - 60);
  EXPECT_EQ(viewer->SceneViewer->geometry(), QRect(20, 20, 380, 380));
  EXPECT_EQ(Grab().size(), QSize(380, 380));
}

TEST_F(TSimulation3DViewerTest, MouseOrbitsScalesAndPans) {
  const TSceneVector start = viewer->Camera.Position;
  const double distance = viewer->Camera.DistanceToTarget();
  viewer->SceneViewerMouseDown(100, 100);
  // left button: orbit at the same distance
  viewer->SceneViewerMouseMove(90, 95, Qt::LeftButton, Qt::NoModifier);
  EXPECT_EQ(viewer->MouseX, 90);
  EXPECT_EQ(viewer->MouseY, 95);
  EXPECT_NEAR(viewer->Camera.DistanceToTarget(), distance, 1e-9);
  EXPECT_GT(Length(viewer->Camera.Position - start), 0.1);
  // both buttons: the pointer 4 pixels up moves the camera 1.1 times as far
  viewer->SceneViewerMouseMove(90, 91, Qt::LeftButton | Qt::RightButton, Qt::NoModifier);
  EXPECT_NEAR(viewer->Camera.DistanceToTarget(), 1.1 * distance, 1e-9);
  // right button: the target slides over the floor, the camera stays
  const TSceneVector camera = viewer->Camera.Position;
  viewer->SceneViewerMouseMove(80, 91, Qt::RightButton, Qt::NoModifier);
  EXPECT_EQ(viewer->CameraTarget->Position.Y, 0.0);
  EXPECT_NEAR(Length(viewer->CameraTarget->Position), 10 * 0.12 * 1.1 * distance / viewer->Camera.FocalLength, 1e-9);
  ExpectAt(viewer->Camera.Position, camera, "camera after panning");
  // a modifier key, or the middle button: nothing
  const TSceneVector target = viewer->CameraTarget->Position;
  viewer->SceneViewerMouseMove(50, 50, Qt::LeftButton, Qt::ShiftModifier);
  viewer->SceneViewerMouseMove(10, 10, Qt::MiddleButton, Qt::NoModifier);
  ExpectAt(viewer->Camera.Position, camera, "camera after ignored moves");
  ExpectAt(viewer->CameraTarget->Position, target, "target after ignored moves");
  EXPECT_EQ(viewer->MouseX, 10);
}

TEST_F(TSimulation3DViewerTest, SurfaceHandsItsMouseEventsToTheCamera) {
  const QPointF pressAt(30, 40);
  QMouseEvent press(QEvent::MouseButtonPress, pressAt, viewer->SceneViewer->mapToGlobal(pressAt), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(viewer->SceneViewer, &press);
  EXPECT_EQ(viewer->MouseX, 30);
  EXPECT_EQ(viewer->MouseY, 40);
  const TSceneVector start = viewer->Camera.Position;
  const QPointF moveTo(60, 20);
  QMouseEvent move(QEvent::MouseMove, moveTo, viewer->SceneViewer->mapToGlobal(moveTo), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(viewer->SceneViewer, &move);
  EXPECT_EQ(viewer->MouseX, 60);
  EXPECT_GT(Length(viewer->Camera.Position - start), 0.1);
}

// ---- arena scene

TEST_F(TSimulation3DViewerTest, BackgroundIsWhiteWithoutFogAndTheFogColourWithIt) {
  Build(kRedCylinder);
  EXPECT_EQ(Grab().pixelColor(2, 2), QColor(255, 255, 255));
  EXPECT_FALSE(viewer->Scene->Fog.Enabled);

  viewer = std::make_unique<TSimulation3DViewer>(&host);
  Build(std::string(kRedCylinder) + "object Clear: TAmbience\n  Fog = False\nend\n");
  EXPECT_EQ(Grab().pixelColor(2, 2), QColor(255, 255, 255));

  viewer = std::make_unique<TSimulation3DViewer>(&host);
  Build(std::string(kRedCylinder) + "object Haze: TAmbience\n  Fog = True\n  FogColor = 0 255 255\n"
                                    "  FogStart = 1\n  FogEnd = 2\nend\n");
  const QColor cyan(0, 255, 255);
  // the far cylinder dissolves in the fog, the background takes its colour
  LookAt({1.0, 0.1, -2.0}, {0.0, 0.0, 3.0});
  const QImage fogged = Grab();
  EXPECT_EQ(fogged.pixelColor(2, 2), cyan);
  EXPECT_EQ(fogged.pixelColor(Projected({1.0, 0.1, -2.0})), cyan);
  // close by it is red
  LookAt({1.0, 0.1, -2.0}, {0.0, 0.0, 0.5});
  EXPECT_TRUE(HasColour(Grab(), Projected({1.0, 0.1, -2.0}), true, false, false));
}

TEST_F(TSimulation3DViewerTest, ArenaPointOneTwoIsDrawnAtSceneXOneZMinusTwo) {
  Build(kRedCylinder);
  ExpectAt(Part("Red").AbsolutePosition(), {1.0, 0.1, -2.0}, "cylinder centre");
  // looking down from above, slightly from the south (+Z)
  LookAt({1.0, 0.0, -2.0}, {0.0, 2.0, 0.5});
  const QImage image = Grab();
  EXPECT_TRUE(HasColour(image, Projected({1.0, 0.2, -2.0}), true, false, false));
  // nothing where a mirrored mapping would have put it
  EXPECT_TRUE(HasColour(image, Projected({1.0, 0.2, -1.6}), true, true, true));
  EXPECT_TRUE(HasColour(image, Projected({0.6, 0.2, -2.0}), true, true, true));
}

TEST_F(TSimulation3DViewerTest, EveryClassPutsItsMainPartAtTheMappedPosition) {
  const char* const classes[] = {"TBasicFloor", "TFloor", "TWall", "TOpening", "TStandardTable", "TStandardBookShelf",
                                 "TOfficeChair", "TStandardSofa", "TSoftDrinkCan", "TSoftDrinkCanZ", "TCylinderZ"};
  std::string text;
  for (const char* className : classes) {
    text += std::string("object ") + (className + 1) + ": " + className +
            "\n  Position = 1 2 0\n  Height = 0.5\n  Angle = 30\nend\n";
  }
  Build(text);
  for (const char* className : classes) {
    const TSceneObject& part = Part(className + 1);
    EXPECT_NEAR(part.AbsolutePosition().X, 1.0, 1e-12) << className;
    EXPECT_NEAR(part.AbsolutePosition().Z, -2.0, 1e-12) << className;
    const bool isFloor = std::string(className) == "TBasicFloor" || std::string(className) == "TFloor";
    EXPECT_DOUBLE_EQ(part.TurnAngle, isFloor ? 0.0 : 30.0) << className;
    EXPECT_EQ(part.Parent() == &viewer->Scene->Root(), std::string(className) == "TBasicFloor") << className;
  }
}

TEST_F(TSimulation3DViewerTest, MovedCylinderIsDrawnAtItsNewPlaceAfterUpdate) {
  Build(kRedCylinder + std::string("object Wall: TWall\n  Position = 0 0 0.1\n  Length = 1\n  Thickness = 0.1\n"
                                   "  Height = 0.2\nend\n"));
  LookAt({1.0, 0.0, -1.5}, {0.0, 2.5, 0.2});
  const QPoint before = Projected({1.0, 0.2, -2.0});
  const QPoint after = Projected({1.0, 0.2, -1.0});
  EXPECT_TRUE(HasColour(Grab(), before, true, false, false));
  arena->Objects(1).Position.SetElement(2, 1.0);
  arena->Objects(1).Angle = 45.0;
  arena->Objects(2).Position.SetElement(1, 5.0);
  // not yet moved: the scene changes only by UpdateArenaObjects
  EXPECT_TRUE(HasColour(Grab(), before, true, false, false));
  viewer->UpdateArenaObjects();
  const QImage image = Grab();
  EXPECT_TRUE(HasColour(image, after, true, false, false));
  EXPECT_TRUE(HasColour(image, before, true, true, true));
  EXPECT_DOUBLE_EQ(Part("Red").TurnAngle, 45.0);
  // every object follows its arena counterpart, walls too (they never move in a run)
  EXPECT_NEAR(Part("Wall").AbsolutePosition().X, 5.0, 1e-12);
}

TEST_F(TSimulation3DViewerTest, SofaCushionsSitSideBySideAndNoSeatsMeansNoCushions) {
  Build(R"(
object Sofa: TStandardSofa
  Position = 0 0 0
  Length = 1.8
  Width = 0.7
  Height = 0.75
  BottomPlateThickness = 0.1
  CushionThickness = 0.12
  NumberOfSeats = 3
  ArmRestHeight = 0.2
  ArmRestWidth = 0.15
  LegHeight = 0.1
  MaterialThickness = 0.05
end
object Bare: TStandardSofa
  Position = 3 0 0
  Length = 1.8
  Width = 0.7
  Height = 0.75
  NumberOfSeats = 0
  LegHeight = 0.1
end
)");
  // cushions: the boxes on the plate 0.54 along and the plate's width across
  std::vector<double> centres;
  for (const auto& child : Part("Sofa").Children()) {
    if (child->Kind() == TSceneObjectKind::Box && std::abs(static_cast<TSceneBox&>(*child).Width - 0.54) < 1e-9) {
      EXPECT_NEAR(static_cast<TSceneBox&>(*child).Depth, 0.7, 1e-12);
      EXPECT_NEAR(child->Position.Y, 0.05, 1e-12);  // the plate's half thickness above its centre
      centres.push_back(child->Position.X);
    }
  }
  ASSERT_EQ(centres.size(), 3u);
  EXPECT_NEAR(centres[0], -0.6, 1e-12);
  EXPECT_NEAR(centres[1], 0.0, 1e-12);
  EXPECT_NEAR(centres[2], 0.6, 1e-12);
  // the plate on its legs: centre LegHeight + B/2 above the floor
  EXPECT_NEAR(Part("Sofa").AbsolutePosition().Y, 0.15, 1e-12);
  // no seats: legs, backrest and arm rests only
  int boxes = 0;
  for (const auto& child : Part("Bare").Children()) {
    boxes += child->Kind() == TSceneObjectKind::Box ? 1 : 0;
  }
  EXPECT_EQ(boxes, 3);
}

TEST_F(TSimulation3DViewerTest, TableLegsStandUnderTheCornersAndTurnWithTheTop) {
  Build(R"(
object Table: TStandardTable
  Position = 1 2 0
  Length = 1.0
  Width = 0.6
  Thickness = 0.04
  LegWidth = 0.05
  Height = 0.7
  Angle = 90
  RGBColor = 0 0 255
end
)");
  const TSceneObject& top = Part("Table");
  ExpectAt(top.AbsolutePosition(), {1.0, 0.7, -2.0}, "table top");
  // turned by 90 degrees the table's length runs along arena y
  std::vector<std::pair<double, double>> feet;  // arena (x, y) of each leg
  for (const auto& child : top.Children()) {
    ASSERT_EQ(child->Kind(), TSceneObjectKind::Box);
    const auto& leg = static_cast<const TSceneBox&>(*child);
    EXPECT_NEAR(leg.Height, 0.7, 1e-12);
    EXPECT_NEAR(leg.Width, 0.05, 1e-12);
    const TSceneVector at = leg.AbsolutePosition();
    EXPECT_NEAR(at.Y, 0.35, 1e-12);  // from the floor to the top's centre
    feet.emplace_back(at.X, -at.Z);
  }
  ASSERT_EQ(feet.size(), 4u);
  for (const auto& [x, y] : feet) {
    EXPECT_NEAR(std::abs(x - 1.0), 0.3, 1e-12);
    EXPECT_NEAR(std::abs(y - 2.0), 0.5, 1e-12);
  }
  // seen from above, the turned top covers 0.6 along scene X and 1.0 along Z
  LookAt({1.0, 0.7, -2.0}, {0.0, 2.0, 0.01});
  const QImage image = Grab();
  EXPECT_TRUE(HasColour(image, Projected({1.25, 0.72, -2.45}), false, false, true));
  EXPECT_TRUE(HasColour(image, Projected({1.45, 0.72, -2.0}), true, true, true));
}

TEST_F(TSimulation3DViewerTest, BookShelfBoardsAndFloorCover) {
  Build(R"(
object One: TStandardBookShelf
  Position = 0 0 0
  Length = 0.8
  Width = 0.3
  Height = 0.9
  NumberOfShelves = 1
  MaterialThickness = 0.02
end
object Three: TStandardBookShelf
  Position = 2 0 0
  Length = 0.8
  Width = 0.3
  Height = 0.9
  NumberOfShelves = 3
  MaterialThickness = 0.02
end
object Slab: TFloor
  Position = 0 3 0
  Width = 1
  Length = 2
  Height = 0.1
  HasCover = True
end
)");
  // boards: the full-size boards below the top board (which lies at T + H)
  auto boardHeights = [&](const std::string& Name) {
    std::vector<double> heights;
    for (const auto& child : Part(Name).Children()) {
      const auto& box = static_cast<const TSceneBox&>(*child);
      if (std::abs(box.Width - 0.8) < 1e-12 && std::abs(box.Depth - 0.3) < 1e-12 && child->Position.Y < 0.91) {
        heights.push_back(child->Position.Y);
      }
    }
    return heights;
  };
  EXPECT_EQ(boardHeights("One"), (std::vector<double>{0.0}));
  const auto three = boardHeights("Three");
  ASSERT_EQ(three.size(), 3u);
  EXPECT_NEAR(three[0], 0.0, 1e-12);
  EXPECT_NEAR(three[1], 0.45, 1e-12);
  EXPECT_NEAR(three[2], 0.9, 1e-12);
  // the slab's top face at z = 0, its cover 0.005 above it
  const TSceneObject& slab = Part("Slab");
  EXPECT_NEAR(slab.AbsolutePosition().Y, -0.05, 1e-12);
  ASSERT_EQ(slab.Children().size(), 1u);
  EXPECT_NEAR(slab.Children()[0]->AbsolutePosition().Y, 0.005, 1e-12);
}

TEST_F(TSimulation3DViewerTest, TilesAreTruncatedAndNeverDivideByZero) {
  Build(R"(
object Ground: TBasicFloor
  Width = 4
  Length = 2
  TileWidth = 1.5
  TileLength = 1
end
object Paper: TWall
  Length = 2
  Height = 1
  Thickness = 0.1
  HasWallPaper = True
end
)");
  const auto& ground = static_cast<const TSceneRectangle&>(Part("Ground"));
  EXPECT_EQ(ground.XTiles, 2);
  EXPECT_EQ(ground.YTiles, 2);
  EXPECT_DOUBLE_EQ(ground.Width, 4.0);
  // wall paper without tile sizes: shown once
  const auto& paper = static_cast<const TSceneRectangle&>(*Part("Paper").Children().at(0));
  EXPECT_EQ(paper.XTiles, 1);
  EXPECT_EQ(paper.YTiles, 1);
  EXPECT_DOUBLE_EQ(paper.TurnAngle, 180.0);
  ExpectAt(paper.AbsolutePosition(), {0.0, 0.0, -0.1}, "wall paper");
}

TEST_F(TSimulation3DViewerTest, MissingTextureFallsBackToThePlainColourAndIsReportedOnce) {
  TTemporaryFolder folder;
  QImage green(4, 4, QImage::Format_RGB32);
  green.fill(Qt::green);
  ASSERT_TRUE(green.save(QString::fromStdString((folder.Path() / "green.bmp").string()), "BMP"));
  const auto file = folder.Write("arena.txt", R"(
object Textured: TCylinderZ
  Position = 0 0 0
  Radius = 0.2
  Height = 0.4
  Texture = green.bmp
  RGBColor = 0 0 255
end
object Missing: TCylinderZ
  Position = 1 0 0
  Radius = 0.2
  Height = 0.4
  Texture = nowhere.jpg
  RGBColor = 0 0 255
end
object AlsoMissing: TCylinderZ
  Position = 2 0 0
  Radius = 0.2
  Height = 0.4
  Texture = nowhere.jpg
  RGBColor = 0 0 255
end
)");
  arena = std::make_unique<TArena>(file.string());
  viewer->SetArena(arena.get());
  viewer->BuildArenaScene();
  LookAt({1.0, 0.2, 0.0}, {0.0, 0.5, 3.0});
  const QImage image = Grab();
  // the texture beside the arena file is found; the missing one leaves blue
  EXPECT_TRUE(HasColour(image, Projected({0.0, 0.2, 0.2}), false, true, false));
  EXPECT_TRUE(HasColour(image, Projected({1.0, 0.2, 0.2}), false, false, true));
  EXPECT_TRUE(HasColour(image, Projected({2.0, 0.2, 0.2}), false, false, true));
  const std::string errors = textureErrors.str();
  EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
  EXPECT_THAT(errors, HasSubstr("nowhere.jpg"));
}

TEST_F(TSimulation3DViewerTest, NamesAreCheckedAndUnnamedObjectsStillFollowTheArena) {
  const std::string twoUnnamed = R"(
object A: TCylinderZ
  Radius = 0.1
  Height = 0.1
end
object B: TCylinderZ
  Radius = 0.1
  Height = 0.1
end
)";
  std::istringstream input(twoUnnamed);
  arena = std::make_unique<TArena>(input, "test arena");
  arena->Objects(1).Name.clear();
  arena->Objects(2).Name.clear();
  viewer->SetArena(arena.get());
  viewer->BuildArenaScene();
  arena->Objects(1).Position.SetElement(1, 1.0);
  arena->Objects(2).Position.SetElement(1, 2.0);
  viewer->UpdateArenaObjects();
  EXPECT_NE(viewer->PartName(1), viewer->PartName(2));
  EXPECT_NEAR(Part(viewer->PartName(1)).Position.X, 1.0, 1e-12);
  EXPECT_NEAR(Part(viewer->PartName(2)).Position.X, 2.0, 1e-12);

  auto buildError = [&](const std::string& First, const std::string& Second) -> std::string {
    viewer = std::make_unique<TSimulation3DViewer>(&host);
    arena->Objects(1).Name = First;
    arena->Objects(2).Name = Second;
    viewer->SetArena(arena.get());
    try {
      viewer->BuildArenaScene();
    } catch (const TSceneNameError& error) {
      return error.what();
    }
    return "";
  };
  EXPECT_EQ(buildError("Twin", "Twin"), "A component named Twin already exists");
  EXPECT_EQ(buildError("Box-1", "B"), "''Box-1'' is not a valid component name");
  // a file cannot name an object like a generated name
  EXPECT_EQ(buildError("", "#1"), "''#1'' is not a valid component name");
  // nor the robot like an arena object
  EXPECT_EQ(buildError("Robot", "B"), "");
  auto robot = kestrovan::BuildRobot(TRobotConfiguration::Default(), 0.05);
  try {
    viewer->BuildRobot(*robot);
    ADD_FAILURE() << "the robot was built";
  } catch (const TSceneNameError& error) {
    EXPECT_STREQ(error.what(), "A component named Robot already exists");
  }
}

// ---- robot

class TRobotDisplayTest : public TSimulation3DViewerTest {
 protected:
  TRobotDisplayTest() : robot(kestrovan::BuildRobot(TRobotConfiguration::Default(), 0.05)) {
    Build("");
    body = dynamic_cast<TDifferentiallySteeredBody*>(robot->Body.get());
  }

  // Puts the robot at (x, y) with Heading and sets its sensors' poses, as
  // the body's move does.
  void Place(double x, double y, double Heading) {
    body->Coordinates.SetPosition(1, x);
    body->Coordinates.SetPosition(2, y);
    body->Coordinates.Heading = Heading;
    for (int i = 1; i <= body->Sensors.Count(); ++i) {
      body->Sensors.Items(i).SetPose(x, y, body->Height / 2.0, Heading);
    }
  }

  TIRSensor& Sensor(int i) { return dynamic_cast<TIRSensor&>(body->Sensors.Items(i)); }

  // Yellow pixels: the dashed opening wedges.
  int YellowPixels() {
    const QImage image = Grab();
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        count += IsColour(image.pixelColor(x, y), true, true, false) ? 1 : 0;
      }
    }
    return count;
  }

  std::unique_ptr<TRobot> robot;
  TDifferentiallySteeredBody* body = nullptr;
};

TEST_F(TRobotDisplayTest, BuildsBodyWheelsAndFifteenMarkers) {
  viewer->BuildRobot(*robot);
  const TSceneObject& bodyPart = Part("Robot");
  ASSERT_EQ(bodyPart.Kind(), TSceneObjectKind::Cylinder);
  EXPECT_EQ(bodyPart.Parent(), viewer->Container);
  ExpectAt(bodyPart.Position, {0.0, 0.015, 0.0}, "body");
  ASSERT_EQ(bodyPart.Children().size(), 2u);
  for (const auto& wheel : bodyPart.Children()) {
    EXPECT_DOUBLE_EQ(wheel->PitchAngle, 90.0);
    EXPECT_NEAR(std::abs(wheel->Position.Z), 0.0525, 1e-12);
    EXPECT_NEAR(wheel->AbsolutePosition().Y, 0.01, 1e-12);  // touching the floor
  }
  int markers = 0;
  for (int i = 1; i <= 5; ++i) {
    for (const char* kind : {"IRSensorSphere", "IRSensorDir", "IRSensorOpening"}) {
      TSceneObject* marker = viewer->Container->FindChild(kind + std::to_string(i));
      ASSERT_NE(marker, nullptr) << kind << i;
      EXPECT_EQ(marker->Parent(), viewer->Container);
      ++markers;
    }
  }
  EXPECT_EQ(markers, 15);
  EXPECT_EQ(viewer->Container->FindChild("IRSensorSphere6"), nullptr);
  // the opening of sensor 2 (straight ahead) spans +-OpeningAngle/2 over Range + R
  const auto& opening = static_cast<const TScenePolyline&>(Part("IRSensorOpening2"));
  EXPECT_EQ(opening.Stipple, 0xCCCC);
  ASSERT_EQ(opening.Nodes.size(), 3u);
  const double reach = 0.125 + 0.05;
  const double half = Sensor(2).OpeningAngle / 2.0;
  ExpectAt(opening.Nodes[0], {reach * std::cos(half), 0.015, -reach * std::sin(half)}, "opening node 1");
  ExpectAt(opening.Nodes[1], {0.0, 0.015, 0.0}, "opening node 2");
}

TEST_F(TRobotDisplayTest, ShowSensorsTakesEffectAtTheNextUpdate) {
  viewer->ShowSensors = false;
  viewer->BuildRobot(*robot);
  LookAt({0.0, 0.0, 0.0}, {0.0, 0.5, 0.05});
  EXPECT_EQ(YellowPixels(), 0);
  EXPECT_FALSE(Part("IRSensorSphere1").Visible);
  viewer->ShowSensors = true;
  EXPECT_EQ(YellowPixels(), 0);
  Place(0.0, 0.0, 0.0);
  viewer->UpdateRobot(*robot);
  EXPECT_GT(YellowPixels(), 20);
  for (int i = 1; i <= 5; ++i) {
    EXPECT_TRUE(Part("IRSensorDir" + std::to_string(i)).Visible);
  }
  viewer->ShowSensors = false;
  viewer->UpdateRobot(*robot);
  EXPECT_EQ(YellowPixels(), 0);
}

TEST_F(TRobotDisplayTest, SensorSphereGlowsWithTheReading) {
  viewer->BuildRobot(*robot);
  Place(0.0, 0.0, 0.0);
  // close up on sensor 2's sphere at (R, 0, H/2)
  LookAt({0.05, 0.015, 0.0}, {0.04, 0.0, 0.0});
  const QPoint centre(viewer->SceneViewer->width() / 2, viewer->SceneViewer->height() / 2);
  auto colourAt = [&](double Reading) {
    Sensor(2).Reading = Reading;
    viewer->UpdateRobot(*robot);
    return Grab().pixelColor(centre);
  };
  const QColor dark = colourAt(0.0);
  const QColor half = colourAt(0.5);
  const QColor full = colourAt(1.0);
  EXPECT_NEAR(half.red() - dark.red(), 128, 3);
  EXPECT_EQ(half.green(), dark.green());
  EXPECT_EQ(half.blue(), dark.blue());
  EXPECT_GT(full.red(), half.red());
  const TSceneColor emission = Part("IRSensorSphere2").Material.Emission;
  EXPECT_DOUBLE_EQ(emission.R, 1.0);
  EXPECT_DOUBLE_EQ(emission.G, 0.0);
}

TEST_F(TRobotDisplayTest, UpdateMovesTheBodyAndMarkersToThePose) {
  viewer->BuildRobot(*robot);
  const TSceneObject& bodyPart = Part("Robot");
  Place(1.0, 2.0, kPi / 2.0);
  viewer->UpdateRobot(*robot);
  ExpectAt(bodyPart.Position, {1.0, 0.015, -2.0}, "body");
  EXPECT_NEAR(bodyPart.TurnAngle, 90.0, 1e-12);
  // the right wheel (arena -y of the body) is now on the arena +x side
  const TSceneVector wheel = bodyPart.Children()[0]->AbsolutePosition();
  EXPECT_NEAR(wheel.X, 1.0525, 1e-12);
  EXPECT_NEAR(wheel.Z, -2.0, 1e-12);

  // at the origin, heading 0: sensor 2's axis runs from its mounting point
  // (R, 0) to Range beyond it
  Place(0.0, 0.0, 0.0);
  viewer->UpdateRobot(*robot);
  const auto& axis = static_cast<const TScenePolyline&>(Part("IRSensorDir2"));
  ASSERT_EQ(axis.Nodes.size(), 2u);
  ExpectAt(axis.Nodes[0], {0.05, 0.015, 0.0}, "axis start");
  ExpectAt(axis.Nodes[1], {0.175, 0.015, 0.0}, "axis end");
  ExpectAt(Part("IRSensorSphere2").Position, {0.05, 0.015, 0.0}, "sphere");
  // the body is drawn in its colour where it stands
  LookAt({0.0, 0.015, 0.0}, {0.0, 0.3, 0.05});
  const QColor drawn = Grab().pixelColor(Projected({-0.02, 0.03, 0.02}));
  EXPECT_GT(drawn.blue(), drawn.red() + 40);
  EXPECT_GT(drawn.red(), 100);
}

}  // namespace
}  // namespace kestrovan::test
