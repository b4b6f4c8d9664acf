#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

#include "RobotTestSupport.h"
#include "numerics/Trig.h"
#include "robot/IRSensor.h"

namespace kestrovan {
namespace {

using test::ArenaFrom;
using test::CylinderBlock;

constexpr double kPi = std::numbers::pi;

// The reading of a sensor at the origin looking along +x (Range 0.125,
// OpeningAngle 0.353) that starts from InitialReading.
double ReadingIn(const std::string& ArenaText, double InitialReading = 0.0) {
  TIRSensorParameters p;
  p.InitialReading = InitialReading;
  TIRSensor sensor(p);
  sensor.Update(test::TCylindersOf(*ArenaFrom(ArenaText)));
  return sensor.Reading;
}

TEST(TIRSensor, SeesOnlyCylindersInFrontWithinRange) {
  EXPECT_EQ(ReadingIn(test::FloorBlock(2.5), 0.7), 0.0);
  EXPECT_EQ(ReadingIn(CylinderBlock(-0.1, 0.0, 0.02)), 0.0);
  EXPECT_EQ(ReadingIn(CylinderBlock(0.02 + 0.126, 0.0, 0.02)), 0.0);
  // on the axis with its surface at Range / 2
  EXPECT_EQ(ReadingIn(CylinderBlock(0.1875, 0.0, 0.125)), 0.5);
}

TEST(TIRSensor, TouchingOrOverlappingCylinderIsIgnored) {
  EXPECT_EQ(ReadingIn(CylinderBlock(0.05, 0.0, 0.05)), 0.0);
  EXPECT_EQ(ReadingIn(CylinderBlock(0.03, 0.0, 0.05) + CylinderBlock(0.1875, 0.0, 0.125)), 0.5);
}

TEST(TIRSensor, ConeEdgeIsDecidedByTheCentre) {
  // a wide cylinder whose centre lies just outside the cone, though its surface reaches inside
  const double h = 0.353 / 2;
  for (const double bearing : {h + 1e-3, -h - 1e-3}) {
    EXPECT_EQ(ReadingIn(CylinderBlock(0.1 * std::cos(bearing), 0.1 * std::sin(bearing), 0.05)), 0.0);
  }
  const double inside = h - 1e-3;
  EXPECT_NEAR(ReadingIn(CylinderBlock(0.1 * std::cos(inside), 0.1 * std::sin(inside), 0.05)),
              std::cos(inside) * (1.0 - 0.05 / 0.125), 1e-12);
}

TEST(TIRSensor, LargestResponseWinsInEitherOrder) {
  const std::string nearer = CylinderBlock(0.1875, 0.0, 0.125);  // 0.5
  const std::string atRange = CylinderBlock(0.25, 0.0, 0.125);   // 0
  const std::string offAxis = CylinderBlock(0.12, 0.01, 0.02);   // about 0.2
  EXPECT_EQ(ReadingIn(nearer + atRange + offAxis), 0.5);
  EXPECT_EQ(ReadingIn(offAxis + atRange + nearer), 0.5);
  EXPECT_GT(ReadingIn(atRange + offAxis), 0.1);
}

TEST(TIRSensor, PoseBeforeAndAfterSetPose) {
  TIRSensorParameters p;
  p.RelativePosition.SetElement(1, 0.05);
  p.RelativeDirection = kPi / 4;
  TIRSensor sensor(p);
  EXPECT_EQ(sensor.AbsolutePosition.GetElement(1), 0.0);
  EXPECT_EQ(sensor.AbsoluteDirection, kPi / 4);

  sensor.SetPose(1.0, 2.0, 0.015, kPi / 2);
  EXPECT_NEAR(sensor.AbsolutePosition.GetElement(1), 1.0, 1e-15);
  EXPECT_NEAR(sensor.AbsolutePosition.GetElement(2), 2.05, 1e-15);
  EXPECT_EQ(sensor.AbsolutePosition.GetElement(3), 0.015);
  EXPECT_DOUBLE_EQ(sensor.AbsoluteDirection, 3 * kPi / 4);
  sensor.SetPose(0.0, 0.0, 0.0, 3.0);
  EXPECT_DOUBLE_EQ(sensor.AbsoluteDirection, 3.0 + kPi / 4 - 2 * kPi);

  // a copy keeps mounting and reading but starts from a fresh pose
  sensor.Reading = 0.25;
  const TIRSensor copy(sensor);
  EXPECT_EQ(copy.AbsolutePosition.GetElement(1), 0.0);
  EXPECT_EQ(copy.AbsoluteDirection, kPi / 4);
  EXPECT_EQ(copy.GetReading().GetElement(1, 1), 0.25);
  EXPECT_EQ(copy.GetScalarReading(), 0.25);
}

// The response in the plain order of computation, without early rejections.
double PlainResponse(const TIRSensor& Sensor, const TCylinderZ& Cylinder) {
  const double dx = Cylinder.Position.GetElement(1) - Sensor.AbsolutePosition.GetElement(1);
  const double dy = Cylinder.Position.GetElement(2) - Sensor.AbsolutePosition.GetElement(2);
  const double delta = Sensor.AbsoluteDirection;
  const double lx = trig::cos(delta) * dx + trig::sin(delta) * dy;
  const double ly = -trig::sin(delta) * dx + trig::cos(delta) * dy;
  const double theta = trig::atan2(ly, lx);
  const double d = std::sqrt(lx * lx + ly * ly) - Cylinder.Radius;
  if (lx <= 0 || std::abs(theta) > Sensor.OpeningAngle / 2 || d <= 0 || d > Sensor.Range) return 0.0;
  return std::max(0.0, trig::cos(theta) * (1 - d / Sensor.Range));
}

TEST(TIRSensor, ReadingIsBitIdenticalToThePlainComputation) {
  auto arena = ArenaFrom(CylinderBlock(0.0, 0.0, 0.05));
  TCylinderZ& cylinder = *arena->Cylinders().front();
  TIRSensor sensor{TIRSensorParameters()};
  std::mt19937 generator(12345);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  int seen = 0;
  for (int trial = 0; trial < 20000; ++trial) {
    sensor.SetPose(unit(generator) - 0.5, unit(generator) - 0.5, 0.015, (2 * unit(generator) - 1) * kPi);
    cylinder.Radius = 0.005 + 0.1 * unit(generator);
    // every other centre distance within a few ulps of Range + Radius
    const double distance = trial % 2 == 0 ? (sensor.Range + cylinder.Radius) * (1.0 + (unit(generator) - 0.5) * 1e-14)
                                           : 0.3 * unit(generator);
    const double direction = sensor.AbsoluteDirection + (unit(generator) - 0.5) * 0.4;
    cylinder.Position.SetElement(1, sensor.AbsolutePosition.GetElement(1) + distance * std::cos(direction));
    cylinder.Position.SetElement(2, sensor.AbsolutePosition.GetElement(2) + distance * std::sin(direction));
    sensor.Update(test::TCylindersOf(*arena));
    ASSERT_EQ(sensor.Reading, PlainResponse(sensor, cylinder)) << "trial " << trial;
    seen += sensor.Reading > 0.0 ? 1 : 0;
  }
  EXPECT_GT(seen, 1000);
}

TEST(TIRSensorParameters, RangeMustBePositive) {
  TIRSensorParameters p;
  for (const double range : {0.0, -0.1, std::nan("")}) {
    p.Range = range;
    EXPECT_THROW(TIRSensor{p}, std::invalid_argument);
  }
}

}  // namespace
}  // namespace kestrovan
