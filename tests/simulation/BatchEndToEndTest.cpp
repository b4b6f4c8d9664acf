// Runs the kestrovan-batch executable as a user would and checks its exit
// codes, its output and the files it writes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "simulation/SimulationTestSupport.h"
#include "support/TestSupport.h"

namespace kestrovan {
namespace {

using test::TArenaText;

struct TExit {
  int Code = -1;
  std::string Out;
  std::string Err;
};

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
  TExit Run(const std::string& Arguments) const {
    const std::string command = "cd '" + folder.Path().string() + "' && '" KESTROVAN_BATCH_EXECUTABLE "' " + Arguments +
                                " >stdout.log 2>stderr.log </dev/null";
    const int status = std::system(command.c_str());
    TExit result;
    result.Code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.Out = test::ReadFile(folder.Path() / "stdout.log");
    result.Err = test::ReadFile(folder.Path() / "stderr.log");
    return result;
  }

  // Name and content of every file in the folder Name.
  std::vector<std::pair<std::string, std::string>> Files(const std::string& Name) const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path() / Name)) {
      names.insert(entry.path().filename().string());
    }
    std::vector<std::pair<std::string, std::string>> files;
    for (const std::string& name : names) {
      files.emplace_back(name, test::ReadFile(folder.Path() / Name / name));
    }
    return files;
  }

  static std::vector<std::string> Lines(const std::string& Text) {
    std::vector<std::string> lines;
    std::istringstream input(Text);
    for (std::string line; std::getline(input, line);) {
      lines.push_back(line);
    }
    return lines;
  }

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
  for (const auto& c : cases) {
    folder.Write("in.txt", std::string(c.Arena, std::string_view(c.Arena).size() + (c.Arena[0] == '\xFF' ? 2 : 0)));
    const TExit result = Run(std::string("--arena in.txt --seed 1 --population 3 --out r") + c.Options);
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
    const TExit byName =
        Run(std::string("--arena ") + name + " --seed 5 --population 3 --simulation-time 1 --quiet --out n");
    ASSERT_EQ(byName.Code, 0) << byName.Err;
    EXPECT_EQ(Files("n"), Files("d")) << name;
  }
  // a file of that name in the working folder comes first
  folder.Write("default.txt", "object Ground: TBasicFloor\n  Width = two\nend\n");
  const TExit shadowed = Run("--arena default.txt --seed 5 --population 3 --quiet --out s");
  EXPECT_EQ(shadowed.Code, 1);
  EXPECT_EQ(shadowed.Err, "kestrovan-batch: default.txt:2: 'two' is not a valid floating point value\n");
}

}  // namespace
}  // namespace kestrovan
