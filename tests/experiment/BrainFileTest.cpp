// Brain files: exact round trip, refusals with file and line, the shape
// check against the robot, and the replay of a recorded brain.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "arena/Arena.h"
#include "experiment/Experiment.h"
#include "experiment/Replay.h"
#include "numerics/RandomNumbers.h"
#include "robot/FSMBrain.h"
#include "simulation/BrainFile.h"
#include "support/TestSupport.h"

namespace kestrovan {
namespace {

TFSMBrainParameters Shape(int States, int Conditions, int Inputs) {
  TFSMBrainParameters parameters;
  parameters.NumberOfStates = States;
  parameters.NumberOfConditions = Conditions;
  parameters.NumberOfInputs = Inputs;
  return parameters;
}

TBrainOrigin Origin() {
  TBrainOrigin origin;
  origin.ExperimentSha256 = std::string(64, 'a');
  origin.Seed = 4294967295U;
  origin.Generation = 3;
  origin.Evaluation = 257;
  origin.Fitness = 0.1 + 0.2;  // no short decimal form
  origin.SimulationTime = 7.5;
  origin.TimeStep = 0.01;
  origin.CylinderVelocities = {0.0, -0.0, 1e-310, -0.3333333333333333};
  return origin;
}

// A brain whose genes include the awkward ones: 0, the largest double
// below 1, a subnormal and values without a short decimal form.
TFSMBrain AwkwardBrain() {
  TRandomGenerator generator(99);
  TFSMBrain brain(Shape(4, 2, 6), generator);
  brain.Genome.SetElement(1, 3, 0.0);
  brain.Genome.SetElement(2, 4, std::nextafter(1.0, 0.0));
  brain.Genome.SetElement(3, 5, std::numeric_limits<double>::denorm_min());
  brain.Genome.SetElement(4, 16, 1.0 / 3.0);
  return brain;
}

TEST(BrainFile, RoundTripGivesTheSameDoublesAndTheSameOrigin) {
  const TFSMBrain brain = AwkwardBrain();
  const std::string text = FormatBrainFile(brain, Origin());
  const TBrainRecord record = ParseBrainFile(text, "x.brain");

  EXPECT_EQ(record.NumberOfStates, 4);
  EXPECT_EQ(record.NumberOfConditions, 2);
  EXPECT_EQ(record.NumberOfInputs, 6);
  ASSERT_EQ(record.Genome.Rows(), 4);
  ASSERT_EQ(record.Genome.Columns(), 16);
  for (int q = 1; q <= 4; ++q) {
    for (int column = 1; column <= 16; ++column) {
      EXPECT_EQ(std::bit_cast<std::uint64_t>(record.Genome.GetElement(q, column)),
                std::bit_cast<std::uint64_t>(brain.Genome.GetElement(q, column)))
          << "gene " << q << "," << column;
    }
  }
  const TBrainOrigin expected = Origin();
  EXPECT_EQ(record.Origin.ExperimentSha256, expected.ExperimentSha256);
  EXPECT_EQ(record.Origin.Seed, expected.Seed);
  EXPECT_EQ(record.Origin.Generation, 3);
  EXPECT_EQ(record.Origin.Evaluation, 257);
  EXPECT_EQ(std::bit_cast<std::uint64_t>(record.Origin.Fitness), std::bit_cast<std::uint64_t>(expected.Fitness));
  EXPECT_EQ(record.Origin.SimulationTime, 7.5);
  EXPECT_EQ(record.Origin.TimeStep, 0.01);
  ASSERT_EQ(record.Origin.CylinderVelocities.size(), 4U);
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(std::bit_cast<std::uint64_t>(record.Origin.CylinderVelocities[i]),
              std::bit_cast<std::uint64_t>(expected.CylinderVelocities[i]))
        << i;
  }

  // the brain made from the record decodes as the original and writes the same file again
  const auto again = MakeRecordedBrain(record, Shape(4, 2, 6));
  std::string original;
  std::string copy;
  brain.AppendDescription(original);
  again->AppendDescription(copy);
  EXPECT_EQ(copy, original);
  EXPECT_EQ(FormatBrainFile(*again, Origin()), text);
}

TEST(BrainFile, OptionalOriginKeysMayBeMissingAndAFileWithoutCylindersReads) {
  TBrainOrigin origin = Origin();
  origin.ExperimentSha256.clear();
  origin.Seed.reset();
  origin.CylinderVelocities.clear();
  const TBrainRecord record = ParseBrainFile(FormatBrainFile(AwkwardBrain(), origin), "x.brain");
  EXPECT_TRUE(record.Origin.ExperimentSha256.empty());
  EXPECT_FALSE(record.Origin.Seed.has_value());
  EXPECT_TRUE(record.Origin.CylinderVelocities.empty());
}

// The file with the first occurrence of From replaced by To.
std::string Edited(const std::string& Text, const std::string& From, const std::string& To) {
  const std::size_t at = Text.find(From);
  EXPECT_NE(at, std::string::npos) << From;
  std::string edited = Text;
  edited.replace(at, From.size(), To);
  return edited;
}

// The 1-based line of the first occurrence of Needle.
int LineOf(const std::string& Text, const std::string& Needle) {
  const std::size_t at = Text.find(Needle);
  return 1 + static_cast<int>(std::count(Text.begin(), Text.begin() + static_cast<std::ptrdiff_t>(at), '\n'));
}

TEST(BrainFile, RefusalsNameTheFileTheLineAndWhatIsWrong) {
  const std::string text = FormatBrainFile(AwkwardBrain(), Origin());
  const int versionLine = LineOf(text, "version = 1");
  const int genomeRow2 = LineOf(text, "  [") + 1;
  struct TCase {
    std::string Text;
    std::string Expected;  // the whole message
  };
  const std::string genome2 = text.substr(text.find('\n', text.find("  [")) + 1);
  const std::vector<TCase> cases = {
      {Edited(text, "version = 1", "version = 2"),
       "b.brain:" + std::to_string(versionLine) + ": unknown version 2; this program reads version 1"},
      {Edited(text, "\"kestrovan-brain\"", "\"other\""),
       "b.brain:" + std::to_string(LineOf(text, "format")) + ": format is 'other', not 'kestrovan-brain'"},
      {Edited(text, "kind = \"fsm\"", "kind = \"net\""),
       "b.brain:" + std::to_string(LineOf(text, "kind")) +
           ": [brain] kind 'net' is unknown; this program reads \"fsm\""},
      {Edited(text, "[recording]", "[recordings]"),
       "b.brain:" + std::to_string(LineOf(text, "[recording]")) + ": unknown key recordings"},
      {text.substr(0, text.find("[brain]")), "b.brain: section [brain] is missing"},
      {Edited(text, "evaluation = 257", "evaluation = 0"),
       "b.brain:" + std::to_string(LineOf(text, "evaluation")) +
           ": [origin] evaluation is 0; it must lie in 1..2147483647"},
      {Edited(text, "fitness = ", "fitness = \"high\"\n#"),
       "b.brain:" + std::to_string(LineOf(text, "fitness")) + ": [origin] fitness must be a number"},
  };
  for (const TCase& c : cases) {
    try {
      ParseBrainFile(c.Text, "b.brain");
      ADD_FAILURE() << "accepted: " << c.Expected;
    } catch (const TBrainFileError& error) {
      EXPECT_EQ(std::string(error.what()), c.Expected);
    }
  }

  // a genome that does not match its counts, or a gene outside [0, 1), names its line
  const std::string gene = ShortestReal(AwkwardBrain().Genome.GetElement(2, 1));
  const std::vector<std::pair<std::string, std::string>> genomeCases = {
      {Edited(text, "  [" + gene + ", ", "  ["), "genome row 2 has 15 genes; 2 conditions need 5 x 2 + 6 = 16"},
      {Edited(text, "  [" + gene + ", ", "  [1.0, "), "genome row 2, gene 1 is 1.0; genes lie in [0, 1)"},
      {Edited(text, "  [" + gene + ", ", "  [-0.5, "), "genome row 2, gene 1 is -0.5; genes lie in [0, 1)"},
      {Edited(text, "  [" + gene + ", ", "  [nan, "), "[brain] genome must be a finite number"},
  };
  for (const auto& [edited, message] : genomeCases) {
    try {
      ParseBrainFile(edited, "b.brain");
      ADD_FAILURE() << "accepted: " << message;
    } catch (const TBrainFileError& error) {
      EXPECT_EQ(error.Line(), genomeRow2) << error.what();
      EXPECT_NE(std::string(error.what()).find(message), std::string::npos) << error.what();
    }
  }
  try {
    ParseBrainFile(Edited(text, "number_of_states = 4", "number_of_states = 3"), "b.brain");
    ADD_FAILURE() << "a genome of 4 rows for 3 states was accepted";
  } catch (const TBrainFileError& error) {
    EXPECT_NE(std::string(error.what()).find("genome has 4 rows; number_of_states 3"), std::string::npos)
        << error.what();
  }
}

TEST(BrainFile, DamagedAndMissingFilesAreRefusedWithTheirName) {
  const test::TTemporaryFolder folder;
  const std::string text = FormatBrainFile(AwkwardBrain(), Origin());
  // cut in the middle of the genome: the array never closes
  const auto cut = folder.Write("cut.brain", text.substr(0, text.size() - 40));
  try {
    ReadBrainFile(cut);
    ADD_FAILURE() << "a truncated file was accepted";
  } catch (const TBrainFileError& error) {
    EXPECT_EQ(error.File(), cut);
    EXPECT_GT(error.Line(), LineOf(text, "genome"));
  }
  const auto binary = folder.Write("binary.brain", std::string("\x89PNG\r\n\x1a\n\0\0", 10));
  EXPECT_THROW(ReadBrainFile(binary), TBrainFileError);
  try {
    ReadBrainFile(folder.Path() / "none.brain");
    ADD_FAILURE() << "a missing file was accepted";
  } catch (const TBrainFileError& error) {
    EXPECT_EQ(std::string(error.what()), (folder.Path() / "none.brain").string() + ": cannot open the brain file");
  }
}

TEST(BrainFile, ABrainOfAnotherShapeIsRefusedNamingEveryDifference) {
  const TBrainRecord record = ParseBrainFile(FormatBrainFile(AwkwardBrain(), Origin()), "x.brain");
  try {
    MakeRecordedBrain(record, Shape(5, 2, 8));
    ADD_FAILURE() << "accepted";
  } catch (const std::invalid_argument& error) {
    EXPECT_EQ(std::string(error.what()),
              "the brain does not fit the robot: number_of_states 4 (the robot's brain has 5), number_of_inputs 6 "
              "(the robot's brain has 8)");
  }
  EXPECT_NO_THROW(MakeRecordedBrain(record, Shape(4, 2, 6)));
}

// ---- replay

// A result folder as a run leaves it: experiment.toml and its arena.
class ReplayTest : public ::testing::Test {
 protected:
  ReplayTest() {
    folder.Write("arena.txt",
                 "object Ground: TBasicFloor\n  Position = 0 0 0\n  Width = 3\n  Length = 3\nend\n"
                 "object Can: TCylinderZ\n  Position = 0.15 0.02 0\n  Velocity = 0.05 0.01 0\n  Radius = 0.03\n"
                 "  Height = 0.1\n  Mass = 0.1\nend\n"
                 "object Can: TCylinderZ\n  Position = -0.4 0.3 0\n  Velocity = 0 0 0\n  Radius = 0.04\n"
                 "  Height = 0.1\n  Mass = 0.2\nend\n");
    experiment = TExperiment::Default();
    experiment.ArenaFile = folder.Path() / "arena.txt";
    experiment.SimulationTime = 2.0;
    experiment.MaximumCylinderSpeed = 0.2;
    experiment.Seed = 5;
    WriteExperiment(experiment, folder.Path() / "experiment.toml");
  }

  TBrainRecord Record() const {
    TRandomGenerator generator(3);
    const TFSMBrain brain(experiment.RobotConfiguration().Brain, generator);
    TBrainOrigin origin;
    origin.SimulationTime = experiment.SimulationTime;
    origin.TimeStep = experiment.TimeStep;
    origin.CylinderVelocities = {0.05, 0.01, 0.0, 0.0};
    origin.Generation = 1;
    origin.Evaluation = 1;
    return ParseBrainFile(FormatBrainFile(brain, origin), "x.brain");
  }

  test::TTemporaryFolder folder;
  TExperiment experiment;
};

TEST_F(ReplayTest, TrajectoryCsvStartsAtStep0AndFollowsTheReplay) {
  TBrainReplay replay(ResultFolderExperiment(folder.Path()), Record());
  EXPECT_TRUE(replay.Warnings().empty());
  const std::string csv = ReplayTrajectoryCsv(replay);
  const double fitness = replay.Fitness();
  const int steps = replay.Steps();
  EXPECT_EQ(steps, 200);

  std::vector<std::string> lines;
  for (std::size_t start = 0, end = 0; (end = csv.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(csv.substr(start, end - start));
  }
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(steps) + 2);
  EXPECT_EQ(lines[0], "step,time,robot_x,robot_y,robot_heading,cylinder1_x,cylinder1_y,cylinder2_x,cylinder2_y");
  EXPECT_EQ(lines[1], "0,0.0,0.0,0.0,0.0,0.15,0.02,-0.4,0.3");
  EXPECT_TRUE(lines[2].starts_with("1,0.01,")) << lines[2];
  EXPECT_TRUE(lines.back().starts_with("200,")) << lines.back();
  // the last row holds the cylinders the fitness is computed from
  std::vector<double> last;
  for (std::size_t start = 0, end = 0; start <= lines.back().size(); start = end + 1) {
    end = std::min(lines.back().find(',', start), lines.back().size());
    last.push_back(std::stod(lines.back().substr(start, end - start)));
  }
  ASSERT_EQ(last.size(), 9U);
  EXPECT_DOUBLE_EQ(std::sqrt(last[5] * last[5] + last[6] * last[6] + last[7] * last[7] + last[8] * last[8]), fitness);

  // the replay runs again from step 0 to the same end
  EXPECT_EQ(ReplayTrajectoryCsv(replay), csv);
  replay.Begin();
  EXPECT_EQ(replay.Run(), fitness);
}

TEST_F(ReplayTest, RecordedVelocitiesOrASeedsRandomOnesStartTheCylinders) {
  TBrainReplay recorded(experiment, Record());
  EXPECT_EQ(recorded.Arena().Cylinders()[0]->Velocity.GetElement(1), 0.05);
  EXPECT_EQ(recorded.Arena().Cylinders()[0]->Velocity.GetElement(2), 0.01);

  // a seed gives every cylinder the random velocity of that run: up to 0.2 m/s, not the file's
  TBrainReplay seeded(experiment, Record(), 5U);
  const TCylinderZ& first = *seeded.Arena().Cylinders()[0];
  const TCylinderZ& second = *seeded.Arena().Cylinders()[1];
  EXPECT_NE(first.Velocity.GetElement(1), 0.05);
  EXPECT_GT(std::hypot(second.Velocity.GetElement(1), second.Velocity.GetElement(2)), 0.0);
  EXPECT_LE(std::hypot(second.Velocity.GetElement(1), second.Velocity.GetElement(2)), 0.2);
  seeded.Begin();
  EXPECT_EQ(seeded.Arena().Cylinders()[1]->Velocity.GetElement(1), second.Velocity.GetElement(1))
      << "the same draws at every start";
}

TEST_F(ReplayTest, DifferencesFromTheRecordingAreWarnedAndAnotherShapeRefused) {
  TBrainRecord record = Record();
  record.Origin.ExperimentSha256 = std::string(64, '0');
  record.Origin.TimeStep = 0.02;
  record.Origin.CylinderVelocities = {0.0, 0.0};
  const TBrainReplay replay(experiment, record);
  ASSERT_EQ(replay.Warnings().size(), 3U);
  EXPECT_NE(replay.Warnings()[0].find("another experiment"), std::string::npos) << replay.Warnings()[0];
  EXPECT_NE(replay.Warnings()[1].find("steps of 0.02 s"), std::string::npos) << replay.Warnings()[1];
  EXPECT_NE(replay.Warnings()[2].find("had 1 cylinders, this one has 2"), std::string::npos) << replay.Warnings()[2];

  TExperiment other = experiment;
  other.Robot.Brain.NumberOfStates = 7;
  EXPECT_THROW(TBrainReplay(other, Record()), std::invalid_argument);
  EXPECT_THROW(ResultFolderExperiment(folder.Path() / "nothing"), TExperimentFileError);
}

}  // namespace
}  // namespace kestrovan
