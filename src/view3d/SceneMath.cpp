#include "view3d/SceneMath.h"

#include <cmath>
#include <numbers>

namespace kestrovan {

TSceneVector operator+(const TSceneVector& a, const TSceneVector& b) { return {a.X + b.X, a.Y + b.Y, a.Z + b.Z}; }
TSceneVector operator-(const TSceneVector& a, const TSceneVector& b) { return {a.X - b.X, a.Y - b.Y, a.Z - b.Z}; }
TSceneVector operator*(const TSceneVector& a, double s) { return {a.X * s, a.Y * s, a.Z * s}; }
double Dot(const TSceneVector& a, const TSceneVector& b) { return a.X * b.X + a.Y * b.Y + a.Z * b.Z; }
TSceneVector Cross(const TSceneVector& a, const TSceneVector& b) {
  return {a.Y * b.Z - a.Z * b.Y, a.Z * b.X - a.X * b.Z, a.X * b.Y - a.Y * b.X};
}
double Length(const TSceneVector& a) { return std::sqrt(Dot(a, a)); }

TSceneMatrix::TSceneMatrix() {
  for (int i = 0; i < 4; ++i) {
    At(i, i) = 1.0;
  }
}

TSceneMatrix TSceneMatrix::Translation(const TSceneVector& Offset) {
  TSceneMatrix m;
  m.At(0, 3) = Offset.X;
  m.At(1, 3) = Offset.Y;
  m.At(2, 3) = Offset.Z;
  return m;
}

namespace {

// A turn by Degrees that takes axis First towards axis Second (0 X, 1 Y, 2 Z).
TSceneMatrix Rotation(double Degrees, int First, int Second) {
  const double a = Degrees * std::numbers::pi / 180.0;
  const double c = std::cos(a);
  const double s = std::sin(a);
  TSceneMatrix m;
  m.At(First, First) = c;
  m.At(First, Second) = -s;
  m.At(Second, First) = s;
  m.At(Second, Second) = c;
  return m;
}

}  // namespace

TSceneMatrix TSceneMatrix::RotationY(double Degrees) { return Rotation(Degrees, 2, 0); }

TSceneMatrix TSceneMatrix::RotationX(double Degrees) { return Rotation(Degrees, 1, 2); }

TSceneMatrix TSceneMatrix::operator*(const TSceneMatrix& Right) const {
  TSceneMatrix product;
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      double sum = 0.0;
      for (int k = 0; k < 4; ++k) {
        sum += At(r, k) * Right.At(k, c);
      }
      product.At(r, c) = sum;
    }
  }
  return product;
}

TSceneVector TSceneMatrix::TransformPoint(const TSceneVector& Point) const {
  return {At(0, 0) * Point.X + At(0, 1) * Point.Y + At(0, 2) * Point.Z + At(0, 3),
          At(1, 0) * Point.X + At(1, 1) * Point.Y + At(1, 2) * Point.Z + At(1, 3),
          At(2, 0) * Point.X + At(2, 1) * Point.Y + At(2, 2) * Point.Z + At(2, 3)};
}

}  // namespace kestrovan
