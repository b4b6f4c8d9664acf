#pragma once

namespace kestrovan {

// A wheel of a differentially steered body.
class TWheel {
 public:
  TWheel() { SetRadius(0.5); }

  // Radius := r and the position's z := r.
  void SetRadius(double r) {
    Radius = r;
    Position[2] = r;
  }
  // RotationAngle advances by AngularVelocity * TimeStep, wrapped once into [-pi, pi].
  void Rotate(double TimeStep);

  double Radius = 0.5;                   // m
  double AngularVelocity = 0.0;          // rad/s, spin rate
  double RotationAngle = 0.0;            // rad, in [-pi, pi]
  double Position[3] = {0.0, 0.0, 0.0};  // x, y, z in the arena frame (0-based)
};

}  // namespace kestrovan
