#include "view3d/Scene.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kestrovan {

namespace {

constexpr double kDegrees = 180.0 / std::numbers::pi;
constexpr double kMaximumElevation = 89.0;  // degrees; the orbit stops short of the poles
constexpr double kMinimumNearPlane = 1e-5;  // m

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Clip coordinates (x, y, z, w) of a point under Matrix.
std::array<double, 4> ToClip(const TSceneMatrix& Matrix, const TSceneVector& Point) {
  std::array<double, 4> clip{};
  for (int r = 0; r < 4; ++r) {
    clip[static_cast<std::size_t>(r)] =
        Matrix.At(r, 0) * Point.X + Matrix.At(r, 1) * Point.Y + Matrix.At(r, 2) * Point.Z + Matrix.At(r, 3);
  }
  return clip;
}

}  // namespace

bool IsValidIdentifier(const std::string& Name) {
  if (Name.empty() || !IsLetter(Name[0])) {
    return false;
  }
  return std::all_of(Name.begin() + 1, Name.end(), [](char c) { return IsLetter(c) || IsDigit(c); });
}

// ---- scene objects

void TSceneObject::Adopt(std::unique_ptr<TSceneObject> Child, const std::string& Name) {
  scene_->RegisterName(Name);
  Child->name_ = Name;
  Child->parent_ = this;
  Child->scene_ = scene_;
  children_.push_back(std::move(Child));
}

TSceneObject* TSceneObject::FindChild(const std::string& Name) const {
  if (Name.empty()) {
    return nullptr;
  }
  for (const auto& child : children_) {
    if (child->name_ == Name) {
      return child.get();
    }
    if (TSceneObject* found = child->FindChild(Name)) {
      return found;
    }
  }
  return nullptr;
}

TSceneMatrix TSceneObject::LocalMatrix() const {
  return TSceneMatrix::Translation(Position) * TSceneMatrix::RotationY(TurnAngle) * TSceneMatrix::RotationX(PitchAngle);
}

TSceneMatrix TSceneObject::AbsoluteMatrix() const {
  return parent_ == nullptr ? LocalMatrix() : parent_->AbsoluteMatrix() * LocalMatrix();
}

TSceneVector TSceneObject::AbsolutePosition() const { return AbsoluteMatrix().TransformPoint({}); }

// ---- camera

TSceneVector TSceneCamera::TargetPosition() const {
  return Target == nullptr ? TSceneVector{} : Target->AbsolutePosition();
}

double TSceneCamera::DistanceToTarget() const { return Length(Position - TargetPosition()); }

void TSceneCamera::MoveAroundTarget(double PitchDelta, double TurnDelta) {
  const TSceneVector target = TargetPosition();
  const TSceneVector offset = Position - target;
  const double distance = Length(offset);
  if (!(distance > 0.0) || !std::isfinite(PitchDelta) || !std::isfinite(TurnDelta)) {
    return;
  }
  // elevation above the target's horizontal plane and the horizontal direction
  const double elevation = std::asin(std::clamp(offset.Y / distance, -1.0, 1.0)) * kDegrees;
  const double horizontal = std::hypot(offset.X, offset.Z);
  double dirX = 0.0;
  double dirZ = 1.0;
  if (horizontal > 0.0) {
    dirX = offset.X / horizontal;
    dirZ = offset.Z / horizontal;
  }
  const double newElevation = std::clamp(elevation + PitchDelta, -kMaximumElevation, kMaximumElevation) / kDegrees;
  const double turn = TurnDelta / kDegrees;
  const double turnedX = dirX * std::cos(turn) + dirZ * std::sin(turn);
  const double turnedZ = -dirX * std::sin(turn) + dirZ * std::cos(turn);
  const double newHorizontal = distance * std::cos(newElevation);
  Position = target + TSceneVector{turnedX * newHorizontal, distance * std::sin(newElevation), turnedZ * newHorizontal};
}

void TSceneCamera::AdjustDistanceToTarget(double Factor) {
  if (!(Factor > 0.0) || !std::isfinite(Factor)) {
    return;
  }
  const TSceneVector target = TargetPosition();
  Position = target + (Position - target) * Factor;
}

double TSceneCamera::NearPlane() const {
  const double nearPlane = NearPlaneBias * DistanceToTarget();
  return nearPlane > kMinimumNearPlane ? nearPlane : kMinimumNearPlane;
}

double TSceneCamera::FieldOfView() const {
  // 60 degrees at the standard focal length of 50 mm
  const double focalLength = FocalLength > 0.0 ? FocalLength : 50.0;
  return 2.0 * std::atan(std::tan(std::numbers::pi / 6.0) * 50.0 / focalLength) * kDegrees;
}

TSceneMatrix TSceneCamera::ViewMatrix() const {
  const TSceneVector target = TargetPosition();
  TSceneVector forward = target - Position;
  double forwardLength = Length(forward);
  if (!(forwardLength > 0.0)) {
    forward = {0.0, 0.0, -1.0};
    forwardLength = 1.0;
  }
  forward = forward * (1.0 / forwardLength);
  // up is the scene's Y, or -Z when looking straight up or down
  TSceneVector side = Cross(forward, {0.0, 1.0, 0.0});
  if (Length(side) < 1e-9) {
    side = Cross(forward, {0.0, 0.0, -1.0});
  }
  side = side * (1.0 / Length(side));
  const TSceneVector up = Cross(side, forward);
  TSceneMatrix view;
  const TSceneVector rows[3] = {side, up, forward * -1.0};
  for (int r = 0; r < 3; ++r) {
    view.At(r, 0) = rows[r].X;
    view.At(r, 1) = rows[r].Y;
    view.At(r, 2) = rows[r].Z;
    view.At(r, 3) = -Dot(rows[r], Position);
  }
  return view;
}

TSceneMatrix TSceneCamera::ProjectionMatrix(int Width, int Height) const {
  const double width = Width > 0 ? Width : 1;
  const double height = Height > 0 ? Height : 1;
  const double aspect = width / height;
  // the shorter side of the view spans the field of view
  double tanHalfY = std::tan(FieldOfView() / 2.0 / kDegrees);
  if (height > width) {
    tanHalfY = tanHalfY * height / width;
  }
  const double nearPlane = NearPlane();
  const double farPlane = DepthOfView > nearPlane ? DepthOfView : nearPlane * 2.0;
  TSceneMatrix projection;
  projection.At(0, 0) = 1.0 / (tanHalfY * aspect);
  projection.At(1, 1) = 1.0 / tanHalfY;
  projection.At(2, 2) = (farPlane + nearPlane) / (nearPlane - farPlane);
  projection.At(2, 3) = 2.0 * farPlane * nearPlane / (nearPlane - farPlane);
  projection.At(3, 2) = -1.0;
  projection.At(3, 3) = 0.0;
  return projection;
}

bool TSceneCamera::Project(const TSceneVector& Point, int Width, int Height, double& PixelX, double& PixelY) const {
  const auto clip = ToClip(ProjectionMatrix(Width, Height) * ViewMatrix(), Point);
  if (!(clip[3] > 0.0)) {
    return false;
  }
  PixelX = (clip[0] / clip[3] + 1.0) / 2.0 * Width;
  PixelY = (1.0 - clip[1] / clip[3]) / 2.0 * Height;
  return true;
}

// ---- scene

TScene::TScene() : root_(std::make_unique<TSceneDummy>()) { root_->scene_ = this; }

std::string TScene::GenerateName() {
  // '#' never appears in an identifier, so no given name can clash
  std::string name = "#";
  name += std::to_string(++generatedCount_);
  generatedNames_.insert(name);
  return name;
}

void TScene::RegisterName(const std::string& Name) {
  if (Name.empty()) {
    return;
  }
  if (!IsValidIdentifier(Name)) {
    // a generated name is accepted once, for the object it was made for
    if (generatedNames_.erase(Name) == 0) {
      throw TSceneNameError("''" + Name + "'' is not a valid component name");
    }
  } else if (names_.count(Name) != 0) {
    throw TSceneNameError("A component named " + Name + " already exists");
  }
  names_.insert(Name);
}

}  // namespace kestrovan
