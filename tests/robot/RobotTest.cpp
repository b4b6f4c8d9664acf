#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RobotTestSupport.h"
#include "numerics/RandomNumbers.h"
#include "robot/DCMotor.h"
#include "robot/DefaultRobot.h"
#include "robot/Robot.h"

namespace kestrovan {
namespace {

using test::ArenaFrom;
using test::FloorBlock;

using TLog = std::vector<std::string>;

// A brain and a body that record the calls made on them.
class TRecordingBrain : public TBrain {
 public:
  explicit TRecordingBrain(TLog& Log) : log_(Log) {}
  std::unique_ptr<TBrain> Copy() const override { return std::make_unique<TRecordingBrain>(log_); }
  void ReadInputs(const TSensors&) override { log_.push_back("ReadInputs"); }
  void SetMotorSignals(TMotors&) const override { log_.push_back("SetMotorSignals"); }
  void UpdateState(double) override { log_.push_back("UpdateState"); }
  void Mutate() override { log_.push_back("Mutate"); }
  void Reset() override { log_.push_back("brain Reset"); }

 private:
  TLog& log_;
};

class TRecordingBody : public TBody {
 public:
  explicit TRecordingBody(TLog& Log) : log_(Log) {}
  std::unique_ptr<TBody> Copy() const override { return std::make_unique<TRecordingBody>(log_); }
  void Move(const TArenaModel&, double) override { log_.push_back("Move"); }
  void UpdateMotors() override { log_.push_back("UpdateMotors"); }
  void Reset() override { log_.push_back("body Reset"); }
  double GetDistance() const override { return 0.0; }

 private:
  TLog& log_;
};

TEST(TRobot, StepSensesThinksActsAndResetTakesTheBodyFirst) {
  TLog log;
  TRobot robot;
  robot.Brain = std::make_unique<TRecordingBrain>(log);
  robot.Body = std::make_unique<TRecordingBody>(log);
  robot.Step(0.01);
  EXPECT_EQ(log, (TLog{"ReadInputs", "UpdateState", "SetMotorSignals", "UpdateMotors"}));
  log.clear();
  robot.Reset();
  robot.Mutate();
  EXPECT_EQ(log, (TLog{"body Reset", "brain Reset", "Mutate"}));
}

TEST(TRobot, CopyIsIndependentOfItsSource) {
  RandSeed = 11;
  const auto source = BuildRobot(TRobotConfiguration::Default(), 0.05);
  source->Fitness = 2.5;
  const auto copied = source->Copy();
  auto& copy = dynamic_cast<TRobot&>(*copied);
  EXPECT_EQ(copy.Name, "Robot");
  EXPECT_EQ(copy.Fitness, 2.5);

  // mutating, stepping and moving the copy leaves the source alone
  const TMatrix genome = dynamic_cast<const TFSMBrain&>(*source->Brain).Genome;
  dynamic_cast<TFSMBrain&>(*copy.Brain).MutationRate = 1.0;
  copy.Mutate();
  const auto arena = ArenaFrom(FloorBlock(2.5) + test::CylinderBlock(0.1, 0.0, 0.03));
  const test::TCylindersOf cylinders(*arena);
  for (int i = 0; i < 20; ++i) {
    copy.Step(0.01);
    copy.Move(cylinders.Model(), 0.01);
    copy.Body->UpdateSensors(cylinders);
  }
  ASSERT_GT(copy.Body->Sensors.Items(2).GetScalarReading(), 0.0);
  EXPECT_EQ(source->Body->Sensors.Items(2).GetScalarReading(), 0.0);
  for (int column = 1; column <= 21; ++column) {
    EXPECT_EQ(dynamic_cast<const TFSMBrain&>(*source->Brain).Genome.GetElement(1, column),
              genome.GetElement(1, column));
  }
  EXPECT_EQ(dynamic_cast<const TDifferentiallySteeredBody&>(*source->Body).Coordinates.Speed, 0.0);
  EXPECT_EQ(dynamic_cast<const TDCMotor&>(source->Body->Motors.Items(1)).Voltage, 0.0);
}

TEST(TRobot, DistanceTravelledFollowsTheBody) {
  RandSeed = 3;
  const auto robot = BuildRobot(TRobotConfiguration::Default(), 0.05);
  EXPECT_EQ(robot->DistanceTravelled, 0.0);
  const auto arena = ArenaFrom(FloorBlock(2.5));
  const test::TCylindersOf cylinders(*arena);
  for (int i = 0; i < 30; ++i) {
    robot->Step(0.01);
    robot->Move(cylinders.Model(), 0.01);
  }
  EXPECT_GT(robot->DistanceTravelled, 0.0);
  EXPECT_EQ(robot->DistanceTravelled, robot->Body->GetDistance());
  // a copy starts counting afresh; its body carries the distance on
  const auto copied = robot->Copy();
  const auto& copy = dynamic_cast<const TRobot&>(*copied);
  EXPECT_EQ(copy.DistanceTravelled, 0.0);
  EXPECT_EQ(copy.Body->GetDistance(), robot->Body->GetDistance());
}

TEST(TRobot, ValidateRefusesRobotsThatCannotBeStepped) {
  const auto refusal = [](const TRobot& Robot) -> std::string {
    try {
      Robot.Validate();
    } catch (const std::invalid_argument& error) {
      return error.what();
    }
    return "";
  };
  RandSeed = 1;
  auto robot = BuildRobot(TRobotConfiguration::Default(), 0.05);
  EXPECT_EQ(refusal(*robot), "");

  TRobot empty;
  EXPECT_NE(refusal(empty).find("no body"), std::string::npos);

  // one motor, no sensor, a brain sized for another sensor count
  const TDifferentiallySteeredBodyParameters bodyParameters;
  auto oneMotor = std::make_unique<TDifferentiallySteeredBody>(bodyParameters);
  oneMotor->Motors.Add(TDCMotor{TDCMotorParameters()});
  oneMotor->Sensors.Add(TIRSensor{TIRSensorParameters()});
  robot->Body = std::move(oneMotor);
  EXPECT_NE(refusal(*robot).find("motor"), std::string::npos);

  auto noSensor = std::make_unique<TDifferentiallySteeredBody>(bodyParameters);
  noSensor->Motors.Add(TDCMotor{TDCMotorParameters()});
  noSensor->Motors.Add(TDCMotor{TDCMotorParameters()});
  robot->Body = noSensor->Copy();
  EXPECT_NE(refusal(*robot).find("no sensor"), std::string::npos);

  noSensor->Sensors.Add(TIRSensor{TIRSensorParameters()});
  robot->Body = std::move(noSensor);
  EXPECT_NE(refusal(*robot).find("NumberOfInputs"), std::string::npos);
  robot->Brain.reset();
  EXPECT_NE(refusal(*robot).find("no brain"), std::string::npos);
}

}  // namespace
}  // namespace kestrovan
