#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "view3d/SceneMath.h"
#include "view3d/TextureImage.h"

namespace kestrovan {

class TScene;

// Raised when a scene object is given a name that is not an identifier or
// that another object of the scene already has.
class TSceneNameError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// How a surface is coloured: lighting adds Ambient and Diffuse to
// Emission; a texture, when there is one, shows instead, as it is.
struct TMaterial {
  TSceneColor Emission{0.0, 0.0, 0.0, 1.0};
  TSceneColor Ambient{0.2, 0.2, 0.2, 1.0};
  TSceneColor Diffuse{0.4, 0.4, 0.4, 1.0};
  std::shared_ptr<const TTextureImage> Texture;  // none: plain colour
  bool BlendAdditive = false;  // see-through: drawn after the opaque objects, added to what lies behind
};

enum class TSceneObjectKind { Dummy, Box, Cylinder, Sphere, Rectangle, Polyline };

// A node of the scene tree. Position is relative to the parent, in scene
// units (m, Y up); the node is turned by TurnAngle degrees about its Y axis,
// then pitched by PitchAngle degrees about its own X axis. Children move and
// turn with it; an invisible node hides its children too.
class TSceneObject {
 public:
  virtual ~TSceneObject() = default;
  TSceneObject(const TSceneObject&) = delete;
  TSceneObject& operator=(const TSceneObject&) = delete;

  TSceneObjectKind Kind() const { return kind_; }
  const std::string& Name() const { return name_; }
  TSceneObject* Parent() const { return parent_; }
  const std::vector<std::unique_ptr<TSceneObject>>& Children() const { return children_; }

  // A new child of class T named Name (empty: unnamed). Throws
  // TSceneNameError when the scene refuses the name.
  template <class T>
  T& AddNew(const std::string& Name = std::string()) {
    auto child = std::unique_ptr<T>(new T());
    T& result = *child;
    Adopt(std::move(child), Name);
    return result;
  }

  // The first descendant (depth first, in child order) named Name; nullptr
  // when there is none or Name is empty.
  TSceneObject* FindChild(const std::string& Name) const;

  // Translation, turn and pitch of this node relative to its parent.
  TSceneMatrix LocalMatrix() const;
  // LocalMatrix of every ancestor and this node, root first.
  TSceneMatrix AbsoluteMatrix() const;
  TSceneVector AbsolutePosition() const;

  TSceneVector Position;    // m, relative to the parent
  double TurnAngle = 0.0;   // degrees about Y, counter-clockwise seen from above
  double PitchAngle = 0.0;  // degrees about the node's own X axis
  bool Visible = true;
  TMaterial Material;

 protected:
  explicit TSceneObject(TSceneObjectKind Kind) : kind_(Kind) {}

 private:
  friend class TScene;
  void Adopt(std::unique_ptr<TSceneObject> Child, const std::string& Name);

  TSceneObjectKind kind_;
  std::string name_;
  TSceneObject* parent_ = nullptr;
  TScene* scene_ = nullptr;
  std::vector<std::unique_ptr<TSceneObject>> children_;
};

// A node that draws nothing: groups its children, or marks a point.
class TSceneDummy : public TSceneObject {
 public:
  TSceneDummy() : TSceneObject(TSceneObjectKind::Dummy) {}
};

// A box centred on its position: Width along X, Height along Y, Depth
// along Z. A texture is stretched once over every face.
class TSceneBox : public TSceneObject {
 public:
  TSceneBox() : TSceneObject(TSceneObjectKind::Box) {}
  double Width = 1.0;   // m
  double Height = 1.0;  // m
  double Depth = 1.0;   // m
};

// A cylinder or truncated cone centred on its position, its axis along Y,
// closed at both ends.
class TSceneCylinder : public TSceneObject {
 public:
  TSceneCylinder() : TSceneObject(TSceneObjectKind::Cylinder) {}
  double BottomRadius = 0.5;  // m, at Y = -Height/2
  double TopRadius = 0.5;     // m, at Y = +Height/2
  double Height = 1.0;        // m
  int Slices = 24;
  int Stacks = 1;
};

class TSceneSphere : public TSceneObject {
 public:
  TSceneSphere() : TSceneObject(TSceneObjectKind::Sphere) {}
  double Radius = 0.5;  // m
  int Slices = 16;
  int Stacks = 8;
};

// A flat rectangle in the node's XY plane, centred on its position and
// facing +Z: Width along X, Height along Y. A texture repeats XTiles times
// along X and YTiles times along Y.
class TSceneRectangle : public TSceneObject {
 public:
  TSceneRectangle() : TSceneObject(TSceneObjectKind::Rectangle) {}
  double Width = 1.0;   // m
  double Height = 1.0;  // m
  int XTiles = 1;
  int YTiles = 1;
};

// Straight lines through Nodes (relative to the node's position), unlit,
// in LineColor, dashed by Stipple (one bit per pixel, 0xFFFF solid).
class TScenePolyline : public TSceneObject {
 public:
  TScenePolyline() : TSceneObject(TSceneObjectKind::Polyline) {}
  std::vector<TSceneVector> Nodes;
  TSceneColor LineColor{1.0, 1.0, 1.0, 1.0};
  std::uint16_t Stipple = 0xFFFF;
  double LineWidth = 1.0;  // pixels
};

// The eye. Position is in scene coordinates; the camera looks at Target's
// absolute position (the scene origin without a target).
class TSceneCamera {
 public:
  // Orbits the target: the camera's elevation changes by PitchDelta degrees
  // (kept below the poles) and it turns about the target's vertical by
  // TurnDelta degrees. Nothing happens while the camera sits on the target.
  void MoveAroundTarget(double PitchDelta, double TurnDelta);
  // Multiplies the distance to the target by Factor (> 0).
  void AdjustDistanceToTarget(double Factor);
  double DistanceToTarget() const;
  TSceneVector TargetPosition() const;

  // The world-to-eye matrix (OpenGL's eye frame: looking along -Z, Y up).
  TSceneMatrix ViewMatrix() const;
  // The perspective projection for a view Width by Height pixels.
  TSceneMatrix ProjectionMatrix(int Width, int Height) const;
  // Where the scene point Point appears in a view Width by Height pixels,
  // in pixels from the top left corner; false when it lies behind the eye.
  bool Project(const TSceneVector& Point, int Width, int Height, double& PixelX, double& PixelY) const;
  // The near clipping distance: NearPlaneBias times the distance to the
  // target, kept above a small minimum.
  double NearPlane() const;
  // The angle (degrees) that the shorter side of the view spans.
  double FieldOfView() const;

  TSceneVector Position{0.0, 0.0, 1.0};  // m, scene frame
  const TSceneObject* Target = nullptr;
  double NearPlaneBias = 0.001;
  double FocalLength = 50.0;   // 35 mm-film equivalent, mm
  double DepthOfView = 100.0;  // m, far clipping distance
};

// A point light in the scene frame.
struct TSceneLight {
  TSceneVector Position{0.0, 10.0, 0.0};
  TSceneVector SpotDirection{0.0, 0.0, -1.0};
  double SpotCutOff = 180.0;  // degrees; 180 lights every direction
  TSceneColor Diffuse{1.0, 1.0, 1.0, 1.0};
  bool Enabled = true;
};

// Linear fog by distance from the eye: none before Start, complete at End.
struct TSceneFog {
  bool Enabled = false;
  TSceneColor Color{1.0, 1.0, 1.0, 1.0};
  double Start = 0.0;  // m
  double End = 1.0;    // m
};

// The scene: a tree of objects under Root, one light, fog, and the texture
// images its materials use. Object names are identifiers, unique in the
// whole scene; empty names are allowed any number of times.
class TScene {
 public:
  TScene();
  TScene(const TScene&) = delete;
  TScene& operator=(const TScene&) = delete;

  TSceneDummy& Root() { return *root_; }
  const TSceneDummy& Root() const { return *root_; }

  // A name that no identifier can equal, accepted once by the next AddNew.
  // For objects that must be found again but have no name of their own.
  std::string GenerateName();

  TSceneLight Light;
  TSceneFog Fog;
  TTextureLibrary Textures;

 private:
  friend class TSceneObject;
  // Records Name for a new object or throws TSceneNameError.
  void RegisterName(const std::string& Name);

  std::unique_ptr<TSceneDummy> root_;
  std::set<std::string> names_;
  std::set<std::string> generatedNames_;  // issued, not yet used
  int generatedCount_ = 0;
};

// Whether Name is an identifier: a letter or '_', then letters, digits and '_'.
bool IsValidIdentifier(const std::string& Name);

}  // namespace kestrovan
