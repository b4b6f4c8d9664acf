#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "numerics/Matrices.h"
#include "robot/OwningList.h"

namespace kestrovan {

struct TCylinderView;

// Where a body puts its sensors in one step: the body's position (m), the
// elevation of the sensor plane (m), its heading (rad) and the heading's
// cosine and sine, computed once by the body and shared by all its sensors.
struct TSensorPose {
  double X = 0.0;
  double Y = 0.0;
  double Elevation = 0.0;
  double Heading = 0.0;
  double CosHeading = 1.0;
  double SinHeading = 0.0;
};

// Base of the sensors' parameter classes.
class TSensorParameters {
 public:
  virtual ~TSensorParameters() = default;
};

// A sensor mounted on a body: computes a reading from the arena's cylinders
// at its pose.
class TSensor {
 public:
  virtual ~TSensor() = default;

  // A deep copy of the same class.
  virtual std::unique_ptr<TSensor> Copy() const = 0;
  // Makes this sensor what Source.Copy() returns, in its own storage;
  // false, and the sensor unchanged, when it cannot take Source.
  virtual bool AssignCopyOf(const TSensor& Source) {
    static_cast<void>(Source);
    return false;
  }
  // A new matrix holding the reading (1 by 1 for a scalar sensor).
  virtual TMatrix GetReading() const = 0;
  // The reading as one number, without allocating (what the brain reads).
  virtual double GetScalarReading() const = 0;
  // Computes the reading from the cylinders (their constants and the
  // evaluation's state) at the sensor's current pose.
  virtual void Update(const TCylinderView& Cylinders) = 0;
  // Clears the reading.
  virtual void Reset() = 0;
  // Moves the sensor with its body: the body's position (m), elevation of
  // the sensor plane (m) and heading (rad). Sensors that have no pose ignore it.
  virtual void SetPose(double X, double Y, double Elevation, double Heading);
  // SetPose with the heading's cosine and sine given (CosHeading must be
  // cos(Heading) and SinHeading sin(Heading), as the C library gives them);
  // by default the four-number SetPose.
  virtual void Place(const TSensorPose& Pose);
  // A disc (centre X, Y and radius, m, arena frame) outside which the sensor
  // sees no part of any cylinder at its current pose: a cylinder of radius r
  // whose centre lies farther than Radius + r from (X, Y) leaves the reading
  // as it is. False for a sensor without one.
  virtual bool SensingDisc(double& X, double& Y, double& Radius) const {
    static_cast<void>(X);
    static_cast<void>(Y);
    static_cast<void>(Radius);
    return false;
  }
  // Update when only the cylinders at the indices in Candidates (in
  // increasing order) can be seen (every other one lies outside
  // SensingDisc): the same reading, sooner. By default Update.
  virtual void UpdateAmong(const TCylinderView& Cylinders, std::span<const std::uint32_t> Candidates) {
    static_cast<void>(Candidates);
    Update(Cylinders);
  }

 protected:
  TSensor() = default;
  TSensor(const TSensor&) = default;
  TSensor& operator=(const TSensor&) = delete;
};

// An owning, 1-based list of sensors; Add stores a copy of its argument.
class TSensors : public TOwningList<TSensor> {};

}  // namespace kestrovan
