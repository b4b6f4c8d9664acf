// Runs the kestrovan-batch executable as a user would and checks its exit
// codes, its output and the files it writes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "BatchProgram.h"
#include "simulation/SimulationTestSupport.h"
#include "support/TestSupport.h"

namespace kestrovan {
namespace {

using test::TArenaText;

using TExit = test::TBatchExit;

class BatchEndToEnd : public ::testing::Test {
 protected:
  BatchEndToEnd() {
    folder.Write("arena.txt", TArenaText()
                                  .Floor(2, 2)
                                  .Cylinder(0.12, 0.02, 0.03, 0.1)
                                  .Cylinder(0.1, -0.1, 0.03, 0.05)
                                  .Cylinder(-0.5, 0.5, 0.04, 0)
                                  .Text());
  }

  // Runs the program in the test's folder with Arguments (shell words).
  TExit Run(const std::string& Arguments) const { return test::RunBatchProgram(folder.Path(), Arguments); }

  // Name and content of every result file (the new-best files and
  // descr.txt) in the folder Name; the record files are checked on their own.
  std::vector<std::pair<std::string, std::string>> Files(const std::string& Name) const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path() / Name)) {
      const std::string name = entry.path().filename().string();
      if (name.ends_with(".txt") && name != "arena.txt") {
        names.insert(name);
      }
    }
    std::vector<std::pair<std::string, std::string>> files;
    for (const std::string& name : names) {
      files.emplace_back(name, test::ReadFile(folder.Path() / Name / name));
    }
    return files;
  }

  static std::vector<std::string> Lines(const std::string& Text) { return test::TextLines(Text); }

  test::TTemporaryFolder folder;
};

TEST_F(BatchEndToEnd, FixedSeedGivesTheSameFilesTwiceAndOnAnyNumberOfThreads) {
  const std::string common = "--arena arena.txt --seed 11 --generations 3 --population 8 --simulation-time 3";
  const TExit first = Run(common + " --threads 1 --out r1");
  ASSERT_EQ(first.Code, 0) << first.Err;
  const TExit again = Run(common + " --threads 1 --out r2");
  const TExit parallel = Run(common + " --threads 2 --out r3");
  ASSERT_EQ(again.Code, 0) << again.Err;
  ASSERT_EQ(parallel.Code, 0) << parallel.Err;

  const auto files = Files("r1");
  EXPECT_EQ(Files("r2"), files);
  EXPECT_EQ(Files("r3"), files);
  ASSERT_GE(files.size(), 2U);
  EXPECT_EQ(files.back().first, "descr.txt");
  EXPECT_EQ(Lines(files.back().second).size(), 8U) << "two headers and three generations each";

  // standard output: the summary line only; standard error: one line per generation
  const std::vector<std::string> out = Lines(first.Out);
  ASSERT_EQ(out.size(), 1U) << first.Out;
  EXPECT_TRUE(out[0].starts_with("kestrovan-batch: 3 generations, 24 evaluations, ")) << out[0];
  EXPECT_NE(out[0].find("seed 11"), std::string::npos) << out[0];
  int generations = 0;
  for (const std::string& line : Lines(first.Err)) {
    if (line.starts_with("generation ")) {
      ++generations;
      EXPECT_NE(line.find("evaluations/s"), std::string::npos) << line;
    }
  }
  EXPECT_EQ(generations, 3);
}

TEST_F(BatchEndToEnd, PrintedSeedRepeatsTheRun) {
  const std::string common = "--arena arena.txt --population 4 --simulation-time 2 --quiet";
  const TExit first = Run(common + " --out a");
  ASSERT_EQ(first.Code, 0) << first.Err;
  EXPECT_EQ(first.Err, "") << "--quiet silences the progress";
  const std::vector<std::string> out = Lines(first.Out);
  ASSERT_EQ(out.size(), 2U) << first.Out;
  ASSERT_TRUE(out[0].starts_with("Seed: ")) << out[0];

  const TExit repeated = Run(common + " --seed " + out[0].substr(6) + " --out b");
  ASSERT_EQ(repeated.Code, 0) << repeated.Err;
  EXPECT_EQ(Files("b"), Files("a"));
}

TEST_F(BatchEndToEnd, RunTimeErrorsExitWith1AndSayWhere) {
  const TExit missing = Run("--arena missing.txt --seed 1 --out r");
  EXPECT_EQ(missing.Code, 1);
  EXPECT_EQ(missing.Err, "kestrovan-batch: missing.txt: File not found\n");
  EXPECT_FALSE(std::filesystem::exists(folder.Path() / "r")) << "nothing is created for a run that cannot start";

  folder.Write("bad.txt", "object Ground: TBasicFloor\n  Width = 2\n  Length = two\nend\n");
  const TExit malformed = Run("--arena bad.txt --seed 1 --out r");
  EXPECT_EQ(malformed.Code, 1);
  EXPECT_EQ(malformed.Err, "kestrovan-batch: bad.txt:3: 'two' is not a valid floating point value\n");

  folder.Write("plain", "a file, not a folder");
  const TExit folderRefused = Run("--arena arena.txt --seed 1 --population 3 --out plain/sub");
  EXPECT_EQ(folderRefused.Code, 1);
  EXPECT_TRUE(folderRefused.Err.starts_with("kestrovan-batch: Cannot create folder 'plain/sub': "))
      << folderRefused.Err;

  // the first individual scores above 0, so 1.txt is the first file written
  std::filesystem::create_directories(folder.Path() / "blocked" / "1.txt");
  const TExit fileRefused = Run("--arena arena.txt --seed 1 --population 3 --simulation-time 1 --out blocked");
  EXPECT_EQ(fileRefused.Code, 1);
  EXPECT_NE(fileRefused.Err.find("kestrovan-batch: Cannot write 'blocked/1.txt': "), std::string::npos)
      << fileRefused.Err;
  // the history of the generations so far is written all the same
  EXPECT_EQ(test::ReadFile(folder.Path() / "blocked" / "descr.txt"), "MaxFitness = {\r\nAvgFitness = {\r\n");
  const auto manifest = nlohmann::json::parse(test::ReadFile(folder.Path() / "blocked" / "manifest.json"));
  EXPECT_EQ(manifest["status"], "failed");
  EXPECT_NE(manifest["error"].get<std::string>().find("Cannot write 'blocked/1.txt'"), std::string::npos);

  const TExit probeRefused = Run("--arena arena.txt --seed 1 --population 3 --out /proc");
  EXPECT_EQ(probeRefused.Code, 1);
  EXPECT_TRUE(probeRefused.Err.starts_with("kestrovan-batch: Cannot write in folder '/proc': ")) << probeRefused.Err;
}

// Inputs a hostile or careless user gives: none ends in exit status 0 with a
// wrong result.
TEST_F(BatchEndToEnd, APipedArenaRunsLikeTheFile) {
  const std::string options = " --seed 3 --population 4 --simulation-time 1 --quiet";
  const std::string command = "cd '" + folder.Path().string() +
                              "' && cat arena.txt | '" KESTROVAN_BATCH_EXECUTABLE "' --arena /dev/stdin --out piped" +
                              options + " >stdout.log 2>stderr.log";
  ASSERT_EQ(std::system(command.c_str()), 0) << test::ReadFile(folder.Path() / "stderr.log");
  ASSERT_EQ(Run("--arena arena.txt --out file" + options).Code, 0);
  EXPECT_EQ(Files("piped"), Files("file"));
  EXPECT_GT(Files("file").size(), 1u);
}

TEST_F(BatchEndToEnd, InputsARunCannotComputeExitWith1) {
  const struct {
    const char* Arena;  // written to in.txt
    const char* Options;
    const char* Error;
  } cases[] = {
      {"", "", "kestrovan-batch: in.txt: the arena has no object\n"},
      {"\xFF\xFEo\0", "", "kestrovan-batch: in.txt:1: not a text file: UTF-16"},
      {"object C: TCylinderZ\n  Mass = 0.0004\nend\n", "",
       "kestrovan-batch: in.txt:1: TCylinderZ 'C': Mass 0.0004 kg with time step 0.01 s gives a drag step factor"},
      {"object C: TCylinderZ\n  Mass = 1\nend\n", " --time-step 1e300 --simulation-time 1e300",
       "kestrovan-batch: time step 1e+300 s is above the maximum of 1 s\n"},
      {"object C: TCylinderZ\n  Position = 1e300 0 0\nend\n", "",
       "kestrovan-batch: in.txt:1: TCylinderZ 'C': Position 1e+300 is not finite"},
  };
  int n = 0;
  for (const auto& c : cases) {
    folder.Write("in.txt", std::string(c.Arena, std::string_view(c.Arena).size() + (c.Arena[0] == '\xFF' ? 2 : 0)));
    // a folder each: a failed run leaves its record
    const TExit result =
        Run("--arena in.txt --seed 1 --population 3 --out r" + std::to_string(++n) + std::string(c.Options));
    EXPECT_EQ(result.Code, 1) << c.Error;
    EXPECT_TRUE(result.Err.starts_with(c.Error)) << result.Err;
    EXPECT_TRUE(result.Out.empty()) << result.Out;
  }
}

TEST_F(BatchEndToEnd, WarningsGoToStandardErrorAndTheRunGoesOn) {
  folder.Write("lonely.txt", TArenaText().Floor(2, 2).Wall(0.5, 0.5).Text());
  const TExit result = Run("--arena lonely.txt --seed 1 --population 3 --simulation-time 0.1 --quiet --out w");
  EXPECT_EQ(result.Code, 0);
  EXPECT_EQ(result.Err,
            "lonely.txt: warning: the arena has no cylinder (TCylinderZ or TSoftDrinkCanZ): every "
            "fitness is 0\n");
}

TEST_F(BatchEndToEnd, BadUsageExitsWith2WithMessageAndUsage) {
  for (const char* arguments : {"", "--arena arena.txt --threads 0", "--arena arena.txt --time-step -1",
                                "--arena arena.txt --bogus", "--arena arena.txt --seed 4294967296"}) {
    SCOPED_TRACE(arguments);
    const TExit result = Run(arguments);
    EXPECT_EQ(result.Code, 2);
    EXPECT_TRUE(result.Err.starts_with("kestrovan-batch: ")) << result.Err;
    EXPECT_NE(result.Err.find("\nUsage: kestrovan-batch --arena FILE"), std::string::npos) << result.Err;
    EXPECT_EQ(result.Out, "");
  }
  const TExit help = Run("--help");
  EXPECT_EQ(help.Code, 0);
  EXPECT_TRUE(help.Out.starts_with("Usage: kestrovan-batch")) << help.Out;
  const TExit version = Run("--version");
  EXPECT_EQ(version.Code, 0);
  EXPECT_TRUE(version.Out.starts_with("kestrovan-batch 1.0 (revision ")) << version.Out;
  EXPECT_TRUE(version.Out.ends_with(")\n")) << version.Out;
}

TEST_F(BatchEndToEnd, RunsOnTheBundledDefaultArena) {
  const std::filesystem::path arena = test::SourceDir() / "arenas" / "default.txt";
  const TExit result =
      Run("--arena '" + arena.string() + "' --seed 5 --population 3 --simulation-time 1 --quiet --out d");
  ASSERT_EQ(result.Code, 0) << result.Err;
  EXPECT_TRUE(std::filesystem::exists(folder.Path() / "d" / "descr.txt"));

  // a bare name that is no file here names the bundled arena, with or without .txt
  for (const char* name : {"default", "default.txt"}) {
    const TExit byName = Run(std::string("--arena ") + name +
                             " --seed 5 --population 3 --simulation-time 1 --quiet --out 'n " + name + "'");
    ASSERT_EQ(byName.Code, 0) << byName.Err;
    EXPECT_EQ(Files(std::string("n ") + name), Files("d")) << name;
  }
  // a file of that name in the working folder comes first
  folder.Write("default.txt", "object Ground: TBasicFloor\n  Width = two\nend\n");
  const TExit shadowed = Run("--arena default.txt --seed 5 --population 3 --quiet --out s");
  EXPECT_EQ(shadowed.Code, 1);
  EXPECT_EQ(shadowed.Err, "kestrovan-batch: default.txt:2: 'two' is not a valid floating point value\n");
}

TEST_F(BatchEndToEnd, EmptyExperimentGivesTodaysFilesAndTheRecordRepeatsTheRun) {
  folder.Write("empty.toml", "");
  const std::string common = "--arena arena.txt --seed 3 --generations 3 --population 6 --simulation-time 2 --quiet";
  const TExit plain = Run(common + " --out plain");
  const TExit empty = Run(common + " --experiment empty.toml --out empty");
  ASSERT_EQ(plain.Code, 0) << plain.Err;
  ASSERT_EQ(empty.Code, 0) << empty.Err;
  const auto files = Files("plain");
  ASSERT_GE(files.size(), 2U);
  EXPECT_EQ(Files("empty"), files);
  EXPECT_EQ(test::ReadFile(folder.Path() / "empty" / "experiment.toml"),
            test::ReadFile(folder.Path() / "plain" / "experiment.toml"));

  // the folder's own experiment and arena copy give the same files again,
  // with no option but the output folder
  const TExit again = Run("--experiment plain/experiment.toml --quiet --out again");
  ASSERT_EQ(again.Code, 0) << again.Err;
  EXPECT_EQ(Files("again"), files);
  EXPECT_EQ(test::ReadFile(folder.Path() / "again" / "experiment.toml"),
            test::ReadFile(folder.Path() / "plain" / "experiment.toml"));
  EXPECT_EQ(test::ReadFile(folder.Path() / "again" / "arena.txt"), test::ReadFile(folder.Path() / "arena.txt"));
}

TEST_F(BatchEndToEnd, OptionsOverrideTheExperimentFile) {
  folder.Write("e.toml",
               "[arena]\nfile = \"arena.txt\"\n[evolution]\npopulation_size = 9\n"
               "[simulation]\nsimulation_time = 1.5\n[run]\nseed = 8\ngenerations = 2\n");
  const TExit fromFile = Run("--experiment e.toml --quiet --out f");
  ASSERT_EQ(fromFile.Code, 0) << fromFile.Err;
  EXPECT_NE(fromFile.Out.find("2 generations, 18 evaluations"), std::string::npos) << fromFile.Out;
  EXPECT_NE(fromFile.Out.find("seed 8"), std::string::npos) << fromFile.Out;

  const TExit overridden = Run("--experiment e.toml --population 4 --generations 1 --seed 9 --quiet --out o");
  ASSERT_EQ(overridden.Code, 0) << overridden.Err;
  EXPECT_NE(overridden.Out.find("1 generation, 4 evaluations"), std::string::npos) << overridden.Out;
  EXPECT_NE(overridden.Out.find("seed 9"), std::string::npos) << overridden.Out;
  const std::string record = test::ReadFile(folder.Path() / "o" / "experiment.toml");
  EXPECT_NE(record.find("population_size = 4\n"), std::string::npos) << record;
  EXPECT_NE(record.find("simulation_time = 1.5"), std::string::npos) << "kept from the file:\n" << record;
  EXPECT_NE(record.find("seed = 9\n"), std::string::npos) << record;

  // --write-experiment writes the resolved experiment and runs nothing
  const TExit written = Run("--experiment e.toml --population 5 --write-experiment sub/w.toml");
  EXPECT_EQ(written.Code, 1) << "the folder does not exist: " << written.Err;
  std::filesystem::create_directories(folder.Path() / "sub");
  const TExit writtenNow = Run("--experiment e.toml --population 5 --write-experiment sub/w.toml");
  ASSERT_EQ(writtenNow.Code, 0) << writtenNow.Err;
  const std::string text = test::ReadFile(folder.Path() / "sub" / "w.toml");
  EXPECT_NE(text.find("file = \"../arena.txt\""), std::string::npos) << text;
  EXPECT_NE(text.find("population_size = 5\n"), std::string::npos) << text;
  EXPECT_FALSE(std::filesystem::exists(folder.Path() / "sub" / "descr.txt"));
}

TEST_F(BatchEndToEnd, RecordFilesDescribeTheRun) {
  const TExit result =
      Run("--arena arena.txt --seed 4 --generations 3 --population 5 --simulation-time 1 --threads 2 "
          "--log-evaluations --quiet --out r");
  ASSERT_EQ(result.Code, 0) << result.Err;
  const std::filesystem::path r = folder.Path() / "r";

  const std::vector<std::string> generations = Lines(test::ReadFile(r / "generations.csv"));
  ASSERT_EQ(generations.size(), 4U);
  EXPECT_EQ(generations[0], "generation,max_fitness,avg_fitness,min_fitness,evaluations,seconds");
  const std::vector<std::string> history = Lines(test::ReadFile(r / "descr.txt"));
  for (int g = 1; g <= 3; ++g) {
    std::istringstream row(generations[static_cast<std::size_t>(g)]);
    std::string field;
    std::vector<std::string> fields;
    while (std::getline(row, field, ',')) {
      fields.push_back(field);
    }
    ASSERT_EQ(fields.size(), 6U) << generations[static_cast<std::size_t>(g)];
    EXPECT_EQ(fields[0], std::to_string(g));
    EXPECT_EQ(fields[4], std::to_string(5 * g));
    EXPECT_LE(std::stod(fields[3]), std::stod(fields[2]));
    EXPECT_LE(std::stod(fields[2]), std::stod(fields[1]));
    // the same maximum as descr.txt's line "{g,fitness}," (printed there with fewer digits)
    EXPECT_TRUE(history[static_cast<std::size_t>(g)].starts_with("{" + std::to_string(g) + ","))
        << history[static_cast<std::size_t>(g)];
  }

  const std::vector<std::string> evaluations = Lines(test::ReadFile(r / "evaluations.csv"));
  ASSERT_EQ(evaluations.size(), 16U);
  EXPECT_EQ(evaluations[0], "evaluation,generation,index,fitness,steps");
  EXPECT_TRUE(evaluations[1].starts_with("1,1,1,")) << evaluations[1];
  EXPECT_TRUE(evaluations[15].starts_with("15,3,5,")) << evaluations[15];
  EXPECT_TRUE(evaluations[15].ends_with(",100")) << "1 s of 0.01 s steps, unless stopped early: " << evaluations[15];

  const auto manifest = nlohmann::json::parse(test::ReadFile(r / "manifest.json"));
  EXPECT_EQ(manifest["status"], "completed");
  EXPECT_EQ(manifest["seed"], 4);
  EXPECT_EQ(manifest["threads"], 2);
  EXPECT_EQ(manifest["generations"], 3);
  EXPECT_EQ(manifest["evaluations"], 15);
  EXPECT_TRUE(manifest["error"].is_null());
  EXPECT_EQ(manifest["command_line"],
            "kestrovan-batch --arena arena.txt --seed 4 --generations 3 --population 5 --simulation-time 1 "
            "--threads 2 --log-evaluations --quiet --out r");
  EXPECT_EQ(manifest["arena_sha256"].get<std::string>().size(), 64U);
  EXPECT_GE(manifest["elapsed_seconds"].get<double>(), 0.0);
  // the best fitness is the largest of generations.csv, and its file exists
  double best = 0.0;
  for (std::size_t g = 1; g < generations.size(); ++g) {
    best = std::max(best, std::stod(generations[g].substr(generations[g].find(',') + 1)));
  }
  EXPECT_EQ(manifest["best_fitness"].get<double>(), best);
  EXPECT_TRUE(std::filesystem::exists(r / manifest["best_file"].get<std::string>()));
  EXPECT_FALSE(std::filesystem::exists(r / ".evaluations.csv.part"));
}

TEST_F(BatchEndToEnd, BadExperimentFilesExitWith1AndNameTheLine) {
  folder.Write("bad.toml", "[evolution]\npopulation_size = 50\n\n[robot.body]\nmas = 0.2\n");
  const TExit unknown = Run("--experiment bad.toml --arena arena.txt --out r");
  EXPECT_EQ(unknown.Code, 1);
  EXPECT_EQ(unknown.Err, "kestrovan-batch: bad.toml:5: unknown key 'mas' in [robot.body]\n");
  EXPECT_FALSE(std::filesystem::exists(folder.Path() / "r")) << "refused before anything runs";

  folder.Write("range.toml", "[arena]\nfile = \"arena.txt\"\n[evolution]\ntournament_winner_probability = 2\n");
  const TExit range = Run("--experiment range.toml --out r");
  EXPECT_EQ(range.Code, 1);
  EXPECT_TRUE(range.Err.starts_with("kestrovan-batch: range.toml:4: [evolution] tournament_winner_probability: "))
      << range.Err;

  folder.Write("noarena.toml", "");
  const TExit noArena = Run("--experiment noarena.toml --out r");
  EXPECT_EQ(noArena.Code, 2) << noArena.Err;
  EXPECT_NE(noArena.Err.find("--arena FILE is required"), std::string::npos) << noArena.Err;

  const TExit version = Run("--version");
  EXPECT_EQ(version.Code, 0);
  EXPECT_TRUE(version.Out.starts_with("kestrovan-batch 1.0 (revision ")) << version.Out;
}

}  // namespace
}  // namespace kestrovan
