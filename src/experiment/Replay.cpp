#include "experiment/Replay.h"

#include <cmath>
#include <stdexcept>

#include "arena/Arena.h"
#include "experiment/RunRecord.h"
#include "numerics/RandomNumbers.h"
#include "numerics/TextNumbers.h"
#include "robot/Coordinates.h"
#include "robot/DefaultRobot.h"
#include "robot/FSMBrain.h"
#include "robot/Robot.h"

namespace kestrovan {

TExperiment ResultFolderExperiment(const std::filesystem::path& Folder) {
  const std::filesystem::path file = Folder / kExperimentRecordFile;
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) {
    throw TExperimentFileError(file, 0, "no experiment file beside the brain file; name one with --experiment");
  }
  return ReadExperiment(file);
}

namespace {

TReplayConditions ConditionsOf(const TExperiment& Experiment) {
  TReplayConditions conditions;
  conditions.ArenaFile = Experiment.ArenaFile;
  conditions.Parameters = TRobotSimulationParameters(Experiment.SimulationTime, Experiment.TimeStep);
  conditions.KeepCylinderVelocities = Experiment.KeepCylinderVelocities;
  conditions.MinimumCylinderSpeed = Experiment.MinimumCylinderSpeed;
  conditions.MaximumCylinderSpeed = Experiment.MaximumCylinderSpeed;
  return conditions;
}

}  // namespace

TBrainReplay::TBrainReplay(const TExperiment& Experiment, const TBrainRecord& Record, std::optional<std::uint32_t> Seed)
    : record_(Record), seed_(Seed), conditions_(ConditionsOf(Experiment)) {
  const TRobotConfiguration configuration = Experiment.RobotConfiguration();
  conditions_.Parameters.Validate();
  const std::unique_ptr<TRobot> robot = BuildRobot(configuration, kSensorMountingRadius);
  conditions_.ExperimentSha256 = ExperimentHash(Experiment);
  Prepare(*robot, configuration.Brain);
}

TBrainReplay::TBrainReplay(const TRobot& Template, const TFSMBrainParameters& Brain,
                           const TReplayConditions& Conditions, const TBrainRecord& Record,
                           std::optional<std::uint32_t> Seed)
    : record_(Record), seed_(Seed), conditions_(Conditions) {
  conditions_.Parameters.Validate();
  Prepare(Template, Brain);
}

void TBrainReplay::Prepare(const TRobot& Template, const TFSMBrainParameters& Brain) {
  robot_ = std::make_unique<TRobot>(Template);
  robot_->Brain = MakeRecordedBrain(record_, Brain);
  robot_->Validate();
  arena_ = std::make_unique<TArena>(conditions_.ArenaFile.string());

  // what keeps this replay from the recording run's result
  const TBrainOrigin& origin = record_.Origin;
  const TRobotSimulationParameters& parameters = conditions_.Parameters;
  if (!origin.ExperimentSha256.empty() && !conditions_.ExperimentSha256.empty() &&
      origin.ExperimentSha256 != conditions_.ExperimentSha256) {
    warnings_.push_back("the brain was recorded in another experiment or arena (experiment_sha256 " +
                        origin.ExperimentSha256.substr(0, 12) + "..., this one " +
                        conditions_.ExperimentSha256.substr(0, 12) + "...)");
  }
  if (origin.SimulationTime != parameters.SimulationTime || origin.TimeStep != parameters.TimeStep) {
    warnings_.push_back("the recording ran " + ShortestReal(origin.SimulationTime) + " s in steps of " +
                        ShortestReal(origin.TimeStep) + " s, this replay " + ShortestReal(parameters.SimulationTime) +
                        " s in steps of " + ShortestReal(parameters.TimeStep) + " s");
  }
  const std::size_t cylinders = arena_->Cylinders().size();
  if (!seed_.has_value() && origin.CylinderVelocities.size() != 2 * cylinders) {
    warnings_.push_back("the recording's arena had " + std::to_string(origin.CylinderVelocities.size() / 2) +
                        " cylinders, this one has " + std::to_string(cylinders) +
                        "; they start with the velocities of the arena file");
  }

  simulation_ = std::make_unique<TRobotSimulation>();
  simulation_->SetParameters(parameters);
  simulation_->SetArena(*arena_);
  Begin();
}

TBrainReplay::~TBrainReplay() = default;

void TBrainReplay::Begin() {
  simulation_->Initialize();
  robot_->Reset();
  arena_->ResetObjects();
  simulation_->SetAgent(*robot_);
  const std::vector<TCylinderZ*>& cylinders = arena_->Cylinders();
  if (seed_.has_value()) {
    // the random velocities of a run with this seed, drawn as its Initialize draws them
    if (!conditions_.KeepCylinderVelocities) {
      TRandomGenerator generator(*seed_);
      const auto randomSeed = static_cast<std::int32_t>(std::trunc(generator.Random() * 100000)) + 1;
      arena_->RandomizeCylinderVelocities(randomSeed, conditions_.MinimumCylinderSpeed,
                                          conditions_.MaximumCylinderSpeed);
    }
  } else if (record_.Origin.CylinderVelocities.size() == 2 * cylinders.size()) {
    for (std::size_t i = 0; i < cylinders.size(); ++i) {
      cylinders[i]->Velocity.SetElement(1, record_.Origin.CylinderVelocities[2 * i]);
      cylinders[i]->Velocity.SetElement(2, record_.Origin.CylinderVelocities[2 * i + 1]);
    }
  }
  steps_ = 0;
}

bool TBrainReplay::Step() {
  if (!simulation_->Finished) {
    simulation_->Step();
    ++steps_;
  }
  return simulation_->Finished;
}

double TBrainReplay::Run() {
  while (!Step()) {
  }
  return Fitness();
}

double TBrainReplay::Fitness() const { return robot_->Fitness; }

double TBrainReplay::ElapsedTime() const { return robot_->ElapsedTime; }

std::string TrajectoryCsvHeader(int Cylinders) {
  std::string text = "step,time,robot_x,robot_y,robot_heading";
  for (int k = 1; k <= Cylinders; ++k) {
    const std::string name = "cylinder" + std::to_string(k);
    text += ',';
    text += name;
    text += "_x,";
    text += name;
    text += "_y";
  }
  text += '\n';
  return text;
}

void AppendTrajectoryCsvRow(std::string& Text, TBrainReplay& Replay) {
  const TCoordinates* pose = Replay.Robot().Body->Kinematics();
  AppendInteger(Text, Replay.Steps());
  Text += ',';
  AppendShortest(Text, Replay.Simulation().Time);
  for (const double value : {pose->GetPosition(1), pose->GetPosition(2), pose->Heading}) {
    Text += ',';
    AppendShortest(Text, value);
  }
  for (const TCylinderZ* cylinder : Replay.Arena().Cylinders()) {
    Text += ',';
    AppendShortest(Text, cylinder->Position.GetElement(1));
    Text += ',';
    AppendShortest(Text, cylinder->Position.GetElement(2));
  }
  Text += '\n';
}

std::string ReplayTrajectoryCsv(TBrainReplay& Replay) {
  Replay.Begin();
  std::string text = TrajectoryCsvHeader(static_cast<int>(Replay.Arena().Cylinders().size()));
  AppendTrajectoryCsvRow(text, Replay);
  while (!Replay.Step()) {
    AppendTrajectoryCsvRow(text, Replay);
  }
  AppendTrajectoryCsvRow(text, Replay);
  return text;
}

}  // namespace kestrovan
