#include "robot/DefaultRobot.h"

#include <cmath>
#include <numbers>

#include "numerics/Trig.h"

namespace kestrovan {

namespace {

// Mounts a sensor Radius from the body's centre along its own axis a.
void Mount(TVector& RelativePosition, double& RelativeDirection, double Radius, double a) {
  RelativePosition.SetElement(1, Radius * trig::cos(a));
  RelativePosition.SetElement(2, Radius * trig::sin(a));
  RelativePosition.SetElement(3, 0.0);
  RelativeDirection = a;
}

}  // namespace

const double kDefaultSensorDirections[5] = {std::numbers::pi / 4, 0.0, -std::numbers::pi / 4, -std::numbers::pi / 8,
                                            std::numbers::pi / 8};

TRobotConfiguration TRobotConfiguration::Default() {
  TRobotConfiguration configuration;
  const double radius = configuration.Body.Radius;
  Mount(configuration.Sensor.RelativePosition, configuration.Sensor.RelativeDirection, radius,
        kDefaultSensorDirections[0]);
  configuration.Motor.Position.SetElement(1, 0.0);
  configuration.Motor.Position.SetElement(2, radius);
  configuration.Motor.Position.SetElement(3, 0.1);
  configuration.Motor.Orientation = std::numbers::pi;
  return configuration;
}

std::unique_ptr<TRobot> BuildRobot(const TRobotConfiguration& Configuration, double MountingRadius) {
  // the constructors refuse bad parameters; the brain before it draws anything
  auto robot = std::make_unique<TRobot>();
  robot->Name = "Robot";
  auto body = std::make_unique<TDifferentiallySteeredBody>(Configuration.Body);

  // one sensor object, re-mounted before each Add (the list stores copies)
  TIRSensor sensor(Configuration.Sensor);
  for (const double a : kDefaultSensorDirections) {
    Mount(sensor.RelativePosition, sensor.RelativeDirection, MountingRadius, a);
    body->Sensors.Add(sensor);
  }

  // motor 1 drives the left wheel, motor 2 the right one
  const TDCMotor motor(Configuration.Motor);
  body->Motors.Add(motor);
  body->Motors.Add(motor);

  robot->Body = std::move(body);
  robot->Brain = std::make_unique<TFSMBrain>(Configuration.Brain);
  robot->Validate();
  return robot;
}

}  // namespace kestrovan
