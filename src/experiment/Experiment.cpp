#include "experiment/Experiment.h"

#include <toml++/toml.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>
#include <system_error>
#include <vector>

#include "simulation/ResultFiles.h"
#include "simulation/RobotSimulation.h"

namespace kestrovan {

namespace {

// One key of the file: where it lives, the field it sets and the object
// whose Validate checks that field.
struct TKey {
  std::string_view Section;
  std::string_view Name;
  std::string_view Unit;  // written as a comment
  double& (*Real)(TExperiment&) = nullptr;
  std::int32_t& (*Integer)(TExperiment&) = nullptr;
  bool& (*Boolean)(TExperiment&) = nullptr;
  void (*Check)(const TExperiment&) = nullptr;
};

void CheckBody(const TExperiment& E) { E.Robot.Body.Validate(); }
void CheckSensor(const TExperiment& E) { E.Robot.Sensor.Validate(); }
void CheckBrain(const TExperiment& E) { E.RobotConfiguration().Brain.Validate(); }
void CheckEA(const TExperiment& E) {
  E.EA.Validate();
  // the mutation values reach the brains too
  CheckBrain(E);
}
void CheckSimulation(const TExperiment& E) { TRobotSimulationParameters(E.SimulationTime, E.TimeStep).Validate(); }
void CheckCylinderSpeeds(const TExperiment& E) {
  if (E.MinimumCylinderSpeed > E.MaximumCylinderSpeed) {
    throw std::invalid_argument("MinimumCylinderSpeed " + ShortestReal(E.MinimumCylinderSpeed) +
                                " must not exceed MaximumCylinderSpeed " + ShortestReal(E.MaximumCylinderSpeed));
  }
}
void CheckNothing(const TExperiment&) {}

#define KESTROVAN_REAL(field) ([](TExperiment& E) -> double& { return E.field; })
#define KESTROVAN_INT(field) ([](TExperiment& E) -> std::int32_t& { return E.field; })
#define KESTROVAN_BOOL(field) ([](TExperiment& E) -> bool& { return E.field; })

// Every key but the special ones (arena file, selection method, seed,
// generations), in the order they are written.
const std::vector<TKey>& Keys() {
  static const std::vector<TKey> keys = {
      {"robot.body", "mass", "kg", KESTROVAN_REAL(Robot.Body.Mass), nullptr, nullptr, CheckBody},
      {"robot.body", "radius", "m", KESTROVAN_REAL(Robot.Body.Radius), nullptr, nullptr, CheckBody},
      {"robot.body", "moment_of_inertia", "kg m^2", KESTROVAN_REAL(Robot.Body.MomentOfInertia), nullptr, nullptr,
       CheckBody},
      {"robot.body", "wheel_radius", "m", KESTROVAN_REAL(Robot.Body.WheelRadius), nullptr, nullptr, CheckBody},
      {"robot.body", "height", "m", KESTROVAN_REAL(Robot.Body.Height), nullptr, nullptr, CheckBody},
      {"robot.body", "alpha", "N s/m", KESTROVAN_REAL(Robot.Body.Alpha), nullptr, nullptr, CheckNothing},
      {"robot.body", "beta", "N m s/rad", KESTROVAN_REAL(Robot.Body.Beta), nullptr, nullptr, CheckNothing},
      {"robot.sensors", "range", "m", KESTROVAN_REAL(Robot.Sensor.Range), nullptr, nullptr, CheckSensor},
      {"robot.sensors", "opening_angle", "rad", KESTROVAN_REAL(Robot.Sensor.OpeningAngle), nullptr, nullptr,
       CheckNothing},
      {"robot.motors", "max_voltage", "V", KESTROVAN_REAL(Robot.Motor.MaxVoltage), nullptr, nullptr, CheckNothing},
      {"robot.motors", "torque_constant", "N m/A", KESTROVAN_REAL(Robot.Motor.TorqueConstant), nullptr, nullptr,
       CheckNothing},
      {"robot.motors", "back_emf_constant", "V s/rad", KESTROVAN_REAL(Robot.Motor.BackEMFConstant), nullptr, nullptr,
       CheckNothing},
      {"robot.motors", "armature_resistance", "Ohm", KESTROVAN_REAL(Robot.Motor.ArmatureResistance), nullptr, nullptr,
       CheckNothing},
      {"robot.motors", "static_friction_torque", "N m", KESTROVAN_REAL(Robot.Motor.StaticFrictionTorque), nullptr,
       nullptr, CheckNothing},
      {"robot.motors", "viscous_friction_coefficient", "N m s/rad",
       KESTROVAN_REAL(Robot.Motor.ViscousFrictionCoefficient), nullptr, nullptr, CheckNothing},
      {"robot.motors", "gear_ratio", "", KESTROVAN_REAL(Robot.Motor.GearRatio), nullptr, nullptr, CheckNothing},
      {"robot.motors", "efficiency", "", KESTROVAN_REAL(Robot.Motor.Efficiency), nullptr, nullptr, CheckNothing},
      {"brain", "number_of_states", "", nullptr, KESTROVAN_INT(Robot.Brain.NumberOfStates), nullptr, CheckBrain},
      {"brain", "number_of_conditions", "", nullptr, KESTROVAN_INT(Robot.Brain.NumberOfConditions), nullptr,
       CheckBrain},
      {"evolution", "population_size", "", nullptr, KESTROVAN_INT(EA.PopulationSize), nullptr, CheckEA},
      {"evolution", "tournament_size", "", nullptr, KESTROVAN_INT(EA.TournamentSize), nullptr, CheckEA},
      {"evolution", "tournament_winner_probability", "", KESTROVAN_REAL(EA.TournamentWinnerProbability), nullptr,
       nullptr, CheckEA},
      {"evolution", "use_ranking", "", nullptr, nullptr, KESTROVAN_BOOL(EA.UseRanking), CheckNothing},
      {"evolution", "use_elitism", "", nullptr, nullptr, KESTROVAN_BOOL(EA.UseElitism), CheckNothing},
      {"evolution", "steady_state_replacement", "", nullptr, nullptr, KESTROVAN_BOOL(EA.SteadyStateReplacement),
       CheckNothing},
      {"evolution", "crossover_probability", "", KESTROVAN_REAL(EA.CrossoverProbability), nullptr, nullptr, CheckEA},
      {"evolution", "mutation_rate", "", KESTROVAN_REAL(EA.MutationRate), nullptr, nullptr, CheckEA},
      {"evolution", "creep_probability", "", KESTROVAN_REAL(EA.CreepProbability), nullptr, nullptr, CheckEA},
      {"evolution", "creep_rate", "", KESTROVAN_REAL(EA.CreepRate), nullptr, nullptr, CheckEA},
      {"simulation", "simulation_time", "s", KESTROVAN_REAL(SimulationTime), nullptr, nullptr, CheckSimulation},
      {"simulation", "time_step", "s", KESTROVAN_REAL(TimeStep), nullptr, nullptr, CheckSimulation},
      {"simulation", "keep_cylinder_velocities", "", nullptr, nullptr, KESTROVAN_BOOL(KeepCylinderVelocities),
       CheckNothing},
      {"simulation", "minimum_cylinder_speed", "m/s", KESTROVAN_REAL(MinimumCylinderSpeed), nullptr, nullptr,
       CheckCylinderSpeeds},
      {"simulation", "maximum_cylinder_speed", "m/s", KESTROVAN_REAL(MaximumCylinderSpeed), nullptr, nullptr,
       CheckCylinderSpeeds},
      {"run", "log_evaluations", "", nullptr, nullptr, KESTROVAN_BOOL(LogEvaluations), CheckNothing},
  };
  return keys;
}

#undef KESTROVAN_REAL
#undef KESTROVAN_INT
#undef KESTROVAN_BOOL

// The sections in the order they are written; "robot" only holds the three
// robot tables.
constexpr std::string_view kSections[] = {"arena", "robot.body", "robot.sensors", "robot.motors",
                                          "brain", "evolution",  "simulation",    "run"};

constexpr std::string_view kSelectionNames[] = {"tournament", "roulette_wheel"};

int LineOf(const toml::source_region& Source) { return static_cast<int>(Source.begin.line); }

std::string TypeName(const toml::node& Node) {
  switch (Node.type()) {
    case toml::node_type::string:
      return "a string";
    case toml::node_type::integer:
      return "an integer";
    case toml::node_type::floating_point:
      return "a floating-point number";
    case toml::node_type::boolean:
      return "a boolean";
    case toml::node_type::table:
      return "a table";
    case toml::node_type::array:
      return "an array";
    default:
      return "a date or time";
  }
}

// One entry of a table.
struct TEntry {
  const toml::key* Key;
  const toml::node* Node;
};

// The entries of Table in the order of the file (a table iterates by key).
std::vector<TEntry> InFileOrder(const toml::table& Table) {
  std::vector<TEntry> entries;
  for (auto&& [key, node] : Table) {
    entries.push_back({&key, &node});
  }
  std::stable_sort(entries.begin(), entries.end(), [](const TEntry& A, const TEntry& B) {
    const auto& a = A.Key->source().begin;
    const auto& b = B.Key->source().begin;
    return a.line != b.line ? a.line < b.line : a.column < b.column;
  });
  return entries;
}

// Reads one file into an experiment that starts from the defaults.
class TReader {
 public:
  TReader(const std::filesystem::path& File) : file_(File) {}

  TExperiment Read(std::string_view Text) {
    toml::table root;
    try {
      root = toml::parse(Text, file_.string());
    } catch (const toml::parse_error& error) {
      throw TExperimentFileError(file_, LineOf(error.source()), std::string(error.description()));
    }
    TExperiment experiment = TExperiment::Default();
    for (const TEntry& entry : InFileOrder(root)) {
      const toml::key& key = *entry.Key;
      const toml::node& node = *entry.Node;
      const std::string name(key.str());
      if (name == "robot" && node.is_table()) {
        for (const TEntry& sub : InFileOrder(*node.as_table())) {
          const toml::key& subKey = *sub.Key;
          const toml::node& subNode = *sub.Node;
          const std::string section = "robot." + std::string(subKey.str());
          if (!IsSection(section) || !subNode.is_table()) {
            Refuse(subKey.source(), subNode.is_table() ? "unknown section [" + section + "]"
                                                       : "unknown key '" + std::string(subKey.str()) + "' in [robot]");
          }
          ReadSection(experiment, section, *subNode.as_table());
        }
      } else if (IsSection(name) && node.is_table()) {
        ReadSection(experiment, name, *node.as_table());
      } else {
        Refuse(key.source(), node.is_table() ? "unknown section [" + name + "]" : "unknown key '" + name + "'");
      }
    }
    return experiment;
  }

 private:
  static bool IsSection(std::string_view Name) {
    for (const std::string_view section : kSections) {
      if (section == Name) {
        return true;
      }
    }
    return false;
  }

  [[noreturn]] void Refuse(const toml::source_region& Where, const std::string& Message) const {
    throw TExperimentFileError(file_, LineOf(Where), Message);
  }

  [[noreturn]] void RefuseType(const std::string& Section, const std::string& Key, const toml::node& Node,
                               const char* Wanted) const {
    Refuse(Node.source(), "[" + Section + "] " + Key + " must be " + Wanted + ", not " + TypeName(Node));
  }

  double Real(const std::string& Section, const std::string& Key, const toml::node& Node) const {
    double value = 0.0;
    if (const auto* real = Node.as_floating_point()) {
      value = real->get();
    } else if (const auto* integer = Node.as_integer()) {
      value = static_cast<double>(integer->get());
    } else {
      RefuseType(Section, Key, Node, "a number");
    }
    if (!std::isfinite(value)) {
      Refuse(Node.source(), "[" + Section + "] " + Key + " must be a finite number");
    }
    return value;
  }

  std::int64_t Integer(const std::string& Section, const std::string& Key, const toml::node& Node, std::int64_t Min,
                       std::int64_t Max) const {
    const auto* integer = Node.as_integer();
    if (integer == nullptr) {
      RefuseType(Section, Key, Node, "a whole number");
    }
    const std::int64_t value = integer->get();
    if (value < Min || value > Max) {
      Refuse(Node.source(), "[" + Section + "] " + Key + " is " + std::to_string(value) + "; it must lie in " +
                                std::to_string(Min) + ".." + std::to_string(Max));
    }
    return value;
  }

  void ReadSection(TExperiment& Experiment, const std::string& Section, const toml::table& Table) const {
    for (const TEntry& entry : InFileOrder(Table)) {
      const toml::key& key = *entry.Key;
      const toml::node& node = *entry.Node;
      const std::string name(key.str());
      if (ReadSpecial(Experiment, Section, name, node)) {
        continue;
      }
      const TKey* found = nullptr;
      for (const TKey& candidate : Keys()) {
        if (candidate.Section == Section && candidate.Name == name) {
          found = &candidate;
        }
      }
      if (found == nullptr) {
        std::string message = "unknown key '";
        message += name;
        message += "' in [";
        message += Section;
        message += "]";
        Refuse(key.source(), message);
      }
      // the key is applied to the values read so far, all of them accepted,
      // so a refusal of the object's Validate is this key's
      if (found->Real != nullptr) {
        found->Real(Experiment) = Real(Section, name, node);
      } else if (found->Integer != nullptr) {
        constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
        found->Integer(Experiment) = static_cast<std::int32_t>(Integer(Section, name, node, -kMax - 1, kMax));
      } else {
        const auto* boolean = node.as_boolean();
        if (boolean == nullptr) {
          RefuseType(Section, name, node, "true or false");
        }
        found->Boolean(Experiment) = boolean->get();
      }
      try {
        found->Check(Experiment);
      } catch (const std::invalid_argument& error) {
        std::string message = "[";
        message += Section;
        message += "] ";
        message += name;
        message += ": ";
        message += error.what();
        Refuse(node.source(), message);
      }
    }
  }

  // The keys that are not plain fields; false for any other key.
  bool ReadSpecial(TExperiment& Experiment, const std::string& Section, const std::string& Name,
                   const toml::node& Node) const {
    if (Section == "arena" && Name == "file") {
      const auto* text = Node.as_string();
      if (text == nullptr) {
        RefuseType(Section, Name, Node, "a string");
      }
      if (text->get().empty()) {
        Refuse(Node.source(), "[arena] file is empty");
      }
      std::filesystem::path path(text->get());
      if (path.is_relative()) {
        path = file_.parent_path() / path;
      }
      std::error_code error;
      if (!std::filesystem::is_regular_file(path, error)) {
        Refuse(Node.source(), "arena file '" + path.string() + "' does not exist");
      }
      Experiment.ArenaFile = path.lexically_normal();
      return true;
    }
    if (Section == "evolution" && Name == "selection_method") {
      const auto* text = Node.as_string();
      if (text == nullptr) {
        RefuseType(Section, Name, Node, "\"tournament\" or \"roulette_wheel\"");
      }
      for (std::size_t i = 0; i < std::size(kSelectionNames); ++i) {
        if (text->get() == kSelectionNames[i]) {
          Experiment.EA.SelectionMethod = static_cast<std::uint8_t>(i);
          return true;
        }
      }
      Refuse(Node.source(),
             "[evolution] selection_method is '" + text->get() + "'; it must be \"tournament\" or \"roulette_wheel\"");
    }
    if (Section == "run" && Name == "seed") {
      Experiment.Seed = static_cast<std::uint32_t>(Integer(Section, Name, Node, 0, 4294967295LL));
      return true;
    }
    if (Section == "run" && Name == "generations") {
      Experiment.Generations =
          static_cast<int>(Integer(Section, Name, Node, 0, std::numeric_limits<std::int32_t>::max()));
      return true;
    }
    return false;
  }

  std::filesystem::path file_;
};

std::string Quoted(const std::string& Text) {
  // a TOML basic string
  std::string quoted = "\"";
  for (const char c : Text) {
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(static_cast<unsigned char>(c)));
      quoted += escape;
    } else {
      quoted += c;
    }
  }
  return quoted + '"';
}

}  // namespace

TExperiment TExperiment::Default() {
  TExperiment experiment;
  experiment.EA.SetFixedChoices();
  return experiment;
}

TRobotConfiguration TExperiment::RobotConfiguration() const {
  TRobotConfiguration configuration = Robot;
  configuration.Brain.MutationRate = EA.MutationRate;
  configuration.Brain.CreepProbability = EA.CreepProbability;
  configuration.Brain.CreepRate = EA.CreepRate;
  return configuration;
}

bool TExperiment::operator==(const TExperiment& Other) const {
  auto& self = const_cast<TExperiment&>(*this);
  auto& other = const_cast<TExperiment&>(Other);
  for (const TKey& key : Keys()) {
    if (key.Real != nullptr) {
      // bit for bit: the same double, not merely an equal one
      if (std::bit_cast<std::uint64_t>(key.Real(self)) != std::bit_cast<std::uint64_t>(key.Real(other))) {
        return false;
      }
    } else if (key.Integer != nullptr ? key.Integer(self) != key.Integer(other)
                                      : key.Boolean(self) != key.Boolean(other)) {
      return false;
    }
  }
  return ArenaFile == Other.ArenaFile && EA.SelectionMethod == Other.EA.SelectionMethod && Seed == Other.Seed &&
         Generations == Other.Generations;
}

TExperimentFileError::TExperimentFileError(std::filesystem::path File, int Line, const std::string& Message)
    : std::runtime_error(File.string() + (Line > 0 ? ":" + std::to_string(Line) : std::string()) + ": " + Message),
      file_(std::move(File)),
      line_(Line),
      message_(Message) {}

TExperiment ParseExperiment(std::string_view Text, const std::filesystem::path& File) {
  return TReader(File).Read(Text);
}

TExperiment ReadExperiment(const std::filesystem::path& File) {
  std::ifstream in(File, std::ios::binary);
  if (!in) {
    throw TExperimentFileError(File, 0, "cannot open the experiment file");
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) {
    throw TExperimentFileError(File, 0, "cannot read the experiment file");
  }
  return ParseExperiment(text.str(), File);
}

std::string ShortestReal(double Value) {
  char text[64];
  const auto end = std::to_chars(text, text + sizeof text, Value).ptr;
  std::string result(text, end);
  if (std::isfinite(Value) && result.find_first_of(".e") == std::string::npos) {
    result += ".0";
  }
  return result;
}

std::string ExperimentText(const TExperiment& Experiment, const std::filesystem::path& Folder) {
  auto& experiment = const_cast<TExperiment&>(Experiment);
  std::string text = "# Kestrovan experiment\n";
  for (const std::string_view section : kSections) {
    text += "\n[";
    text += section;
    text += "]\n";
    if (section == "arena") {
      if (Experiment.ArenaFile.empty()) {
        text += "# file = \"arena.txt\"  # relative to this file's folder\n";
      } else {
        const std::filesystem::path relative =
            std::filesystem::absolute(Experiment.ArenaFile).lexically_proximate(std::filesystem::absolute(Folder));
        text += "file = " + Quoted(relative.generic_string()) + "\n";
      }
    }
    if (section == "evolution") {
      const std::uint8_t method =
          Experiment.EA.SelectionMethod < std::size(kSelectionNames) ? Experiment.EA.SelectionMethod : std::uint8_t{0};
      text += "selection_method = \"" + std::string(kSelectionNames[method]) + "\"\n";
    }
    for (const TKey& key : Keys()) {
      if (key.Section != section) {
        continue;
      }
      text += key.Name;
      text += " = ";
      if (key.Real != nullptr) {
        text += ShortestReal(key.Real(experiment));
      } else if (key.Integer != nullptr) {
        text += std::to_string(key.Integer(experiment));
      } else {
        text += key.Boolean(experiment) ? "true" : "false";
      }
      if (!key.Unit.empty()) {
        text += "  # ";
        text += key.Unit;
      }
      text += '\n';
    }
    if (section == "run") {
      text += Experiment.Seed ? "seed = " + std::to_string(*Experiment.Seed) + "\n"
                              : std::string("# seed = 1  # from the clock when missing\n");
      text += Experiment.Generations ? "generations = " + std::to_string(*Experiment.Generations) + "\n"
                                     : std::string("# generations = 1\n");
    }
  }
  return text;
}

void WriteExperiment(const TExperiment& Experiment, const std::filesystem::path& File) {
  std::filesystem::path folder = File.parent_path();
  if (folder.empty()) {
    folder = ".";
  }
  WriteFileAtomically(File, ExperimentText(Experiment, folder));
}

}  // namespace kestrovan
