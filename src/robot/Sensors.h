#pragma once

#include <memory>
#include <vector>

#include "numerics/Matrices.h"

namespace kestrovan {

class TArena;

// Base of the sensors' parameter classes.
class TSensorParameters {
 public:
  virtual ~TSensorParameters() = default;
};

// A sensor mounted on a body: computes a reading from the arena at its pose.
class TSensor {
 public:
  virtual ~TSensor() = default;

  // A deep copy of the same class.
  virtual std::unique_ptr<TSensor> Copy() const = 0;
  // A new matrix holding the reading (1 by 1 for a scalar sensor).
  virtual TMatrix GetReading() const = 0;
  // The reading as one number, without allocating (what the brain reads).
  virtual double GetScalarReading() const = 0;
  // Computes the reading from the arena at the sensor's current pose.
  virtual void Update(const TArena& Arena) = 0;
  // Clears the reading.
  virtual void Reset() = 0;
  // Moves the sensor with its body: the body's position (m), elevation of
  // the sensor plane (m) and heading (rad). Sensors that have no pose ignore it.
  virtual void SetPose(double X, double Y, double Elevation, double Heading);

 protected:
  TSensor() = default;
  TSensor(const TSensor&) = default;
  TSensor& operator=(const TSensor&) = delete;
};

// An owning, 1-based list of sensors; Add stores a copy of its argument.
class TSensors {
 public:
  TSensors() = default;
  // Copies of all of Source's sensors, in order.
  TSensors(const TSensors& Source);
  TSensors& operator=(const TSensors&) = delete;

  int Count() const { return static_cast<int>(items_.size()); }
  TSensor& Items(int i) { return *items_[static_cast<std::size_t>(i - 1)]; }
  const TSensor& Items(int i) const { return *items_[static_cast<std::size_t>(i - 1)]; }
  // Appends Sensor's own Copy; the caller keeps Sensor.
  void Add(const TSensor& Sensor);

 private:
  std::vector<std::unique_ptr<TSensor>> items_;
};

}  // namespace kestrovan
