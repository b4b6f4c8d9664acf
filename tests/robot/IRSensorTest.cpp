#include "robot/IRSensor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "RobotTestSupport.h"

namespace kestrovan {
namespace {

using test::ArenaFrom;
using test::CylinderBlock;
using test::FloorBlock;

constexpr double kPi = std::numbers::pi;

// A sensor at the origin looking along +x, Range 0.125, OpeningAngle 0.353.
TIRSensor SensorAtOrigin() { return TIRSensor(TIRSensorParameters()); }

double ReadingIn(const std::string& ArenaText, TIRSensor Sensor = SensorAtOrigin()) {
  Sensor.Update(*ArenaFrom(ArenaText));
  return Sensor.Reading;
}

TEST(TIRSensor, NoCylindersReadsZero) {
  TIRSensorParameters p;
  p.InitialReading = 0.7;
  TIRSensor sensor(p);
  EXPECT_EQ(sensor.Reading, 0.7);
  EXPECT_EQ(ReadingIn(FloorBlock(2.5), sensor), 0.0);
}

TEST(TIRSensor, OnAxisAtHalfRangeReadsHalf) {
  // surface at 0.0625 = Range / 2
  EXPECT_EQ(ReadingIn(CylinderBlock(0.1875, 0.0, 0.125)), 0.5);
}

TEST(TIRSensor, TouchingOrOverlappingCylinderIsIgnored) {
  EXPECT_EQ(ReadingIn(CylinderBlock(0.05, 0.0, 0.05)), 0.0);
  EXPECT_EQ(ReadingIn(CylinderBlock(0.03, 0.0, 0.05)), 0.0);
  // another visible cylinder is still seen
  EXPECT_EQ(ReadingIn(CylinderBlock(0.03, 0.0, 0.05) + CylinderBlock(0.1875, 0.0, 0.125)), 0.5);
}

TEST(TIRSensor, BehindOrBeyondRangeIsNotSeen) {
  EXPECT_EQ(ReadingIn(CylinderBlock(-0.1, 0.0, 0.02)), 0.0);
  EXPECT_EQ(ReadingIn(CylinderBlock(0.02 + 0.126, 0.0, 0.02)), 0.0);
  EXPECT_GT(ReadingIn(CylinderBlock(0.02 + 0.124, 0.0, 0.02)), 0.0);
}

TEST(TIRSensor, ConeEdgeIsDecidedByTheCentre) {
  const double h = 0.353 / 2;
  const double distance = 0.1;
  // a wide cylinder whose centre is just outside the cone, though its surface reaches inside
  const double outside = h + 1e-3;
  EXPECT_EQ(ReadingIn(CylinderBlock(distance * std::cos(outside), distance * std::sin(outside), 0.05)), 0.0);
  const double inside = h - 1e-3;
  const double reading = ReadingIn(CylinderBlock(distance * std::cos(inside), distance * std::sin(inside), 0.05));
  EXPECT_NEAR(reading, std::cos(inside) * (1.0 - 0.05 / 0.125), 1e-12);
  EXPECT_EQ(ReadingIn(CylinderBlock(distance * std::cos(-outside), distance * std::sin(-outside), 0.05)), 0.0);
}

TEST(TIRSensor, LargestResponseWinsInEitherOrder) {
  const std::string nearer = CylinderBlock(0.1875, 0.0, 0.125);  // 0.5
  const std::string farther = CylinderBlock(0.25, 0.0, 0.125);   // 0.0
  const std::string offAxis = CylinderBlock(0.12, 0.01, 0.02);   // about 0.2
  EXPECT_EQ(ReadingIn(nearer + farther + offAxis), 0.5);
  EXPECT_EQ(ReadingIn(offAxis + farther + nearer), 0.5);
  EXPECT_EQ(ReadingIn(farther + offAxis), ReadingIn(offAxis));
}

TEST(TIRSensor, PoseBeforeAndAfterSetPose) {
  TIRSensorParameters p;
  p.RelativePosition.SetElement(1, 0.05);
  p.RelativePosition.SetElement(3, 0.01);
  p.RelativeDirection = kPi / 4;
  TIRSensor sensor(p);
  for (int i = 1; i <= 3; ++i) {
    EXPECT_EQ(sensor.AbsolutePosition.GetElement(i), 0.0);
  }
  EXPECT_EQ(sensor.AbsoluteDirection, kPi / 4);

  sensor.SetPose(1.0, 2.0, 0.015, kPi / 2);
  EXPECT_NEAR(sensor.AbsolutePosition.GetElement(1), 1.0, 1e-15);
  EXPECT_NEAR(sensor.AbsolutePosition.GetElement(2), 2.05, 1e-15);
  EXPECT_NEAR(sensor.AbsolutePosition.GetElement(3), 0.025, 1e-15);
  EXPECT_DOUBLE_EQ(sensor.AbsoluteDirection, 3 * kPi / 4);
  // the axis direction is wrapped into [-pi, pi]
  sensor.SetPose(0.0, 0.0, 0.0, 3.0);
  EXPECT_DOUBLE_EQ(sensor.AbsoluteDirection, 3.0 + kPi / 4 - 2 * kPi);

  // a copy keeps the mounting and reading but starts from a fresh pose
  sensor.Reading = 0.25;
  const TIRSensor copy(sensor);
  EXPECT_EQ(copy.AbsolutePosition.GetElement(1), 0.0);
  EXPECT_EQ(copy.AbsoluteDirection, kPi / 4);
  EXPECT_EQ(copy.Reading, 0.25);
  EXPECT_EQ(copy.GetReading().GetElement(1, 1), 0.25);
  EXPECT_EQ(copy.GetScalarReading(), 0.25);
}

// The response computed in the plain order, without early rejections.
double PlainResponse(const TIRSensor& Sensor, double X, double Y, double Radius) {
  const double dx = X - Sensor.AbsolutePosition.GetElement(1);
  const double dy = Y - Sensor.AbsolutePosition.GetElement(2);
  const double delta = Sensor.AbsoluteDirection;
  const double lx = std::cos(delta) * dx + std::sin(delta) * dy;
  const double ly = -std::sin(delta) * dx + std::cos(delta) * dy;
  if (lx <= 0) return 0.0;
  const double theta = std::atan2(ly, lx);
  if (std::abs(theta) > Sensor.OpeningAngle / 2) return 0.0;
  const double d = std::sqrt(lx * lx + ly * ly) - Radius;
  if (d <= 0 || d > Sensor.Range) return 0.0;
  const double r = std::cos(theta) * (1 - d / Sensor.Range);
  return r > 0.0 ? r : 0.0;
}

TEST(TIRSensor, ReadingIsBitIdenticalToThePlainComputationNearTheRangeLimit) {
  auto arena = ArenaFrom(CylinderBlock(0.0, 0.0, 0.05));
  TCylinderZ& cylinder = *arena->Cylinders().front();
  TIRSensor sensor = SensorAtOrigin();
  std::mt19937 generator(12345);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  int seen = 0;
  for (int trial = 0; trial < 20000; ++trial) {
    sensor.SetPose(unit(generator) - 0.5, unit(generator) - 0.5, 0.015, (2 * unit(generator) - 1) * kPi);
    const double radius = 0.005 + 0.1 * unit(generator);
    const double bearing = (unit(generator) - 0.5) * 0.4;
    // every other centre distance within a few ulps of Range + Radius
    const double distance = trial % 2 == 0 ? (sensor.Range + radius) * (1.0 + (unit(generator) - 0.5) * 1e-14)
                                           : 0.3 * unit(generator);
    const double direction = sensor.AbsoluteDirection + bearing;
    cylinder.Position.SetElement(1, sensor.AbsolutePosition.GetElement(1) + distance * std::cos(direction));
    cylinder.Position.SetElement(2, sensor.AbsolutePosition.GetElement(2) + distance * std::sin(direction));
    cylinder.Radius = radius;
    sensor.Update(*arena);
    ASSERT_EQ(sensor.Reading, PlainResponse(sensor, cylinder.Position.GetElement(1), cylinder.Position.GetElement(2), radius))
        << "trial " << trial;
    seen += sensor.Reading > 0.0 ? 1 : 0;
  }
  // both sides of the limit were exercised
  EXPECT_GT(seen, 0);
}

TEST(TIRSensorParameters, RangeMustBePositive) {
  TIRSensorParameters p;
  for (const double range : {0.0, -0.1, std::nan("")}) {
    p.Range = range;
    EXPECT_THROW(p.Validate(), std::invalid_argument);
    EXPECT_THROW(TIRSensor{p}, std::invalid_argument);
  }
}

}  // namespace
}  // namespace kestrovan
