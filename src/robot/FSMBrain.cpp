#include "robot/FSMBrain.h"

#include <cassert>
#include <stdexcept>
#include <string>
#include <string_view>
#include <typeinfo>

#include "numerics/RandomNumbers.h"
#include "numerics/TextNumbers.h"
#include "robot/Motors.h"
#include "robot/ParameterChecks.h"
#include "robot/Sensors.h"

namespace kestrovan {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

// "tauL = ..., tauR = ..., s[7] = ..., ..., s[10] = ..." for state Row.
void AppendStateLine(std::string& Text, const TMatrix& Genome, int Row) {
  static constexpr std::string_view kLabels[6] = {
      "tauL = ", ", tauR = ", ", s[7] = ", ", s[8] = ", ", s[9] = ", ", s[10] = "};
  for (int column = 1; column <= 6; ++column) {
    Text += kLabels[column - 1];
    const double gene = Genome.GetElement(Row, column);
    // the two motor signals are 2g - 1, the four constants the genes themselves
    AppendFixed(Text, column <= 2 ? 2 * gene - 1 : gene, 3);
  }
  Text += kLineEnd;
}

// " If (s[i] > s[j]) and (s[k] > s[l]) then jump to state t" for condition
// Condition of state Row, decoded as the brain decodes it.
void AppendConditionLine(std::string& Text, const TFSMBrain& Brain, int Row, int Condition) {
  static constexpr std::string_view kParts[4] = {" If (s[", "] > s[", "]) and (s[", "] > s["};
  const int first = 5 * (Condition - 1);
  for (int m = 7; m <= 10; ++m) {
    Text += kParts[m - 7];
    AppendInteger(Text, TFSMBrain::DecodeInputIndex(Brain.Genome.GetElement(Row, first + m), Brain.NumberOfInputs));
  }
  Text += "])";
  Text += " then jump to state ";
  AppendInteger(Text, TFSMBrain::DecodeTargetState(Brain.Genome.GetElement(Row, first + 11), Brain.NumberOfStates));
  Text += kLineEnd;
}

}  // namespace

namespace {

// Columns of a state's row: the two motor genes, the four constants, then
// five genes per condition (four input indices and the target).
constexpr int kConstantsColumn = 3;
constexpr int kFirstConditionColumn = 7;
constexpr int kGenesPerCondition = 5;

// Bounds that keep the genome's size and the index arithmetic far from
// overflow and from allocations that cannot succeed.
constexpr long long kMaximumGenes = 10'000'000;
constexpr long long kMaximumInputs = 1'000'000;

int ColumnCount(int NumberOfConditions) { return kGenesPerCondition * NumberOfConditions + 6; }

// Validates before anything is sized or drawn, so that a refused
// configuration consumes no random numbers.
const TFSMBrainParameters& Validated(const TFSMBrainParameters& Parameters) {
  Parameters.Validate();
  return Parameters;
}

}  // namespace

void TFSMBrainParameters::Validate() const {
  RequireAtLeast(NumberOfStates, 1, "Brain", "NumberOfStates");
  RequireAtLeast(NumberOfConditions, 0, "Brain", "NumberOfConditions");
  RequireAtLeast(NumberOfInputs, 2, "Brain", "NumberOfInputs");
  if (NumberOfInputs > kMaximumInputs) {
    throw std::invalid_argument("Brain NumberOfInputs must be at most " + std::to_string(kMaximumInputs) + ", got " +
                                std::to_string(NumberOfInputs));
  }
  const long long genes = static_cast<long long>(NumberOfStates) * (5LL * NumberOfConditions + 6);
  if (genes > kMaximumGenes) {
    throw std::invalid_argument(
        "Brain genome of NumberOfStates x (5 NumberOfConditions + 6) = " + std::to_string(genes) +
        " genes is too large; at most " + std::to_string(kMaximumGenes) + " are allowed");
  }
  RequireNonNegative(MutationRate, "Brain", "MutationRate");
  RequireNonNegative(CreepProbability, "Brain", "CreepProbability");
  RequireNonNegative(CreepRate, "Brain", "CreepRate");
}

TFSMBrain::TFSMBrain(const TFSMBrainParameters& Parameters) : TFSMBrain(Parameters, DefaultRandomGenerator()) {}

TFSMBrain::TFSMBrain(const TFSMBrainParameters& Parameters, TRandomGenerator& Generator)
    : NumberOfStates(Validated(Parameters).NumberOfStates),
      NumberOfConditions(Parameters.NumberOfConditions),
      NumberOfInputs(Parameters.NumberOfInputs),
      Genome(Parameters.NumberOfStates, ColumnCount(Parameters.NumberOfConditions)),
      Inputs(Parameters.NumberOfInputs + 4),
      MutationRate(Parameters.MutationRate),
      CreepProbability(Parameters.CreepProbability),
      CreepRate(Parameters.CreepRate) {
  // every gene drawn row by row, then state 1 is biased towards driving forwards
  for (int q = 1; q <= Genome.Rows(); ++q) {
    for (int column = 1; column <= Genome.Columns(); ++column) {
      Genome.SetElement(q, column, Generator.Random());
    }
  }
  if (Genome.Rows() >= 1) {
    Genome.SetElement(1, 1, 0.5 + 0.5 * Generator.Random());
    Genome.SetElement(1, 2, 0.5 + 0.5 * Generator.Random());
  }
}

TFSMBrain::TFSMBrain(const TFSMBrain& Source) = default;

std::unique_ptr<TBrain> TFSMBrain::Copy() const { return std::make_unique<TFSMBrain>(*this); }

bool TFSMBrain::AssignCopyOf(const TBrain& Source) {
  if (&Source == this || typeid(Source) != typeid(TFSMBrain) || typeid(*this) != typeid(TFSMBrain)) {
    return false;
  }
  const auto& source = static_cast<const TFSMBrain&>(Source);
  NumberOfStates = source.NumberOfStates;
  NumberOfConditions = source.NumberOfConditions;
  NumberOfInputs = source.NumberOfInputs;
  Genome = source.Genome;
  Inputs = source.Inputs;
  CurrentState = source.CurrentState;
  MutationRate = source.MutationRate;
  CreepProbability = source.CreepProbability;
  CreepRate = source.CreepRate;
  decoded_ = source.decoded_;
  return true;
}

int TFSMBrain::DecodeInputIndex(double Gene, int NumberOfInputs) {
  return static_cast<int>(Gene * (NumberOfInputs + 4 - 0.00001)) + 1;
}

int TFSMBrain::DecodeTargetState(double Gene, int NumberOfStates) {
  return static_cast<int>(Gene * NumberOfStates) + 1;
}

void TFSMBrain::CheckFits(int SensorCount, int MotorCount) const {
  if (SensorCount < 1) {
    throw std::invalid_argument("The robot's body has no sensor; the brain needs at least one");
  }
  if (MotorCount < 2) {
    throw std::invalid_argument("The robot's body has " + std::to_string(MotorCount) +
                                " motor(s); the brain drives two (left and right)");
  }
  if (NumberOfInputs != SensorCount + 1) {
    throw std::invalid_argument("Brain NumberOfInputs is " + std::to_string(NumberOfInputs) +
                                " but must be the body's sensor count plus one (" + std::to_string(SensorCount + 1) +
                                ")");
  }
}

void TFSMBrain::ClearInputsFrom(int First) {
  double* inputs = Inputs.Elements();
  for (int i = First; i <= Inputs.Count(); ++i) {
    inputs[i] = 0.0;
  }
}

void TFSMBrain::ReadInputs(const TSensors& Sensors) {
  const int n = Sensors.Count();
  assert(n >= 1 && n + 5 <= Inputs.Count());
  double* inputs = Inputs.Elements();
  // inputs past the sensors, their mean and the four constants stay 0
  if (n + 6 <= Inputs.Count()) {
    ClearInputsFrom(n + 6);
  }
  // the readings and their mean, summed from 0 in sensor order
  double sum = 0.0;
  for (int i = 1; i <= n; ++i) {
    const double reading = Sensors.Items(i).GetScalarReading();
    inputs[i] = reading;
    sum = sum + reading;
  }
  inputs[n + 1] = sum / n;
  // the current state's four constants
  for (int m = 0; m < 4; ++m) {
    inputs[n + 2 + m] = Genome.GetElement(CurrentState, kConstantsColumn + m);
  }
}

void TFSMBrain::BeginEvaluation() {
  const auto conditions = static_cast<std::size_t>(NumberOfConditions);
  decoded_.Values.resize(static_cast<std::size_t>(NumberOfStates) * conditions * kGenesPerCondition);
  std::int32_t* value = decoded_.Values.data();
  for (int q = 1; q <= NumberOfStates; ++q) {
    for (int c = 1; c <= NumberOfConditions; ++c) {
      const int column = kGenesPerCondition * (c - 1) + kFirstConditionColumn;
      for (int m = 0; m < 4; ++m) {
        *value++ = DecodeInputIndex(Genome.GetElement(q, column + m), NumberOfInputs);
      }
      *value++ = DecodeTargetState(Genome.GetElement(q, column + 4), NumberOfStates);
    }
  }
  decoded_.Ready = true;
}

void TFSMBrain::UpdateState(double) {
  const int q = CurrentState;
  if (decoded_.Ready) {
    // the conditions as BeginEvaluation decoded them
    const std::int32_t* condition =
        decoded_.Values.data() + static_cast<std::size_t>(q - 1) * NumberOfConditions * kGenesPerCondition;
    for (int c = 1; c <= NumberOfConditions; ++c, condition += kGenesPerCondition) {
      if (!(Inputs.GetElement(condition[0]) > Inputs.GetElement(condition[1]))) {
        continue;
      }
      if (Inputs.GetElement(condition[2]) > Inputs.GetElement(condition[3])) {
        CurrentState = condition[4];
        return;
      }
    }
    return;
  }
  for (int c = 1; c <= NumberOfConditions; ++c) {
    const int column = kGenesPerCondition * (c - 1) + kFirstConditionColumn;
    const int i = DecodeInputIndex(Genome.GetElement(q, column), NumberOfInputs);
    const int j = DecodeInputIndex(Genome.GetElement(q, column + 1), NumberOfInputs);
    if (!(Inputs.GetElement(i) > Inputs.GetElement(j))) {
      continue;
    }
    const int k = DecodeInputIndex(Genome.GetElement(q, column + 2), NumberOfInputs);
    const int l = DecodeInputIndex(Genome.GetElement(q, column + 3), NumberOfInputs);
    if (Inputs.GetElement(k) > Inputs.GetElement(l)) {
      // the first condition that holds wins
      CurrentState = DecodeTargetState(Genome.GetElement(q, column + 4), NumberOfStates);
      return;
    }
  }
}

void TFSMBrain::SetMotorSignals(TMotors& Motors) const {
  assert(Motors.Count() >= 2);
  const double uL = 2 * Genome.GetElement(CurrentState, 1) - 1;
  const double uR = 2 * Genome.GetElement(CurrentState, 2) - 1;
  Motors.Items(1).SetInput(uL);
  Motors.Items(2).SetInput(uR);
}

void TFSMBrain::Mutate() { MutateFrom(DefaultRandomGenerator()); }

void TFSMBrain::MutateFrom(TRandomGenerator& Generator) {
  decoded_.Ready = false;
  for (int q = 1; q <= Genome.Rows(); ++q) {
    for (int column = 1; column <= Genome.Columns(); ++column) {
      // one draw selects the gene, one chooses creep or replacement, one gives the new value
      if (Generator.Random() >= MutationRate) {
        continue;
      }
      if (Generator.Random() < CreepProbability) {
        const double g = Genome.GetElement(q, column);
        const double y = g - CreepRate + 2 * CreepRate * Generator.Random();
        // a step that leaves [0, 1) keeps the old value
        if (y >= 1.0) {
          continue;
        }
        if (y < 0.0) {
          continue;
        }
        Genome.SetElement(q, column, y);
      } else {
        Genome.SetElement(q, column, Generator.Random());
      }
    }
  }
}

void TFSMBrain::Reset() {
  Inputs.SetToZero();
  CurrentState = 1;
  decoded_.Ready = false;
}

void TFSMBrain::AppendDescription(std::string& Text) const {
  Text += "FSM: ";
  Text += kLineEnd;
  for (int q = 1; q <= NumberOfStates; ++q) {
    AppendStateLine(Text, Genome, q);
    for (int c = 1; c <= NumberOfConditions; ++c) {
      AppendConditionLine(Text, *this, q, c);
    }
  }
}

bool TFSMBrain::AppendExactSection(std::string& Text) const {
  Text += "[brain]\nkind = \"fsm\"\nnumber_of_states = ";
  AppendInteger(Text, NumberOfStates);
  Text += "\nnumber_of_conditions = ";
  AppendInteger(Text, NumberOfConditions);
  Text += "\nnumber_of_inputs = ";
  AppendInteger(Text, NumberOfInputs);
  Text += "\n# one row per state: the two motor genes, four constants, five genes per condition\ngenome = [\n";
  for (int q = 1; q <= Genome.Rows(); ++q) {
    Text += "  [";
    for (int column = 1; column <= Genome.Columns(); ++column) {
      if (column > 1) {
        Text += ", ";
      }
      AppendShortest(Text, Genome.GetElement(q, column));
    }
    Text += "],\n";
  }
  Text += "]\n";
  return true;
}

void TFSMBrainFactory::Validate() const { parameters_.Validate(); }

std::unique_ptr<TBrain> TFSMBrainFactory::MakeBrain(TRandomGenerator& Generator) const {
  return std::make_unique<TFSMBrain>(parameters_, Generator);
}

}  // namespace kestrovan
