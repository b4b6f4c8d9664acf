#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "numerics/RandomNumbers.h"
#include "robot/DCMotor.h"
#include "robot/FSMBrain.h"
#include "robot/IRSensor.h"

namespace kestrovan {
namespace {

// The numbers Random returns from a given RandSeed, worked out independently.
class TDrawStream {
 public:
  explicit TDrawStream(std::uint32_t Seed) : state_(Seed) {}
  double Next() {
    state_ = state_ * 134775813u + 1u;
    return state_ * (1.0 / 4294967296.0);
  }
  std::uint32_t State() const { return state_; }

  // The seed from which the Count-th draw returns State / 2^32.
  static std::uint32_t SeedBefore(std::uint32_t State, int Count) {
    std::uint32_t inverse = 134775813u;  // Newton's iteration for the inverse modulo 2^32
    for (int i = 0; i < 5; ++i) inverse *= 2u - 134775813u * inverse;
    for (int i = 0; i < Count; ++i) State = (State - 1u) * inverse;
    return State;
  }

 private:
  std::uint32_t state_;
};

TFSMBrainParameters Parameters(int States, int Conditions, int Inputs = 6) {
  TFSMBrainParameters p;
  p.NumberOfStates = States;
  p.NumberOfConditions = Conditions;
  p.NumberOfInputs = Inputs;
  return p;
}

TFSMBrain MakeBrain(int States, int Conditions, std::uint32_t Seed = 7) {
  RandSeed = Seed;
  return TFSMBrain(Parameters(States, Conditions));
}

// Five IR sensors with the given readings.
TSensors SensorsReading(const std::vector<double>& Readings) {
  TSensors sensors;
  TIRSensor sensor{TIRSensorParameters()};
  for (const double reading : Readings) {
    sensor.Reading = reading;
    sensors.Add(sensor);
  }
  return sensors;
}

// Sets condition c of state q to compare s[i] > s[j] and s[k] > s[l] and jump to Target.
void SetCondition(TFSMBrain& Brain, int q, int c, int i, int j, int k, int l, int Target) {
  const double n = Brain.NumberOfInputs + 4;
  const int column = 5 * (c - 1) + 7;
  const int indices[4] = {i, j, k, l};
  for (int m = 0; m < 4; ++m) {
    Brain.Genome.SetElement(q, column + m, (indices[m] - 0.5) / n);
  }
  Brain.Genome.SetElement(q, column + 4, (Target - 0.5) / Brain.NumberOfStates);
}

// One brain step as the robot runs it; returns the state reached.
int StepWith(TFSMBrain& Brain, const TSensors& Sensors) {
  Brain.ReadInputs(Sensors);
  Brain.UpdateState(0.01);
  return Brain.CurrentState;
}

TEST(TFSMBrain, CreationDrawsGeneForGeneThenBiasesStateOne) {
  const std::uint32_t seed = 20240601;
  const TFSMBrain brain = MakeBrain(5, 3, seed);
  ASSERT_EQ(brain.Genome.Rows(), 5);
  ASSERT_EQ(brain.Genome.Columns(), 21);
  EXPECT_EQ(brain.Inputs.Count(), 10);
  TDrawStream stream(seed);
  for (int q = 1; q <= 5; ++q) {
    for (int column = 1; column <= 21; ++column) {
      const double draw = stream.Next();
      if (q > 1 || column > 2) {
        EXPECT_EQ(brain.Genome.GetElement(q, column), draw);
      }
    }
  }
  EXPECT_EQ(brain.Genome.GetElement(1, 1), 0.5 + 0.5 * stream.Next());
  EXPECT_EQ(brain.Genome.GetElement(1, 2), 0.5 + 0.5 * stream.Next());
  EXPECT_EQ(RandSeed, stream.State());
  EXPECT_EQ(brain.CurrentState, 1);

  // the reference stream itself: from seed 1 the first draw is 134775814 / 2^32
  EXPECT_EQ(TDrawStream(1).Next(), 134775814.0 / 4294967296.0);
}

TEST(TFSMBrain, DecodingAtZeroAndJustBelowOne) {
  const double belowOne = std::nextafter(1.0, 0.0);
  EXPECT_EQ(TFSMBrain::DecodeInputIndex(0.0, 6), 1);
  EXPECT_EQ(TFSMBrain::DecodeInputIndex(belowOne, 6), 10);
  EXPECT_EQ(TFSMBrain::DecodeInputIndex(1.0, 6), 10);
  EXPECT_EQ(TFSMBrain::DecodeTargetState(0.0, 5), 1);
  EXPECT_EQ(TFSMBrain::DecodeTargetState(belowOne, 5), 5);
}

TEST(TFSMBrain, ReadInputsTakesReadingsMeanAndStateConstants) {
  TFSMBrain brain = MakeBrain(5, 3);
  brain.CurrentState = 2;
  brain.ReadInputs(SensorsReading({0.1, 0.2, 0.3, 0.4, 0.5}));
  EXPECT_EQ(brain.Inputs.GetElement(1), 0.1);
  EXPECT_EQ(brain.Inputs.GetElement(5), 0.5);
  EXPECT_DOUBLE_EQ(brain.Inputs.GetElement(6), 0.3);
  for (int m = 0; m < 4; ++m) {
    EXPECT_EQ(brain.Inputs.GetElement(7 + m), brain.Genome.GetElement(2, 3 + m));
  }
  brain.Reset();
  EXPECT_EQ(brain.CurrentState, 1);
  EXPECT_EQ(brain.Inputs.GetElement(6), 0.0);
}

TEST(TFSMBrain, WithoutConditionsStaysInStateOne) {
  TFSMBrain brain = MakeBrain(4, 0);
  EXPECT_EQ(brain.Genome.Columns(), 6);
  TMotors motors;
  motors.Add(TDCMotor{TDCMotorParameters()});
  motors.Add(TDCMotor{TDCMotorParameters()});
  const TSensors sensors = SensorsReading({0.9, 0.0, 0.5, 0.1, 0.3});
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(StepWith(brain, sensors), 1);
  }
  brain.SetMotorSignals(motors);
  EXPECT_EQ(dynamic_cast<TDCMotor&>(motors.Items(1)).Voltage, (2 * brain.Genome.GetElement(1, 1) - 1) * 12.0);
  EXPECT_EQ(dynamic_cast<TDCMotor&>(motors.Items(2)).Voltage, (2 * brain.Genome.GetElement(1, 2) - 1) * 12.0);
}

TEST(TFSMBrain, TransitionRules) {
  const TSensors sensors = SensorsReading({0.9, 0.1, 0.5, 0.5, 0.2});
  TFSMBrain brain = MakeBrain(5, 3);
  // equal inputs never fire, the first condition that holds wins
  SetCondition(brain, 1, 1, 3, 3, 1, 2, 2);
  SetCondition(brain, 1, 2, 2, 1, 1, 2, 3);  // s[2] > s[1] fails
  SetCondition(brain, 1, 3, 1, 2, 3, 5, 4);
  EXPECT_EQ(StepWith(brain, sensors), 4);

  brain.Reset();
  SetCondition(brain, 1, 1, 1, 2, 3, 5, 5);
  EXPECT_EQ(StepWith(brain, sensors), 5);

  // a single state leads back to itself whatever the target gene
  TFSMBrain single = MakeBrain(1, 2);
  SetCondition(single, 1, 1, 1, 2, 1, 2, 1);
  single.Genome.SetElement(1, 11, std::nextafter(1.0, 0.0));
  EXPECT_EQ(StepWith(single, sensors), 1);
}

TEST(TFSMBrain, TransitionsCompareAgainstTheConstantsOfTheStateBeforeTheStep) {
  const TSensors sensors = SensorsReading({0.5, 0.5, 0.5, 0.5, 0.5});
  TFSMBrain brain = MakeBrain(2, 1);
  // both states test their first constant s[7] against the mean s[6] = 0.5
  SetCondition(brain, 1, 1, 7, 6, 7, 6, 2);
  SetCondition(brain, 2, 1, 7, 6, 7, 6, 1);
  brain.Genome.SetElement(1, 3, 0.9);
  brain.Genome.SetElement(2, 3, 0.1);
  EXPECT_EQ(StepWith(brain, sensors), 2);  // state 1's 0.9 > 0.5
  EXPECT_EQ(StepWith(brain, sensors), 2);  // now state 2's 0.1: stays
  brain.Genome.SetElement(2, 3, 0.7);
  EXPECT_EQ(StepWith(brain, sensors), 1);
}

TEST(TFSMBrain, MutationRatesZeroAndOne) {
  // rate 0: nothing changes, one draw per gene
  TFSMBrain brain = MakeBrain(3, 2);
  brain.MutationRate = 0.0;
  const TMatrix before = brain.Genome;
  RandSeed = 99;
  brain.Mutate();
  TDrawStream stream(99);
  for (int q = 1; q <= 3; ++q) {
    for (int column = 1; column <= 16; ++column) {
      stream.Next();
      EXPECT_EQ(brain.Genome.GetElement(q, column), before.GetElement(q, column));
    }
  }
  EXPECT_EQ(RandSeed, stream.State());
  // rate 1 without creep: every gene replaced by the third of its three draws
  brain.MutationRate = 1.0;
  brain.CreepProbability = 0.0;
  brain.Mutate();
  for (int q = 1; q <= 3; ++q) {
    for (int column = 1; column <= 16; ++column) {
      stream.Next();
      stream.Next();
      EXPECT_EQ(brain.Genome.GetElement(q, column), stream.Next());
    }
  }
  EXPECT_EQ(RandSeed, stream.State());
}

TEST(TFSMBrain, CreepOutsideTheGeneRangeKeepsTheOldValue) {
  TFSMBrain brain = MakeBrain(4, 1);
  brain.MutationRate = 1.0;
  brain.CreepProbability = 1.0;
  brain.CreepRate = 0.05;
  // genes near both ends, so that about half of the steps leave [0, 1)
  for (int q = 1; q <= 4; ++q) {
    for (int column = 1; column <= 11; ++column) {
      brain.Genome.SetElement(q, column, (q + column) % 2 == 0 ? 0.99 : 0.01);
    }
  }
  const std::uint32_t seed = 31337;
  RandSeed = seed;
  brain.Mutate();
  TDrawStream stream(seed);
  int kept = 0;
  int moved = 0;
  for (int q = 1; q <= 4; ++q) {
    for (int column = 1; column <= 11; ++column) {
      stream.Next();
      stream.Next();
      const double g = (q + column) % 2 == 0 ? 0.99 : 0.01;
      const double y = g - 0.05 + 2 * 0.05 * stream.Next();
      const double gene = brain.Genome.GetElement(q, column);
      if (y >= 1.0 || y < 0.0) {
        EXPECT_EQ(gene, g);
        ++kept;
      } else {
        EXPECT_EQ(gene, y);
        ++moved;
      }
      EXPECT_GE(gene, 0.0);
      EXPECT_LT(gene, 1.0);
    }
  }
  EXPECT_GT(kept, 0);
  EXPECT_GT(moved, 0);

  // a step landing exactly on 1 keeps the old value too: 0.75 - 0.5 + 2 * 0.5 * 0.75
  TFSMBrain single = MakeBrain(1, 0);
  single.MutationRate = 1.0;
  single.CreepProbability = 1.0;
  single.CreepRate = 0.5;
  single.Genome.SetElement(1, 1, 0.75);
  RandSeed = TDrawStream::SeedBefore(0xC0000000u, 3);
  single.Mutate();
  EXPECT_EQ(single.Genome.GetElement(1, 1), 0.75);
}

TEST(TFSMBrain, CopyIsDeepAndKeepsTheCurrentState) {
  TFSMBrain source = MakeBrain(5, 3);
  source.CurrentState = 3;
  source.Inputs.SetElement(2, 0.75);
  const auto copied = source.Copy();
  auto& copy = dynamic_cast<TFSMBrain&>(*copied);
  EXPECT_EQ(copy.CurrentState, 3);
  EXPECT_EQ(copy.Inputs.GetElement(2), 0.75);
  const double gene = source.Genome.GetElement(4, 9);
  copy.MutationRate = 1.0;
  copy.CreepProbability = 0.0;
  copy.Mutate();
  EXPECT_NE(copy.Genome.GetElement(4, 9), gene);
  EXPECT_EQ(source.Genome.GetElement(4, 9), gene);
}

TEST(TFSMBrainParameters, RefusedConfigurationsDrawNothing) {
  const auto refused = [](TFSMBrainParameters p) {
    RandSeed = 5;
    EXPECT_THROW(TFSMBrain{p}, std::invalid_argument);
    EXPECT_EQ(RandSeed, 5u);
  };
  refused(Parameters(0, 3));
  refused(Parameters(5, -1));
  refused(Parameters(5, 3, 1));
  refused(Parameters(100000, 100000));
  TFSMBrainParameters p;
  p.MutationRate = -0.01;
  refused(p);
  p = TFSMBrainParameters();
  p.CreepRate = std::nan("");
  refused(p);
  p = TFSMBrainParameters();
  p.CreepProbability = -1.0;
  refused(p);
}

}  // namespace
}  // namespace kestrovan

namespace kestrovan {
namespace {

// The conditions decoded once for an evaluation take the transitions of the
// genome decoded at every step, for many brains and random readings; Reset
// and a mutation drop the decoded conditions, and a copy decodes afresh.
TEST(TFSMBrain, ConditionsDecodedOnceTakeTheTransitionsOfTheGenome) {
  TRandomGenerator readings(5);
  TRandomGenerator mutations(9);
  long long transitions = 0;
  for (int b = 0; b < 200; ++b) {
    TFSMBrain decoded = MakeBrain(1 + b % 7, b % 5, 100 + static_cast<std::uint32_t>(b));
    decoded.MutationRate = 0.3;
    TFSMBrain plain(decoded);
    decoded.BeginEvaluation();
    for (int step = 0; step < 200; ++step) {
      if (step == 100) {
        // a mutated genome is followed at once, as a new evaluation would decode it
        TRandomGenerator same = mutations;
        decoded.MutateFrom(mutations);
        plain.MutateFrom(same);
        ASSERT_EQ(decoded.Genome.GetElement(1, 1), plain.Genome.GetElement(1, 1));
      }
      if (step == 150) {
        decoded.Reset();
        plain.Reset();
        decoded.BeginEvaluation();
      }
      std::vector<double> values(5);
      for (double& value : values) {
        // coarse values, so that equal readings occur too
        value = std::floor(readings.Random() * 4) / 4;
      }
      const TSensors sensors = SensorsReading(values);
      const int before = plain.CurrentState;
      ASSERT_EQ(StepWith(decoded, sensors), StepWith(plain, sensors)) << "brain " << b << ", step " << step;
      transitions += plain.CurrentState != before ? 1 : 0;
    }
  }
  EXPECT_GT(transitions, 1000);
}

}  // namespace
}  // namespace kestrovan
