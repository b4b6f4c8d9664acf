// Checkpoints: every number comes back exactly, every damage is refused with
// the file's name, and a run restored from one goes on as if never stopped.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "experiment/Checkpoint.h"
#include "robot/FSMBrain.h"
#include "simulation/EvolutionRun.h"
#include "simulation/SimulationTestSupport.h"
#include "support/TestSupport.h"

namespace kestrovan {
namespace {

// A checkpoint whose doubles need every bit: a third, the smallest
// subnormal, a negative zero, the largest double.
TCheckpoint Sample() {
  TCheckpoint checkpoint;
  checkpoint.ExperimentHash = std::string(64, 'e');
  checkpoint.ArenaSha256 = std::string(64, 'a');
  checkpoint.Generations = 50;
  checkpoint.Seed = 4294967295U;
  checkpoint.GeneratorState = 0x80000001U;
  checkpoint.Generation = 2;
  checkpoint.EvaluationCount = 6;
  checkpoint.BestFitness = 1.0 / 3.0;
  checkpoint.MaxFitnessHistory = {0.1, std::numeric_limits<double>::denorm_min()};
  checkpoint.AverageFitnessHistory = {-0.0, std::numeric_limits<double>::max()};
  for (int i = 0; i < 3; ++i) {
    TCheckpointAgent agent;
    agent.Fitness = 0.1 * i;
    agent.RankFitness = i + 1;
    agent.ElapsedTime = 19.999999999999996;
    agent.Rows = 2;
    agent.Columns = 3;
    agent.Genes = {0.0, 0.5, 0.9999999999999999, 1.0 / 7.0, 0.25 + i, 1e-300};
    checkpoint.Agents.push_back(agent);
  }
  checkpoint.Record.Generations = 2;
  checkpoint.Record.Evaluations = 6;
  checkpoint.Record.HasBest = true;
  checkpoint.Record.BestFitness = 0.7;
  checkpoint.Record.BestFile = "5.txt";
  checkpoint.Record.GenerationRows = "1,0.1,0,0,3,0.010\n2,0.2,0,0,6,0.020\n";
  checkpoint.Record.ElapsedSeconds = 12.5;
  checkpoint.Record.StartTime = 1765000000;
  checkpoint.Record.EvaluationsBytes = 1234567890123ULL;
  return checkpoint;
}

// The record of a run Generations generations and Evaluations evaluations in.
TRunRecordState Record(int Generations, int Evaluations) {
  TRunRecordState record;
  record.Generations = Generations;
  record.Evaluations = Evaluations;
  return record;
}

std::uint64_t Bits(double Value) { return std::bit_cast<std::uint64_t>(Value); }

// The message of the refusal of Bytes, or "" when they are read.
std::string Refusal(const std::string& Bytes) {
  try {
    DecodeCheckpoint(Bytes, "dir/checkpoint.kcp");
  } catch (const TCheckpointError& error) {
    return error.what();
  }
  return "";
}

TEST(CheckpointFormat, EveryValueComesBackBitForBit) {
  const TCheckpoint in = Sample();
  const std::string bytes = EncodeCheckpoint(in);
  EXPECT_EQ(bytes.substr(0, 14), "KESTROVAN-CKPT");
  const TCheckpoint out = DecodeCheckpoint(bytes, "c");
  EXPECT_EQ(out.ExperimentHash, in.ExperimentHash);
  EXPECT_EQ(out.ArenaSha256, in.ArenaSha256);
  EXPECT_EQ(out.Generations, 50);
  EXPECT_EQ(out.Seed, in.Seed);
  EXPECT_EQ(out.GeneratorState, in.GeneratorState);
  EXPECT_EQ(out.Generation, 2);
  EXPECT_EQ(out.EvaluationCount, 6);
  EXPECT_EQ(Bits(out.BestFitness), Bits(in.BestFitness));
  ASSERT_EQ(out.MaxFitnessHistory.size(), 2U);
  ASSERT_EQ(out.AverageFitnessHistory.size(), 2U);
  for (std::size_t g = 0; g < 2; ++g) {
    EXPECT_EQ(Bits(out.MaxFitnessHistory[g]), Bits(in.MaxFitnessHistory[g]));
    EXPECT_EQ(Bits(out.AverageFitnessHistory[g]), Bits(in.AverageFitnessHistory[g]));
  }
  ASSERT_EQ(out.Agents.size(), 3U);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(Bits(out.Agents[i].Fitness), Bits(in.Agents[i].Fitness));
    EXPECT_EQ(Bits(out.Agents[i].RankFitness), Bits(in.Agents[i].RankFitness));
    EXPECT_EQ(Bits(out.Agents[i].ElapsedTime), Bits(in.Agents[i].ElapsedTime));
    EXPECT_EQ(out.Agents[i].Rows, 2);
    EXPECT_EQ(out.Agents[i].Columns, 3);
    ASSERT_EQ(out.Agents[i].Genes.size(), 6U);
    for (std::size_t g = 0; g < 6; ++g) {
      EXPECT_EQ(Bits(out.Agents[i].Genes[g]), Bits(in.Agents[i].Genes[g]));
    }
  }
  EXPECT_EQ(out.Record.Generations, 2);
  EXPECT_EQ(out.Record.Evaluations, 6);
  EXPECT_TRUE(out.Record.HasBest);
  EXPECT_EQ(out.Record.BestFitness, 0.7);
  EXPECT_EQ(out.Record.BestFile, "5.txt");
  EXPECT_EQ(out.Record.GenerationRows, in.Record.GenerationRows);
  EXPECT_EQ(out.Record.ElapsedSeconds, 12.5);
  EXPECT_EQ(out.Record.StartTime, 1765000000);
  EXPECT_EQ(out.Record.EvaluationsBytes, 1234567890123ULL);
  // the same checkpoint, the same bytes
  EXPECT_EQ(EncodeCheckpoint(out), bytes);
}

// The body's bytes spelled out value by value, least significant byte
// first, as the format describes them: the encoder writes exactly these.
TEST(CheckpointFormat, BodyIsLittleEndianValuesInTheirOrder) {
  const TCheckpoint checkpoint = Sample();
  std::string body;
  const auto put = [&body](std::uint64_t Value, int Bytes) {
    for (int i = 0; i < Bytes; ++i) {
      body += static_cast<char>((Value >> (8 * i)) & 0xFF);
    }
  };
  const auto text = [&](const std::string& Value) {
    put(Value.size(), 8);
    body += Value;
  };
  const auto doubles = [&](const std::vector<double>& Values) {
    put(Values.size(), 8);
    for (const double value : Values) {
      put(Bits(value), 8);
    }
  };
  text(checkpoint.ExperimentHash);
  text(checkpoint.ArenaSha256);
  put(50, 4);
  put(4294967295U, 4);
  put(0x80000001U, 4);
  put(2, 4);
  put(6, 4);
  put(Bits(1.0 / 3.0), 8);
  doubles(checkpoint.MaxFitnessHistory);
  doubles(checkpoint.AverageFitnessHistory);
  put(3, 8);
  for (const TCheckpointAgent& agent : checkpoint.Agents) {
    put(Bits(agent.Fitness), 8);
    put(Bits(agent.RankFitness), 8);
    put(Bits(agent.ElapsedTime), 8);
    put(2, 4);
    put(3, 4);
    for (const double gene : agent.Genes) {
      put(Bits(gene), 8);
    }
  }
  put(2, 4);
  put(6, 4);
  put(1, 4);
  put(Bits(0.7), 8);
  text("5.txt");
  text(checkpoint.Record.GenerationRows);
  put(Bits(12.5), 8);
  put(1765000000, 8);
  put(1234567890123ULL, 8);
  const std::string encoded = EncodeCheckpoint(checkpoint);
  ASSERT_EQ(encoded.size(), 16 + 4 + 8 + body.size() + 32);
  EXPECT_EQ(encoded.substr(28, body.size()), body);
  EXPECT_EQ(encoded, SealCheckpoint(body));
  // the version and the body's length after the magic word
  const std::size_t length = body.size();
  put(1, 4);
  put(length, 8);
  EXPECT_EQ(encoded.substr(16, 12), body.substr(length));
}

TEST(CheckpointFormat, DamageIsRefusedWithTheFileName) {
  const std::string bytes = EncodeCheckpoint(Sample());
  // every truncation, the empty file included
  for (std::size_t length = 0; length < bytes.size(); ++length) {
    const std::string message = Refusal(bytes.substr(0, length));
    ASSERT_TRUE(message.starts_with("dir/checkpoint.kcp: ")) << length << ": " << message;
  }
  EXPECT_NE(Refusal(bytes.substr(0, bytes.size() - 1)).find("truncated"), std::string::npos);
  // one flipped bit anywhere
  for (std::size_t position = 0; position < bytes.size(); ++position) {
    for (const int bit : {0, 5}) {
      std::string flipped = bytes;
      flipped[position] = static_cast<char>(flipped[position] ^ (1 << bit));
      ASSERT_TRUE(Refusal(flipped).starts_with("dir/checkpoint.kcp: ")) << position << " bit " << bit;
    }
  }
  std::string flipped = bytes;
  flipped[bytes.size() / 2] ^= 1;
  EXPECT_NE(Refusal(flipped).find("checksum"), std::string::npos) << Refusal(flipped);
  EXPECT_NE(Refusal(bytes + "x").find("damaged"), std::string::npos);
  EXPECT_NE(Refusal("# an experiment file\n").find("not a checkpoint"), std::string::npos);
}

TEST(CheckpointFormat, ALaterVersionIsNamed) {
  std::string bytes = EncodeCheckpoint(Sample());
  bytes[16] = 2;  // the version follows the 16-byte magic word
  EXPECT_EQ(Refusal(bytes), "dir/checkpoint.kcp: checkpoint of unknown version 2 (this program reads versions 1 to 1)");
  bytes[16] = 0;
  EXPECT_NE(Refusal(bytes).find("unknown version 0"), std::string::npos);
}

TEST(CheckpointFormat, ContentsThatDisagreeAreRefusedEvenWithAGoodChecksum) {
  TCheckpoint checkpoint = Sample();
  checkpoint.MaxFitnessHistory.pop_back();
  EXPECT_NE(Refusal(EncodeCheckpoint(checkpoint)).find("disagree"), std::string::npos);
  checkpoint = Sample();
  checkpoint.Agents[1].Genes.pop_back();  // fewer genes than rows x columns
  EXPECT_NE(Refusal(EncodeCheckpoint(checkpoint)).find("damaged"), std::string::npos);
  checkpoint = Sample();
  checkpoint.BestFitness = std::nan("");
  EXPECT_NE(Refusal(EncodeCheckpoint(checkpoint)).find("not a finite number"), std::string::npos);
}

TEST(CheckpointFile, ReplacesThePreviousOneWholeAndLeavesNoTemporaryFile) {
  test::TTemporaryFolder folder;
  const auto file = folder.Path() / kCheckpointFile;
  TCheckpoint checkpoint = Sample();
  WriteCheckpoint(file, checkpoint);
  checkpoint.Generations = 70;
  WriteCheckpoint(file, checkpoint);
  EXPECT_EQ(ReadCheckpoint(file).Generations, 70);
  int files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
    ++files;
  }
  EXPECT_EQ(files, 1);
  try {
    ReadCheckpoint(folder.Path() / "missing.kcp");
    ADD_FAILURE() << "a missing checkpoint was read";
  } catch (const TCheckpointError& error) {
    EXPECT_NE(std::string(error.what()).find("missing.kcp"), std::string::npos) << error.what();
  }
  EXPECT_THROW(WriteCheckpoint(folder.Path() / "no-folder" / kCheckpointFile, checkpoint), std::runtime_error);
}

// A run restored from a checkpoint between generations goes on exactly as
// the run it was taken from.
class CheckpointRestore : public ::testing::Test {
 protected:
  CheckpointRestore() {
    eaParameters.PopulationSize = 6;
    robot = test::DefaultRobot();
    brain = TRobotConfiguration::Default().Brain;
    arena = folder.Write(
        "arena.txt",
        test::TArenaText().Floor(2, 2).Cylinder(0.12, 0.02, 0.03, 0.1).Cylinder(0.1, -0.1, 0.03, 0.05).Text());
  }

  std::unique_ptr<TEvolutionRun> MakeRun(const std::string& Output, std::uint32_t Seed) {
    auto run = std::make_unique<TEvolutionRun>();
    run->SetEAParameters(eaParameters);
    run->SetRobot(*robot);
    run->SetFSMBrainParameters(brain);
    run->SetArenaFileName(arena.string());
    run->MinimumCylinderSpeed = 0.01;
    run->MaximumCylinderSpeed = 0.05;
    run->OutputFolder = folder.Path() / Output;
    std::filesystem::create_directories(run->OutputFolder);
    run->Initialize(Seed);
    run->BeginRun(parameters);
    return run;
  }

  static void Evolve(TEvolutionRun& Run, int Generations, int Threads) {
    for (int g = 0; g < Generations; ++g) {
      Run.BeginGeneration();
      Run.EvaluateGeneration(Threads);
      Run.EndGeneration();
    }
  }

  test::TTemporaryFolder folder;
  TEAParameters eaParameters;
  std::unique_ptr<TRobot> robot;
  TFSMBrainParameters brain;
  std::filesystem::path arena;
  const TRobotSimulationParameters parameters{1.0, 0.01};
};

TEST_F(CheckpointRestore, TheRestoredRunGoesOnExactlyAsTheOriginal) {
  auto original = MakeRun("a", 17);
  Evolve(*original, 2, 1);
  const std::string bytes = EncodeCheckpoint(CaptureCheckpoint(*original, Record(2, 12), "h", "a", 5));
  Evolve(*original, 3, 1);

  // a fresh run of the same seed, its state replaced by the checkpoint's
  auto restored = MakeRun("b", 17);
  RestoreCheckpoint(*restored, DecodeCheckpoint(bytes, "c"), *robot, brain, "c");
  EXPECT_EQ(restored->EA()->Generation(), 2);
  EXPECT_EQ(restored->EvaluationCount(), 12);
  Evolve(*restored, 3, 2);

  EXPECT_EQ(restored->EvaluationCount(), original->EvaluationCount());
  EXPECT_EQ(restored->GeneratorState(), original->GeneratorState());
  ASSERT_EQ(restored->MaxFitnessHistory().Count(), 5);
  for (int g = 1; g <= 5; ++g) {
    EXPECT_EQ(Bits(restored->MaxFitnessHistory().GetElement(g)), Bits(original->MaxFitnessHistory().GetElement(g)));
    EXPECT_EQ(Bits(restored->AverageFitnessHistory().GetElement(g)),
              Bits(original->AverageFitnessHistory().GetElement(g)));
  }
  const std::string after = EncodeCheckpoint(CaptureCheckpoint(*original, {}, "h", "a", 5));
  EXPECT_EQ(EncodeCheckpoint(CaptureCheckpoint(*restored, {}, "h", "a", 5)), after) << "population or counters differ";
  // the new-best files of the last three generations are the same
  for (const auto& entry : std::filesystem::directory_iterator(folder.Path() / "b")) {
    EXPECT_EQ(test::ReadFile(entry.path()), test::ReadFile(folder.Path() / "a" / entry.path().filename()))
        << entry.path();
  }
}

TEST_F(CheckpointRestore, ACheckpointThatDoesNotFitTheRunIsRefused) {
  auto original = MakeRun("a", 3);
  Evolve(*original, 1, 1);
  const TCheckpoint checkpoint = CaptureCheckpoint(*original, Record(1, 6), "h", "a", 5);

  auto other = MakeRun("b", 4);
  EXPECT_THROW(RestoreCheckpoint(*other, checkpoint, *robot, brain, "c"), TCheckpointError) << "another seed";

  auto same = MakeRun("c", 3);
  TFSMBrainParameters bigger = brain;
  bigger.NumberOfStates += 1;
  try {
    RestoreCheckpoint(*same, checkpoint, *robot, bigger, "dir/checkpoint.kcp");
    ADD_FAILURE() << "a genome of another shape was taken";
  } catch (const TCheckpointError& error) {
    EXPECT_NE(std::string(error.what()).find("dir/checkpoint.kcp: agent 1 has a genome of"), std::string::npos)
        << error.what();
  }
  TCheckpoint fewer = checkpoint;
  fewer.Agents.pop_back();
  EXPECT_THROW(RestoreCheckpoint(*same, fewer, *robot, brain, "c"), TCheckpointError);
  TCheckpoint outside = checkpoint;
  outside.Agents[2].Genes[4] = 1.5;
  EXPECT_THROW(RestoreCheckpoint(*same, outside, *robot, brain, "c"), TCheckpointError);
  // the refusals left the run as Initialize made it
  EXPECT_EQ(same->EA()->Generation(), 0);
  EXPECT_EQ(same->MaxFitnessHistory().Count(), 0);
}

}  // namespace
}  // namespace kestrovan
