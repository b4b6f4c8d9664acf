#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "experiment/Experiment.h"
#include "simulation/BrainFile.h"
#include "simulation/RobotSimulation.h"

namespace kestrovan {

class TArena;
class TFSMBrainParameters;
class TRobot;

// Where and how long a replay runs.
struct TReplayConditions {
  std::filesystem::path ArenaFile;
  TRobotSimulationParameters Parameters;
  // the run's cylinder velocity settings, for a replay with a seed
  bool KeepCylinderVelocities = false;
  double MinimumCylinderSpeed = 0.0;  // m/s
  double MaximumCylinderSpeed = 0.0;  // m/s
  // ExperimentHash of the experiment replayed in; empty: not compared
  std::string ExperimentSha256;
};

// The experiment of a result folder: its experiment.toml. Throws
// TExperimentFileError naming the file when there is none or it is refused.
TExperiment ResultFolderExperiment(const std::filesystem::path& Folder);

// One evaluation of a recorded brain in an experiment's arena, step by step,
// as the run's recording evaluation ran it: the experiment's robot with the
// recorded genome, the robot reset to the origin, the arena as loaded, and
// the cylinders started with the velocities of the recording run. With a
// seed, the cylinders start instead with the random velocities that a run
// of that seed gives them before its first evaluation (none when the
// experiment keeps the cylinder velocities), as the run window's replay of
// its best individual does.
class TBrainReplay {
 public:
  // Loads the arena and builds the robot. Throws TArenaFileError for the
  // arena, std::invalid_argument when the brain does not fit the robot
  // (naming every count that differs) or the experiment is refused.
  TBrainReplay(const TExperiment& Experiment, const TBrainRecord& Record,
               std::optional<std::uint32_t> Seed = std::nullopt);
  // The same with a copy of Template (body, sensors, motors) given the
  // recorded brain, which must have the shape of Brain.
  TBrainReplay(const TRobot& Template, const TFSMBrainParameters& Brain, const TReplayConditions& Conditions,
               const TBrainRecord& Record, std::optional<std::uint32_t> Seed = std::nullopt);
  ~TBrainReplay();
  TBrainReplay(const TBrainReplay&) = delete;
  TBrainReplay& operator=(const TBrainReplay&) = delete;

  // Where this replay's conditions differ from the recording run's (another
  // experiment, simulation time or time step, number of cylinders), one
  // sentence each; a replay with none gives the recorded fitness.
  const std::vector<std::string>& Warnings() const { return warnings_; }

  // (Re)starts the evaluation at step 0.
  void Begin();
  // One simulation step; true when the evaluation has finished.
  bool Step();
  // Steps until the evaluation has finished; returns the fitness.
  double Run();

  bool Finished() const { return simulation_->Finished; }
  int Steps() const { return steps_; }
  double Fitness() const;      // valid once finished
  double ElapsedTime() const;  // s, simulated
  const TRobotSimulation& Simulation() const { return *simulation_; }
  TRobot& Robot() { return *robot_; }
  TArena& Arena() { return *arena_; }
  const TBrainRecord& Record() const { return record_; }

 private:
  void Prepare(const TRobot& Template, const TFSMBrainParameters& Brain);

  TBrainRecord record_;
  std::optional<std::uint32_t> seed_;
  TReplayConditions conditions_;
  std::unique_ptr<TArena> arena_;
  std::unique_ptr<TRobot> robot_;
  std::unique_ptr<TRobotSimulation> simulation_;
  std::vector<std::string> warnings_;
  int steps_ = 0;
};

// The trajectory CSV header: step, time, robot_x, robot_y, robot_heading,
// then cylinderK_x, cylinderK_y for K = 1..Cylinders; ends in LF.
std::string TrajectoryCsvHeader(int Cylinders);
// One CSV row of the replay's current state (its step, time, robot pose and
// every cylinder's position), numbers in shortest exact form; ends in LF.
void AppendTrajectoryCsvRow(std::string& Text, TBrainReplay& Replay);
// The whole replay from step 0 as CSV (header, then one row per step from
// the initial state on); returns the fitness through Fitness.
std::string ReplayTrajectoryCsv(TBrainReplay& Replay);

}  // namespace kestrovan
