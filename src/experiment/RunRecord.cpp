#include "experiment/RunRecord.h"

#include <openssl/evp.h>

#include <algorithm>
#include <charconv>
#include <ctime>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include "experiment/Checkpoint.h"
#include "simulation/EvolutionRun.h"
#include "simulation/ResultFiles.h"
#include "version/Version.h"

namespace kestrovan {

namespace {

std::string UtcText(std::chrono::system_clock::time_point Time) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(Time);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

std::string Fixed(double Value, int Decimals) {
  std::string text;
  AppendFixed(text, Value, Decimals);
  return text;
}

// The shortest text that reads back as Value (no ".0" added: CSV, not TOML).
std::string Shortest(double Value) {
  char text[64];
  return std::string(text, std::to_chars(text, text + sizeof text, Value).ptr);
}

}  // namespace

int StepsOf(double ElapsedTime, double TimeStep) {
  if (!(TimeStep > 0.0)) {
    return 0;
  }
  int steps = 0;
  for (double time = 0.0; time < ElapsedTime; time = time + TimeStep) {
    ++steps;
  }
  return steps;
}

std::string ReadFileBytes(const std::filesystem::path& File) {
  std::ifstream in(File, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (!in || in.bad()) {
    throw std::runtime_error("Cannot read '" + File.string() + "'");
  }
  return bytes.str();
}

std::string Sha256Hex(const std::string& Bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(Bytes.data(), Bytes.size(), digest, &length, EVP_sha256(), nullptr) != 1) {
    throw std::runtime_error("SHA-256 failed");
  }
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (unsigned int i = 0; i < length; ++i) {
    text += kDigits[digest[i] >> 4];
    text += kDigits[digest[i] & 15];
  }
  return text;
}

std::string ExperimentHash(const TExperiment& Experiment, const std::string& ArenaBytes) {
  TExperiment settings = Experiment;
  settings.Generations.reset();
  // the arena enters by its contents, not by where it lies
  settings.ArenaFile = kArenaRecordFile;
  std::string text = ExperimentText(settings, ".");
  text += "# arena sha256 ";
  text += Sha256Hex(ArenaBytes);
  text += '\n';
  return Sha256Hex(text);
}

std::string ExperimentHash(const TExperiment& Experiment) {
  return ExperimentHash(Experiment, ReadFileBytes(Experiment.ArenaFile));
}

TRunRecord::TRunRecord(const TExperiment& Experiment, std::filesystem::path Folder, std::string CommandLine,
                       int Threads)
    : experiment_(Experiment), folder_(std::move(Folder)), commandLine_(std::move(CommandLine)), threads_(Threads) {}

TRunRecord::~TRunRecord() {
  // a record that was never finished leaves no half-written log behind
  if (evaluationsLog_.is_open()) {
    evaluationsLog_.close();
    std::error_code ignored;
    std::filesystem::remove(evaluationsPart_, ignored);
  }
}

void TRunRecord::Begin() {
  startTime_ = std::chrono::system_clock::now();
  start_ = std::chrono::steady_clock::now();

  // the arena beside the experiment, so that the folder alone repeats the run
  const std::string arena = ReadFileBytes(experiment_.ArenaFile);
  arenaSha256_ = Sha256Hex(arena);
  experimentSha256_ = ExperimentHash(experiment_, arena);
  WriteFileAtomically(folder_ / kArenaRecordFile, arena);
  experiment_.ArenaFile = folder_ / kArenaRecordFile;
  WriteExperiment(experiment_, folder_ / kExperimentRecordFile);

  WriteManifest("running", {});
  WriteGenerations();
  if (experiment_.LogEvaluations) {
    evaluationsPart_ = folder_ / (std::string(".") + kEvaluationsFile + ".part");
    evaluationsLog_.open(evaluationsPart_, std::ios::binary | std::ios::trunc);
    evaluationsLog_ << "evaluation,generation,index,fitness,steps\n";
    evaluationsLog_.flush();
    if (!evaluationsLog_) {
      throw std::runtime_error("Cannot write '" + evaluationsPart_.string() + "'");
    }
    evaluationsAtGeneration_ = static_cast<std::uint64_t>(evaluationsLog_.tellp());
  }
}

void TRunRecord::EvaluationFinished(const TEvolutionRun& Run, const TEvaluationResult& Result) {
  evaluations_ = Result.EvaluationCount;
  if (Result.NewBest) {
    hasBest_ = true;
    bestFitness_ = Result.Fitness;
    bestFile_ = Result.RecordFile.filename().string();
  }
  if (evaluationsLog_.is_open()) {
    const TAgent& agent = Run.EA()->Population().GetAgent(Result.AgentIndex);
    evaluationsLog_ << Result.EvaluationCount << ',' << generations_ + 1 << ',' << Result.AgentIndex << ','
                    << Shortest(Result.Fitness) << ',' << StepsOf(agent.ElapsedTime, experiment_.TimeStep) << '\n';
  }
}

TRunRecordState TRunRecord::State() {
  TRunRecordState state;
  state.Generations = generations_;
  state.Evaluations = evaluations_;
  state.HasBest = hasBest_;
  state.BestFitness = bestFitness_;
  state.BestFile = bestFile_;
  state.GenerationRows = generationRows_;
  state.ElapsedSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  state.StartTime = std::chrono::duration_cast<std::chrono::seconds>(startTime_.time_since_epoch()).count();
  if (evaluationsLog_.is_open()) {
    evaluationsLog_.flush();
    const std::streamoff length = evaluationsLog_.tellp();
    if (!evaluationsLog_ || length < 0) {
      throw std::runtime_error("Cannot write '" + evaluationsPart_.string() + "'");
    }
    state.EvaluationsBytes = static_cast<std::uint64_t>(length);
  }
  return state;
}

void TRunRecord::Resume(const TRunRecordState& State) {
  const auto now = std::chrono::steady_clock::now();
  start_ = now - std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                     std::chrono::duration<double>(std::max(0.0, State.ElapsedSeconds)));
  startTime_ = std::chrono::system_clock::time_point(std::chrono::seconds(State.StartTime));
  generations_ = State.Generations;
  evaluations_ = State.Evaluations;
  hasBest_ = State.HasBest;
  bestFitness_ = State.BestFitness;
  bestFile_ = State.BestFile;
  generationRows_ = State.GenerationRows;

  const std::string arena = ReadFileBytes(folder_ / kArenaRecordFile);
  arenaSha256_ = Sha256Hex(arena);
  experimentSha256_ = ExperimentHash(experiment_, arena);
  experiment_.ArenaFile = folder_ / kArenaRecordFile;

  WriteManifest("running", {});
  WriteGenerations();
  if (experiment_.LogEvaluations) {
    evaluationsPart_ = folder_ / (std::string(".") + kEvaluationsFile + ".part");
    const std::filesystem::path finished = folder_ / kEvaluationsFile;
    std::error_code error;
    // a stopped run has renamed its log; it goes on under the temporary name
    if (!std::filesystem::exists(evaluationsPart_, error) && std::filesystem::exists(finished, error)) {
      std::filesystem::rename(finished, evaluationsPart_, error);
      if (error) {
        throw std::runtime_error("Cannot rename '" + finished.string() + "': " + error.message());
      }
    }
    const std::uintmax_t size = std::filesystem::file_size(evaluationsPart_, error);
    if (error || size < State.EvaluationsBytes) {
      throw std::runtime_error("The evaluations log '" + evaluationsPart_.string() + "' is " +
                               (error ? "missing" : "shorter than the checkpoint says") +
                               "; the run cannot continue it");
    }
    std::filesystem::resize_file(evaluationsPart_, State.EvaluationsBytes, error);
    if (error) {
      throw std::runtime_error("Cannot write '" + evaluationsPart_.string() + "': " + error.message());
    }
    evaluationsLog_.open(evaluationsPart_, std::ios::binary | std::ios::app);
    if (!evaluationsLog_) {
      throw std::runtime_error("Cannot write '" + evaluationsPart_.string() + "'");
    }
    evaluationsAtGeneration_ = State.EvaluationsBytes;
  }
}

void TRunRecord::GenerationFinished(const TEvolutionRun& Run) {
  ++generations_;
  const int last = Run.MaxFitnessHistory().Count();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  generationRows_ += std::to_string(generations_) + ',' + Shortest(Run.MaxFitnessHistory().GetElement(last)) + ',' +
                     Shortest(Run.AverageFitnessHistory().GetElement(last)) + ',' +
                     Shortest(Run.EA()->Population().MinFitness()) + ',' + std::to_string(Run.EvaluationCount()) + ',' +
                     Fixed(seconds, 3) + '\n';
  if (!deferGenerations_) {
    WriteGenerations();
  }
  if (evaluationsLog_.is_open()) {
    evaluationsLog_.flush();
    if (!evaluationsLog_) {
      throw std::runtime_error("Cannot write '" + evaluationsPart_.string() + "'");
    }
    evaluationsAtGeneration_ = static_cast<std::uint64_t>(evaluationsLog_.tellp());
  }
}

void TRunRecord::Finish(TRunEnd End, const std::string& Error) {
  if (finished_) {
    return;
  }
  finished_ = true;
  endTime_ = std::chrono::system_clock::now();
  elapsed_ = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  experiment_.Generations = generations_;
  WriteExperiment(experiment_, folder_ / kExperimentRecordFile);
  if (evaluationsLog_.is_open()) {
    evaluationsLog_.close();
    if (!evaluationsLog_) {
      throw std::runtime_error("Cannot write '" + evaluationsPart_.string() + "'");
    }
    std::error_code error;
    if (End == TRunEnd::Stopped) {
      // the rows of the generations done, none of one abandoned
      std::filesystem::resize_file(evaluationsPart_, evaluationsAtGeneration_, error);
      if (error) {
        throw std::runtime_error("Cannot write '" + evaluationsPart_.string() + "': " + error.message());
      }
    }
    std::filesystem::rename(evaluationsPart_, folder_ / kEvaluationsFile, error);
    if (error) {
      throw std::runtime_error("Cannot write '" + (folder_ / kEvaluationsFile).string() + "': " + error.message());
    }
  }
  const char* status = End == TRunEnd::Completed ? "completed" : End == TRunEnd::Stopped ? "stopped" : "failed";
  WriteManifest(status, Error);
}

std::string TRunRecord::GenerationsText() const {
  return "generation,max_fitness,avg_fitness,min_fitness,evaluations,seconds\n" + generationRows_;
}

void TRunRecord::WriteGenerations() const { WriteFileAtomically(folder_ / kGenerationsFile, GenerationsText()); }

void TRunRecord::WriteManifest(const char* Status, const std::string& Error) const {
  nlohmann::ordered_json manifest;
  manifest["program"] = "kestrovan";
  manifest["version"] = ProgramVersion();
  manifest["source_revision"] = SourceRevision();
  manifest["build_type"] = BuildType();
  manifest["compiler"] = CompilerName();
  manifest["seed"] = experiment_.Seed.value_or(0);
  manifest["command_line"] = commandLine_;
  manifest["threads"] = threads_;
  manifest["start_time"] = UtcText(startTime_);
  manifest["end_time"] = finished_ ? nlohmann::ordered_json(UtcText(endTime_)) : nlohmann::ordered_json(nullptr);
  manifest["elapsed_seconds"] = elapsed_;
  manifest["generations"] = generations_;
  manifest["evaluations"] = evaluations_;
  manifest["best_fitness"] = hasBest_ ? nlohmann::ordered_json(bestFitness_) : nlohmann::ordered_json(nullptr);
  manifest["best_file"] = hasBest_ ? nlohmann::ordered_json(bestFile_) : nlohmann::ordered_json(nullptr);
  manifest["arena_file"] = kArenaRecordFile;
  manifest["arena_sha256"] = arenaSha256_;
  manifest["experiment_sha256"] = experimentSha256_;
  manifest["status"] = Status;
  manifest["error"] = Error.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(Error);
  WriteFileAtomically(folder_ / kManifestFile, manifest.dump(2) + "\n");
}

}  // namespace kestrovan
