#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "RobotTestSupport.h"
#include "numerics/RandomNumbers.h"
#include "robot/DefaultRobot.h"

namespace kestrovan {
namespace {

using test::ArenaFrom;
using test::CylinderBlock;
using test::FloorBlock;

// Every number of a robot that a copy sets or a run changes, in one list:
// agent, brain, body, wheels, sensors, motors.
std::vector<double> StateOf(const TRobot& Robot) {
  std::vector<double> state{Robot.Fitness, Robot.RankFitness, Robot.ElapsedTime, Robot.DistanceTravelled};
  const auto& brain = dynamic_cast<const TFSMBrain&>(*Robot.Brain);
  state.insert(state.end(),
               {double(brain.NumberOfStates), double(brain.NumberOfConditions), double(brain.NumberOfInputs),
                double(brain.CurrentState), brain.MutationRate, brain.CreepProbability, brain.CreepRate});
  for (int q = 1; q <= brain.Genome.Rows(); ++q) {
    for (int c = 1; c <= brain.Genome.Columns(); ++c) {
      state.push_back(brain.Genome.GetElement(q, c));
    }
  }
  for (int i = 1; i <= brain.Inputs.Count(); ++i) {
    state.push_back(brain.Inputs.GetElement(i));
  }
  const auto& body = dynamic_cast<const TDifferentiallySteeredBody&>(*Robot.Body);
  const TCoordinates& pose = body.Coordinates;
  state.insert(state.end(), {pose.GetPosition(1), pose.GetPosition(2), pose.GetVelocity(1), pose.GetVelocity(2),
                             pose.Speed, pose.Heading, pose.AngularVelocity, body.Mass, body.Radius,
                             body.MomentOfInertia, body.Height, body.Alpha, body.Beta, double(body.HasMoved),
                             double(body.WrapAround), body.Distance, body.LinearInertia, body.AngularInertia});
  for (const TWheel* wheel : {&body.LeftWheel, &body.RightWheel}) {
    state.insert(state.end(), {wheel->Radius, wheel->AngularVelocity, wheel->RotationAngle, wheel->Position[0],
                               wheel->Position[1], wheel->Position[2]});
  }
  state.push_back(body.Sensors.Count());
  for (int i = 1; i <= body.Sensors.Count(); ++i) {
    const auto& sensor = dynamic_cast<const TIRSensor&>(body.Sensors.Items(i));
    for (int k = 1; k <= 3; ++k) {
      state.insert(state.end(), {sensor.RelativePosition.GetElement(k), sensor.AbsolutePosition.GetElement(k)});
    }
    state.insert(state.end(), {sensor.RelativeDirection, sensor.AbsoluteDirection, sensor.OpeningAngle, sensor.Range,
                               sensor.Reading});
  }
  state.push_back(body.Motors.Count());
  for (int i = 1; i <= body.Motors.Count(); ++i) {
    const auto& motor = dynamic_cast<const TDCMotor&>(body.Motors.Items(i));
    state.insert(state.end(), {motor.AngularVelocity, motor.Torque, motor.Voltage, motor.MaxVoltage, motor.Orientation,
                               motor.TorqueConstant, motor.BackEMFConstant, motor.ArmatureResistance,
                               motor.StaticFrictionTorque, motor.ViscousFrictionCoefficient, motor.GearRatio,
                               motor.Efficiency, motor.Position.GetElement(1), motor.Position.GetElement(2)});
  }
  return state;
}

// Steps, moves and senses the robot Steps times among the cylinders.
void Drive(TRobot& Robot, const test::TCylindersOf& Cylinders, int Steps) {
  Robot.Brain->BeginEvaluation();
  for (int i = 0; i < Steps; ++i) {
    Robot.Step(0.01);
    Robot.Move(Cylinders.Model(), 0.01);
    Robot.Body->UpdateSensors(Cylinders);
  }
  dynamic_cast<TDifferentiallySteeredBody&>(*Robot.Body).UpdateWheelPositions();
}

TEST(RecycledRobot, CarriesNothingOfItsPreviousOccupantAndRunsAsAFreshCopy) {
  const auto arena = ArenaFrom(FloorBlock(2.5) + CylinderBlock(0.1, 0.0, 0.03) + CylinderBlock(-0.05, 0.09, 0.02));
  const test::TCylindersOf cylinders(*arena);

  // a source that has run (readings, distance, brain state) and an occupant
  // that has run differently, with another body and brain
  TRobotConfiguration configuration = TRobotConfiguration::Default();
  RandSeed = 5;
  const auto source = BuildRobot(configuration, 0.05);
  Drive(*source, cylinders, 25);
  source->Fitness = 1.25;
  source->RankFitness = 3.0;
  source->ElapsedTime = 0.25;
  configuration.Body.Radius = 0.04;
  configuration.Sensor.Range = 0.2;
  configuration.Motor.MaxVoltage = 6.0;
  configuration.Brain.MutationRate = 0.5;
  RandSeed = 9;
  const auto occupant = BuildRobot(configuration, 0.04);
  Drive(*occupant, cylinders, 40);
  occupant->Fitness = 7.0;
  occupant->RankFitness = 2.0;
  occupant->ElapsedTime = 0.4;
  occupant->Body->WrapAround = false;
  occupant->Name = "Occupant";
  ASSERT_NE(StateOf(*occupant), StateOf(*source));

  const auto fresh = source->Copy();
  const auto& copy = dynamic_cast<const TRobot&>(*fresh);
  ASSERT_TRUE(occupant->AssignCopyOf(*source));
  EXPECT_EQ(StateOf(*occupant), StateOf(copy));
  EXPECT_EQ(occupant->Name, "Robot");

  // the cached parts (sensor tests, decoded conditions) give the same run
  const auto freshRun = copy.Copy();
  auto& expected = dynamic_cast<TRobot&>(*freshRun);
  expected.Reset();
  occupant->Reset();
  Drive(expected, cylinders, 60);
  Drive(*occupant, cylinders, 60);
  EXPECT_EQ(StateOf(*occupant), StateOf(expected));
}

TEST(RecycledRobot, PartsOfOtherShapesOrClassesAreReplacedAndOtherAgentsRefused) {
  RandSeed = 2;
  const auto source = BuildRobot(TRobotConfiguration::Default(), 0.05);
  // an occupant with three sensors, a smaller brain and no motors
  TRobotConfiguration small = TRobotConfiguration::Default();
  small.Brain.NumberOfStates = 2;
  small.Brain.NumberOfConditions = 1;
  auto occupant = BuildRobot(small, 0.05);
  auto body = std::make_unique<TDifferentiallySteeredBody>(small.Body);
  for (int i = 0; i < 3; ++i) {
    body->Sensors.Add(TIRSensor(small.Sensor));
  }
  occupant->Body = std::move(body);
  ASSERT_TRUE(occupant->AssignCopyOf(*source));
  const auto fresh = source->Copy();
  EXPECT_EQ(StateOf(*occupant), StateOf(dynamic_cast<const TRobot&>(*fresh)));
  occupant->Validate();

  // a class derived from the robot has state the assignment would not copy
  class TLabelledRobot : public TRobot {
   public:
    explicit TLabelledRobot(const TRobot& Source) : TRobot(Source) {}
    int Label = 4;
  };
  TLabelledRobot labelled(*source);
  EXPECT_FALSE(labelled.Recyclable());
  EXPECT_FALSE(labelled.AssignCopyOf(*source));
  EXPECT_FALSE(occupant->AssignCopyOf(labelled));
  EXPECT_TRUE(occupant->Recyclable());
  EXPECT_FALSE(occupant->AssignCopyOf(*occupant));
}

}  // namespace
}  // namespace kestrovan
