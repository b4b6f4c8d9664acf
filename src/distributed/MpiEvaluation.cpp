#include "distributed/MpiEvaluation.h"

#include <mpi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <functional>
#include <limits>
#include <mutex>
#include <optional>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>

#include "arena/ArenaModel.h"
#include "experiment/Experiment.h"
#include "numerics/RandomNumbers.h"
#include "robot/DefaultRobot.h"
#include "robot/FSMBrain.h"
#include "robot/Robot.h"

namespace kestrovan {

namespace {

// Message tags. A worker's every message to rank 0 is a "results" message:
// the results of its last chunk (none at first) and a request for one more.
constexpr int kTagSetup = 1;
constexpr int kTagWork = 2;
constexpr int kTagStop = 3;
constexpr int kTagResults = 4;

// Requests a worker keeps open, so that its next chunk is on its way while
// it evaluates one.
constexpr int kCredits = 2;

// What travels back per agent: fitness, elapsed time, distance travelled and
// the body's final x and y (the run loop checks all of them).
constexpr std::size_t kResultValues = 5;

// How long a rank's thread that calls MPI sleeps between looks for a
// message when it has nothing to evaluate itself: MPI's blocking calls spin,
// which would take a core from the evaluating threads. While other threads
// of its own evaluate, it looks less often (each look costs a wake-up, and
// a worker's next chunk is already on its way), woken at once when they end.
constexpr std::chrono::microseconds kPollInterval{50};
constexpr std::chrono::microseconds kBusyPollInterval{1000};
// Rank 0's thread that calls MPI looks between this many steps of its own
// evaluations (some 0.1 ms of the default experiment).
constexpr int kStepsBetweenLooks = 250;

using TClock = std::chrono::steady_clock;

// A byte buffer that numbers are appended to and read from in order.
class TMessage {
 public:
  std::vector<char> Bytes;

  template <typename T>
  void Put(const T& Value) {
    const auto* p = reinterpret_cast<const char*>(&Value);
    Bytes.insert(Bytes.end(), p, p + sizeof(T));
  }
  void PutDoubles(const std::vector<double>& Values) {
    Put(static_cast<std::uint64_t>(Values.size()));
    const auto* p = reinterpret_cast<const char*>(Values.data());
    Bytes.insert(Bytes.end(), p, p + Values.size() * sizeof(double));
  }
  void PutText(const std::string& Text) {
    Put(static_cast<std::uint64_t>(Text.size()));
    Bytes.insert(Bytes.end(), Text.begin(), Text.end());
  }

  template <typename T>
  T Get() {
    T value{};
    Need(sizeof(T));
    std::memcpy(&value, Bytes.data() + read_, sizeof(T));
    read_ += sizeof(T);
    return value;
  }
  std::vector<double> GetDoubles() {
    const auto count = Get<std::uint64_t>();
    if (count > (Bytes.size() - read_) / sizeof(double)) {
      throw std::runtime_error("distributed run: a message ends inside its numbers");
    }
    std::vector<double> values(count);
    std::memcpy(values.data(), Bytes.data() + read_, count * sizeof(double));
    read_ += count * sizeof(double);
    return values;
  }
  std::string GetText() {
    const auto size = Get<std::uint64_t>();
    Need(size);
    std::string text(Bytes.data() + read_, size);
    read_ += size;
    return text;
  }

 private:
  void Need(std::uint64_t Size) const {
    if (Size > Bytes.size() - read_) {
      throw std::runtime_error("distributed run: a message is shorter than its contents");
    }
  }
  std::size_t read_ = 0;
};

// Sends without blocking; the buffers stay alive until their sends complete.
class TSender {
 public:
  std::uint64_t Send(TMessage Message, int Destination, int Tag) {
    auto& pending = pending_.emplace_back();
    pending.Message = std::move(Message);
    const auto size = pending.Message.Bytes.size();
    MPI_Isend(pending.Message.Bytes.data(), static_cast<int>(size), MPI_BYTE, Destination, Tag, MPI_COMM_WORLD,
              &pending.Request);
    return size;
  }
  // Releases the buffers of completed sends; true when none is left.
  bool Progress() {
    while (!pending_.empty()) {
      int done = 0;
      MPI_Test(&pending_.front().Request, &done, MPI_STATUS_IGNORE);
      if (done == 0) {
        return false;
      }
      pending_.pop_front();
    }
    return true;
  }
  void WaitAll() {
    while (!Progress()) {
      std::this_thread::sleep_for(kPollInterval);
    }
  }

 private:
  struct TPending {
    TMessage Message;
    MPI_Request Request = MPI_REQUEST_NULL;
  };
  std::deque<TPending> pending_;
};

// A message that has arrived from Source (any rank for MPI_ANY_SOURCE) with
// Tag (any for MPI_ANY_TAG), received; false when none has.
bool TryReceive(int Source, int Tag, TMessage& Message, MPI_Status& Status) {
  int found = 0;
  MPI_Iprobe(Source, Tag, MPI_COMM_WORLD, &found, &Status);
  if (found == 0) {
    return false;
  }
  int size = 0;
  MPI_Get_count(&Status, MPI_BYTE, &size);
  Message = TMessage();
  Message.Bytes.resize(static_cast<std::size_t>(size));
  MPI_Recv(Message.Bytes.data(), size, MPI_BYTE, Status.MPI_SOURCE, Status.MPI_TAG, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
  return true;
}

const TFSMBrain& FSMBrainOf(const TRobot& Agent) {
  const auto* brain = dynamic_cast<const TFSMBrain*>(Agent.Brain.get());
  if (brain == nullptr) {
    throw std::invalid_argument("distributed evaluation needs finite-state-machine brains");
  }
  return *brain;
}

// The results of an evaluation as they travel, and back into an agent.
void AppendResults(const TRobot& Agent, std::vector<double>& Values) {
  const TCoordinates* coordinates = Agent.Body->Kinematics();
  Values.push_back(Agent.Fitness);
  Values.push_back(Agent.ElapsedTime);
  Values.push_back(Agent.DistanceTravelled);
  Values.push_back(coordinates != nullptr ? coordinates->GetPosition(1) : 0.0);
  Values.push_back(coordinates != nullptr ? coordinates->GetPosition(2) : 0.0);
}

void ReadResults(const double* Values, TRobot& Agent) {
  Agent.Fitness = Values[0];
  Agent.ElapsedTime = Values[1];
  Agent.DistanceTravelled = Values[2];
  if (TCoordinates* coordinates = Agent.Body->Kinematics()) {
    coordinates->SetPosition(1, Values[3]);
    coordinates->SetPosition(2, Values[4]);
  }
}

// The recordings made ahead on a worker, as they travel after the results:
// their number, then each one's agent (from the chunk's first), fitness,
// elapsed time, text and cylinder velocities.
void PutRecords(TMessage& Message, const std::vector<TNewBestRecord>& Records) {
  std::uint64_t ready = 0;
  for (const TNewBestRecord& record : Records) {
    ready += record.Ready ? 1 : 0;
  }
  Message.Put(ready);
  for (std::size_t i = 0; i < Records.size(); ++i) {
    const TNewBestRecord& record = Records[i];
    if (!record.Ready) {
      continue;
    }
    Message.Put(static_cast<std::uint64_t>(i));
    Message.Put(record.Fitness);
    Message.Put(record.ElapsedTime);
    Message.PutText(record.Text);
    Message.PutDoubles(record.CylinderVelocities);
  }
}

// The records of a chunk of Size agents, by agent; throws for an agent
// outside the chunk.
std::vector<TNewBestRecord> GetRecords(TMessage& Message, std::size_t Size) {
  std::vector<TNewBestRecord> records(Size);
  const auto count = Message.Get<std::uint64_t>();
  for (std::uint64_t k = 0; k < count; ++k) {
    const auto index = Message.Get<std::uint64_t>();
    if (index >= Size) {
      throw std::runtime_error("distributed run: a recording of an agent outside its chunk");
    }
    TNewBestRecord& record = records[index];
    record.Fitness = Message.Get<double>();
    record.ElapsedTime = Message.Get<double>();
    record.Text = Message.GetText();
    record.CylinderVelocities = Message.GetDoubles();
    record.Ready = true;
  }
  return records;
}

}  // namespace

std::size_t GenomeSize(const TRobot& Agent) {
  const TMatrix& genome = FSMBrainOf(Agent).Genome;
  return static_cast<std::size_t>(genome.Rows()) * static_cast<std::size_t>(genome.Columns());
}

void AppendGenome(const TRobot& Agent, std::vector<double>& Genes) {
  const TMatrix& genome = FSMBrainOf(Agent).Genome;
  for (int i = 1; i <= genome.Rows(); ++i) {
    for (int j = 1; j <= genome.Columns(); ++j) {
      Genes.push_back(genome.GetElement(i, j));
    }
  }
}

void ReadGenome(const double* Genes, TRobot& Agent) {
  auto& genome = const_cast<TFSMBrain&>(FSMBrainOf(Agent)).Genome;
  for (int i = 1; i <= genome.Rows(); ++i) {
    for (int j = 1; j <= genome.Columns(); ++j) {
      genome.SetElement(i, j, *Genes++);
    }
  }
}

// ---- the session

TMpiSession::TMpiSession() {
  // only the thread that made the session calls MPI
  int provided = 0;
  MPI_Init_thread(nullptr, nullptr, MPI_THREAD_FUNNELED, &provided);
  if (provided < MPI_THREAD_FUNNELED) {
    MPI_Finalize();
    throw std::runtime_error("the MPI library cannot be used by a program with threads");
  }
  MPI_Comm_rank(MPI_COMM_WORLD, &rank_);
  MPI_Comm_size(MPI_COMM_WORLD, &size_);
}

TMpiSession::~TMpiSession() {
  if (rank_ == 0 && armed_ && !stopped_) {
    StopWorkers();
  }
  MPI_Finalize();
}

void TMpiSession::StopWorkers() {
  stopped_ = true;
  TSender sender;
  for (int rank = 1; rank < size_; ++rank) {
    sender.Send(TMessage(), rank, kTagStop);
  }
  sender.WaitAll();
}

// ---- rank 0

struct TMpiEvaluator::TState {
  TSender Sender;
  // requests received and not yet answered, per rank; threads per rank
  std::vector<int> OpenRequests;
  std::vector<int> Threads;
  int TotalThreads = 0;
  int KnownRanks = 1;  // ranks whose thread count is known (rank 0 included)
};

TMpiEvaluator::TMpiEvaluator(TMpiSession& Session, int Threads, const TDistributedSetup& Setup)
    : session_(Session), threads_(Threads), state_(std::make_unique<TState>()) {
  if (Threads < 1) {
    throw std::invalid_argument("Threads must be at least 1 (got " + std::to_string(Threads) + ")");
  }
  const int size = session_.Size();
  state_->OpenRequests.assign(static_cast<std::size_t>(size), 0);
  state_->Threads.assign(static_cast<std::size_t>(size), 0);
  state_->Threads[0] = Threads;
  state_->TotalThreads = Threads;
  TMessage setup;
  setup.PutText(Setup.ExperimentText);
  setup.PutText(Setup.ArenaText);
  setup.PutText(Setup.ArenaName);
  setup.Put(Setup.RandomSeed);
  for (int rank = 1; rank < size; ++rank) {
    state_->Sender.Send(setup, rank, kTagSetup);
  }
  state_->Sender.WaitAll();

  // every worker answers with its first requests: its thread count, and
  // why it cannot take part if it cannot
  std::string refusal;
  int waiting = (size - 1) * kCredits;
  while (waiting > 0) {
    TMessage message;
    MPI_Status status;
    if (!TryReceive(MPI_ANY_SOURCE, kTagResults, message, status)) {
      std::this_thread::sleep_for(kPollInterval);
      continue;
    }
    --waiting;
    const auto rank = static_cast<std::size_t>(status.MPI_SOURCE);
    ++state_->OpenRequests[rank];
    const auto threads = message.Get<std::int32_t>();
    message.Get<double>();
    message.Get<std::uint64_t>();
    message.Get<std::uint64_t>();
    const std::string error = message.GetText();
    if (state_->Threads[rank] == 0) {
      state_->Threads[rank] = std::max(threads, 1);
      state_->TotalThreads += state_->Threads[rank];
    }
    if (!error.empty() && refusal.empty()) {
      refusal = "rank " + std::to_string(rank) + ": " + error;
    }
  }
  if (!refusal.empty()) {
    throw std::runtime_error(refusal);
  }
}

TMpiEvaluator::~TMpiEvaluator() {
  // every worker has all its requests open once it has nothing left to do
  try {
    const int size = session_.Size();
    for (;;) {
      bool idle = true;
      for (int rank = 1; rank < size; ++rank) {
        idle = idle && state_->OpenRequests[static_cast<std::size_t>(rank)] == kCredits;
      }
      if (idle) {
        break;
      }
      TMessage message;
      MPI_Status status;
      if (TryReceive(MPI_ANY_SOURCE, kTagResults, message, status)) {
        // a results message outside a generation carries no results (a
        // worker's first requests)
        ++state_->OpenRequests[static_cast<std::size_t>(status.MPI_SOURCE)];
      } else {
        std::this_thread::sleep_for(kPollInterval);
      }
    }
    state_->Sender.WaitAll();
    session_.StopWorkers();
  } catch (...) {
    // the session's destructor stops the workers
  }
}

void TMpiEvaluator::Evaluate(const std::vector<TRobot*>& Agents, const TEvaluationContext& Context) {
  statistics_ = TDistributedStatistics();
  if (lastEnd_ != TClock::time_point()) {
    statistics_.SerialSeconds = std::chrono::duration<double>(TClock::now() - lastEnd_).count();
  }
  TState& state = *state_;
  const std::size_t count = Agents.size();
  const std::size_t genomeSize = count > 0 ? GenomeSize(*Agents.front()) : 0;

  // the chunks: guided self-scheduling, each taker's share of what is left
  // in proportion to its threads, quartered (a worker holds two chunks at a
  // time, and a slow rank should not hold much), at least one agent
  std::mutex queueMutex;
  std::size_t next = 0;
  const auto take = [&](int TakerThreads, std::size_t& First) -> std::size_t {
    const std::lock_guard lock(queueMutex);
    const std::size_t left = count - next;
    if (left == 0) {
      return 0;
    }
    const auto total = static_cast<std::size_t>(std::max(state.TotalThreads, 1));
    const std::size_t share = (left * static_cast<std::size_t>(TakerThreads) + 4 * total - 1) / (4 * total);
    const std::size_t size = std::clamp<std::size_t>(share, 1, left);
    First = next;
    next += size;
    return size;
  };

  // rank 0's own threads: this one, which evaluates between its looks at
  // MPI (a thread that only looked would wait for a core that two
  // evaluating threads hold), and Threads - 1 helpers; the last helper to
  // finish wakes this one
  const int helpers = threads_ - 1;
  std::atomic<int> helpersRunning{helpers};
  std::mutex helperMutex;
  std::condition_variable helperDone;
  std::vector<std::exception_ptr> localErrors(static_cast<std::size_t>(threads_));
  std::atomic<bool> failed{false};
  std::vector<std::jthread> workers;
  workers.reserve(static_cast<std::size_t>(helpers));
  for (int w = 1; w <= helpers; ++w) {
    workers.emplace_back([&, w] {
      try {
        TArenaState work(Context.Model);
        std::size_t first = 0;
        for (std::size_t size = take(1, first); size > 0 && !failed.load(); size = take(1, first)) {
          for (std::size_t i = first; i < first + size; ++i) {
            EvaluateAgent(*Agents[i], work, Context);
            if (Context.AfterEvaluation) {
              Context.AfterEvaluation(i, *Agents[i], work);
            }
          }
        }
      } catch (...) {
        localErrors[static_cast<std::size_t>(w)] = std::current_exception();
        failed.store(true);
      }
      {
        const std::lock_guard lock(helperMutex);
        helpersRunning.fetch_sub(1);
      }
      helperDone.notify_one();
    });
  }

  // the other ranks: answer their requests while there is work, take in
  // their results
  std::string remoteError;
  int outstanding = 0;
  // chunks sent to each rank and not yet back
  std::vector<int> inFlight(static_cast<std::size_t>(session_.Size()), 0);
  const auto serve = [&](int Rank) {
    auto& open = state.OpenRequests[static_cast<std::size_t>(Rank)];
    const int rankThreads = std::max(state.Threads[static_cast<std::size_t>(Rank)], 1);
    while (open > 0 && !failed.load() && remoteError.empty()) {
      // near the end a rank holds one chunk per thread at most, none waiting
      // beside those it evaluates, so that it does not finish after the others
      {
        const std::lock_guard lock(queueMutex);
        const auto total = static_cast<std::size_t>(std::max(state.TotalThreads, 1));
        if (count - next <= 4 * total && inFlight[static_cast<std::size_t>(Rank)] >= rankThreads) {
          return;
        }
      }
      std::size_t first = 0;
      const std::size_t size = take(std::max(state.Threads[static_cast<std::size_t>(Rank)], 1), first);
      if (size == 0) {
        return;
      }
      std::vector<double> genes;
      genes.reserve(size * genomeSize);
      for (std::size_t i = first; i < first + size; ++i) {
        AppendGenome(*Agents[i], genes);
      }
      // the worker records ahead the agents above what is known of those before
      const double threshold =
          Context.RecordThreshold ? Context.RecordThreshold(first) : std::numeric_limits<double>::infinity();
      TMessage work;
      work.Put(static_cast<std::uint64_t>(first));
      work.Put(static_cast<std::uint64_t>(size));
      work.Put(static_cast<std::uint64_t>(genomeSize));
      work.Put(threshold);
      work.PutDoubles(genes);
      statistics_.BytesSent += state.Sender.Send(std::move(work), Rank, kTagWork);
      ++statistics_.Messages;
      --open;
      ++outstanding;
      ++inFlight[static_cast<std::size_t>(Rank)];
    }
  };
  const auto receive = [&](TMessage& Message, const MPI_Status& Status) {
    const int rank = Status.MPI_SOURCE;
    statistics_.BytesReceived += Message.Bytes.size();
    ++statistics_.Messages;
    ++state.OpenRequests[static_cast<std::size_t>(rank)];
    Message.Get<std::int32_t>();  // the thread count, known since the start
    statistics_.RemoteIdleSeconds += Message.Get<double>();
    const auto first = Message.Get<std::uint64_t>();
    const auto size = Message.Get<std::uint64_t>();
    const std::string error = Message.GetText();
    const std::vector<double> values = Message.GetDoubles();
    if (size == 0) {
      return;  // a first request
    }
    --outstanding;
    --inFlight[static_cast<std::size_t>(rank)];
    if (!error.empty()) {
      if (remoteError.empty()) {
        remoteError = "rank " + std::to_string(rank) + ": " + error;
      }
      return;
    }
    if (first > count || size > count - first || values.size() != size * kResultValues) {
      throw std::runtime_error("distributed run: rank " + std::to_string(rank) + " sent results of another chunk");
    }
    std::vector<TNewBestRecord> records = GetRecords(Message, size);
    for (std::size_t i = 0; i < size; ++i) {
      ReadResults(values.data() + i * kResultValues, *Agents[first + i]);
      statistics_.RemoteRecords += records[i].Ready ? 1 : 0;
      if (Context.AfterRemoteEvaluation) {
        Context.AfterRemoteEvaluation(first + i, *Agents[first + i], records[i].Ready ? &records[i] : nullptr);
      }
    }
    statistics_.RemoteEvaluations += static_cast<int>(size);
    ++statistics_.RemoteChunks;
  };

  // this thread's chunk, evaluated a few steps between two looks at MPI, so
  // that other ranks' requests are answered at once
  TArenaState ownWork(Context.Model);
  std::optional<TAgentEvaluation> ownEvaluation;
  std::size_t ownNext = 0;
  std::size_t ownEnd = 0;
  bool ownDone = count == 0;
  try {
    for (;;) {
      bool busy = false;
      TMessage message;
      MPI_Status status;
      while (TryReceive(MPI_ANY_SOURCE, kTagResults, message, status)) {
        receive(message, status);
        busy = true;
      }
      for (int rank = 1; rank < session_.Size(); ++rank) {
        serve(rank);
      }
      const bool sent = state.Sender.Progress();
      if (!ownDone && ownNext == ownEnd) {
        std::size_t first = 0;
        const std::size_t size = failed.load() || !remoteError.empty() ? 0 : take(1, first);
        ownNext = first;
        ownEnd = first + size;
        ownDone = size == 0;
      }
      if (!ownDone) {
        try {
          if (!ownEvaluation) {
            ownEvaluation.emplace(*Agents[ownNext], ownWork, Context);
          }
          if (ownEvaluation->Advance(kStepsBetweenLooks)) {
            ownEvaluation.reset();
            if (Context.AfterEvaluation) {
              Context.AfterEvaluation(ownNext, *Agents[ownNext], ownWork);
            }
            ++ownNext;
          }
        } catch (...) {
          localErrors[0] = std::current_exception();
          failed.store(true);
          ownDone = true;
        }
        continue;
      }
      const bool localFinished = helpersRunning.load() == 0;
      if (localFinished && outstanding == 0) {
        break;
      }
      if (!busy) {
        // a large message moves on only while this rank calls MPI, so look
        // often until the chunks sent have left; seldom while helpers
        // evaluate (woken when the last of them ends)
        const TClock::time_point start = TClock::now();
        if (localFinished || !sent) {
          std::this_thread::sleep_for(kPollInterval);
        } else {
          std::unique_lock lock(helperMutex);
          helperDone.wait_for(lock, kBusyPollInterval, [&helpersRunning] { return helpersRunning.load() == 0; });
        }
        if (localFinished) {
          statistics_.WaitSeconds += std::chrono::duration<double>(TClock::now() - start).count();
        }
      }
    }
  } catch (...) {
    failed.store(true);
    workers.clear();
    throw;
  }
  workers.clear();
  state.Sender.WaitAll();

  for (const std::exception_ptr& error : localErrors) {
    if (error) {
      std::rethrow_exception(error);
    }
  }
  if (!remoteError.empty()) {
    throw std::runtime_error(remoteError);
  }
  lastEnd_ = TClock::now();
}

// ---- the workers

namespace {

// A worker's copy of what the run evaluates with.
struct TWorkerRun {
  TExperiment Experiment;
  std::unique_ptr<TArena> Arena;
  std::unique_ptr<TArenaModel> Model;  // of Arena, shared by the rank's threads
  std::unique_ptr<TRobotSimulationParameters> Parameters;
  TFitnessFunction Fitness = CylinderDistanceFitness;
  std::unique_ptr<TRobot> Template;
  std::vector<std::unique_ptr<TRobot>> Agents;  // reused from chunk to chunk

  explicit TWorkerRun(TMessage& Setup) {
    const std::string experimentText = Setup.GetText();
    const std::string arenaText = Setup.GetText();
    const std::string arenaName = Setup.GetText();
    const auto randomSeed = Setup.Get<std::int32_t>();
    Experiment = ParseExperiment(experimentText, "experiment.toml");
    std::istringstream arenaInput(arenaText);
    Arena = std::make_unique<TArena>(arenaInput, arenaName);
    if (!Experiment.KeepCylinderVelocities) {
      Arena->RandomizeCylinderVelocities(randomSeed, Experiment.MinimumCylinderSpeed, Experiment.MaximumCylinderSpeed);
    }
    Model = std::make_unique<TArenaModel>(*Arena);
    Parameters = std::make_unique<TRobotSimulationParameters>(Experiment.SimulationTime, Experiment.TimeStep);
    Parameters->Validate();
    const TRobotConfiguration configuration = Experiment.RobotConfiguration();
    Template = BuildRobot(configuration, kSensorMountingRadius);
    TRandomGenerator generator(1);
    Template->Brain = std::make_unique<TFSMBrain>(configuration.Brain, generator);
  }

  // Agents [0, Count) ready to take genomes.
  void Reserve(std::size_t Count) {
    while (Agents.size() < Count) {
      Agents.push_back(std::make_unique<TRobot>(*Template));
    }
  }
};

// A chunk of genomes on a worker, from its message to its results: the
// agents of the worker's run given the genomes, then evaluated (the likely
// new bests recorded right after their evaluation: those above rank 0's
// threshold and above the agents before them in the chunk), then their
// results. A failure ends the chunk with its message in Error.
struct TWorkerChunk {
  std::uint64_t First = 0;
  std::uint64_t Size = 0;
  std::vector<TRobot*> Agents;
  std::vector<double> Values;
  std::vector<TNewBestRecord> Records;  // by agent of the chunk
  std::string Error;
  std::unique_ptr<TEvaluationContext> Context;
  std::unique_ptr<TNewBestCandidates> Candidates;
  std::unique_ptr<TArenaState> Work;  // for the evaluations made one at a time
  std::size_t Next = 0;               // the next agent evaluated one at a time
  std::atomic<bool> Done{false};

  void Begin(TMessage& Message, TWorkerRun* Run) {
    try {
      First = Message.Get<std::uint64_t>();
      Size = Message.Get<std::uint64_t>();
      const auto genomeSize = Message.Get<std::uint64_t>();
      const auto threshold = Message.Get<double>();
      const std::vector<double> genes = Message.GetDoubles();
      if (Run == nullptr) {
        throw std::runtime_error("this rank could not set up the run");
      }
      if (genes.size() != Size * genomeSize) {
        throw std::runtime_error("a chunk's genomes have the wrong size");
      }
      Run->Reserve(Size);
      for (std::size_t i = 0; i < Size; ++i) {
        TRobot& agent = *Run->Agents[i];
        if (GenomeSize(agent) != genomeSize) {
          throw std::runtime_error("a genome's size differs from this rank's brains");
        }
        ReadGenome(genes.data() + i * genomeSize, agent);
        Agents.push_back(&agent);
      }
      Context = std::make_unique<TEvaluationContext>(TEvaluationContext{*Run->Model, *Run->Parameters, Run->Fitness});
      Candidates = std::make_unique<TNewBestCandidates>(Agents.size(), threshold);
      Records.resize(Agents.size());
      Context->AfterEvaluation = [this](std::size_t Index, TRobot& Agent, TArenaState& State) {
        if (Candidates->MayBeNewBest(Index, Agent.Fitness)) {
          RecordAhead(Agent, State, *Context, Records[Index]);
        }
      };
    } catch (const std::exception& e) {
      Fail(e);
    }
  }

  // Evaluates the next agent; true when none is left.
  bool EvaluateNext() {
    if (!Error.empty() || Next >= Agents.size()) {
      return true;
    }
    try {
      if (!Work) {
        Work = std::make_unique<TArenaState>(Context->Model);
      }
      EvaluateAgent(*Agents[Next], *Work, *Context);
      Context->AfterEvaluation(Next, *Agents[Next], *Work);
      ++Next;
    } catch (const std::exception& e) {
      Fail(e);
    }
    return !Error.empty() || Next >= Agents.size();
  }

  // Every agent at once on Evaluator's threads.
  void EvaluateAll(TGenerationEvaluator& Evaluator) {
    if (!Error.empty()) {
      return;
    }
    try {
      Evaluator.Evaluate(Agents, *Context);
      Next = Agents.size();
    } catch (const std::exception& e) {
      Fail(e);
    }
  }

  // The results of a chunk whose agents are all evaluated.
  void Finish() {
    if (!Error.empty()) {
      return;
    }
    Values.reserve(Agents.size() * kResultValues);
    for (const TRobot* agent : Agents) {
      AppendResults(*agent, Values);
    }
  }

 private:
  void Fail(const std::exception& E) {
    Error = E.what();
    Values.clear();
    Records.clear();
  }
};

}  // namespace

int RunMpiWorker(int Threads) {
  TSender sender;
  std::unique_ptr<TWorkerRun> run;
  std::unique_ptr<TGenerationEvaluator> evaluator;
  if (Threads > 1) {
    evaluator = std::make_unique<TThreadPoolEvaluator>(Threads);
  }
  // time without a chunk to evaluate, reported with the next results
  double idleSeconds = 0.0;
  TClock::time_point idleSince = TClock::now();
  const auto request = [&](std::uint64_t First, std::uint64_t Size, const std::string& Error,
                           const std::vector<double>& Values, const std::vector<TNewBestRecord>& Records) {
    TMessage message;
    message.Put(static_cast<std::int32_t>(Threads));
    message.Put(idleSeconds);
    idleSeconds = 0.0;
    message.Put(First);
    message.Put(Size);
    message.PutText(Error);
    message.PutDoubles(Values);
    PutRecords(message, Records);
    sender.Send(std::move(message), 0, kTagResults);
  };

  // With one thread, a chunk's agents are evaluated on this thread, one
  // between two looks at MPI: no second thread waits for a core to answer
  // rank 0. With more, a chunk is evaluated on threads of their own while
  // this one keeps MPI going. Either way results and requests leave at
  // once, and the next chunk arrives meanwhile (large messages move only
  // while both sides call MPI).
  std::deque<TMessage> inbox;
  std::unique_ptr<TWorkerChunk> current;
  std::jthread evaluation;
  std::mutex doneMutex;
  std::condition_variable doneSignal;
  const auto evaluateAll = [&run, &evaluator, &doneMutex, &doneSignal](TMessage Message, TWorkerChunk& Chunk) {
    Chunk.Begin(Message, run.get());
    Chunk.EvaluateAll(*evaluator);
    Chunk.Finish();
    {
      const std::lock_guard lock(doneMutex);
      Chunk.Done.store(true);
    }
    doneSignal.notify_one();
  };

  bool stop = false;
  for (;;) {
    bool busy = false;
    TMessage message;
    MPI_Status mpiStatus;
    while (!stop && TryReceive(0, MPI_ANY_TAG, message, mpiStatus)) {
      busy = true;
      if (mpiStatus.MPI_TAG == kTagStop) {
        stop = true;
      } else if (mpiStatus.MPI_TAG == kTagSetup) {
        std::string error;
        try {
          run = std::make_unique<TWorkerRun>(message);
        } catch (const std::exception& e) {
          error = e.what();
        }
        // rank 0 reports why this rank cannot take part and ends the run
        for (int i = 0; i < kCredits; ++i) {
          request(0, 0, error, {}, {});
        }
      } else {
        inbox.push_back(std::move(message));
      }
    }
    if (current && Threads == 1 && !current->Done.load() && current->EvaluateNext()) {
      current->Finish();
      current->Done.store(true);
    }
    if (current && current->Done.load()) {
      evaluation = std::jthread();  // joins
      idleSince = TClock::now();
      request(current->First, current->Size, current->Error, current->Values, current->Records);
      current.reset();
      busy = true;
    }
    if (!current && !inbox.empty()) {
      idleSeconds += std::chrono::duration<double>(TClock::now() - idleSince).count();
      current = std::make_unique<TWorkerChunk>();
      if (Threads == 1) {
        current->Begin(inbox.front(), run.get());
      } else {
        evaluation = std::jthread(evaluateAll, std::move(inbox.front()), std::ref(*current));
      }
      inbox.pop_front();
      busy = true;
    }
    sender.Progress();
    if (stop && !current && inbox.empty()) {
      break;
    }
    if (current && Threads == 1) {
      continue;  // the next agent at once
    }
    if (!busy && current) {
      std::unique_lock lock(doneMutex);
      doneSignal.wait_for(lock, kBusyPollInterval, [&current] { return current->Done.load(); });
    } else if (!busy) {
      std::this_thread::sleep_for(kPollInterval);
    }
  }
  sender.WaitAll();
  return 0;
}

}  // namespace kestrovan
