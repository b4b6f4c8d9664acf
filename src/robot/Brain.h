#pragma once

#include <memory>

namespace kestrovan {

class TSensors;
class TMotors;

// Base of the brains' parameter classes.
class TBrainParameters {
 public:
  virtual ~TBrainParameters() = default;
};

// A robot's controller.
class TBrain {
 public:
  virtual ~TBrain() = default;

  // A deep copy of the same class.
  virtual std::unique_ptr<TBrain> Copy() const = 0;
  // Reads the sensors' current readings.
  virtual void ReadInputs(const TSensors& Sensors) = 0;
  // Gives the motors their signals.
  virtual void SetMotorSignals(TMotors& Motors) const = 0;
  // Advances the controller's state by one step.
  virtual void UpdateState(double TimeStep) = 0;
  // Changes the genome in place.
  virtual void Mutate() = 0;
  // Returns to the start state.
  virtual void Reset() = 0;

 protected:
  TBrain() = default;
  TBrain(const TBrain&) = default;
  TBrain& operator=(const TBrain&) = delete;
};

}  // namespace kestrovan
