// Interrupted runs of the kestrovan-batch executable: stopped by a signal,
// killed at random moments or started with fewer generations, then resumed,
// they leave the files of the run left alone; every resume that cannot give
// them is refused.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "simulation/SimulationTestSupport.h"
#include "support/TestSupport.h"

extern char** environ;

namespace kestrovan {
namespace {

using namespace std::chrono_literals;

struct TExit {
  int Code = -1;  // exit status, or -signal when a signal ended the program
  std::string Err;
};

class BatchResume : public ::testing::Test {
 protected:
  BatchResume() {
    folder.Write("arena.txt",
                 test::TArenaText().Floor(2, 2).Cylinder(0.12, 0.02, 0.03, 0.1).Cylinder(0.1, -0.1, 0.03, 0.05).Text());
  }

  // Starts the program in the test's folder with Arguments; its standard
  // error goes to err-<pid>.log.
  pid_t Start(const std::vector<std::string>& Arguments) const {
    std::vector<std::string> words{KESTROVAN_BATCH_EXECUTABLE};
    words.insert(words.end(), Arguments.begin(), Arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
      argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    const std::string log = (folder.Path() / "err.log").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.Path().c_str());
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(error, 0);
    return pid;
  }

  TExit Wait(pid_t Pid) const {
    int status = 0;
    waitpid(Pid, &status, 0);
    TExit result;
    result.Code = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    result.Err = test::ReadFile(folder.Path() / "err.log");
    return result;
  }

  TExit Run(const std::vector<std::string>& Arguments) const { return Wait(Start(Arguments)); }

  // A new run of Generations generations into Out.
  std::vector<std::string> Fresh(const std::string& Out, int Generations, int Threads) const {
    return {"--arena",
            "arena.txt",
            "--seed",
            "11",
            "--population",
            "6",
            "--simulation-time",
            "1",
            "--generations",
            std::to_string(Generations),
            "--threads",
            std::to_string(Threads),
            "--log-evaluations",
            "--quiet",
            "--out",
            Out};
  }

  // The result files of the folder Name with their contents: every new-best
  // file, descr.txt, evaluations.csv, experiment.toml and generations.csv
  // without its column of seconds; the manifest and the checkpoint hold
  // times.
  std::map<std::string, std::string> Results(const std::string& Name) const {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path() / Name)) {
      const std::string name = entry.path().filename().string();
      // temporary files of killed runs are no results
      if (name == "manifest.json" || name == "checkpoint.kcp" || name.starts_with(".")) {
        continue;
      }
      std::string text = test::ReadFile(entry.path());
      if (name == "generations.csv") {
        std::istringstream lines(text);
        text.clear();
        for (std::string line; std::getline(lines, line);) {
          text += line.substr(0, line.rfind(',')) + '\n';
        }
      }
      files[name] = text;
    }
    return files;
  }

  nlohmann::json Manifest(const std::string& Name) const {
    return nlohmann::json::parse(test::ReadFile(folder.Path() / Name / "manifest.json"));
  }

  bool Completed(const std::string& Name) const {
    try {
      return Manifest(Name)["status"] == "completed";
    } catch (const std::exception&) {
      return false;
    }
  }

  // Rows of generations.csv (header aside) in the folder Name.
  int GenerationsDone(const std::string& Name) const {
    std::ifstream in(folder.Path() / Name / "generations.csv");
    int rows = -1;
    for (std::string line; std::getline(in, line);) {
      ++rows;
    }
    return rows;
  }

  // Starts a long run into Name and waits until it has done a generation.
  pid_t StartLong(const std::string& Name) const {
    const pid_t pid = Start(Fresh(Name, 100000, 2));
    for (int i = 0; i < 2000 && GenerationsDone(Name) < 1; ++i) {
      std::this_thread::sleep_for(5ms);
    }
    return pid;
  }

  test::TTemporaryFolder folder;
};

TEST_F(BatchResume, RunsStartedShorterAndResumedGiveTheFilesOfTheWholeRun) {
  ASSERT_EQ(Run(Fresh("whole", 5, 1)).Code, 0);
  const auto whole = Results("whole");
  ASSERT_TRUE(whole.contains("descr.txt") && whole.contains("evaluations.csv") && whole.contains("1.txt"));
  for (const int k : {1, 2, 4}) {
    for (const auto& [first, second] : {std::pair{1, 2}, std::pair{2, 1}}) {
      const std::string name = "k" + std::to_string(k) + "-" + std::to_string(first);
      ASSERT_EQ(Run(Fresh(name, k, first)).Code, 0);
      const TExit resumed =
          Run({"--resume", name, "--generations", "5", "--threads", std::to_string(second), "--quiet"});
      ASSERT_EQ(resumed.Code, 0) << resumed.Err;
      EXPECT_EQ(Results(name), whole) << name;
      EXPECT_EQ(Manifest(name)["status"], "completed");
      EXPECT_EQ(Manifest(name)["generations"], 5);
    }
  }
  // a completed run goes on when asked for more generations
  ASSERT_EQ(Run(Fresh("seven", 7, 2)).Code, 0);
  ASSERT_EQ(Run({"--resume", "whole", "--generations", "7", "--quiet"}).Code, 0);
  EXPECT_EQ(Results("whole"), Results("seven"));
}

TEST_F(BatchResume, SigintAndSigtermStopWithTheirStatusAndTheRunGoesOn) {
  for (const int signal : {SIGINT, SIGTERM}) {
    const std::string name = signal == SIGINT ? "int" : "term";
    const pid_t pid = StartLong(name);
    ASSERT_GE(GenerationsDone(name), 1);
    kill(pid, signal);
    const TExit stopped = Wait(pid);
    EXPECT_EQ(stopped.Code, 128 + signal);
    EXPECT_NE(stopped.Err.find("continue with: kestrovan-batch --resume " + name), std::string::npos) << stopped.Err;
    EXPECT_EQ(Manifest(name)["status"], "stopped");
    const int done = GenerationsDone(name);
    EXPECT_EQ(Manifest(name)["generations"], done);
    const std::string history = test::ReadFile(folder.Path() / name / "descr.txt");
    EXPECT_FALSE(history.empty());

    // resumed to a few generations more, the run is that of a run left alone
    const int goal = done + 2;
    ASSERT_EQ(Run({"--resume", name, "--generations", std::to_string(goal), "--quiet"}).Code, 0);
    const std::string reference = name + "-alone";
    ASSERT_EQ(Run(Fresh(reference, goal, 1)).Code, 0);
    EXPECT_EQ(Results(name), Results(reference));
  }
}

TEST_F(BatchResume, AStoppedRunWithoutCheckpointsSaysSo) {
  std::vector<std::string> arguments = Fresh("off", 100000, 1);
  arguments.insert(arguments.end(), {"--checkpoint-every", "0"});
  const pid_t pid = Start(arguments);
  for (int i = 0; i < 2000 && GenerationsDone("off") < 1; ++i) {
    std::this_thread::sleep_for(5ms);
  }
  kill(pid, SIGTERM);
  const TExit stopped = Wait(pid);
  EXPECT_EQ(stopped.Code, 143);
  EXPECT_NE(stopped.Err.find("stopped by SIGTERM after"), std::string::npos) << stopped.Err;
  EXPECT_NE(stopped.Err.find("checkpoints were off, so it cannot be continued"), std::string::npos) << stopped.Err;
  EXPECT_FALSE(std::filesystem::exists(folder.Path() / "off" / "checkpoint.kcp"));
  EXPECT_EQ(Manifest("off")["status"], "stopped");
  EXPECT_TRUE(std::filesystem::exists(folder.Path() / "off" / "evaluations.csv"));
}

TEST_F(BatchResume, ASecondSigintEndsAtOnceLeavingAResumableFolder) {
  const pid_t pid = StartLong("twice");
  kill(pid, SIGINT);
  kill(pid, SIGINT);
  EXPECT_EQ(Wait(pid).Code, 130);
  // the files under their own names are whole
  EXPECT_NO_THROW(Manifest("twice"));
  const int goal = GenerationsDone("twice") + 1;
  ASSERT_EQ(Run({"--resume", "twice", "--generations", std::to_string(goal), "--quiet"}).Code, 0);
  ASSERT_EQ(Run(Fresh("alone", goal, 2)).Code, 0);
  EXPECT_EQ(Results("twice"), Results("alone"));
}

TEST_F(BatchResume, KilledAtRandomMomentsAndResumedGivesTheFilesOfTheRunLeftAlone) {
  constexpr int kGenerations = 12;
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(Run(Fresh("alone", kGenerations, 1)).Code, 0);
  // the kills fall anywhere within the time a whole run takes on this machine
  const auto duration = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
  std::uniform_int_distribution<long> moment(0, std::max(1000L, static_cast<long>(duration.count())));
  const auto alone = Results("alone");
  std::mt19937 random(20261209);
  int kills = 0;
  // a few dozen kills, in as many runs as that takes (more runs on a busy
  // machine, where a resumed run often ends before its kill)
  for (int attempt = 0; attempt < 60 && kills < 30; ++attempt) {
    const std::string name = "killed" + std::to_string(attempt);
    // kill -9 at a random moment, again and again, until a run gets to its end
    std::vector<std::string> arguments = Fresh(name, kGenerations, 1 + attempt % 2);
    bool ended = false;
    for (int round = 0; round < 40 && !ended; ++round) {
      const pid_t pid = Start(arguments);
      std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
      kill(pid, SIGKILL);
      const TExit exit = Wait(pid);
      ended = exit.Code == 0;
      if (ended) {
        break;
      }
      ASSERT_EQ(exit.Code, -SIGKILL) << exit.Err;
      ++kills;
      // killed after it had finished its files
      ended = Completed(name);
      if (ended) {
        break;
      }
      // a folder with a checkpoint goes on from it; one killed before its
      // first checkpoint starts over
      if (std::filesystem::exists(folder.Path() / name / "checkpoint.kcp")) {
        arguments = {"--resume", name, "--threads", std::to_string(2 - round % 2), "--quiet"};
      } else {
        arguments = Fresh(name, kGenerations, 1);
        arguments.push_back("--force");
      }
    }
    // the last one to the end, without a kill
    if (!ended) {
      const TExit last = Run(arguments);
      ASSERT_EQ(last.Code, 0) << last.Err;
    }
    EXPECT_EQ(Results(name), alone) << name << " after " << kills << " kills";
    // nothing is left under a temporary name
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path() / name)) {
      EXPECT_FALSE(entry.path().filename().string().starts_with(".")) << entry.path();
    }
  }
  RecordProperty("kills", kills);
  EXPECT_GE(kills, 24);
}

TEST_F(BatchResume, EveryResumeThatCannotGiveTheRunsFilesIsRefused) {
  ASSERT_EQ(Run(Fresh("done", 2, 1)).Code, 0);
  const std::filesystem::path done = folder.Path() / "done";
  const std::string checkpoint = test::ReadFile(done / "checkpoint.kcp");
  const auto refusal = [&](const std::string& Name) {
    const TExit result = Run({"--resume", Name, "--generations", "4"});
    EXPECT_EQ(result.Code, 1) << result.Err;
    return result.Err;
  };
  const auto copy = [&](const std::string& Name) {
    std::filesystem::copy(done, folder.Path() / Name, std::filesystem::copy_options::recursive);
    return folder.Path() / Name;
  };

  // the run is complete unless asked for more
  const TExit complete = Run({"--resume", "done"});
  EXPECT_EQ(complete.Code, 1);
  EXPECT_NE(complete.Err.find("is complete: 2 generations done of 2"), std::string::npos) << complete.Err;

  // a changed experiment file and a changed arena
  const auto experiment = copy("experiment");
  std::string settings = test::ReadFile(experiment / "experiment.toml");
  settings.replace(settings.find("population_size = 6"), 19, "population_size = 7");
  folder.Write("experiment/experiment.toml", settings);
  EXPECT_NE(refusal("experiment").find("experiment.toml' does not hold the settings the run was started with"),
            std::string::npos);
  const auto arena = copy("arena");
  folder.Write("arena/arena.txt", test::ReadFile(arena / "arena.txt") + "\n");
  EXPECT_NE(refusal("arena").find("arena.txt' is not the arena the run was started with"), std::string::npos);

  // a truncated, a bit-flipped and a later version of checkpoint
  copy("truncated");
  folder.Write("truncated/checkpoint.kcp", checkpoint.substr(0, checkpoint.size() / 2));
  EXPECT_NE(refusal("truncated").find("checkpoint.kcp: truncated checkpoint"), std::string::npos);
  copy("flipped");
  std::string flipped = checkpoint;
  flipped[flipped.size() / 3] ^= 0x10;
  folder.Write("flipped/checkpoint.kcp", flipped);
  EXPECT_NE(refusal("flipped").find("checkpoint.kcp: damaged checkpoint"), std::string::npos);
  copy("later");
  std::string later = checkpoint;
  later[16] = 9;
  folder.Write("later/checkpoint.kcp", later);
  EXPECT_NE(refusal("later").find("unknown version 9"), std::string::npos);
  // the refused checkpoints stay as they were
  EXPECT_EQ(test::ReadFile(folder.Path() / "flipped" / "checkpoint.kcp"), flipped);

  // no checkpoint at all
  ASSERT_EQ(Run({"--arena", "arena.txt", "--seed", "1", "--population", "3", "--simulation-time", "0.5",
                 "--checkpoint-every", "0", "--quiet", "--out", "none"})
                .Code,
            0);
  EXPECT_NE(refusal("none").find("holds no checkpoint.kcp"), std::string::npos);
  EXPECT_NE(refusal("missing").find("'missing' is not a folder"), std::string::npos);

  // a new run in a folder holding a run, unless --force
  std::vector<std::string> again = Fresh("done", 3, 1);
  const TExit taken = Run(again);
  EXPECT_EQ(taken.Code, 1);
  EXPECT_NE(taken.Err.find("'done' already holds a run"), std::string::npos) << taken.Err;
  EXPECT_EQ(test::ReadFile(done / "checkpoint.kcp"), checkpoint);
  again.push_back("--force");
  ASSERT_EQ(Run(again).Code, 0);
  ASSERT_EQ(Run(Fresh("three", 3, 1)).Code, 0);
  EXPECT_EQ(Results("done"), Results("three"));

  // the settings of a resumed run are its folder's
  const TExit mixed = Run({"--resume", "done", "--seed", "3"});
  EXPECT_EQ(mixed.Code, 2);
  EXPECT_NE(mixed.Err.find("--seed cannot be given with --resume"), std::string::npos) << mixed.Err;
}

}  // namespace
}  // namespace kestrovan
