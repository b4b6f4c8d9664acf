#pragma once

#include <memory>

#include "robot/DCMotor.h"
#include "robot/DifferentiallySteeredBody.h"
#include "robot/FSMBrain.h"
#include "robot/IRSensor.h"
#include "robot/Robot.h"

namespace kestrovan {

// The parameter objects from which the template robot is built.
struct TRobotConfiguration {
  TDifferentiallySteeredBodyParameters Body;
  TIRSensorParameters Sensor;  // Range and OpeningAngle; the mounting is set per sensor
  TDCMotorParameters Motor;
  TFSMBrainParameters Brain;

  // The default configuration of a new session: the parameters' defaults,
  // the motor mounted at (0, body radius, 0.1) with orientation pi.
  static TRobotConfiguration Default();
};

// Directions of the five IR sensors, in list order: pi/4, 0, -pi/4, -pi/8, pi/8.
extern const double kDefaultSensorDirections[5];

// Builds a robot named "Robot": a body from the body parameters, five IR
// sensors mounted at MountingRadius from the centre along their own axes,
// two motors (left, right) and a new random brain. Validates the result.
std::unique_ptr<TRobot> BuildRobot(const TRobotConfiguration& Configuration, double MountingRadius);

}  // namespace kestrovan
