#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "numerics/RandomNumbers.h"
#include "simulation/EvolutionRun.h"
#include "simulation/GenerationEvaluator.h"
#include "simulation/SimulationTestSupport.h"
#include "support/TestSupport.h"

namespace kestrovan {
namespace {

using test::TArenaText;

std::string ReachableArena() {
  return TArenaText().Floor(2, 2).Cylinder(0.12, 0.02, 0.03, 0.1).Cylinder(0.1, -0.1, 0.03, 0.05).Text();
}

// A gate that evaluations wait at until the conclusions open it; a wait
// that lasts too long is noted and ends, so that a broken evaluator fails
// the test instead of hanging it.
class TGate {
 public:
  void Open() {
    const std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }
  void Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!changed_.wait_for(lock, std::chrono::seconds(30), [this] { return open_; })) {
      timedOut_ = true;
    }
  }
  bool TimedOut() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return timedOut_;
  }
  void Close() {
    const std::lock_guard<std::mutex> lock(mutex_);
    open_ = false;
    timedOut_ = false;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = false;
  bool timedOut_ = false;
};

// Count robots with random brains from the seed, and pointers to them.
struct TAgents {
  TAgents(std::size_t Count, std::uint32_t Seed) {
    const std::unique_ptr<TRobot> base = test::DefaultRobot();
    RandSeed = Seed;
    for (std::size_t i = 0; i < Count; ++i) {
      robots.emplace_back(*base);
      robots.back().Brain = std::make_unique<TFSMBrain>(TRobotConfiguration::Default().Brain);
    }
    for (TRobot& robot : robots) {
      pointers.push_back(&robot);
    }
  }
  std::size_t IndexOf(const TAgent* Agent) const {
    for (std::size_t i = 0; i < pointers.size(); ++i) {
      if (pointers[i] == Agent) {
        return i;
      }
    }
    return pointers.size();
  }
  std::vector<TRobot> robots;
  std::vector<TRobot*> pointers;
};

class ThreadPoolConclusions : public ::testing::Test {
 protected:
  std::unique_ptr<TArena> arena = test::ArenaFrom(ReachableArena());
  const TArenaModel model{*arena};
  const TRobotSimulationParameters parameters{1.0, 0.01};
};

TEST_F(ThreadPoolConclusions, PrefixesGrowOnTheCallingThreadWhileAWorkerStillEvaluates) {
  constexpr std::size_t kCount = 7;
  TAgents sequential(kCount, 12);
  const TFitnessFunction plain = CylinderDistanceFitness;
  TSequentialEvaluator().Evaluate(sequential.pointers, TEvaluationContext{model, parameters, plain});

  TAgents pooled(kCount, 12);
  TGate gate;
  // the last agent's evaluation ends only after a conclusion
  const TFitnessFunction held = [&](const TRobotSimulation& Simulation) {
    if (pooled.IndexOf(Simulation.Agent) == kCount - 1) {
      gate.Wait();
    }
    return CylinderDistanceFitness(Simulation);
  };
  std::vector<std::atomic<bool>> after(kCount);
  std::vector<std::size_t> finished;
  std::set<std::thread::id> concludingThreads;
  bool prefixWhole = true;
  TEvaluationContext context{model, parameters, held};
  context.AfterEvaluation = [&after](std::size_t Index, TRobot&, TArenaState&) { after[Index].store(true); };
  context.ConcludeUpTo = [&](std::size_t Finished) {
    finished.push_back(Finished);
    concludingThreads.insert(std::this_thread::get_id());
    for (std::size_t i = 0; i < Finished; ++i) {
      prefixWhole = prefixWhole && after[i].load() && pooled.robots[i].Fitness == sequential.robots[i].Fitness;
    }
    gate.Open();
  };
  TThreadPoolEvaluator(2).Evaluate(pooled.pointers, context);

  EXPECT_FALSE(gate.TimedOut()) << "no conclusion while the last agent was evaluated";
  ASSERT_FALSE(finished.empty());
  EXPECT_LT(finished.front(), kCount);
  EXPECT_LE(finished.back(), kCount);
  for (std::size_t k = 1; k < finished.size(); ++k) {
    EXPECT_GT(finished[k], finished[k - 1]) << "a prefix handed over twice";
  }
  EXPECT_TRUE(prefixWhole) << "a prefix held an agent not yet evaluated or recorded";
  EXPECT_EQ(concludingThreads, std::set<std::thread::id>{std::this_thread::get_id()});
  for (std::size_t i = 0; i < kCount; ++i) {
    EXPECT_EQ(pooled.robots[i].Fitness, sequential.robots[i].Fitness) << i;
    EXPECT_EQ(pooled.robots[i].ElapsedTime, sequential.robots[i].ElapsedTime) << i;
  }
}

TEST_F(ThreadPoolConclusions, AFailingConclusionStopsTheWorkersButAnEvaluationErrorComesFirst) {
  constexpr std::size_t kCount = 40;
  for (const bool evaluationFails : {false, true}) {
    TAgents pooled(kCount, 5);
    TGate gate;
    TGate secondUnderWay;
    // every agent after the first two waits for the conclusion; with
    // evaluationFails, the second agent's evaluation, under way when the
    // conclusion fails, then fails too
    const TFitnessFunction held = [&](const TRobotSimulation& Simulation) {
      const std::size_t index = pooled.IndexOf(Simulation.Agent);
      if (evaluationFails && index == 1) {
        secondUnderWay.Open();
      }
      if (index >= 2 || (evaluationFails && index == 1)) {
        gate.Wait();
      }
      if (evaluationFails && index == 1) {
        throw std::runtime_error("evaluation failed");
      }
      return CylinderDistanceFitness(Simulation);
    };
    std::atomic<int> evaluated{0};
    int calls = 0;
    TEvaluationContext context{model, parameters, held};
    context.AfterEvaluation = [&evaluated](std::size_t, TRobot&, TArenaState&) { ++evaluated; };
    context.ConcludeUpTo = [&](std::size_t) {
      ++calls;
      if (evaluationFails) {
        secondUnderWay.Wait();
      }
      gate.Open();
      throw std::runtime_error("cannot write 3.txt");
    };
    try {
      TThreadPoolEvaluator(2).Evaluate(pooled.pointers, context);
      ADD_FAILURE() << "the generation went on";
    } catch (const std::runtime_error& error) {
      EXPECT_STREQ(error.what(), evaluationFails ? "evaluation failed" : "cannot write 3.txt");
    }
    EXPECT_FALSE(gate.TimedOut());
    EXPECT_FALSE(secondUnderWay.TimedOut());
    EXPECT_EQ(calls, 1) << "concluded on after a failed conclusion";
    // the first agents and those under way when the conclusion failed; the
    // workers start no other
    EXPECT_LT(evaluated.load(), static_cast<int>(kCount));
  }
}

// Whole generations through the run loop, on one thread and on two: the
// conclusions made while the workers run give the same results, in the
// same order, and the same files.
class TConcludeWhileEvaluating : public ::testing::Test {
 protected:
  TConcludeWhileEvaluating() {
    eaParameters.PopulationSize = 16;
    eaParameters.UseRanking = false;
    robot = test::DefaultRobot();
  }

  std::unique_ptr<TEvolutionRun> MakeRun(const std::string& Output) {
    auto run = std::make_unique<TEvolutionRun>();
    run->SetEAParameters(eaParameters);
    run->SetRobot(*robot);
    run->SetFSMBrainParameters(brainParameters);
    run->SetArenaFileName(folder.Write("arena.txt", ReachableArena()).string());
    run->OutputFolder = folder.Path() / Output;
    std::filesystem::create_directories(run->OutputFolder);
    return run;
  }

  // Generation 1 of the run with this seed on Threads threads; its results
  // in the order announced. On two threads the last agent's evaluation ends
  // only after the first conclusion, so that conclusions are made while a
  // worker evaluates.
  std::vector<TEvaluationResult> FirstGeneration(TEvolutionRun& Run, std::uint32_t Seed, int Threads) {
    Run.Initialize(Seed);
    Run.BeginRun(TRobotSimulationParameters(2.0, 0.01));
    const TAgent* last = &Run.EA()->Population().GetAgent(Run.PopulationCount());
    if (Threads > 1) {
      Run.Fitness = [this, last](const TRobotSimulation& Simulation) {
        if (Simulation.Agent == last && !Simulation.RecordTrajectory) {
          gate.Wait();
        }
        return CylinderDistanceFitness(Simulation);
      };
    }
    std::vector<TEvaluationResult> results;
    Run.BeginGeneration();
    try {
      Run.EvaluateGeneration(Threads, [&](const TEvaluationResult& Result) {
        results.push_back(Result);
        gate.Open();
      });
    } catch (const std::runtime_error& error) {
      failure = error.what();
    }
    return results;
  }

  static std::set<std::string> FilesIn(const std::filesystem::path& Folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(Folder)) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }

  // Both folders hold the same files with the same bytes.
  static void ExpectSameFiles(const std::filesystem::path& Expected, const std::filesystem::path& Actual) {
    const std::set<std::string> names = FilesIn(Expected);
    ASSERT_EQ(FilesIn(Actual), names) << Actual;
    for (const std::string& name : names) {
      if (std::filesystem::is_regular_file(Expected / name)) {
        EXPECT_EQ(test::ReadFile(Actual / name), test::ReadFile(Expected / name)) << Actual / name;
      }
    }
  }

  static void ExpectSameResults(const std::vector<TEvaluationResult>& Expected,
                                const std::vector<TEvaluationResult>& Actual) {
    ASSERT_EQ(Actual.size(), Expected.size());
    for (std::size_t i = 0; i < Expected.size(); ++i) {
      EXPECT_EQ(Actual[i].AgentIndex, Expected[i].AgentIndex) << i;
      EXPECT_EQ(Actual[i].EvaluationCount, Expected[i].EvaluationCount) << i;
      EXPECT_EQ(Actual[i].Fitness, Expected[i].Fitness) << i;
      EXPECT_EQ(Actual[i].NewBest, Expected[i].NewBest) << i;
      EXPECT_EQ(Actual[i].RecordedFitness, Expected[i].RecordedFitness) << i;
      EXPECT_EQ(Actual[i].RecordFile.filename(), Expected[i].RecordFile.filename()) << i;
      EXPECT_EQ(Actual[i].BrainFile.filename(), Expected[i].BrainFile.filename()) << i;
    }
  }

  test::TTemporaryFolder folder;
  TEAParameters eaParameters;
  TFSMBrainParameters brainParameters = TRobotConfiguration::Default().Brain;
  std::unique_ptr<TRobot> robot;
  TGate gate;
  std::string failure;
};

TEST_F(TConcludeWhileEvaluating, ManyNewBestsGiveTheSequentialConclusionsAndFiles) {
  int newBests = 0;
  for (const std::uint32_t seed : {1U, 31U, 77U, 2024U, 9U}) {
    const std::string name = std::to_string(seed);
    auto sequential = MakeRun(name + "-1");
    const std::vector<TEvaluationResult> expected = FirstGeneration(*sequential, seed, 1);
    gate.Close();
    auto threaded = MakeRun(name + "-2");
    const std::vector<TEvaluationResult> actual = FirstGeneration(*threaded, seed, 2);
    EXPECT_FALSE(gate.TimedOut()) << "seed " << seed << ": no conclusion while the last agent was evaluated";
    EXPECT_EQ(failure, "");
    ASSERT_EQ(expected.size(), 16U);
    ExpectSameResults(expected, actual);
    ExpectSameFiles(folder.Path() / (name + "-1"), folder.Path() / (name + "-2"));
    EXPECT_EQ(threaded->EvaluationCount(), sequential->EvaluationCount());
    EXPECT_EQ(threaded->BestFitness(), sequential->BestFitness());
    for (const TEvaluationResult& result : expected) {
      newBests += result.NewBest ? 1 : 0;
    }
  }
  EXPECT_GE(newBests, 10);
}

TEST_F(TConcludeWhileEvaluating, AFileThatCannotBeWrittenEndsTheGenerationAsOnOneThread) {
  // the seed's new bests, then the same generation with the second one's
  // file blocked by a folder of that name
  auto probe = MakeRun("probe");
  std::vector<std::string> bestFiles;
  for (const TEvaluationResult& result : FirstGeneration(*probe, 31, 1)) {
    if (result.NewBest) {
      bestFiles.push_back(result.RecordFile.filename().string());
    }
  }
  ASSERT_GE(bestFiles.size(), 3U);
  std::vector<std::vector<TEvaluationResult>> results;
  std::vector<int> counts;
  for (const int threads : {1, 2}) {
    const std::string name = "blocked" + std::to_string(threads);
    auto run = MakeRun(name);
    std::filesystem::create_directory(run->OutputFolder / bestFiles[1]);
    gate.Close();
    failure.clear();
    results.push_back(FirstGeneration(*run, 31, threads));
    EXPECT_NE(failure.find(bestFiles[1]), std::string::npos) << threads << " threads: " << failure;
    counts.push_back(run->EvaluationCount());
    // every agent before the failing one concluded once, in order
    const std::vector<TEvaluationResult>& concluded = results.back();
    ASSERT_FALSE(concluded.empty());
    for (std::size_t i = 0; i < concluded.size(); ++i) {
      EXPECT_EQ(concluded[i].AgentIndex, static_cast<int>(i) + 1);
    }
    int newBests = 0;
    for (const TEvaluationResult& result : concluded) {
      if (result.NewBest) {
        ++newBests;
        EXPECT_EQ(result.RecordFile.filename(), bestFiles[0]);
      }
    }
    EXPECT_EQ(newBests, 1);
  }
  ExpectSameResults(results[0], results[1]);
  EXPECT_EQ(counts[1], counts[0]);
  ExpectSameFiles(folder.Path() / "blocked1", folder.Path() / "blocked2");
}

}  // namespace
}  // namespace kestrovan
