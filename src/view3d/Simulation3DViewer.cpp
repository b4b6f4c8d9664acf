#include "view3d/Simulation3DViewer.h"

#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numbers>

#include "arena/Arena.h"
#include "robot/DifferentiallySteeredBody.h"
#include "robot/IRSensor.h"
#include "robot/Robot.h"

namespace kestrovan {

namespace {

constexpr double kDegreesPerRadian = 180.0 / std::numbers::pi;
constexpr int kMargin = 20;  // pixels between the host panel's edge and the surface
constexpr TSceneColor kBlack{0.0, 0.0, 0.0, 1.0};
constexpr TSceneColor kRobotBodyColour{0.5, 0.5, 0.9, 1.0};
constexpr TSceneColor kWheelColour{0.2, 0.2, 0.2, 1.0};
constexpr TSceneColor kOpeningColour{1.0, 1.0, 0.0, 1.0};
constexpr double kWheelThickness = 0.005;      // m
constexpr double kSensorSphereRadius = 0.005;  // m
constexpr int kCanSlices = 20;
constexpr int kCanStacks = 10;

// A point of the arena frame in the scene frame.
TSceneVector FromArena(double x, double y, double z) { return {x, z, -y}; }

// How many times a texture repeats over Extent with tiles of Tile: the
// whole number of tiles, at least one (no tile size, or a part smaller than
// a tile, shows the image once).
int TileCount(double Extent, double Tile) {
  if (!(Tile > 0.0)) {
    return 1;
  }
  const double count = std::trunc(Extent / Tile);
  if (!(count >= 1.0)) {
    return 1;
  }
  return count < 1e6 ? static_cast<int>(count) : 1000000;
}

TSceneBox& AddBox(TSceneObject& Parent, double Along, double Across, double Up, TSceneVector At,
                  const std::string& Name = std::string()) {
  auto& box = Parent.AddNew<TSceneBox>(Name);
  box.Width = Along;
  box.Depth = Across;
  box.Height = Up;
  box.Position = At;
  return box;
}

TSceneCylinder& AddCylinder(TSceneObject& Parent, double BottomRadius, double TopRadius, double Height, TSceneVector At,
                            const std::string& Name = std::string()) {
  auto& cylinder = Parent.AddNew<TSceneCylinder>(Name);
  cylinder.BottomRadius = BottomRadius;
  cylinder.TopRadius = TopRadius;
  cylinder.Height = Height;
  cylinder.Position = At;
  return cylinder;
}

// A rectangle Width by Height in its XY plane; Pitch -90 lays it flat,
// facing up, with its Height along arena y.
TSceneRectangle& AddRectangle(TSceneObject& Parent, double Width, double Height, double Pitch, TSceneVector At,
                              int XTiles, int YTiles, const std::string& Name = std::string()) {
  auto& rectangle = Parent.AddNew<TSceneRectangle>(Name);
  rectangle.Width = Width;
  rectangle.Height = Height;
  rectangle.PitchAngle = Pitch;
  rectangle.Position = At;
  rectangle.XTiles = XTiles;
  rectangle.YTiles = YTiles;
  return rectangle;
}

// Height of an object's main part centre above its Position z (m).
double MainPartLift(const TArenaObject& Object) {
  if (dynamic_cast<const TBasicFloor*>(&Object) != nullptr || dynamic_cast<const TWall*>(&Object) != nullptr) {
    return 0.0;
  }
  if (dynamic_cast<const TFloor*>(&Object) != nullptr) {
    return -Object.Height / 2.0;
  }
  if (const auto* opening = dynamic_cast<const TOpening*>(&Object)) {
    return -opening->Height / 2.0 + opening->OpeningBottom / 2.0;
  }
  if (dynamic_cast<const TStandardTable*>(&Object) != nullptr) {
    return Object.Height;
  }
  if (const auto* shelf = dynamic_cast<const TStandardBookShelf*>(&Object)) {
    return shelf->MaterialThickness;
  }
  if (const auto* chair = dynamic_cast<const TOfficeChair*>(&Object)) {
    return chair->SeatHeight / 2.0;
  }
  if (const auto* sofa = dynamic_cast<const TStandardSofa*>(&Object)) {
    return sofa->LegHeight + sofa->BottomPlateThickness / 2.0;
  }
  if (const auto* can = dynamic_cast<const TSoftDrinkCanShape*>(&Object)) {
    return can->LowerSlopedSectionHeight / 2.0;
  }
  return Object.Height / 2.0;  // TCylinderZ
}

// The scene position of an object's main part, from its current Position.
TSceneVector MainPartCentre(const TArenaObject& Object) {
  return FromArena(Object.Position.GetElement(1), Object.Position.GetElement(2),
                   Object.Position.GetElement(3) + MainPartLift(Object));
}

bool IsFloor(const TArenaObject& Object) {
  return dynamic_cast<const TBasicFloor*>(&Object) != nullptr || dynamic_cast<const TFloor*>(&Object) != nullptr;
}

TSceneColor PlainColour(const TArenaObject& Object) {
  return {Object.RGBColor.GetElement(1) / 255.0, Object.RGBColor.GetElement(2) / 255.0,
          Object.RGBColor.GetElement(3) / 255.0, 1.0};
}

}  // namespace

// ---- set-up

TSimulation3DViewer::TSimulation3DViewer(QWidget* Host) : Scene(std::make_unique<TScene>()) {
  CameraTarget = &Scene->Root().AddNew<TSceneDummy>();
  Container = &Scene->Root().AddNew<TSceneDummy>();

  // a point light far up and behind the start, lighting in all directions
  Scene->Light.Position = FromArena(10.0, -30.0, 10.0);
  Scene->Light.SpotCutOff = 180.0;
  Scene->Light.SpotDirection = {0.0, 0.0, 0.0};

  Camera.Position = FromArena(1.0, -0.5, 2.0);
  Camera.Target = CameraTarget;
  Camera.NearPlaneBias = 0.001;
  openingCamera_ = Camera.Position;

  SceneViewer = new TSceneViewer(*Scene, Camera, Host);
  SceneViewer->BackgroundColor = {1.0, 1.0, 1.0, 1.0};
  if (Host != nullptr) {
    SetViewerGeometry(kMargin, kMargin, Host->width() - 2 * kMargin, Host->height() - 2 * kMargin);
  }
  SceneViewer->OnMouseDown = [this](const QMouseEvent& Event) {
    SceneViewerMouseDown(static_cast<int>(Event.position().x()), static_cast<int>(Event.position().y()));
  };
  SceneViewer->OnMouseMove = [this](const QMouseEvent& Event) {
    SceneViewerMouseMove(static_cast<int>(Event.position().x()), static_cast<int>(Event.position().y()),
                         Event.buttons(), Event.modifiers());
  };
  SceneViewer->OnWheel = [this](double Notches) { Zoom(Notches); };
  SceneViewer->OnKey = [this](const QKeyEvent& Event) {
    if (Event.key() != Qt::Key_Home) {
      return false;
    }
    ResetView();
    return true;
  };
  SceneViewer->OnContextClick = [this](const QPoint& Position) {
    QMenu menu(SceneViewer);
    menu.addAction(QStringLiteral("&Reset view"), [this] { ResetView(); })->setShortcut(Qt::Key_Home);
    menu.exec(SceneViewer->mapToGlobal(Position));
  };
  SceneViewer->show();
}

void TSimulation3DViewer::Zoom(double Notches) {
  Camera.AdjustDistanceToTarget(std::pow(1.1, -Notches));
  Redraw();
}

void TSimulation3DViewer::ResetView() {
  Camera.Position = openingCamera_;
  CameraTarget->Position = {0.0, 0.0, 0.0};
  Redraw();
}

void TSimulation3DViewer::SetShowSensors(bool Show) {
  ShowSensors = Show;
  for (const TSensorMarkers& markers : sensorMarkers_) {
    markers.Sphere->Visible = Show;
    markers.Axis->Visible = Show;
    markers.Opening->Visible = Show;
  }
  Redraw();
}

TSimulation3DViewer::~TSimulation3DViewer() {
  // the surface first: it draws the scene until it goes
  delete SceneViewer.data();
}

void TSimulation3DViewer::SetViewerGeometry(int Left, int Top, int Width, int Height) {
  if (SceneViewer != nullptr) {
    SceneViewer->setGeometry(Left, Top, Width > 1 ? Width : 1, Height > 1 ? Height : 1);
  }
}

void TSimulation3DViewer::Redraw() {
  if (SceneViewer != nullptr) {
    SceneViewer->update();
  }
}

void TSimulation3DViewer::SetBackground(const TSceneColor& Colour) {
  if (SceneViewer != nullptr) {
    SceneViewer->BackgroundColor = Colour;
  }
}

void TSimulation3DViewer::SetArena(const TArena* NewArena) { Arena = NewArena; }

// ---- mouse control of the camera

void TSimulation3DViewer::SceneViewerMouseDown(int X, int Y) {
  MouseX = X;
  MouseY = Y;
}

void TSimulation3DViewer::SceneViewerMouseMove(int X, int Y, Qt::MouseButtons Buttons,
                                               Qt::KeyboardModifiers Modifiers) {
  const double dx = MouseX - X;
  const double dy = MouseY - Y;
  MouseX = X;
  MouseY = Y;
  const bool left = Buttons.testFlag(Qt::LeftButton);
  const bool right = Buttons.testFlag(Qt::RightButton);
  const bool plain = Modifiers == Qt::NoModifier;
  if (left && right) {
    // moving the pointer up moves the camera away, 10 % per 20 pixels
    Camera.AdjustDistanceToTarget(std::pow(1.1, dy / 20.0));
  } else if (Buttons == Qt::LeftButton && plain) {
    Camera.MoveAroundTarget(dy, dx);
  } else if (Buttons == Qt::RightButton && plain) {
    // pan: camera and target slide together over the floor plane with the
    // pointer; screen right and up become floor directions
    TSceneVector forward = Camera.TargetPosition() - Camera.Position;
    forward.Y = 0.0;
    const double length = Length(forward);
    forward = length > 1e-9 ? forward * (1.0 / length) : TSceneVector{0.0, 0.0, -1.0};
    const TSceneVector screenRight{-forward.Z, 0.0, forward.X};
    const double ratio = 0.12 * Camera.DistanceToTarget() / Camera.FocalLength;
    const TSceneVector shift = (screenRight * dx + forward * -dy) * ratio;
    CameraTarget->Position = CameraTarget->Position + shift;
    Camera.Position = Camera.Position + shift;
  } else {
    return;
  }
  Redraw();
}

// ---- arena

void TSimulation3DViewer::Paint(TSceneObject& Part, const TArenaObject& Object, const std::string& TextureName) {
  // the plain colour lit: a little of it glows, the rest takes the light,
  // so that the surface keeps its hue (grey material would wash it out)
  const TSceneColor colour = PlainColour(Object);
  Part.Material.Emission = {0.35 * colour.R, 0.35 * colour.G, 0.35 * colour.B, 1.0};
  Part.Material.Ambient = {0.5 * colour.R, 0.5 * colour.G, 0.5 * colour.B, 1.0};
  Part.Material.Diffuse = colour;
  if (!TextureName.empty()) {
    const std::string& fileName = Arena != nullptr ? Arena->FileName() : std::string();
    Part.Material.Texture = Scene->Textures.Load(TextureName, std::filesystem::path(fileName).parent_path());
  }
}

void TSimulation3DViewer::BuildArenaScene() {
  if (Arena == nullptr) {
    return;
  }
  // fog, and the background in the fog's colour (0x00BBGGRR)
  const TAmbience* ambience = Arena->Ambience();
  if (ambience != nullptr && ambience->Fog) {
    const TSceneColor colour{(ambience->FogColor & 0xFF) / 255.0, ((ambience->FogColor >> 8) & 0xFF) / 255.0,
                             ((ambience->FogColor >> 16) & 0xFF) / 255.0, 1.0};
    Scene->Fog = {true, colour, ambience->FogStart, ambience->FogEnd};
    SetBackground(colour);
  } else {
    Scene->Fog.Enabled = false;
    SetBackground({1.0, 1.0, 1.0, 1.0});
  }

  // objects without a name get one that no arena file can contain, so that
  // their parts can be found by name too
  mainParts_.clear();
  for (int i = 1; i <= Arena->NumberOfObjects(); ++i) {
    const TArenaObject& object = Arena->Objects(i);
    TSceneObject* part = BuildArenaObject(object, object.Name.empty() ? Scene->GenerateName() : object.Name);
    mainParts_.push_back({part, MainPartLift(object), !IsFloor(object)});
  }
  Redraw();
}

TSceneObject* TSimulation3DViewer::BuildArenaObject(const TArenaObject& Object, const std::string& Name) {
  const TSceneVector centre = MainPartCentre(Object);
  const double H = Object.Height;

  if (const auto* floor = dynamic_cast<const TBasicFloor*>(&Object)) {
    // a plane on the scene root, outside the container: never moved
    auto& plane =
        AddRectangle(Scene->Root(), floor->Width, floor->Length, -90.0, centre,
                     TileCount(floor->Width, floor->TileWidth), TileCount(floor->Length, floor->TileLength), Name);
    Paint(plane, Object, Object.Texture);
    return &plane;
  }

  if (const auto* slab = dynamic_cast<const TFloor*>(&Object)) {
    auto& box = AddBox(*Container, slab->Width, slab->Length, H, centre, Name);
    Paint(box, Object, Object.Texture);
    if (slab->HasCover) {
      Paint(AddRectangle(box, slab->Width, slab->Length, -90.0, FromArena(0.0, 0.0, 0.55 * H),
                         TileCount(slab->Length, slab->TextureTileLength),
                         TileCount(slab->Width, slab->TextureTileWidth)),
            Object, Object.Texture);
    }
    return &box;
  }

  if (const auto* wall = dynamic_cast<const TWall*>(&Object)) {
    auto& box = AddBox(*Container, wall->Length, wall->Thickness, H, centre, Name);
    box.TurnAngle = Object.Angle;
    box.Material.BlendAdditive = wall->Transparent;
    if (wall->HasWallPaper) {
      Paint(box, Object);
      // the paper on the wall's own +y side, facing away from the wall
      auto& paper =
          AddRectangle(box, wall->Length, H, 0.0, FromArena(0.0, wall->Thickness, 0.0),
                       TileCount(wall->Length, wall->TextureTileLength), TileCount(H, wall->TextureTileHeight));
      paper.TurnAngle = 180.0;
      paper.Material.BlendAdditive = wall->Transparent;
      Paint(paper, Object, Object.Texture);
    } else {
      Paint(box, Object, Object.Texture);
    }
    return &box;
  }

  if (const auto* opening = dynamic_cast<const TOpening*>(&Object)) {
    // the wall below the gap (the named part) and the wall above it
    auto& lower = AddBox(*Container, opening->Length, opening->Thickness, opening->OpeningBottom, centre, Name);
    const double upperHeight = H - opening->OpeningHeight - opening->OpeningBottom;
    auto& upper = AddBox(*Container, opening->Length, opening->Thickness, upperHeight,
                         FromArena(Object.Position.GetElement(1), Object.Position.GetElement(2),
                                   Object.Position.GetElement(3) + H / 2.0 - upperHeight / 2.0));
    for (TSceneBox* part : {&lower, &upper}) {
      part->TurnAngle = Object.Angle;
      part->Material.BlendAdditive = opening->Transparent;
      Paint(*part, Object, Object.Texture);
    }
    return &lower;
  }

  if (const auto* table = dynamic_cast<const TStandardTable*>(&Object)) {
    auto& top = AddBox(*Container, table->Length, table->Width, table->Thickness, centre, Name);
    top.TurnAngle = Object.Angle;
    Paint(top, Object, Object.Texture);
    // legs in the default material, under the top's corners
    for (const double along : {-1.0, 1.0}) {
      for (const double across : {-1.0, 1.0}) {
        AddBox(top, table->LegWidth, table->LegWidth, H,
               FromArena(along * table->Length / 2.0, across * table->Width / 2.0, -H / 2.0));
      }
    }
    return &top;
  }

  if (const auto* shelf = dynamic_cast<const TStandardBookShelf*>(&Object)) {
    const double L = shelf->Length;
    const double W = shelf->Width;
    const double T = shelf->MaterialThickness;
    auto& base = AddBox(*Container, L, W, T, centre, Name);
    base.TurnAngle = Object.Angle;
    Paint(base, Object);
    for (const double along : {-1.0, 1.0}) {
      for (const double across : {-1.0, 1.0}) {
        Paint(AddBox(base, T, T, H, FromArena(along * L / 2.0, across * W / 2.0, H / 2.0)), Object);
      }
    }
    Paint(AddBox(base, L, W, T, FromArena(0.0, 0.0, T + H)), Object);
    // boards spread evenly from the bottom to H; a single one at the bottom
    const int boards = shelf->NumberOfShelves;
    for (int i = 1; i <= boards; ++i) {
      const double z = boards > 1 ? (i - 1) * H / (boards - 1) : 0.0;
      Paint(AddBox(base, L, W, T, FromArena(0.0, 0.0, z)), Object);
    }
    if (shelf->HasSurfaces) {
      AddBox(base, L, T, H, FromArena(0.0, W / 2.0, H / 2.0)).Material.Emission = kBlack;
      Paint(AddBox(base, T, W, H, FromArena(-L / 2.0, 0.0, H / 2.0)), Object);
      Paint(AddBox(base, T, W, H, FromArena(L / 2.0, 0.0, H / 2.0)), Object);
    }
    return &base;
  }

  if (const auto* chair = dynamic_cast<const TOfficeChair*>(&Object)) {
    const double T = chair->MaterialThickness;
    const double S = chair->SeatHeight;
    const double size = chair->SeatSize;
    auto& column = AddCylinder(*Container, T, T, S, centre, Name);
    column.TurnAngle = Object.Angle;
    Paint(column, Object);
    for (const double turn : {45.0, -45.0}) {
      auto& foot = AddBox(column, T, std::sqrt(2.0) * size, T, FromArena(0.0, 0.0, -S / 2.0 + T / 2.0));
      foot.TurnAngle = turn;
      Paint(foot, Object);
    }
    auto& seat = AddBox(column, size, size, T, FromArena(0.0, 0.0, S / 2.0 + T / 2.0));
    seat.Material.Emission = kBlack;
    Paint(AddBox(seat, size, T, H - S, FromArena(0.0, -size / 2.0, T / 2.0 + (H - S) / 2.0)), Object);
    for (const double side : {-1.0, 1.0}) {
      Paint(AddBox(seat, T, size, chair->ArmRestHeight, FromArena(side * size / 2.0, 0.0, chair->ArmRestHeight / 2.0)),
            Object);
    }
    return &column;
  }

  if (const auto* sofa = dynamic_cast<const TStandardSofa*>(&Object)) {
    const double L = sofa->Length;
    const double W = sofa->Width;
    const double B = sofa->BottomPlateThickness;
    const double T = sofa->MaterialThickness;
    const double legHeight = sofa->LegHeight;
    auto& plate = AddBox(*Container, L, W, B, centre, Name);
    plate.TurnAngle = Object.Angle;
    Paint(plate, Object);
    for (const double along : {-1.0, 1.0}) {
      for (const double across : {-1.0, 1.0}) {
        AddCylinder(plate, T / 2.0, T / 2.0, legHeight,
                    FromArena(along * (L / 2.0 - T), across * (W / 2.0 - T), -legHeight / 2.0))
            .Material.Emission = kBlack;
      }
    }
    Paint(AddBox(plate, L, T, H - legHeight, FromArena(0.0, -W / 2.0 - T / 2.0, (H - legHeight) / 2.0 - T / 2.0)),
          Object);
    for (const double side : {-1.0, 1.0}) {
      Paint(AddBox(plate, sofa->ArmRestWidth, W, sofa->ArmRestHeight,
                   FromArena(side * (L / 2.0 + sofa->ArmRestWidth / 2.0), 0.0, B / 2.0)),
            Object);
    }
    // one cushion per seat, side by side; no seats, no cushions
    const int seats = sofa->NumberOfSeats;
    if (seats > 0) {
      const double s = L / seats;
      for (int i = 1; i <= seats; ++i) {
        Paint(AddBox(plate, 0.9 * s, W, sofa->CushionThickness, FromArena(-L / 2.0 + (i - 0.5) * s, 0.0, B / 2.0)),
              Object);
      }
    }
    return &plate;
  }

  if (const auto* can = dynamic_cast<const TSoftDrinkCanShape*>(&Object)) {
    // a can that is a cylinder has the cylinder's radius as its own
    const auto* plainCan = dynamic_cast<const TSoftDrinkCan*>(&Object);
    const auto* cylinderCan = dynamic_cast<const TCylinderZ*>(&Object);
    const double radius = plainCan != nullptr ? plainCan->Radius : cylinderCan != nullptr ? cylinderCan->Radius : 0.0;
    const double lower = can->LowerSlopedSectionHeight;
    const double upper = can->UpperSlopedSectionHeight;
    const double body = H - upper - lower;
    // four sections stacked on the lower slope, each with its own texture
    auto addSection = [&](TSceneObject& Parent, double Bottom, double Top, double Height, TSceneVector At,
                          const std::string& TextureName, const std::string& PartName) -> TSceneCylinder& {
      auto& section = AddCylinder(Parent, Bottom, Top, Height, At, PartName);
      section.Slices = kCanSlices;
      section.Stacks = kCanStacks;
      Paint(section, Object, TextureName);
      return section;
    };
    auto& lowerSlope = addSection(*Container, can->BottomRadius, radius, lower, centre, can->TopBottomTexture, Name);
    lowerSlope.TurnAngle = Object.Angle;
    addSection(lowerSlope, radius, radius, body, FromArena(0.0, 0.0, lower / 2.0 + body / 2.0), Object.Texture, "");
    addSection(lowerSlope, radius, can->TopRadius, upper, FromArena(0.0, 0.0, lower / 2.0 + body + upper / 2.0),
               can->SlopeTexture, "");
    const double lidRadius = 1.05 * can->TopRadius;
    addSection(lowerSlope, lidRadius, lidRadius, 0.2 * upper, FromArena(0.0, 0.0, lower / 2.0 + body + 1.1 * upper),
               can->TopBottomTexture, "");
    return &lowerSlope;
  }

  if (const auto* cylinder = dynamic_cast<const TCylinderZ*>(&Object)) {
    auto& part = AddCylinder(*Container, cylinder->Radius, cylinder->Radius, H, centre, Name);
    part.TurnAngle = Object.Angle;
    Paint(part, Object, Object.Texture);
    return &part;
  }
  return nullptr;
}

void TSimulation3DViewer::UpdateArenaObjects() {
  if (Arena == nullptr) {
    return;
  }
  const int count = std::min(Arena->NumberOfObjects(), static_cast<int>(mainParts_.size()));
  for (int i = 1; i <= count; ++i) {
    const TArenaObject& object = Arena->Objects(i);
    const TMainPart& main = mainParts_[static_cast<std::size_t>(i - 1)];
    // the floor plane, on the scene root, is never moved
    if (main.Part == nullptr || main.Part->Parent() != Container) {
      continue;
    }
    main.Part->Position = FromArena(object.Position.GetElement(1), object.Position.GetElement(2),
                                    object.Position.GetElement(3) + main.Lift);
    if (main.Turns) {
      main.Part->TurnAngle = object.Angle;
    }
  }
  Redraw();
}

std::string TSimulation3DViewer::PartName(int i) const {
  if (i >= 1 && i <= static_cast<int>(mainParts_.size())) {
    if (const TSceneObject* part = mainParts_[static_cast<std::size_t>(i - 1)].Part) {
      return part->Name();
    }
  }
  return Arena != nullptr && i >= 1 && i <= Arena->NumberOfObjects() ? Arena->Objects(i).Name : std::string();
}

// ---- robot

void TSimulation3DViewer::TSensorMarkers::Place(const TSceneVector& SphereAt, double x, double y, double z,
                                                double Direction, double HalfOpening, double Reach, bool Visible) {
  Sphere->Position = SphereAt;
  Axis->Nodes[0] = FromArena(x, y, z);
  Axis->Nodes[1] = FromArena(x + Reach * std::cos(Direction), y + Reach * std::sin(Direction), z);
  Opening->Nodes[0] =
      FromArena(x + Reach * std::cos(Direction + HalfOpening), y + Reach * std::sin(Direction + HalfOpening), z);
  Opening->Nodes[1] = FromArena(x, y, z);
  Opening->Nodes[2] =
      FromArena(x + Reach * std::cos(Direction - HalfOpening), y + Reach * std::sin(Direction - HalfOpening), z);
  Sphere->Visible = Visible;
  Axis->Visible = Visible;
  Opening->Visible = Visible;
}

void TSimulation3DViewer::BuildRobot(const TRobot& Robot) {
  const auto* body = dynamic_cast<const TDifferentiallySteeredBody*>(Robot.Body.get());
  if (body == nullptr) {
    return;
  }
  const double x = body->Coordinates.GetPosition(1);
  const double y = body->Coordinates.GetPosition(2);
  const double R = body->Radius;
  const double H = body->Height;

  // the body stands on the floor; the wheels just outside its sides
  auto& bodyPart = AddCylinder(*Container, R, R, H, FromArena(x, y, H / 2.0),
                               Robot.Name.empty() ? Scene->GenerateName() : Robot.Name);
  robotBody_ = &bodyPart;
  bodyPart.TurnAngle = body->Coordinates.Heading * kDegreesPerRadian;
  bodyPart.Material.Emission = kRobotBodyColour;
  const TWheel* wheels[2] = {&body->RightWheel, &body->LeftWheel};
  const double sides[2] = {-1.0, 1.0};
  for (int k = 0; k < 2; ++k) {
    const double r = wheels[k]->Radius;
    auto& wheel = AddCylinder(bodyPart, r, r, kWheelThickness,
                              FromArena(0.0, sides[k] * (R + kWheelThickness / 2.0), -H / 2.0 + r));
    wheel.PitchAngle = 90.0;  // axis across the robot
    wheel.Material.Emission = kWheelColour;
  }

  // sensor markers from the sensors' mounting, in the container
  sensorMarkers_.clear();
  for (int i = 1; i <= body->Sensors.Count(); ++i) {
    const auto* sensor = dynamic_cast<const TIRSensor*>(&body->Sensors.Items(i));
    if (sensor == nullptr) {
      continue;
    }
    const std::string number = std::to_string(i);
    auto& sphere = Container->AddNew<TSceneSphere>("IRSensorSphere" + number);
    sphere.Radius = kSensorSphereRadius;
    sphere.Material.Emission = kBlack;
    auto& axis = Container->AddNew<TScenePolyline>("IRSensorDir" + number);
    axis.Nodes.resize(2);
    auto& opening = Container->AddNew<TScenePolyline>("IRSensorOpening" + number);
    opening.Nodes.resize(3);
    opening.Stipple = 0xCCCC;
    opening.LineColor = kOpeningColour;

    TSensorMarkers& markers = sensorMarkers_.emplace_back(TSensorMarkers{i, &sphere, &axis, &opening});
    const double h = sensor->RelativePosition.GetElement(3) + H / 2.0;
    markers.Place(FromArena(x + sensor->RelativePosition.GetElement(1), y + sensor->RelativePosition.GetElement(2), h),
                  x, y, h, sensor->RelativeDirection, sensor->OpeningAngle / 2.0, sensor->Range + R, ShowSensors);
  }
  Redraw();
}

void TSimulation3DViewer::UpdateRobot(const TRobot& Robot) {
  const auto* body = dynamic_cast<const TDifferentiallySteeredBody*>(Robot.Body.get());
  if (body == nullptr) {
    return;
  }
  if (robotBody_ != nullptr) {
    robotBody_->Position =
        FromArena(body->Coordinates.GetPosition(1), body->Coordinates.GetPosition(2), body->Height / 2.0);
    robotBody_->TurnAngle = body->Coordinates.Heading * kDegreesPerRadian;
  }

  for (TSensorMarkers& markers : sensorMarkers_) {
    if (markers.Sensor > body->Sensors.Count()) {
      continue;
    }
    const auto* sensor = dynamic_cast<const TIRSensor*>(&body->Sensors.Items(markers.Sensor));
    if (sensor == nullptr) {
      continue;
    }
    const double ax = sensor->AbsolutePosition.GetElement(1);
    const double ay = sensor->AbsolutePosition.GetElement(2);
    const double az = sensor->AbsolutePosition.GetElement(3);
    markers.Place(FromArena(ax, ay, az), ax, ay, az, sensor->AbsoluteDirection, sensor->OpeningAngle / 2.0,
                  sensor->Range, ShowSensors);
    // the sphere glows redder as the reading rises
    markers.Sphere->Material.Emission = {sensor->Reading, 0.0, 0.0, 1.0};
  }
  Redraw();
}

}  // namespace kestrovan
