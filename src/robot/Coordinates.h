#pragma once

namespace kestrovan {

// The planar state of a body in the arena frame; all zero when created.
class TCoordinates {
 public:
  // Component i of the position (m) or velocity (m/s): 1 = x, 2 = y.
  double GetPosition(int i) const { return position_[i]; }
  void SetPosition(int i, double Value) { position_[i] = Value; }
  double GetVelocity(int i) const { return velocity_[i]; }
  void SetVelocity(int i, double Value) { velocity_[i] = Value; }

  double Speed = 0.0;            // m/s, signed, along the heading
  double Heading = 0.0;          // rad, kept in [-pi, pi]
  double AngularVelocity = 0.0;  // rad/s

 private:
  double position_[3] = {0.0, 0.0, 0.0};  // index 0 unused
  double velocity_[3] = {0.0, 0.0, 0.0};  // index 0 unused
};

}  // namespace kestrovan
