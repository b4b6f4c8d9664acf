#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <numeric>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "numerics/RandomNumbers.h"
#include "simulation/BrainFile.h"
#include "simulation/EvolutionRun.h"
#include "simulation/ResultFiles.h"
#include "simulation/SimulationTestSupport.h"
#include "support/TestSupport.h"

namespace kestrovan {
namespace {

using test::TArenaText;

// Two cylinders within the robot's reach, so that fitness differs from agent
// to agent.
std::string ReachableArena() {
  return TArenaText().Floor(2, 2).Cylinder(0.12, 0.02, 0.03, 0.1).Cylinder(0.1, -0.1, 0.03, 0.05).Text();
}

class EvolutionRunFixture : public ::testing::Test {
 protected:
  EvolutionRunFixture() {
    eaParameters.PopulationSize = 6;
    eaParameters.UseRanking = false;
    eaParameters.CrossoverProbability = 0.0;
    robot = test::DefaultRobot();
    brainParameters = TRobotConfiguration::Default().Brain;
  }

  // A run on the arena Text, writing into the folder Output.
  std::unique_ptr<TEvolutionRun> MakeRun(const std::string& Text, const std::string& Output = "out") {
    auto run = std::make_unique<TEvolutionRun>();
    run->SetEAParameters(eaParameters);
    run->SetRobot(*robot);
    run->SetFSMBrainParameters(brainParameters);
    run->SetArenaFileName(folder.Write("arena.txt", Text).string());
    run->OutputFolder = folder.Path() / Output;
    std::filesystem::create_directories(run->OutputFolder);
    return run;
  }

  // Generations of the run, each evaluated on Threads threads; every result in order.
  static std::vector<TEvaluationResult> Evolve(TEvolutionRun& Run, int Generations, int Threads) {
    std::vector<TEvaluationResult> results;
    for (int g = 1; g <= Generations; ++g) {
      Run.BeginGeneration();
      Run.EvaluateGeneration(Threads, [&results](const TEvaluationResult& Result) { results.push_back(Result); });
      Run.EndGeneration();
    }
    return results;
  }

  // The names of the files in Folder.
  static std::set<std::string> FilesIn(const std::filesystem::path& Folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(Folder)) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }

  test::TTemporaryFolder folder;
  TEAParameters eaParameters;
  std::unique_ptr<TRobot> robot;
  TFSMBrainParameters brainParameters;
  const TRobotSimulationParameters shortRun{2.0, 0.01};
};

using TEvolutionRunInitialize = EvolutionRunFixture;
using TEvolutionRunLoop = EvolutionRunFixture;
using TEvolutionRunFiles = EvolutionRunFixture;

TEST_F(TEvolutionRunInitialize, SeedsRandomAndDrawsOneBrainPerAgentInOrder) {
  auto run = MakeRun(ReachableArena());
  run->Initialize(1234);
  EXPECT_EQ(run->Seed(), 1234U);
  ASSERT_EQ(run->PopulationCount(), 6);
  EXPECT_EQ(run->MaxFitnessHistory().Count(), 0);

  // the same draws again: RandomSeed first, then the brains agent by agent
  RandSeed = 1234;
  EXPECT_EQ(run->RandomSeed(), static_cast<std::int32_t>(std::trunc(Random() * 100000)) + 1);
  for (int i = 1; i <= 6; ++i) {
    const TFSMBrain expected(brainParameters);
    const auto& agent = dynamic_cast<const TRobot&>(run->EA()->Population().GetAgent(i));
    const auto& brain = dynamic_cast<const TFSMBrain&>(*agent.Brain);
    ASSERT_EQ(brain.Genome.Rows(), expected.Genome.Rows());
    ASSERT_EQ(brain.Genome.Columns(), expected.Genome.Columns());
    for (int q = 1; q <= brain.Genome.Rows(); ++q) {
      for (int j = 1; j <= brain.Genome.Columns(); ++j) {
        ASSERT_EQ(brain.Genome.GetElement(q, j), expected.Genome.GetElement(q, j)) << "agent " << i;
      }
    }
    EXPECT_EQ(agent.Body->Sensors.Count(), 5);
  }
}

TEST_F(TEvolutionRunInitialize, RefusesConfigurationsThatCouldNotRun) {
  {
    TEvolutionRun run;
    EXPECT_THROW(run.Initialize(1), std::logic_error) << "nothing configured";
  }
  {
    eaParameters.PopulationSize = 2;
    auto run = MakeRun(ReachableArena());
    EXPECT_THROW(run->Initialize(1), std::invalid_argument);
    EXPECT_FALSE(run->Initialized());
    eaParameters.PopulationSize = 6;
  }
  {
    // brains for six inputs need five sensors
    brainParameters.NumberOfInputs = 4;
    auto run = MakeRun(ReachableArena());
    EXPECT_THROW(run->Initialize(1), std::invalid_argument);
    EXPECT_FALSE(run->Initialized());
    brainParameters.NumberOfInputs = 6;
  }
  {
    robot->Brain.reset();
    auto run = MakeRun(ReachableArena());
    EXPECT_THROW(run->Initialize(1), std::invalid_argument);
  }
}

TEST_F(TEvolutionRunLoop, EqualFitnessIsNoNewBestAndTheFirstPositiveGoesTo1txt) {
  // a cylinder out of reach during a short run: every agent scores exactly 1
  auto run = MakeRun(TArenaText().Floor(2, 2).Cylinder(0.6, 0.8, 0.03, 0.1).Text());
  run->Initialize(99);
  run->BeginRun(TRobotSimulationParameters(0.2, 0.01));
  run->BeginGeneration();
  for (int i = 1; i <= run->PopulationCount(); ++i) {
    run->BeginEvaluation(i);
    EXPECT_EQ(&run->EvaluatedAgent(), &run->EA()->Population().GetAgent(i));
    while (!run->StepEvaluation()) {
    }
    const TEvaluationResult result = run->FinishEvaluation();
    EXPECT_EQ(result.AgentIndex, i);
    EXPECT_EQ(result.EvaluationCount, i);
    EXPECT_DOUBLE_EQ(result.Fitness, 1.0);
    EXPECT_EQ(result.NewBest, i == 1);
    if (i == 1) {
      EXPECT_EQ(result.RecordFile, run->OutputFolder / "1.txt");
      EXPECT_DOUBLE_EQ(result.RecordedFitness, 1.0);
    }
  }
  EXPECT_EQ(FilesIn(run->OutputFolder), (std::set<std::string>{"1.txt", "1.brain", "best.brain"}));
  EXPECT_DOUBLE_EQ(run->BestFitness(), 1.0);
}

TEST_F(TEvolutionRunLoop, ZeroFitnessIsNeverANewBest) {
  auto run = MakeRun(TArenaText().Floor(2, 2).Text());
  run->Initialize(5);
  run->BeginRun(shortRun);
  const std::vector<TEvaluationResult> results = Evolve(*run, 1, 1);
  ASSERT_EQ(results.size(), 6U);
  EXPECT_TRUE(std::none_of(results.begin(), results.end(), [](const auto& r) { return r.NewBest; }));
  EXPECT_TRUE(FilesIn(run->OutputFolder).empty());
  EXPECT_EQ(run->EvaluationCount(), 6);
}

TEST_F(TEvolutionRunLoop, NewBestsBeatTheBestSoFarAcrossGenerations) {
  auto run = MakeRun(ReachableArena());
  run->Initialize(2024);
  run->BeginRun(shortRun);

  std::set<std::string> expectedFiles;
  for (int g = 1; g <= 3; ++g) {
    run->BeginGeneration();
    // generation 1 starts from 0, later ones from the best the population carries
    double best = g == 1 ? 0.0 : run->EA()->Population().MaxFitness();
    EXPECT_EQ(run->BestFitness(), best);
    double sum = 0.0;
    int index = 0;
    run->EvaluateGeneration(1, [&](const TEvaluationResult& Result) {
      ++index;
      EXPECT_EQ(Result.AgentIndex, index);
      EXPECT_EQ(Result.EvaluationCount, 6 * (g - 1) + index) << "the count runs on across generations";
      EXPECT_EQ(Result.NewBest, Result.Fitness > best) << "evaluation " << Result.EvaluationCount;
      if (Result.NewBest) {
        best = Result.Fitness;
        EXPECT_EQ(Result.RecordedFitness, Result.Fitness) << "the recording run repeats the evaluation";
        expectedFiles.insert(std::to_string(Result.EvaluationCount) + ".txt");
        expectedFiles.insert(std::to_string(Result.EvaluationCount) + ".brain");
        // the brain file beside it holds the recording and is, for now, the best
        EXPECT_EQ(Result.BrainFile, run->OutputFolder / (std::to_string(Result.EvaluationCount) + ".brain"));
        const TBrainRecord record = ReadBrainFile(Result.BrainFile);
        EXPECT_EQ(record.Origin.Fitness, Result.RecordedFitness);
        EXPECT_EQ(record.Origin.Evaluation, Result.EvaluationCount);
        EXPECT_EQ(record.Origin.Generation, g);
        EXPECT_EQ(record.Origin.Seed, 2024U);
        EXPECT_EQ(test::ReadFile(run->OutputFolder / "best.brain"), test::ReadFile(Result.BrainFile));
      }
      sum = sum + Result.Fitness;
    });
    EXPECT_EQ(run->BestFitness(), best);
    run->EndGeneration();
    EXPECT_EQ(run->MaxFitnessHistory().GetElement(g), best);
    EXPECT_EQ(run->AverageFitnessHistory().GetElement(g), sum / 6);
    EXPECT_EQ(run->EA()->Generation(), g);
  }
  EXPECT_FALSE(expectedFiles.empty());
  expectedFiles.insert("best.brain");
  EXPECT_EQ(FilesIn(run->OutputFolder), expectedFiles);

  const std::filesystem::path history = run->SaveHistory();
  EXPECT_EQ(history, run->OutputFolder / "descr.txt");
  EXPECT_EQ(test::ReadFile(history), FormatHistoryFile(run->MaxFitnessHistory(), run->AverageFitnessHistory()));

  run->EndRun();
  EXPECT_FALSE(run->Initialized());
  EXPECT_THROW(run->BeginGeneration(), std::logic_error);
}

TEST_F(TEvolutionRunLoop, ThreadsChangeNeitherResultsNorFiles) {
  eaParameters.PopulationSize = 9;
  std::vector<std::vector<TEvaluationResult>> results;
  for (const int threads : {1, 2}) {
    auto run = MakeRun(ReachableArena(), "out" + std::to_string(threads));
    run->Initialize(77);
    run->BeginRun(shortRun);
    results.push_back(Evolve(*run, 3, threads));
    run->SaveHistory();
  }
  for (std::size_t k = 1; k < results.size(); ++k) {
    ASSERT_EQ(results[k].size(), results[0].size());
    for (std::size_t i = 0; i < results[0].size(); ++i) {
      EXPECT_EQ(results[k][i].Fitness, results[0][i].Fitness) << i;
      EXPECT_EQ(results[k][i].NewBest, results[0][i].NewBest) << i;
      EXPECT_EQ(results[k][i].RecordFile.filename(), results[0][i].RecordFile.filename()) << i;
    }
  }
  const std::set<std::string> names = FilesIn(folder.Path() / "out1");
  ASSERT_GE(names.size(), 2U);
  ASSERT_EQ(FilesIn(folder.Path() / "out2"), names);
  for (const std::string& name : names) {
    EXPECT_EQ(test::ReadFile(folder.Path() / "out2" / name), test::ReadFile(folder.Path() / "out1" / name)) << name;
  }
}

// Generation 1 of the run with Seed on Threads threads, its results in the
// order announced and the error that ended it. On two threads the last
// agent's evaluation ends only after the first conclusion, which is thus
// made while a worker evaluates.
std::vector<TEvaluationResult> FirstGeneration(TEvolutionRun& Run, std::uint32_t Seed, int Threads, test::TGate& Gate,
                                               std::string& Failure) {
  Run.Initialize(Seed);
  Run.BeginRun(TRobotSimulationParameters(2.0, 0.01));
  const TAgent* last = &Run.EA()->Population().GetAgent(Run.PopulationCount());
  if (Threads > 1) {
    Run.Fitness = [&Gate, last](const TRobotSimulation& Simulation) {
      if (Simulation.Agent == last && !Simulation.RecordTrajectory) {
        Gate.Wait();
      }
      return CylinderDistanceFitness(Simulation);
    };
  }
  std::vector<TEvaluationResult> results;
  Run.BeginGeneration();
  try {
    Run.EvaluateGeneration(Threads, [&](const TEvaluationResult& Result) {
      results.push_back(Result);
      Gate.Open();
    });
  } catch (const std::runtime_error& error) {
    Failure = error.what();
  }
  return results;
}

TEST_F(TEvolutionRunLoop, ConclusionsWhileTheWorkersRunGiveTheSequentialOnesAndFiles) {
  eaParameters.PopulationSize = 16;
  int newBests = 0;
  int blockedRuns = 0;
  for (const std::uint32_t seed : {1U, 31U, 77U, 2024U, 9U}) {
    // then the run again with the file of its second new best blocked
    std::string secondBest;
    for (const bool blocked : {false, true}) {
      std::vector<std::vector<TEvaluationResult>> results;
      std::vector<std::string> failures;
      std::vector<int> counts;
      for (const int threads : {1, 2}) {
        const std::string output = std::to_string(seed) + (blocked ? "b" : "") + std::to_string(threads);
        auto run = MakeRun(ReachableArena(), output);
        if (blocked) {
          std::filesystem::create_directory(run->OutputFolder / secondBest);
        }
        test::TGate gate;
        failures.emplace_back();
        results.push_back(FirstGeneration(*run, seed, threads, gate, failures.back()));
        EXPECT_FALSE(gate.TimedOut()) << output << ": no conclusion while the last agent was evaluated";
        counts.push_back(run->EvaluationCount());
      }
      // the same agents concluded once each, in order, with the same results and files
      ASSERT_EQ(results[1].size(), results[0].size()) << seed;
      for (std::size_t i = 0; i < results[0].size(); ++i) {
        EXPECT_EQ(results[1][i].AgentIndex, static_cast<int>(i) + 1);
        EXPECT_EQ(results[1][i].EvaluationCount, results[0][i].EvaluationCount);
        EXPECT_EQ(results[1][i].Fitness, results[0][i].Fitness);
        EXPECT_EQ(results[1][i].NewBest, results[0][i].NewBest);
        EXPECT_EQ(results[1][i].RecordedFitness, results[0][i].RecordedFitness);
        EXPECT_EQ(results[1][i].RecordFile.filename(), results[0][i].RecordFile.filename());
        EXPECT_EQ(results[1][i].BrainFile.filename(), results[0][i].BrainFile.filename());
      }
      EXPECT_EQ(counts[1], counts[0]);
      const std::string prefix = std::to_string(seed) + (blocked ? "b" : "");
      const std::set<std::string> names = FilesIn(folder.Path() / (prefix + "1"));
      ASSERT_EQ(FilesIn(folder.Path() / (prefix + "2")), names);
      for (const std::string& name : names) {
        EXPECT_EQ(test::ReadFile(folder.Path() / (prefix + "2") / name),
                  test::ReadFile(folder.Path() / (prefix + "1") / name))
            << prefix << "/" << name;
      }
      if (!blocked) {
        EXPECT_EQ(failures[0] + failures[1], "");
        ASSERT_EQ(results[0].size(), 16U);
        std::vector<std::string> bests;
        for (const TEvaluationResult& result : results[0]) {
          if (result.NewBest) {
            bests.push_back(result.RecordFile.filename().string());
          }
        }
        newBests += static_cast<int>(bests.size());
        if (bests.size() < 2) {
          break;
        }
        secondBest = bests[1];
      } else {
        ++blockedRuns;
        for (const std::string& failure : failures) {
          EXPECT_NE(failure.find(secondBest), std::string::npos) << failure;
        }
      }
    }
  }
  EXPECT_GE(newBests, 10);
  EXPECT_GE(blockedRuns, 3);
}

// Evaluates the agents in reverse order, so that every agent is evaluated
// before the ones ahead of it and any agent beating the best so far is
// recorded ahead on speculation; with Ahead false it hides the run loop's
// hook and the conclusion records every new best itself.
class TReverseEvaluator : public TGenerationEvaluator {
 public:
  explicit TReverseEvaluator(bool Ahead) : ahead_(Ahead) {}
  void Evaluate(const std::vector<TRobot*>& Agents, const TEvaluationContext& Context) override {
    Concluding = false;
    const TEvaluationContext plain{Context.Model, Context.Parameters, Context.Fitness};
    TArenaState work(Context.Model);
    for (std::size_t i = Agents.size(); i-- > 0;) {
      EvaluateAgent(*Agents[i], work, ahead_ ? Context : plain);
      if (ahead_ && Context.AfterEvaluation) {
        Context.AfterEvaluation(i, *Agents[i], work);
      }
    }
    Concluding = true;
  }
  bool Concluding = false;

 private:
  bool ahead_;
};

TEST_F(TEvolutionRunLoop, RecordsMadeAheadOnTheWorkersGiveTheFilesOfTheConclusionsOwn) {
  eaParameters.PopulationSize = 12;
  std::vector<std::vector<TEvaluationResult>> results;
  std::vector<int> concludingFitnessCalls;
  const char* outputs[3] = {"serial", "ahead", "threads"};
  for (int k = 0; k < 3; ++k) {
    TReverseEvaluator evaluator(k == 1);
    std::atomic<int> calls{0};
    auto run = MakeRun(ReachableArena(), outputs[k]);
    run->Fitness = [&evaluator, &calls](const TRobotSimulation& Simulation) {
      calls += evaluator.Concluding ? 1 : 0;
      return CylinderDistanceFitness(Simulation);
    };
    if (k < 2) {
      run->SetEvaluator(&evaluator);
    }
    run->Initialize(31);
    run->BeginRun(shortRun);
    results.push_back(Evolve(*run, 3, 2));
    run->SaveHistory();
    concludingFitnessCalls.push_back(calls);
  }
  int newBests = 0;
  for (std::size_t k = 1; k < results.size(); ++k) {
    ASSERT_EQ(results[k].size(), results[0].size());
    for (std::size_t i = 0; i < results[0].size(); ++i) {
      EXPECT_EQ(results[k][i].Fitness, results[0][i].Fitness) << i;
      EXPECT_EQ(results[k][i].NewBest, results[0][i].NewBest) << i;
      EXPECT_EQ(results[k][i].RecordedFitness, results[0][i].RecordedFitness) << i;
      newBests += k == 1 && results[k][i].NewBest ? 1 : 0;
    }
  }
  // the conclusion re-ran every new best itself without the hook, none with it
  EXPECT_GE(newBests, 2);
  EXPECT_EQ(concludingFitnessCalls[0], newBests);
  EXPECT_EQ(concludingFitnessCalls[1], 0);
  const std::set<std::string> names = FilesIn(folder.Path() / "serial");
  for (const char* output : {"ahead", "threads"}) {
    ASSERT_EQ(FilesIn(folder.Path() / output), names) << output;
    for (const std::string& name : names) {
      EXPECT_EQ(test::ReadFile(folder.Path() / output / name), test::ReadFile(folder.Path() / "serial" / name))
          << output << "/" << name;
    }
  }
}

// Evaluates as another process would: in chunks of three, the last chunk
// first, each in a cylinder state of its own; the agents of a chunk above the run
// loop's threshold (and above those before them in the chunk) are recorded
// there and the records handed over with the results.
class TElsewhereEvaluator : public TGenerationEvaluator {
 public:
  void Evaluate(const std::vector<TRobot*>& Agents, const TEvaluationContext& Context) override {
    Concluding = false;
    TEvaluationContext elsewhere{Context.Model, Context.Parameters, Context.Fitness};
    TArenaState work(Context.Model);
    const std::size_t chunks = (Agents.size() + 2) / 3;
    for (std::size_t c = chunks; c-- > 0;) {
      const std::size_t first = 3 * c;
      const std::size_t size = std::min<std::size_t>(3, Agents.size() - first);
      TNewBestCandidates candidates(size, Context.RecordThreshold(first));
      std::vector<TNewBestRecord> records(size);
      for (std::size_t i = 0; i < size; ++i) {
        EvaluateAgent(*Agents[first + i], work, elsewhere);
        if (candidates.MayBeNewBest(i, Agents[first + i]->Fitness)) {
          RecordAhead(*Agents[first + i], work, elsewhere, records[i]);
        }
      }
      for (std::size_t i = 0; i < size; ++i) {
        HandedOver += records[i].Ready ? 1 : 0;
        Context.AfterRemoteEvaluation(first + i, *Agents[first + i], records[i].Ready ? &records[i] : nullptr);
      }
    }
    Concluding = true;
  }
  bool Concluding = false;
  int HandedOver = 0;
};

TEST_F(TEvolutionRunLoop, RecordsMadeElsewhereAndHandedOverGiveTheFilesOfTheConclusionsOwn) {
  eaParameters.PopulationSize = 13;
  std::vector<std::vector<TEvaluationResult>> results;
  TElsewhereEvaluator evaluator;
  int concludingCalls = 0;
  for (const char* output : {"serial", "elsewhere"}) {
    const bool elsewhere = std::string(output) == "elsewhere";
    auto run = MakeRun(ReachableArena(), output);
    run->Fitness = [&evaluator, &concludingCalls](const TRobotSimulation& Simulation) {
      concludingCalls += evaluator.Concluding ? 1 : 0;
      return CylinderDistanceFitness(Simulation);
    };
    if (elsewhere) {
      run->SetEvaluator(&evaluator);
    }
    run->Initialize(31);
    run->BeginRun(shortRun);
    results.push_back(Evolve(*run, 3, 1));
    run->SaveHistory();
  }
  int newBests = 0;
  ASSERT_EQ(results[1].size(), results[0].size());
  for (std::size_t i = 0; i < results[0].size(); ++i) {
    EXPECT_EQ(results[1][i].Fitness, results[0][i].Fitness) << i;
    EXPECT_EQ(results[1][i].NewBest, results[0][i].NewBest) << i;
    EXPECT_EQ(results[1][i].RecordedFitness, results[0][i].RecordedFitness) << i;
    newBests += results[1][i].NewBest ? 1 : 0;
  }
  // every new best came recorded: the conclusion ran no simulation itself
  EXPECT_GE(newBests, 2);
  EXPECT_GE(evaluator.HandedOver, newBests);
  EXPECT_EQ(concludingCalls, 0);
  const std::set<std::string> names = FilesIn(folder.Path() / "serial");
  ASSERT_EQ(FilesIn(folder.Path() / "elsewhere"), names);
  for (const std::string& name : names) {
    EXPECT_EQ(test::ReadFile(folder.Path() / "elsewhere" / name), test::ReadFile(folder.Path() / "serial" / name))
        << name;
  }
}

// Agent i is a new best when it beats the start and every agent before it.
TEST(TNewBestCandidates, PicksEveryNewBestWhateverTheOrderAndNeverThresholdsTooHigh) {
  std::mt19937 random(5);
  for (int trial = 0; trial < 300; ++trial) {
    const std::size_t count = 1 + random() % 25;
    // few distinct values, so that ties (which are no new best) occur
    std::vector<double> fitness(count);
    for (double& f : fitness) {
      f = static_cast<double>(random() % 8);
    }
    const double start = static_cast<double>(random() % 5);
    std::vector<std::size_t> order(count);
    std::iota(order.begin(), order.end(), 0);
    const bool inOrder = trial % 3 == 0;
    if (!inOrder) {
      std::shuffle(order.begin(), order.end(), random);
    }
    // bestBefore[i]: the best of the start and agents 0..i-1
    std::vector<double> bestBefore(count + 1, start);
    for (std::size_t i = 0; i < count; ++i) {
      bestBefore[i + 1] = std::max(bestBefore[i], fitness[i]);
    }

    TNewBestCandidates candidates(count, start);
    std::vector<bool> picked(count, false);
    std::vector<bool> noted(count, false);
    for (const std::size_t i : order) {
      // from a partial view, the threshold of any agent lies at or below the truth
      const std::size_t probe = random() % (count + 1);
      EXPECT_LE(candidates.Threshold(probe), bestBefore[probe]) << "trial " << trial << ", agent " << probe;
      picked[i] = candidates.MayBeNewBest(i, fitness[i]);
      noted[i] = true;
    }
    for (std::size_t i = 0; i < count; ++i) {
      const bool newBest = fitness[i] > bestBefore[i];
      if (newBest) {
        EXPECT_TRUE(picked[i]) << "trial " << trial << ", agent " << i;
      }
      if (inOrder) {
        EXPECT_EQ(picked[i], newBest) << "trial " << trial << ", agent " << i;
      }
      // with every agent noted, the threshold is exact
      EXPECT_EQ(candidates.Threshold(i), bestBefore[i]) << "trial " << trial;
    }
    EXPECT_EQ(candidates.Threshold(count), bestBefore[count]);
  }
}

TEST_F(TEvolutionRunFiles, WriteFailureNamesTheFileAndKeepsEarlierFiles) {
  eaParameters.PopulationSize = 10;
  // find the second new best of a fixed-seed run
  auto first = MakeRun(ReachableArena(), "first");
  first->Initialize(31);
  first->BeginRun(shortRun);
  std::vector<TEvaluationResult> bests;
  for (const TEvaluationResult& result : Evolve(*first, 3, 1)) {
    if (result.NewBest) {
      bests.push_back(result);
    }
  }
  ASSERT_GE(bests.size(), 2U);
  const std::string blocked = bests[1].RecordFile.filename().string();

  // the same run again, with a folder where the second file should go
  auto second = MakeRun(ReachableArena(), "second");
  std::filesystem::create_directory(second->OutputFolder / blocked);
  second->Initialize(31);
  second->BeginRun(shortRun);
  try {
    Evolve(*second, 3, 2);
    FAIL() << "the run went on";
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find(blocked), std::string::npos) << error.what();
  }
  const std::string kept = bests[0].RecordFile.filename().string();
  EXPECT_EQ(test::ReadFile(second->OutputFolder / kept), test::ReadFile(first->OutputFolder / kept));
  const std::string keptBrain = bests[0].BrainFile.filename().string();
  EXPECT_EQ(FilesIn(second->OutputFolder), (std::set<std::string>{kept, keptBrain, "best.brain", blocked}))
      << "no temporary file is left";
  EXPECT_EQ(test::ReadFile(second->OutputFolder / "best.brain"), test::ReadFile(first->OutputFolder / keptBrain))
      << "best.brain still names the last brain written";
}

TEST_F(TEvolutionRunLoop, ReplayRunsOnACopyOfTheBest) {
  auto run = MakeRun(ReachableArena());
  run->Initialize(8);
  run->BeginRun(shortRun);
  Evolve(*run, 1, 1);
  std::vector<double> fitness;
  for (int i = 1; i <= run->PopulationCount(); ++i) {
    fitness.push_back(run->EA()->Population().GetAgent(i).Fitness);
  }
  const TAgent& best = run->EA()->Population().BestAgent();

  run->BeginReplay(shortRun);
  EXPECT_NE(static_cast<const TAgent*>(&run->ReplayAgent()), &best);
  while (!run->StepReplay()) {
  }
  // cylinders at rest in the file: the replay scores what the evaluation scored
  EXPECT_EQ(run->ReplayAgent().Fitness, best.Fitness);
  run->EndReplay();
  for (int i = 1; i <= run->PopulationCount(); ++i) {
    EXPECT_EQ(run->EA()->Population().GetAgent(i).Fitness, fitness[static_cast<std::size_t>(i - 1)]);
  }
  EXPECT_THROW(run->BeginReplay(TRobotSimulationParameters(2.0, 0.0)), std::invalid_argument);
}

TEST_F(TEvolutionRunLoop, BeginRunRefusesBadTimesAndNeedsInitialize) {
  auto run = MakeRun(ReachableArena());
  EXPECT_THROW(run->BeginRun(shortRun), std::logic_error);
  run->Initialize(3);
  EXPECT_THROW(run->BeginRun(TRobotSimulationParameters(20.0, -0.01)), std::invalid_argument);
  EXPECT_THROW(run->EvaluateGeneration(0), std::invalid_argument);
}

}  // namespace
}  // namespace kestrovan
