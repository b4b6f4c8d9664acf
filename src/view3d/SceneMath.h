#pragma once

#include <array>
#include <cstddef>

namespace kestrovan {

// A point or direction of the scene frame: X and Z on the floor, Y up (m).
struct TSceneVector {
  double X = 0.0;
  double Y = 0.0;
  double Z = 0.0;
};

TSceneVector operator+(const TSceneVector& a, const TSceneVector& b);
TSceneVector operator-(const TSceneVector& a, const TSceneVector& b);
TSceneVector operator*(const TSceneVector& a, double s);
double Dot(const TSceneVector& a, const TSceneVector& b);
TSceneVector Cross(const TSceneVector& a, const TSceneVector& b);
double Length(const TSceneVector& a);

// A colour, each channel 0..1.
struct TSceneColor {
  double R = 0.0;
  double G = 0.0;
  double B = 0.0;
  double A = 1.0;
};

// A 4 by 4 transform in OpenGL's column-major order: element (row r,
// column c) is at index 4c + r.
class TSceneMatrix {
 public:
  TSceneMatrix();  // identity

  static TSceneMatrix Translation(const TSceneVector& Offset);
  // Turn by Degrees about Y: X turns towards -Z.
  static TSceneMatrix RotationY(double Degrees);
  // Turn by Degrees about X: Y turns towards +Z.
  static TSceneMatrix RotationX(double Degrees);

  double At(int Row, int Column) const { return m_[static_cast<std::size_t>(4 * Column + Row)]; }
  double& At(int Row, int Column) { return m_[static_cast<std::size_t>(4 * Column + Row)]; }
  const double* Data() const { return m_.data(); }

  TSceneMatrix operator*(const TSceneMatrix& Right) const;
  // The transformed point (w = 1; no division).
  TSceneVector TransformPoint(const TSceneVector& Point) const;

 private:
  std::array<double, 16> m_{};
};

}  // namespace kestrovan
