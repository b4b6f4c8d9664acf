#pragma once

#include <memory>
#include <string>

namespace kestrovan {

class TSensors;
class TMotors;
class TRandomGenerator;

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
  // Makes this brain what Source.Copy() returns, in its own storage (its
  // genome's); false, and the brain unchanged, when it cannot take Source.
  virtual bool AssignCopyOf(const TBrain& Source) {
    static_cast<void>(Source);
    return false;
  }
  // Reads the sensors' current readings.
  virtual void ReadInputs(const TSensors& Sensors) = 0;
  // Gives the motors their signals.
  virtual void SetMotorSignals(TMotors& Motors) const = 0;
  // Advances the controller's state by one step.
  virtual void UpdateState(double TimeStep) = 0;
  // Changes the genome in place.
  virtual void Mutate() = 0;
  // Mutate drawing from Generator; a brain that draws only through Random
  // ignores it.
  virtual void MutateFrom(TRandomGenerator& Generator) {
    static_cast<void>(Generator);
    Mutate();
  }
  // Returns to the start state.
  virtual void Reset() = 0;
  // Called by a simulation when it takes the robot for an evaluation (after
  // Reset): a brain may prepare here what stays fixed while it is evaluated.
  virtual void BeginEvaluation() {}

  // Throws std::invalid_argument when the brain cannot drive a body with
  // these numbers of sensors and motors; accepts any body by default.
  virtual void CheckFits(int SensorCount, int MotorCount) const {
    static_cast<void>(SensorCount);
    static_cast<void>(MotorCount);
  }
  // Appends the brain's own section of a new-best file, lines ending in
  // CR LF; a brain without a readable form appends nothing.
  virtual void AppendDescription(std::string& Text) const { static_cast<void>(Text); }
  // Appends the brain's own section of a brain file: a TOML table [brain]
  // with its kind, its shape and every gene exactly, lines ending in LF;
  // false (and nothing appended) for a brain that cannot be stored.
  virtual bool AppendExactSection(std::string& Text) const {
    static_cast<void>(Text);
    return false;
  }

 protected:
  TBrain() = default;
  TBrain(const TBrain&) = default;
  TBrain& operator=(const TBrain&) = delete;
};

// Makes the brains of a run's population, one new random brain per call, in
// agent order. The run checks the factory once before it draws anything.
class TBrainFactory {
 public:
  virtual ~TBrainFactory() = default;

  // Throws std::invalid_argument for parameters no brain could be made from.
  virtual void Validate() const = 0;
  // A new random brain whose draws come from Generator.
  virtual std::unique_ptr<TBrain> MakeBrain(TRandomGenerator& Generator) const = 0;
};

}  // namespace kestrovan
