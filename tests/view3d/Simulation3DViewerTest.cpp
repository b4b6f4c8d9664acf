#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <numbers>
#include <sstream>

#include "arena/Arena.h"
#include "robot/DefaultRobot.h"
#include "support/TestSupport.h"
#include "view3d/RenderFixture.h"
#include "view3d/Simulation3DViewer.h"

namespace kestrovan::test {
namespace {

// A viewer on a shown 440 x 440 panel (a 400 x 400 surface).
class TSimulation3DViewerTest : public testing::Test {
 protected:
  TSimulation3DViewerTest() {
    host.resize(440, 440);
    host.show();
    NewViewer();
  }

  void NewViewer() {
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
    EXPECT_NE(part, nullptr) << Name;
    return part != nullptr ? *part : viewer->Scene->Root();
  }

  // The camera at Offset from the scene point Target, looking at it.
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

const std::string kRedCylinder =
    "object Red: TCylinderZ\n  Position = 1 2 0\n  Radius = 0.1\n  Height = 0.2\n  RGBColor = 255 0 0\nend\n";

TEST_F(TSimulation3DViewerTest, SurfaceSitsInThePanelAndTheMouseDrivesTheCamera) {
  EXPECT_EQ(viewer->SceneViewer->geometry(), QRect(20, 20, 400, 400));
  ExpectAt(viewer->Camera.Position, {1.0, 2.0, 0.5}, "camera");
  viewer->SetViewerGeometry(20, 20, 440 - 60, 440 - 60);
  EXPECT_EQ(Grab().size(), QSize(380, 380));

  // a press on the surface records the pointer, a left drag orbits
  const double distance = viewer->Camera.DistanceToTarget();
  const TSceneVector start = viewer->Camera.Position;
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(100, 100), QPointF(100, 100), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(viewer->SceneViewer, &press);
  QMouseEvent drag(QEvent::MouseMove, QPointF(90, 95), QPointF(90, 95), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(viewer->SceneViewer, &drag);
  EXPECT_EQ(viewer->MouseX, 90);
  EXPECT_EQ(viewer->MouseY, 95);
  EXPECT_NEAR(viewer->Camera.DistanceToTarget(), distance, 1e-9);
  EXPECT_GT(Length(viewer->Camera.Position - start), 0.1);

  // both buttons, the pointer 20 pixels up: 1.1 times as far
  viewer->SceneViewerMouseMove(90, 75, Qt::LeftButton | Qt::RightButton, Qt::NoModifier);
  EXPECT_NEAR(viewer->Camera.DistanceToTarget(), 1.1 * distance, 1e-9);
  // right button: camera and target slide together over the floor
  const TSceneVector before = viewer->Camera.Position;
  viewer->SceneViewerMouseMove(80, 75, Qt::RightButton, Qt::NoModifier);
  EXPECT_EQ(viewer->CameraTarget->Position.Y, 0.0);
  EXPECT_NEAR(Length(viewer->CameraTarget->Position), 10 * 0.12 * 1.1 * distance / viewer->Camera.FocalLength, 1e-9);
  ExpectAt(viewer->Camera.Position, before + viewer->CameraTarget->Position, "camera after panning");
  EXPECT_NEAR(viewer->Camera.DistanceToTarget(), 1.1 * distance, 1e-9);
  const TSceneVector camera = viewer->Camera.Position;
  // with a modifier key, or the middle button: nothing
  const TSceneVector target = viewer->CameraTarget->Position;
  viewer->SceneViewerMouseMove(50, 50, Qt::LeftButton, Qt::ShiftModifier);
  viewer->SceneViewerMouseMove(10, 10, Qt::MiddleButton, Qt::NoModifier);
  ExpectAt(viewer->Camera.Position, camera, "camera after ignored moves");
  ExpectAt(viewer->CameraTarget->Position, target, "target after ignored moves");
}

TEST_F(TSimulation3DViewerTest, WheelZoomsInTenthsAndHomeResetsTheView) {
  const TSceneVector opening = viewer->Camera.Position;
  const double distance = viewer->Camera.DistanceToTarget();
  const auto wheel = [this](int Delta) {
    QWheelEvent event(QPointF(100, 100), viewer->SceneViewer->mapToGlobal(QPointF(100, 100)), QPoint(),
                      QPoint(0, Delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewer->SceneViewer, &event);
  };
  // one notch away from the user: nearer by a factor 1.1; two back: farther
  wheel(120);
  EXPECT_NEAR(viewer->Camera.DistanceToTarget(), distance / 1.1, 1e-9);
  wheel(-240);
  EXPECT_NEAR(viewer->Camera.DistanceToTarget(), distance * 1.1, 1e-9);
  // the camera stays on its line of sight: the target does not move
  ExpectAt(viewer->CameraTarget->Position, {0.0, 0.0, 0.0}, "target after zooming");

  // a pan and an orbit, then Home: the opening view again
  viewer->SceneViewerMouseDown(100, 100);
  viewer->SceneViewerMouseMove(60, 120, Qt::RightButton, Qt::NoModifier);
  viewer->SceneViewerMouseMove(30, 90, Qt::LeftButton, Qt::NoModifier);
  EXPECT_GT(Length(viewer->CameraTarget->Position), 0.01);
  QKeyEvent home(QEvent::KeyPress, Qt::Key_Home, Qt::NoModifier);
  QApplication::sendEvent(viewer->SceneViewer, &home);
  EXPECT_TRUE(home.isAccepted());
  ExpectAt(viewer->Camera.Position, opening, "camera after Home");
  ExpectAt(viewer->CameraTarget->Position, {0.0, 0.0, 0.0}, "target after Home");
  // other keys go on to the window
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(viewer->SceneViewer, &escape);
  EXPECT_FALSE(escape.isAccepted());
}

TEST_F(TSimulation3DViewerTest, PlainColoursKeepTheirHue) {
  // a dark red like the sofa's stays dark red under the light: no channel
  // washed up towards pink
  Build("object Sofa: TCylinderZ\n  Position = 1 2 0\n  Radius = 0.1\n  Height = 0.2\n  RGBColor = 128 0 0\nend\n");
  LookAt({1.0, 0.0, -2.0}, {0.0, 2.0, 0.5});
  const QColor pixel = Grab().pixelColor(Projected({1.0, 0.2, -2.0}));
  EXPECT_GE(pixel.red(), 60) << pixel.name().toStdString();
  EXPECT_LE(pixel.red(), 170) << pixel.name().toStdString();
  EXPECT_LT(pixel.green(), 20) << pixel.name().toStdString();
  EXPECT_LT(pixel.blue(), 20) << pixel.name().toStdString();
}

TEST_F(TSimulation3DViewerTest, BackgroundIsWhiteWithoutFogAndTheFogColourWithIt) {
  Build(kRedCylinder);
  EXPECT_EQ(Grab().pixelColor(2, 2), QColor(255, 255, 255));
  NewViewer();
  Build(kRedCylinder + "object Clear: TAmbience\n  Fog = False\nend\n");
  EXPECT_EQ(Grab().pixelColor(2, 2), QColor(255, 255, 255));

  NewViewer();
  Build(kRedCylinder +
        "object Haze: TAmbience\n  Fog = True\n  FogColor = 0 255 255\n  FogStart = 1\n  FogEnd = 2\nend\n");
  const QColor cyan(0, 255, 255);  // the loader's fog colour
  // 3 m away the cylinder has dissolved in the fog; 0.5 m away it is red
  LookAt({1.0, 0.1, -2.0}, {0.0, 0.0, 3.0});
  const QImage fogged = Grab();
  EXPECT_EQ(fogged.pixelColor(2, 2), cyan);
  EXPECT_EQ(fogged.pixelColor(Projected({1.0, 0.1, -2.0})), cyan);
  LookAt({1.0, 0.1, -2.0}, {0.0, 0.0, 0.5});
  EXPECT_TRUE(HasColour(Grab(), Projected({1.0, 0.1, -2.0}), true, false, false));
}

TEST_F(TSimulation3DViewerTest, ArenaPointOneTwoIsDrawnAtSceneXOneZMinusTwoForEveryClass) {
  const char* const classes[] = {
      "TBasicFloor",  "TFloor",        "TWall",         "TOpening",       "TStandardTable", "TStandardBookShelf",
      "TOfficeChair", "TStandardSofa", "TSoftDrinkCan", "TSoftDrinkCanZ", "TCylinderZ"};
  std::string text = kRedCylinder;
  for (const char* className : classes) {
    text += std::string("object ") + (className + 1) + ": " + className +
            "\n  Position = 1 2 0\n  Height = 0.5\n  Angle = 30\nend\n";
  }
  Build(text);
  for (const std::string className : classes) {
    const TSceneObject& part = Part(className.substr(1));
    EXPECT_NEAR(part.AbsolutePosition().X, 1.0, 1e-12) << className;
    EXPECT_NEAR(part.AbsolutePosition().Z, -2.0, 1e-12) << className;
    const bool isFloor = className == "TBasicFloor" || className == "TFloor";
    EXPECT_DOUBLE_EQ(part.TurnAngle, isFloor ? 0.0 : 30.0) << className;
    EXPECT_EQ(part.Parent() == &viewer->Scene->Root(), className == "TBasicFloor") << className;
  }
  // the red cylinder is drawn there (the others have no size), not where a
  // mirrored mapping puts it
  LookAt({1.0, 0.0, -2.0}, {0.0, 2.0, 0.5});
  const QImage image = Grab();
  EXPECT_TRUE(HasColour(image, Projected({1.0, 0.2, -2.0}), true, false, false));
  EXPECT_TRUE(HasColour(image, Projected({1.0, 0.2, -1.6}), true, true, true));
}

TEST_F(TSimulation3DViewerTest, MovedCylinderIsDrawnAtItsNewPlaceAfterUpdate) {
  Build(kRedCylinder);
  LookAt({1.0, 0.0, -1.5}, {0.0, 2.5, 0.2});
  const QPoint before = Projected({1.0, 0.2, -2.0});
  const QPoint after = Projected({1.0, 0.2, -1.0});
  EXPECT_TRUE(HasColour(Grab(), before, true, false, false));
  arena->Objects(1).Position.SetElement(2, 1.0);
  arena->Objects(1).Angle = 45.0;
  EXPECT_TRUE(HasColour(Grab(), before, true, false, false));  // not before the update
  viewer->UpdateArenaObjects();
  const QImage image = Grab();
  EXPECT_TRUE(HasColour(image, after, true, false, false));
  EXPECT_TRUE(HasColour(image, before, true, true, true));
  EXPECT_DOUBLE_EQ(Part("Red").TurnAngle, 45.0);
}

// The positions of Part's children of the given kind whose first size is Width.
std::vector<TSceneVector> ChildrenOfWidth(const TSceneObject& Part, double Width) {
  std::vector<TSceneVector> found;
  for (const auto& child : Part.Children()) {
    const auto* box = dynamic_cast<const TSceneBox*>(child.get());
    if (box != nullptr && std::abs(box->Width - Width) < 1e-12) {
      found.push_back(box->AbsolutePosition());
    }
  }
  return found;
}

TEST_F(TSimulation3DViewerTest, FurnitureFloorsAndWallsAreAssembledFromTheirFields) {
  Build(R"(
object Sofa: TStandardSofa
  Length = 1.8
  Width = 0.7
  Height = 0.75
  BottomPlateThickness = 0.1
  CushionThickness = 0.12
  NumberOfSeats = 3
  ArmRestWidth = 0.15
  LegHeight = 0.1
  MaterialThickness = 0.05
end
object Bare: TStandardSofa
  Position = 3 0 0
  Length = 1.8
  NumberOfSeats = 0
end
object Table: TStandardTable
  Position = 1 2 0
  Length = 1.0
  Width = 0.6
  LegWidth = 0.05
  Height = 0.7
  Angle = 90
end
object One: TStandardBookShelf
  Position = 0 -3 0
  Length = 0.8
  Height = 0.9
  NumberOfShelves = 1
  MaterialThickness = 0.02
end
object Slab: TFloor
  Position = 0 3 0
  Width = 1
  Length = 2
  Height = 0.1
  HasCover = True
end
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
  // three cushions 0.54 wide centred at -0.6, 0 and 0.6 along the plate
  const auto cushions = ChildrenOfWidth(Part("Sofa"), 0.54);
  ASSERT_EQ(cushions.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    ExpectAt(cushions[static_cast<std::size_t>(i)], {-0.6 + 0.6 * i, 0.2, 0.0}, "cushion");
  }
  // no seats: the backrest, the arm rests and the legs only
  EXPECT_EQ(Part("Bare").Children().size(), 7u);

  // the table turned by 90 degrees: its legs under the turned corners
  const auto legs = ChildrenOfWidth(Part("Table"), 0.05);
  ASSERT_EQ(legs.size(), 4u);
  for (const TSceneVector& leg : legs) {
    EXPECT_NEAR(std::abs(leg.X - 1.0), 0.3, 1e-12);   // across the table, now along arena x
    EXPECT_NEAR(std::abs(-leg.Z - 2.0), 0.5, 1e-12);  // along the table, now along arena y
    EXPECT_NEAR(leg.Y, 0.35, 1e-12);
  }

  // one shelf board, at the base board's level; the top board T + H above it
  const auto boards = ChildrenOfWidth(Part("One"), 0.8);
  ASSERT_EQ(boards.size(), 2u);
  EXPECT_NEAR(boards[0].Y, 0.94, 1e-12);
  EXPECT_NEAR(boards[1].Y, 0.02, 1e-12);

  // the slab's top face at z = 0, its cover 0.005 above it
  EXPECT_NEAR(Part("Slab").AbsolutePosition().Y, -0.05, 1e-12);
  EXPECT_NEAR(Part("Slab").Children().at(0)->AbsolutePosition().Y, 0.005, 1e-12);

  // tile counts truncated; none given (no division by zero): shown once
  const auto& ground = static_cast<const TSceneRectangle&>(Part("Ground"));
  EXPECT_EQ(ground.XTiles, 2);
  EXPECT_EQ(ground.YTiles, 2);
  const auto& paper = static_cast<const TSceneRectangle&>(*Part("Paper").Children().at(0));
  EXPECT_EQ(paper.XTiles, 1);
  EXPECT_EQ(paper.YTiles, 1);
  // the wall paper on the wall's +y side, facing away from it
  EXPECT_DOUBLE_EQ(paper.TurnAngle, 180.0);
  ExpectAt(paper.AbsolutePosition(), {0.0, 0.0, -0.1}, "wall paper");
}

TEST_F(TSimulation3DViewerTest, MissingTextureFallsBackToThePlainColourAndIsReportedOnce) {
  TTemporaryFolder folder;
  QImage green(4, 4, QImage::Format_RGB32);
  green.fill(Qt::green);
  ASSERT_TRUE(green.save(QString::fromStdString((folder.Path() / "green.bmp").string()), "BMP"));
  std::string text;
  const char* const textures[] = {"green.bmp", "nowhere.jpg", "nowhere.jpg"};
  for (int x = 0; x < 3; ++x) {
    text += "object Can" + std::to_string(x) + ": TCylinderZ\n  Position = " + std::to_string(x) +
            " 0 0\n  Radius = 0.2\n  Height = 0.4\n  RGBColor = 0 0 255\n  Texture = " + textures[x] + "\nend\n";
  }
  const auto file = folder.Write("arena.txt", text);
  arena = std::make_unique<TArena>(file.string());
  ASSERT_EQ(arena->NumberOfObjects(), 3);
  viewer->SetArena(arena.get());
  viewer->BuildArenaScene();
  // the texture beside the arena file is found; the missing one leaves blue
  const TSceneVector first = Part(viewer->PartName(1)).AbsolutePosition();
  const TSceneVector second = Part(viewer->PartName(2)).AbsolutePosition();
  LookAt(second, {0.0, 0.5, 3.0});
  const QImage image = Grab();
  EXPECT_TRUE(HasColour(image, Projected(first), false, true, false));
  EXPECT_TRUE(HasColour(image, Projected(second), false, false, true));
  const std::string errors = textureErrors.str();
  EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
  EXPECT_THAT(errors, testing::HasSubstr("nowhere.jpg"));
}

TEST_F(TSimulation3DViewerTest, NamesAreCheckedAndUnnamedObjectsStillFollowTheArena) {
  Build("object A: TCylinderZ\nend\nobject B: TCylinderZ\nend\n");
  auto buildError = [&](const std::string& First, const std::string& Second) -> std::string {
    NewViewer();
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
  EXPECT_EQ(buildError("", "#1"), "''#1'' is not a valid component name");  // looks generated

  // two unnamed objects: different generated names, both moved by updates
  ASSERT_EQ(buildError("", ""), "");
  EXPECT_NE(viewer->PartName(1), viewer->PartName(2));
  arena->Objects(1).Position.SetElement(1, 1.0);
  arena->Objects(2).Position.SetElement(1, 2.0);
  viewer->UpdateArenaObjects();
  EXPECT_NEAR(Part(viewer->PartName(1)).Position.X, 1.0, 1e-12);
  EXPECT_NEAR(Part(viewer->PartName(2)).Position.X, 2.0, 1e-12);

  // a robot cannot share its name with an arena object
  ASSERT_EQ(buildError("Robot", "B"), "");
  const auto robot = BuildRobot(TRobotConfiguration::Default(), 0.05);
  try {
    viewer->BuildRobot(*robot);
    ADD_FAILURE() << "the robot was built";
  } catch (const TSceneNameError& error) {
    EXPECT_STREQ(error.what(), "A component named Robot already exists");
  }
}

// ---- the robot

class TRobotDisplayTest : public TSimulation3DViewerTest {
 protected:
  TRobotDisplayTest() : robot(BuildRobot(TRobotConfiguration::Default(), 0.05)) {
    Build("");
    body = dynamic_cast<TDifferentiallySteeredBody*>(robot->Body.get());
  }

  // The robot at (x, y) with Heading, its sensors posed as the body's move does.
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

TEST_F(TRobotDisplayTest, FifteenMarkersHiddenAndShownByShowSensorsAtTheNextUpdate) {
  viewer->ShowSensors = false;
  viewer->BuildRobot(*robot);
  for (int i = 1; i <= 5; ++i) {
    for (const char* kind : {"IRSensorSphere", "IRSensorDir", "IRSensorOpening"}) {
      const TSceneObject& marker = Part(kind + std::to_string(i));
      EXPECT_EQ(marker.Parent(), viewer->Container);
      EXPECT_FALSE(marker.Visible);
    }
  }
  EXPECT_EQ(viewer->Container->FindChild("IRSensorSphere6"), nullptr);
  LookAt({0.0, 0.0, 0.0}, {0.0, 0.5, 0.05});
  EXPECT_EQ(YellowPixels(), 0);
  viewer->ShowSensors = true;
  EXPECT_EQ(YellowPixels(), 0);
  Place(0.0, 0.0, 0.0);
  viewer->UpdateRobot(*robot);
  EXPECT_GT(YellowPixels(), 20);
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
  EXPECT_NEAR(half.red() - dark.red(), 128, 3);
  EXPECT_EQ(half.green(), dark.green());
  EXPECT_EQ(half.blue(), dark.blue());
  EXPECT_GT(colourAt(1.0).red(), half.red());
}

TEST_F(TRobotDisplayTest, BodyWheelsAndMarkersFollowThePose) {
  viewer->BuildRobot(*robot);
  const TSceneObject& bodyPart = Part("Robot");
  ExpectAt(bodyPart.Position, {0.0, 0.015, 0.0}, "body at build");
  ASSERT_EQ(bodyPart.Children().size(), 2u);
  for (const auto& wheel : bodyPart.Children()) {
    EXPECT_DOUBLE_EQ(wheel->PitchAngle, 90.0);
    EXPECT_NEAR(wheel->AbsolutePosition().Y, 0.01, 1e-12);  // resting on the floor
  }
  // built from the mounting: sensor 2's wedge spans +-OpeningAngle/2 over Range + R
  const auto& opening = static_cast<const TScenePolyline&>(Part("IRSensorOpening2"));
  EXPECT_EQ(opening.Stipple, 0xCCCC);
  const double half = Sensor(2).OpeningAngle / 2.0;
  ExpectAt(opening.Nodes.at(0), {0.175 * std::cos(half), 0.015, -0.175 * std::sin(half)}, "opening node 1");
  ExpectAt(opening.Nodes.at(1), {0.0, 0.015, 0.0}, "opening node 2");

  Place(1.0, 2.0, std::numbers::pi / 2.0);
  viewer->UpdateRobot(*robot);
  ExpectAt(bodyPart.Position, {1.0, 0.015, -2.0}, "body");
  EXPECT_NEAR(bodyPart.TurnAngle, 90.0, 1e-12);
  // the right wheel (the body's -y side) now lies on the arena +x side
  ExpectAt(bodyPart.Children()[0]->AbsolutePosition(), {1.0525, 0.01, -2.0}, "right wheel");

  // at the origin, heading 0: sensor 2's axis runs from its mounting point
  // (R, 0) to Range beyond it
  Place(0.0, 0.0, 0.0);
  viewer->UpdateRobot(*robot);
  const auto& axis = static_cast<const TScenePolyline&>(Part("IRSensorDir2"));
  ExpectAt(axis.Nodes.at(0), {0.05, 0.015, 0.0}, "axis start");
  ExpectAt(axis.Nodes.at(1), {0.175, 0.015, 0.0}, "axis end");
  ExpectAt(Part("IRSensorSphere2").Position, {0.05, 0.015, 0.0}, "sphere");
  // the body is drawn in its colour where it stands
  LookAt({0.0, 0.015, 0.0}, {0.0, 0.3, 0.05});
  const QColor drawn = Grab().pixelColor(Projected({-0.02, 0.03, 0.02}));
  EXPECT_GT(drawn.blue(), drawn.red() + 40);
  EXPECT_GT(drawn.red(), 100);
}

}  // namespace
}  // namespace kestrovan::test
