#include "experiment/Checkpoint.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

#include "robot/FSMBrain.h"
#include "robot/Robot.h"
#include "simulation/EvolutionRun.h"

namespace kestrovan {

namespace {

constexpr char kMagic[16] = {'K', 'E', 'S', 'T', 'R', 'O', 'V', 'A', 'N', '-', 'C', 'K', 'P', 'T', '\x1a', '\n'};
constexpr std::size_t kHeaderSize = sizeof kMagic + 4 + 8;
constexpr std::size_t kDigestSize = 32;

std::string Digest(std::string_view Bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(Bytes.data(), Bytes.size(), digest, &length, EVP_sha256(), nullptr) != 1 || length != kDigestSize) {
    throw std::runtime_error("SHA-256 failed");
  }
  return std::string(reinterpret_cast<const char*>(digest), length);
}

// Little-endian integers and bit patterns, whatever the machine's order.
class TWriter {
 public:
  // Room for Bytes more bytes, so that a large body grows once.
  void Reserve(std::size_t Bytes) { text_.reserve(text_.size() + Bytes); }
  void Unsigned(std::uint64_t Value, int Bytes) {
    // the bytes of one value appended at once; a little-endian machine
    // holds them in that order already
    char bytes[8];
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(bytes, &Value, sizeof bytes);
    } else {
      for (int i = 0; i < Bytes; ++i) {
        bytes[i] = static_cast<char>((Value >> (8 * i)) & 0xFF);
      }
    }
    text_.append(bytes, static_cast<std::size_t>(Bytes));
  }
  void U32(std::uint32_t Value) { Unsigned(Value, 4); }
  void I32(std::int32_t Value) { Unsigned(static_cast<std::uint32_t>(Value), 4); }
  void U64(std::uint64_t Value) { Unsigned(Value, 8); }
  void Double(double Value) { U64(std::bit_cast<std::uint64_t>(Value)); }
  void Text(const std::string& Value) {
    U64(Value.size());
    text_ += Value;
  }
  void Doubles(const std::vector<double>& Values) {
    U64(Values.size());
    for (const double value : Values) {
      Double(value);
    }
  }
  std::string& Bytes() { return text_; }

 private:
  std::string text_;
};

// Every read checks that the bytes are there; a count is checked against the
// bytes left before anything is allocated for it.
class TReader {
 public:
  TReader(std::string_view Bytes, const std::string& Name) : bytes_(Bytes), name_(Name) {}

  [[noreturn]] void Fail(const std::string& What) const {
    throw TCheckpointError(name_ + ": damaged checkpoint: " + What);
  }
  std::uint64_t Unsigned(int Bytes, const char* What) {
    if (bytes_.size() - position_ < static_cast<std::size_t>(Bytes)) {
      Fail(std::string("ends inside ") + What);
    }
    std::uint64_t value = 0;
    for (int i = 0; i < Bytes; ++i) {
      value |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes_[position_ + i])) << (8 * i);
    }
    position_ += static_cast<std::size_t>(Bytes);
    return value;
  }
  std::uint32_t U32(const char* What) { return static_cast<std::uint32_t>(Unsigned(4, What)); }
  std::uint64_t U64(const char* What) { return Unsigned(8, What); }
  // A counter or size: 0..2^31 - 1.
  int Count(const char* What) {
    const auto value = static_cast<std::int32_t>(U32(What));
    if (value < 0) {
      Fail(std::string(What) + " is negative (" + std::to_string(value) + ")");
    }
    return value;
  }
  double Double(const char* What) { return std::bit_cast<double>(U64(What)); }
  double Finite(const char* What) {
    const double value = Double(What);
    if (!std::isfinite(value)) {
      Fail(std::string(What) + " is not a finite number");
    }
    return value;
  }
  // A length of Size-byte items that the bytes left can hold.
  std::size_t Length(std::size_t Size, const char* What) {
    const std::uint64_t length = U64(What);
    if (length > (bytes_.size() - position_) / Size) {
      Fail(std::string(What) + " is longer than the file");
    }
    return static_cast<std::size_t>(length);
  }
  std::string Text(const char* What) {
    const std::size_t length = Length(1, What);
    std::string value(bytes_.substr(position_, length));
    position_ += length;
    return value;
  }
  std::vector<double> Doubles(const char* What) {
    const std::size_t length = Length(8, What);
    std::vector<double> values;
    values.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
      values.push_back(Finite(What));
    }
    return values;
  }
  std::size_t Left() const { return bytes_.size() - position_; }

 private:
  std::string_view bytes_;
  const std::string& name_;
  std::size_t position_ = 0;
};

[[noreturn]] void FailSystem(const std::string& What, const std::filesystem::path& Path, int Error) {
  throw std::runtime_error("Cannot " + What + " '" + Path.string() + "': " + std::strerror(Error));
}

void SyncPath(const std::filesystem::path& Path, int Flags) {
  const int descriptor = ::open(Path.c_str(), Flags | O_CLOEXEC);
  if (descriptor < 0) {
    FailSystem("open", Path, errno);
  }
  if (::fsync(descriptor) != 0) {
    const int error = errno;
    ::close(descriptor);
    FailSystem("flush", Path, error);
  }
  ::close(descriptor);
}

}  // namespace

void SyncFile(const std::filesystem::path& File) { SyncPath(File, O_RDONLY); }

void SyncFolder(const std::filesystem::path& Folder) {
  SyncPath(Folder.empty() ? std::filesystem::path(".") : Folder, O_RDONLY | O_DIRECTORY);
}

std::string EncodeCheckpoint(const TCheckpoint& Checkpoint) {
  TWriter body;
  body.Text(Checkpoint.ExperimentHash);
  body.Text(Checkpoint.ArenaSha256);
  body.I32(Checkpoint.Generations);
  body.U32(Checkpoint.Seed);
  body.U32(Checkpoint.GeneratorState);
  body.I32(Checkpoint.Generation);
  body.I32(Checkpoint.EvaluationCount);
  body.Double(Checkpoint.BestFitness);
  body.Doubles(Checkpoint.MaxFitnessHistory);
  body.Doubles(Checkpoint.AverageFitnessHistory);
  body.U64(Checkpoint.Agents.size());
  for (const TCheckpointAgent& agent : Checkpoint.Agents) {
    body.Double(agent.Fitness);
    body.Double(agent.RankFitness);
    body.Double(agent.ElapsedTime);
    body.I32(agent.Rows);
    body.I32(agent.Columns);
    for (const double gene : agent.Genes) {
      body.Double(gene);
    }
  }
  const TRunRecordState& record = Checkpoint.Record;
  body.I32(record.Generations);
  body.I32(record.Evaluations);
  body.U32(record.HasBest ? 1 : 0);
  body.Double(record.BestFitness);
  body.Text(record.BestFile);
  body.Text(record.GenerationRows);
  body.Double(record.ElapsedSeconds);
  body.U64(static_cast<std::uint64_t>(record.StartTime));
  body.U64(record.EvaluationsBytes);

  return SealCheckpoint(body.Bytes());
}

std::string SealCheckpoint(std::string_view Body, std::uint32_t Version) {
  TWriter file;
  file.Reserve(kHeaderSize + Body.size() + kDigestSize);
  file.Bytes().append(kMagic, sizeof kMagic);
  file.U32(Version);
  file.U64(Body.size());
  file.Bytes() += Body;
  file.Bytes() += Digest(file.Bytes());
  return std::move(file.Bytes());
}

TCheckpoint DecodeCheckpoint(std::string_view Bytes, const std::string& Name) {
  if (Bytes.size() < sizeof kMagic || std::memcmp(Bytes.data(), kMagic, sizeof kMagic) != 0) {
    throw TCheckpointError(Name + ": not a checkpoint file (no checkpoint magic word at its start)");
  }
  TReader header(Bytes.substr(sizeof kMagic), Name);
  const std::uint32_t version = header.U32("the version");
  if (version == 0 || version > kCheckpointVersion) {
    throw TCheckpointError(Name + ": checkpoint of unknown version " + std::to_string(version) +
                           " (this program reads versions 1 to " + std::to_string(kCheckpointVersion) + ")");
  }
  const std::uint64_t length = header.U64("the length");
  const std::size_t available = Bytes.size() - kHeaderSize;
  if (available < kDigestSize || length > available - kDigestSize) {
    throw TCheckpointError(Name + ": truncated checkpoint (" + std::to_string(Bytes.size()) + " bytes, " +
                           (length > Bytes.size()
                                ? std::string("far fewer than its header announces")
                                : std::to_string(kHeaderSize + length + kDigestSize) + " announced)"));
  }
  if (length != available - kDigestSize) {
    throw TCheckpointError(Name + ": damaged checkpoint: " + std::to_string(available - kDigestSize - length) +
                           " bytes after its end");
  }
  const std::string_view content = Bytes.substr(0, kHeaderSize + length);
  if (Digest(content) != Bytes.substr(kHeaderSize + length)) {
    throw TCheckpointError(Name + ": damaged checkpoint: its checksum does not match its contents");
  }

  TReader body(content.substr(kHeaderSize), Name);
  TCheckpoint checkpoint;
  checkpoint.ExperimentHash = body.Text("the experiment hash");
  checkpoint.ArenaSha256 = body.Text("the arena hash");
  checkpoint.Generations = body.Count("the generations to run");
  checkpoint.Seed = body.U32("the seed");
  checkpoint.GeneratorState = body.U32("the generator state");
  checkpoint.Generation = body.Count("the generation");
  checkpoint.EvaluationCount = body.Count("the evaluation count");
  checkpoint.BestFitness = body.Finite("the best fitness");
  checkpoint.MaxFitnessHistory = body.Doubles("the maximum fitness history");
  checkpoint.AverageFitnessHistory = body.Doubles("the average fitness history");
  // the smallest agent record: three doubles and two sizes
  const std::size_t agents = body.Length(32, "the population");
  checkpoint.Agents.resize(agents);
  for (std::size_t i = 0; i < agents; ++i) {
    TCheckpointAgent& agent = checkpoint.Agents[i];
    agent.Fitness = body.Finite("an agent's fitness");
    agent.RankFitness = body.Finite("an agent's rank");
    agent.ElapsedTime = body.Finite("an agent's elapsed time");
    agent.Rows = body.Count("a genome's rows");
    agent.Columns = body.Count("a genome's columns");
    const auto genes = static_cast<std::uint64_t>(agent.Rows) * static_cast<std::uint64_t>(agent.Columns);
    if (genes > body.Left() / 8) {
      body.Fail("agent " + std::to_string(i + 1) + "'s genome is longer than the file");
    }
    agent.Genes.reserve(static_cast<std::size_t>(genes));
    for (std::uint64_t g = 0; g < genes; ++g) {
      agent.Genes.push_back(body.Finite("a gene"));
    }
  }
  TRunRecordState& record = checkpoint.Record;
  record.Generations = body.Count("the recorded generations");
  record.Evaluations = body.Count("the recorded evaluations");
  const std::uint32_t hasBest = body.U32("the best-file flag");
  if (hasBest > 1) {
    body.Fail("the best-file flag is " + std::to_string(hasBest) + ", not 0 or 1");
  }
  record.HasBest = hasBest == 1;
  record.BestFitness = body.Finite("the recorded best fitness");
  record.BestFile = body.Text("the best file");
  record.GenerationRows = body.Text("the generation rows");
  record.ElapsedSeconds = body.Finite("the elapsed time");
  record.StartTime = static_cast<std::int64_t>(body.U64("the start time"));
  record.EvaluationsBytes = body.U64("the evaluations log length");
  if (body.Left() != 0) {
    body.Fail(std::to_string(body.Left()) + " bytes left over after the record");
  }

  // the parts must tell the same story
  const auto generation = static_cast<std::size_t>(checkpoint.Generation);
  if (checkpoint.MaxFitnessHistory.size() != generation || checkpoint.AverageFitnessHistory.size() != generation ||
      record.Generations != checkpoint.Generation || record.Evaluations != checkpoint.EvaluationCount) {
    body.Fail("its generation (" + std::to_string(checkpoint.Generation) + "), histories (" +
              std::to_string(checkpoint.MaxFitnessHistory.size()) + ", " +
              std::to_string(checkpoint.AverageFitnessHistory.size()) + ") and record (" +
              std::to_string(record.Generations) + " generations) disagree");
  }
  return checkpoint;
}

void WriteCheckpoint(const std::filesystem::path& File, const TCheckpoint& Checkpoint) {
  const std::string bytes = EncodeCheckpoint(Checkpoint);
  std::filesystem::path temporary = File;
  temporary.replace_filename("." + File.filename().string() + ".tmp" + std::to_string(::getpid()));
  const int descriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (descriptor < 0) {
    FailSystem("write", File, errno);
  }
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::write(descriptor, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      const int error = n < 0 ? errno : EIO;
      ::close(descriptor);
      ::unlink(temporary.c_str());
      FailSystem("write", File, error);
    }
    written += static_cast<std::size_t>(n);
  }
  if (::fsync(descriptor) != 0 || ::close(descriptor) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    FailSystem("write", File, error);
  }
  if (std::rename(temporary.c_str(), File.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    FailSystem("write", File, error);
  }
  SyncFolder(File.parent_path());
}

TCheckpoint ReadCheckpoint(const std::filesystem::path& File) {
  std::ifstream in(File, std::ios::binary);
  if (!in) {
    throw TCheckpointError(File.string() + ": cannot read the checkpoint (" + std::strerror(errno) + ")");
  }
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) {
    throw TCheckpointError(File.string() + ": cannot read the checkpoint");
  }
  return DecodeCheckpoint(bytes.str(), File.string());
}

TCheckpoint CaptureCheckpoint(const TEvolutionRun& Run, const TRunRecordState& Record, std::string ExperimentHash,
                              std::string ArenaSha256, int Generations) {
  TCheckpoint checkpoint;
  checkpoint.ExperimentHash = std::move(ExperimentHash);
  checkpoint.ArenaSha256 = std::move(ArenaSha256);
  checkpoint.Generations = Generations;
  checkpoint.Seed = Run.Seed();
  checkpoint.GeneratorState = Run.GeneratorState();
  checkpoint.Generation = Run.EA()->Generation();
  checkpoint.EvaluationCount = Run.EvaluationCount();
  checkpoint.BestFitness = Run.BestFitness();
  for (int g = 1; g <= Run.MaxFitnessHistory().Count(); ++g) {
    checkpoint.MaxFitnessHistory.push_back(Run.MaxFitnessHistory().GetElement(g));
    checkpoint.AverageFitnessHistory.push_back(Run.AverageFitnessHistory().GetElement(g));
  }
  const TPopulation& population = Run.EA()->Population();
  checkpoint.Agents.resize(static_cast<std::size_t>(population.Count()));
  for (int i = 1; i <= population.Count(); ++i) {
    const auto& robot = static_cast<const TRobot&>(population.GetAgent(i));
    const auto* brain = dynamic_cast<const TFSMBrain*>(robot.Brain.get());
    if (brain == nullptr) {
      throw std::logic_error("a checkpoint holds finite-state-machine brains only");
    }
    TCheckpointAgent& agent = checkpoint.Agents[static_cast<std::size_t>(i - 1)];
    agent.Fitness = robot.Fitness;
    agent.RankFitness = robot.RankFitness;
    agent.ElapsedTime = robot.ElapsedTime;
    agent.Rows = brain->Genome.Rows();
    agent.Columns = brain->Genome.Columns();
    // the genes only: the robot itself is not copied
    agent.Genes.resize(static_cast<std::size_t>(agent.Rows) * static_cast<std::size_t>(agent.Columns));
    double* gene = agent.Genes.data();
    for (int q = 1; q <= agent.Rows; ++q) {
      for (int c = 1; c <= agent.Columns; ++c) {
        *gene++ = brain->Genome.GetElement(q, c);
      }
    }
  }
  checkpoint.Record = Record;
  return checkpoint;
}

void RestoreCheckpoint(TEvolutionRun& Run, const TCheckpoint& Checkpoint, const TRobot& TemplateRobot,
                       const TFSMBrainParameters& Brain, const std::string& Name) {
  TEvolutionRunState state;
  state.Seed = Checkpoint.Seed;
  state.GeneratorState = Checkpoint.GeneratorState;
  state.Generation = Checkpoint.Generation;
  state.EvaluationCount = Checkpoint.EvaluationCount;
  state.BestFitness = Checkpoint.BestFitness;
  for (std::size_t g = 0; g < Checkpoint.MaxFitnessHistory.size(); ++g) {
    state.MaxFitnessHistory.Append(Checkpoint.MaxFitnessHistory[g]);
    state.AverageFitnessHistory.Append(Checkpoint.AverageFitnessHistory[g]);
  }
  // the brains are built without drawing: their genes come from the checkpoint
  TRandomGenerator unused(0);
  const TFSMBrain shape(Brain, unused);
  int index = 0;
  for (const TCheckpointAgent& saved : Checkpoint.Agents) {
    ++index;
    if (saved.Rows != shape.Genome.Rows() || saved.Columns != shape.Genome.Columns() ||
        saved.Genes.size() != static_cast<std::size_t>(saved.Rows) * static_cast<std::size_t>(saved.Columns)) {
      throw TCheckpointError(Name + ": agent " + std::to_string(index) + " has a genome of " +
                             std::to_string(saved.Rows) + " x " + std::to_string(saved.Columns) +
                             " genes, the experiment's brain " + std::to_string(shape.Genome.Rows()) + " x " +
                             std::to_string(shape.Genome.Columns()));
    }
    auto brain = std::make_unique<TFSMBrain>(shape);
    std::size_t gene = 0;
    for (int q = 1; q <= saved.Rows; ++q) {
      for (int c = 1; c <= saved.Columns; ++c) {
        const double value = saved.Genes[gene++];
        if (!(value >= 0.0 && value <= 1.0)) {
          throw TCheckpointError(Name + ": agent " + std::to_string(index) + " has a gene outside [0, 1]");
        }
        brain->Genome.SetElement(q, c, value);
      }
    }
    auto robot = std::make_unique<TRobot>(TemplateRobot);
    robot->Brain = std::move(brain);
    robot->Fitness = saved.Fitness;
    robot->RankFitness = saved.RankFitness;
    robot->ElapsedTime = saved.ElapsedTime;
    state.Population.Append(std::move(robot));
  }
  try {
    Run.RestoreState(std::move(state));
  } catch (const std::invalid_argument& error) {
    throw TCheckpointError(Name + ": " + error.what());
  }
}

}  // namespace kestrovan
