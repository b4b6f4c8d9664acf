#pragma once

#include <cstdint>
#include <vector>

#include "numerics/Matrices.h"
#include "robot/Brain.h"

namespace kestrovan {

// Parameters of a finite-state-machine brain.
class TFSMBrainParameters : public TBrainParameters {
 public:
  std::int32_t NumberOfStates = 5;      // S
  std::int32_t NumberOfConditions = 3;  // K, transitions per state
  std::int32_t NumberOfInputs = 6;      // N = number of sensors + 1 (their mean)
  double MutationRate = 0.04;
  double CreepProbability = 0.5;
  double CreepRate = 0.05;

  // Throws std::invalid_argument for NumberOfStates below 1,
  // NumberOfConditions below 0, NumberOfInputs below 2 (one sensor and the
  // mean), a genome too large to allocate, or a negative (or NaN) mutation
  // or creep rate.
  void Validate() const;
};

// The robot's controller and genome: a finite-state machine whose every
// number is a gene in [0, 1). Row q of the S by 5K+6 Genome describes state
// q: the two motor signals (2g - 1), four constants, and K conditions of
// four input indices and a target state each. Condition c holds when
// s[i] > s[j] and s[k] > s[l]; the first that holds is taken.
class TFSMBrain : public TBrain {
 public:
  // A random brain: every gene from Random, row by row; then both motor
  // genes of state 1 are redrawn into [0.5, 1). Validates the parameters
  // first and draws nothing when they are refused.
  explicit TFSMBrain(const TFSMBrainParameters& Parameters);
  // The same, drawing from Generator.
  TFSMBrain(const TFSMBrainParameters& Parameters, TRandomGenerator& Generator);
  TFSMBrain(const TFSMBrain& Source);

  std::unique_ptr<TBrain> Copy() const override;
  // The genome and state copied into this brain's storage, the decoded
  // conditions to be decoded afresh; false unless both are of exactly this class.
  bool AssignCopyOf(const TBrain& Source) override;
  void ReadInputs(const TSensors& Sensors) override;
  void SetMotorSignals(TMotors& Motors) const override;
  void UpdateState(double TimeStep) override;
  void Mutate() override;
  void MutateFrom(TRandomGenerator& Generator) override;
  void Reset() override;
  // Decodes every condition's input indices and target once; UpdateState
  // uses them until the next Reset or mutation.
  void BeginEvaluation() override;

  // Throws std::invalid_argument unless NumberOfInputs is the sensor count
  // plus one, there is at least one sensor and at least two motors.
  void CheckFits(int SensorCount, int MotorCount) const override;
  // "FSM: ", then per state one line of motor signals (2g - 1) and
  // constants, each followed by its condition lines decoded as the brain
  // decodes them.
  void AppendDescription(std::string& Text) const override;
  // "[brain]" with kind = "fsm", the three counts and the genome as an
  // array of S rows, every gene in its shortest exact form.
  bool AppendExactSection(std::string& Text) const override;

  // Input index decoded from a gene: trunc(g (N + 4 - 0.00001)) + 1.
  static int DecodeInputIndex(double Gene, int NumberOfInputs);
  // Target state decoded from a gene: trunc(g S) + 1.
  static int DecodeTargetState(double Gene, int NumberOfStates);

  std::int32_t NumberOfStates;
  std::int32_t NumberOfConditions;
  std::int32_t NumberOfInputs;
  TMatrix Genome;  // S rows, 5K + 6 columns
  TVector Inputs;  // s[1..N+4]
  std::int32_t CurrentState = 1;
  double MutationRate;
  double CreepProbability;
  double CreepRate;

 private:
  // Inputs First..Count := 0 (inputs no sensor, mean or constant fills),
  // apart from the step's path.
  [[gnu::noinline, gnu::cold]] void ClearInputsFrom(int First);

  // The decoded conditions, five numbers each (i, j, k, l, target), state by
  // state; a copy of the brain decodes afresh.
  struct TDecodedConditions {
    TDecodedConditions() = default;
    TDecodedConditions(const TDecodedConditions&) {}
    TDecodedConditions& operator=(const TDecodedConditions&) {
      Ready = false;
      return *this;
    }
    std::vector<std::int32_t> Values;
    bool Ready = false;
  };
  TDecodedConditions decoded_;
};

// Makes random finite-state-machine brains from parameters the caller keeps.
class TFSMBrainFactory : public TBrainFactory {
 public:
  explicit TFSMBrainFactory(const TFSMBrainParameters& Parameters) : parameters_(Parameters) {}

  void Validate() const override;
  std::unique_ptr<TBrain> MakeBrain(TRandomGenerator& Generator) const override;

 private:
  const TFSMBrainParameters& parameters_;
};

}  // namespace kestrovan
