#include "simulation/BrainFile.h"

#include <toml++/toml.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <set>
#include <sstream>

#include "arena/ArenaModel.h"
#include "numerics/RandomNumbers.h"
#include "numerics/TextNumbers.h"
#include "robot/FSMBrain.h"
#include "simulation/ResultFiles.h"

namespace kestrovan {

namespace {

std::string Located(const std::filesystem::path& File, int Line, const std::string& Message) {
  return File.string() + (Line > 0 ? ":" + std::to_string(Line) : std::string()) + ": " + Message;
}

int LineOf(const toml::source_region& Source) { return static_cast<int>(Source.begin.line); }

// Reads the tables of one brain file, refusing with the file and line.
class TBrainReader {
 public:
  explicit TBrainReader(const std::filesystem::path& File) : file_(File) {}

  TBrainRecord Read(std::string_view Text) {
    toml::table root;
    try {
      root = toml::parse(Text, file_.string());
    } catch (const toml::parse_error& error) {
      throw TBrainFileError(file_, LineOf(error.source()), std::string(error.description()));
    }
    // the format and the version first: a newer file is refused as such,
    // not for a key this version does not know
    const std::string format = String(root, "", "format");
    if (format != kBrainFileFormat) {
      Refuse(root["format"].node()->source(),
             "format is '" + format + "', not '" + std::string(kBrainFileFormat) + "'");
    }
    const toml::node& versionNode = Node(root, "", "version");
    const std::int64_t version = Integer(versionNode, "", "version", 0, std::numeric_limits<std::int64_t>::max());
    if (version != kBrainFileVersion) {
      Refuse(versionNode.source(), "unknown version " + std::to_string(version) + "; this program reads version " +
                                       std::to_string(kBrainFileVersion));
    }
    OnlyKeys(root, "", {"format", "version", "origin", "recording", "brain"});

    TBrainRecord record;
    const toml::table& origin = Table(root, "origin");
    OnlyKeys(origin, "origin", {"experiment_sha256", "seed", "generation", "evaluation", "fitness"});
    if (origin.contains("experiment_sha256")) {
      record.Origin.ExperimentSha256 = String(origin, "origin", "experiment_sha256");
    }
    if (origin.contains("seed")) {
      record.Origin.Seed =
          static_cast<std::uint32_t>(Integer(Node(origin, "origin", "seed"), "origin", "seed", 0, 4294967295));
    }
    constexpr std::int64_t kIntMax = std::numeric_limits<std::int32_t>::max();
    record.Origin.Generation =
        static_cast<int>(Integer(Node(origin, "origin", "generation"), "origin", "generation", 1, kIntMax));
    record.Origin.Evaluation =
        static_cast<int>(Integer(Node(origin, "origin", "evaluation"), "origin", "evaluation", 1, kIntMax));
    record.Origin.Fitness = Real(Node(origin, "origin", "fitness"), "origin", "fitness");

    const toml::table& recording = Table(root, "recording");
    OnlyKeys(recording, "recording", {"simulation_time", "time_step", "cylinder_velocities"});
    record.Origin.SimulationTime =
        Real(Node(recording, "recording", "simulation_time"), "recording", "simulation_time");
    record.Origin.TimeStep = Real(Node(recording, "recording", "time_step"), "recording", "time_step");
    const toml::node& velocitiesNode = Node(recording, "recording", "cylinder_velocities");
    const toml::array& velocities = Array(velocitiesNode, "recording", "cylinder_velocities");
    for (const toml::node& pair : velocities) {
      const toml::array& xy = Array(pair, "recording", "cylinder_velocities");
      if (xy.size() != 2) {
        Refuse(pair.source(), "[recording] cylinder_velocities: each cylinder needs [x, y], got " +
                                  std::to_string(xy.size()) + " numbers");
      }
      record.Origin.CylinderVelocities.push_back(Real(xy[0], "recording", "cylinder_velocities"));
      record.Origin.CylinderVelocities.push_back(Real(xy[1], "recording", "cylinder_velocities"));
    }

    ReadBrain(Table(root, "brain"), record);
    return record;
  }

 private:
  void ReadBrain(const toml::table& Brain, TBrainRecord& Record) const {
    OnlyKeys(Brain, "brain", {"kind", "number_of_states", "number_of_conditions", "number_of_inputs", "genome"});
    const std::string kind = String(Brain, "brain", "kind");
    if (kind != "fsm") {
      Refuse(Brain["kind"].node()->source(), "[brain] kind '" + kind + "' is unknown; this program reads \"fsm\"");
    }
    constexpr std::int64_t kIntMax = std::numeric_limits<std::int32_t>::max();
    Record.NumberOfStates = static_cast<std::int32_t>(
        Integer(Node(Brain, "brain", "number_of_states"), "brain", "number_of_states", 1, kIntMax));
    Record.NumberOfConditions = static_cast<std::int32_t>(
        Integer(Node(Brain, "brain", "number_of_conditions"), "brain", "number_of_conditions", 0, kIntMax));
    Record.NumberOfInputs = static_cast<std::int32_t>(
        Integer(Node(Brain, "brain", "number_of_inputs"), "brain", "number_of_inputs", 2, kIntMax));
    // the same limits as a brain made from parameters
    TFSMBrainParameters shape;
    shape.NumberOfStates = Record.NumberOfStates;
    shape.NumberOfConditions = Record.NumberOfConditions;
    shape.NumberOfInputs = Record.NumberOfInputs;
    try {
      shape.Validate();
    } catch (const std::invalid_argument& error) {
      Refuse(Brain["number_of_states"].node()->source(), std::string("[brain] ") + error.what());
    }

    const toml::node& genomeNode = Node(Brain, "brain", "genome");
    const toml::array& rows = Array(genomeNode, "brain", "genome");
    const std::int64_t columns = 5 * static_cast<std::int64_t>(Record.NumberOfConditions) + 6;
    if (rows.size() != static_cast<std::size_t>(Record.NumberOfStates)) {
      Refuse(genomeNode.source(), "[brain] genome has " + std::to_string(rows.size()) + " rows; number_of_states " +
                                      std::to_string(Record.NumberOfStates) + " needs as many");
    }
    Record.Genome = TMatrix(Record.NumberOfStates, static_cast<int>(columns));
    int q = 0;
    for (const toml::node& rowNode : rows) {
      ++q;
      const toml::array& row = Array(rowNode, "brain", "genome");
      if (static_cast<std::int64_t>(row.size()) != columns) {
        Refuse(rowNode.source(), "[brain] genome row " + std::to_string(q) + " has " + std::to_string(row.size()) +
                                     " genes; " + std::to_string(Record.NumberOfConditions) + " conditions need 5 x " +
                                     std::to_string(Record.NumberOfConditions) + " + 6 = " + std::to_string(columns));
      }
      int column = 0;
      for (const toml::node& gene : row) {
        ++column;
        const double value = Real(gene, "brain", "genome");
        // a gene of 1 or more would decode to an input or state that does not exist
        if (!(value >= 0.0 && value < 1.0)) {
          std::string shown;
          AppendShortest(shown, value);
          Refuse(gene.source(), "[brain] genome row " + std::to_string(q) + ", gene " + std::to_string(column) +
                                    " is " + shown + "; genes lie in [0, 1)");
        }
        Record.Genome.SetElement(q, column, value);
      }
    }
  }

  [[noreturn]] void Refuse(const toml::source_region& Where, const std::string& Message) const {
    throw TBrainFileError(file_, LineOf(Where), Message);
  }

  static std::string Name(const std::string& Section, const std::string& Key) {
    return Section.empty() ? Key : "[" + Section + "] " + Key;
  }

  const toml::node& Node(const toml::table& Table, const std::string& Section, const std::string& Key) const {
    const toml::node* node = Table.get(Key);
    if (node == nullptr) {
      const int line = Section.empty() ? 0 : LineOf(Table.source());
      throw TBrainFileError(file_, line, Name(Section, Key) + " is missing");
    }
    return *node;
  }

  const toml::table& Table(const toml::table& Root, const std::string& Section) const {
    const toml::node* node = Root.get(Section);
    if (node == nullptr) {
      throw TBrainFileError(file_, 0, "section [" + Section + "] is missing");
    }
    if (!node->is_table()) {
      Refuse(node->source(), Section + " must be a section [" + Section + "]");
    }
    return *node->as_table();
  }

  const toml::array& Array(const toml::node& Node, const std::string& Section, const std::string& Key) const {
    if (!Node.is_array()) {
      Refuse(Node.source(), Name(Section, Key) + " must be an array");
    }
    return *Node.as_array();
  }

  std::string String(const toml::table& Table, const std::string& Section, const std::string& Key) const {
    const toml::node& node = Node(Table, Section, Key);
    if (!node.is_string()) {
      Refuse(node.source(), Name(Section, Key) + " must be a string");
    }
    return node.as_string()->get();
  }

  double Real(const toml::node& Node, const std::string& Section, const std::string& Key) const {
    double value = 0.0;
    if (const auto* real = Node.as_floating_point()) {
      value = real->get();
    } else if (const auto* integer = Node.as_integer()) {
      value = static_cast<double>(integer->get());
    } else {
      Refuse(Node.source(), Name(Section, Key) + " must be a number");
    }
    if (!std::isfinite(value)) {
      Refuse(Node.source(), Name(Section, Key) + " must be a finite number");
    }
    return value;
  }

  std::int64_t Integer(const toml::node& Node, const std::string& Section, const std::string& Key, std::int64_t Min,
                       std::int64_t Max) const {
    const auto* integer = Node.as_integer();
    if (integer == nullptr) {
      Refuse(Node.source(), Name(Section, Key) + " must be a whole number");
    }
    const std::int64_t value = integer->get();
    if (value < Min || value > Max) {
      Refuse(Node.source(), Name(Section, Key) + " is " + std::to_string(value) + "; it must lie in " +
                                std::to_string(Min) + ".." + std::to_string(Max));
    }
    return value;
  }

  void OnlyKeys(const toml::table& Table, const std::string& Section, const std::set<std::string>& Known) const {
    for (auto&& [key, node] : Table) {
      if (!Known.contains(std::string(key.str()))) {
        Refuse(key.source(), "unknown key " + Name(Section, std::string(key.str())));
      }
    }
  }

  std::filesystem::path file_;
};

void AppendKey(std::string& Text, std::string_view Key, double Value) {
  Text += Key;
  Text += " = ";
  AppendShortest(Text, Value);
  Text += '\n';
}

void AppendKey(std::string& Text, std::string_view Key, long long Value) {
  Text += Key;
  Text += " = ";
  AppendInteger(Text, Value);
  Text += '\n';
}

// The brain file around the brain's own section.
std::string BrainFileText(const std::string& BrainSection, const TBrainOrigin& Origin) {
  std::string text = "# Kestrovan brain: an evolved controller in full precision\nformat = \"";
  text += kBrainFileFormat;
  text += "\"\n";
  AppendKey(text, "version", static_cast<long long>(kBrainFileVersion));

  text += "\n# the run that recorded it\n[origin]\n";
  if (!Origin.ExperimentSha256.empty()) {
    text += "experiment_sha256 = \"" + Origin.ExperimentSha256 + "\"\n";
  }
  if (Origin.Seed.has_value()) {
    AppendKey(text, "seed", static_cast<long long>(*Origin.Seed));
  }
  AppendKey(text, "generation", static_cast<long long>(Origin.Generation));
  AppendKey(text, "evaluation", static_cast<long long>(Origin.Evaluation));
  AppendKey(text, "fitness", Origin.Fitness);

  text += "\n# the conditions of the recording run\n[recording]\n";
  AppendKey(text, "simulation_time", Origin.SimulationTime);
  AppendKey(text, "time_step", Origin.TimeStep);
  text += "# m/s, x and y of every cylinder in the arena's order at the start\ncylinder_velocities = [";
  for (std::size_t i = 0; i + 1 < Origin.CylinderVelocities.size(); i += 2) {
    text += i == 0 ? "[" : ", [";
    AppendShortest(text, Origin.CylinderVelocities[i]);
    text += ", ";
    AppendShortest(text, Origin.CylinderVelocities[i + 1]);
    text += "]";
  }
  text += "]\n\n";
  text += BrainSection;
  return text;
}

}  // namespace

TBrainFileError::TBrainFileError(std::filesystem::path File, int Line, const std::string& Message)
    : std::runtime_error(Located(File, Line, Message)), file_(std::move(File)), line_(Line), message_(Message) {}

std::vector<double> CylinderVelocitiesOf(const TArena& Arena) {
  std::vector<double> velocities;
  for (const TCylinderZ* cylinder : Arena.Cylinders()) {
    velocities.push_back(cylinder->Velocity.GetElement(1));
    velocities.push_back(cylinder->Velocity.GetElement(2));
  }
  return velocities;
}

std::vector<double> CylinderVelocitiesOf(const TArenaState& State) {
  std::vector<double> velocities;
  velocities.reserve(2 * State.Cylinders().size());
  for (const TCylinderState& cylinder : State.Cylinders()) {
    velocities.push_back(cylinder.Velocity[0]);
    velocities.push_back(cylinder.Velocity[1]);
  }
  return velocities;
}

std::string FormatBrainFile(const TBrain& Brain, const TBrainOrigin& Origin) {
  std::string brain;
  if (!Brain.AppendExactSection(brain)) {
    throw std::invalid_argument("This brain cannot be written to a brain file");
  }
  return BrainFileText(brain, Origin);
}

TBrainRecord ParseBrainFile(std::string_view Text, const std::filesystem::path& File) {
  return TBrainReader(File).Read(Text);
}

TBrainRecord ReadBrainFile(const std::filesystem::path& File) {
  std::ifstream in(File, std::ios::binary);
  if (!in) {
    throw TBrainFileError(File, 0, "cannot open the brain file");
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) {
    throw TBrainFileError(File, 0, "cannot read the brain file");
  }
  return ParseBrainFile(text.str(), File);
}

std::unique_ptr<TFSMBrain> MakeRecordedBrain(const TBrainRecord& Record, const TFSMBrainParameters& Parameters) {
  std::string differences;
  const auto compare = [&differences](const char* What, std::int32_t Recorded, std::int32_t Wanted) {
    if (Recorded != Wanted) {
      differences += differences.empty() ? "" : ", ";
      differences += std::string(What) + " " + std::to_string(Recorded) + " (the robot's brain has " +
                     std::to_string(Wanted) + ")";
    }
  };
  compare("number_of_states", Record.NumberOfStates, Parameters.NumberOfStates);
  compare("number_of_conditions", Record.NumberOfConditions, Parameters.NumberOfConditions);
  compare("number_of_inputs", Record.NumberOfInputs, Parameters.NumberOfInputs);
  if (!differences.empty()) {
    throw std::invalid_argument("the brain does not fit the robot: " + differences);
  }
  // a brain of the right shape, then the recorded genes in place of the random ones
  TRandomGenerator unused(1);
  auto brain = std::make_unique<TFSMBrain>(Parameters, unused);
  brain->Genome = Record.Genome;
  brain->Reset();
  return brain;
}

std::filesystem::path WriteNewBestBrain(const std::filesystem::path& Folder, const TBrain& Brain,
                                        const TBrainOrigin& Origin) {
  std::string brain;
  if (!Brain.AppendExactSection(brain)) {
    return {};
  }
  const std::string text = BrainFileText(brain, Origin);
  std::filesystem::path path = Folder / (std::to_string(Origin.Evaluation) + ".brain");
  WriteFileAtomically(path, text);
  WriteFileAtomically(Folder / kBestBrainFile, text);
  return path;
}

}  // namespace kestrovan
