#pragma once

#include <QPointer>
#include <Qt>
#include <memory>
#include <string>
#include <vector>

#include "view3d/Scene.h"
#include "view3d/SceneViewer.h"

class QWidget;

namespace kestrovan {

class TArena;
class TArenaObject;
class TRobot;

// The 3D view of an arena and a robot, drawn on a surface inside a host
// panel. The arena frame (x, y on the floor, z up) maps to the scene frame
// as (X, Y, Z) = (x, z, -y); an Angle of the arena turns about scene Y by
// the same number of degrees, in the same sense.
class TSimulation3DViewer {
 public:
  // Builds the empty scene, the camera, the light and the drawing surface,
  // which fills Host but for a margin of 20 pixels.
  explicit TSimulation3DViewer(QWidget* Host);
  ~TSimulation3DViewer();
  TSimulation3DViewer(const TSimulation3DViewer&) = delete;
  TSimulation3DViewer& operator=(const TSimulation3DViewer&) = delete;

  // Keeps a reference to the arena drawn; the caller keeps it alive.
  void SetArena(const TArena* Arena);
  // Applies the arena's fog and creates the parts of every arena object.
  // Throws TSceneNameError when an object's name is refused.
  void BuildArenaScene();
  // Moves every arena object's main part to the object's current position
  // and angle.
  void UpdateArenaObjects();
  // Creates the robot's body, wheels and sensor markers.
  void BuildRobot(const TRobot& Robot);
  // Moves the parts BuildRobot made to Robot's current pose, colours the
  // sensor spheres by their readings and shows or hides the markers by
  // ShowSensors.
  void UpdateRobot(const TRobot& Robot);

  // Places the drawing surface in the host panel (pixels).
  void SetViewerGeometry(int Left, int Top, int Width, int Height);

  // The camera's mouse control: a press records the pointer; a move with
  // both buttons scales the distance, with the left button alone orbits,
  // with the right button alone pans the target across the floor.
  void SceneViewerMouseDown(int X, int Y);
  void SceneViewerMouseMove(int X, int Y, Qt::MouseButtons Buttons, Qt::KeyboardModifiers Modifiers);
  // The wheel: each notch away from the user brings the camera 10 % nearer
  // its target, each notch towards the user takes it 10 % farther.
  void Zoom(double Notches);
  // Back to the camera and target of the opening view (the Home key and
  // the surface's context menu).
  void ResetView();
  // Shows or hides the sensor markers and redraws at once.
  void SetShowSensors(bool Show);

  // The scene name of arena object i's main part (1-based), after
  // BuildArenaScene: its Name, or a generated one when that is empty.
  std::string PartName(int i) const;

  std::unique_ptr<TScene> Scene;
  TSceneCamera Camera;
  TSceneDummy* CameraTarget = nullptr;  // at the scene origin; the camera looks at it
  TSceneDummy* Container = nullptr;     // every arena object but the floor plane, and the robot
  QPointer<TSceneViewer> SceneViewer;   // a child of the host panel
  const TArena* Arena = nullptr;        // not owned
  bool ShowSensors = true;              // sensor markers visible; applied at BuildRobot and UpdateRobot
  int MouseX = 0;                       // last pointer position on the surface, pixels
  int MouseY = 0;

 private:
  // Builds Object's parts; returns the main part, named Name.
  TSceneObject* BuildArenaObject(const TArenaObject& Object, const std::string& Name);
  // Emission := the object's plain colour; the texture named TextureName,
  // when not empty and readable, is shown instead.
  void Paint(TSceneObject& Part, const TArenaObject& Object, const std::string& TextureName = std::string());
  // Asks the surface to repaint when the window next processes its events.
  void Redraw();
  void SetBackground(const TSceneColor& Colour);

  // One IR sensor's markers: a sphere, the sensor's axis and its dashed
  // opening wedge.
  struct TSensorMarkers {
    int Sensor;  // 1-based index in the body's sensor list
    TSceneSphere* Sphere;
    TScenePolyline* Axis;
    TScenePolyline* Opening;
    // The sphere at SphereAt; the axis from the arena point (x, y, z) over
    // Reach along Direction (radians), the wedge HalfOpening either side.
    void Place(const TSceneVector& SphereAt, double x, double y, double z, double Direction, double HalfOpening,
               double Reach, bool Visible);
  };

  // An arena object's main part and where it sits on the object.
  struct TMainPart {
    TSceneObject* Part;  // nullptr: none built
    double Lift;         // m, of the part's centre above the object's Position z
    bool Turns;          // false for floors, which keep their build angle
  };

  // The parts the updates move, kept when they are built.
  std::vector<TMainPart> mainParts_;  // per arena object, in list order
  TSceneObject* robotBody_ = nullptr;
  std::vector<TSensorMarkers> sensorMarkers_;
  TSceneVector openingCamera_;  // the camera's position in the opening view
};

}  // namespace kestrovan
