#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <string>

#include "RobotTestSupport.h"
#include "numerics/Trig.h"
#include "robot/DefaultRobot.h"
#include "robot/IRSensor.h"
#include "robot/SensorCulling.h"

namespace kestrovan {
namespace {

constexpr double kPi = std::numbers::pi;

// One sensor and one cylinder, placed anew for every case; the exact
// reading comes from the sensor's own update.
class TCullingProbe {
 public:
  TCullingProbe() : arena_(test::ArenaFrom(test::CylinderBlock(1.0, 0.0, 0.1))) {}

  struct TCase {
    double SensorX, SensorY, Heading, RelativeDirection, OpeningAngle, Range;
    double CylinderX, CylinderY, Radius;
  };

  // Whether the exact computation sees the cylinder, and whether the cull lets it through.
  std::pair<bool, bool> Judge(const TCase& Case) {
    TIRSensorParameters parameters;
    parameters.RelativeDirection = Case.RelativeDirection;
    parameters.OpeningAngle = Case.OpeningAngle;
    parameters.Range = Case.Range;
    TIRSensor sensor(parameters);
    sensor.SetPose(Case.SensorX, Case.SensorY, 0.0, Case.Heading);
    TCylinderZ& cylinder = *arena_->Cylinders()[0];
    cylinder.Position.SetElement(1, Case.CylinderX);
    cylinder.Position.SetElement(2, Case.CylinderY);
    cylinder.Radius = Case.Radius;
    // the exact computation alone, without the cull that Update applies
    sensor.UpdateEveryCylinder(test::TCylindersOf(*arena_));
    const bool seen = sensor.Reading > 0.0;

    // the axis as the step will build it: angle sums of heading and mounting direction
    const double ch = trig::cos(Case.Heading);
    const double sh = trig::sin(Case.Heading);
    const double cr = trig::cos(Case.RelativeDirection);
    const double sr = trig::sin(Case.RelativeDirection);
    const TSensorCull cull(Case.OpeningAngle, Case.Range);
    const bool kept = cull.MayBeVisible(Case.CylinderX - sensor.AbsolutePosition.GetElement(1),
                                        Case.CylinderY - sensor.AbsolutePosition.GetElement(2), ch * cr - sh * sr,
                                        sh * cr + ch * sr, Case.Radius);
    return {seen, kept};
  }

 private:
  std::unique_ptr<TArena> arena_;
};

// Millions of configurations, most of them on the edges where the cull
// decides (the cone's border, the range's end): the cull never drops a
// cylinder that the sensor sees, and it drops nearly every one it cannot see.
TEST(TSensorCull, NeverRejectsACylinderTheSensorSees) {
  TCullingProbe probe;
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const auto between = [&](double Low, double High) { return Low + (High - Low) * unit(random); };

  long long seen = 0;
  long long dropped = 0;
  long long invisible = 0;
  long long culled = 0;
  for (int i = 0; i < 1500000; ++i) {
    TCullingProbe::TCase c{};
    c.SensorX = between(-2, 2);
    c.SensorY = between(-2, 2);
    c.Heading = between(-kPi, kPi);
    c.RelativeDirection = i % 3 == 0 ? between(-kPi, kPi) : (i % 5 - 2) * 0.7854;
    c.OpeningAngle = i % 7 == 0 ? between(0.0, 3.5) : between(0.349, 1.048);
    c.Range = i % 2 == 0 ? 0.125 : between(0.01, 1.0);
    c.Radius = i % 11 == 0 ? 0.0 : between(0.005, 0.3);

    // the cylinder's bearing from the sensor axis and the distance of its centre
    const double half = c.OpeningAngle / 2;
    double bearing = 0.0;
    double distance = 0.0;
    switch (i % 4) {
      case 0:  // on the cone's border, within a few ulps to a millionth of a radian
        bearing = (i % 8 < 4 ? 1 : -1) * half * (1.0 + between(-1e-6, 1e-6) * std::pow(10.0, -between(0, 10)));
        distance = between(0.0, c.Range + c.Radius);
        break;
      case 1:  // at the end of the range
        bearing = between(-half, half);
        distance = (c.Range + c.Radius) * (1.0 + between(-1e-6, 1e-6) * std::pow(10.0, -between(0, 10)));
        break;
      case 2:  // both at once
        bearing = (i % 8 < 4 ? 1 : -1) * half * (1.0 + between(-1e-9, 1e-9));
        distance = (c.Range + c.Radius) * (1.0 + between(-1e-9, 1e-9));
        break;
      default:  // anywhere around
        bearing = between(-kPi, kPi);
        distance = between(0.0, 4.0);
    }
    const double direction = c.Heading + c.RelativeDirection + bearing;
    // the sensor's own position after SetPose, to aim the cylinder from it
    TIRSensorParameters mounting;
    mounting.RelativeDirection = c.RelativeDirection;
    TIRSensor aim(mounting);
    aim.SetPose(c.SensorX, c.SensorY, 0.0, c.Heading);
    c.CylinderX = aim.AbsolutePosition.GetElement(1) + distance * std::cos(direction);
    c.CylinderY = aim.AbsolutePosition.GetElement(2) + distance * std::sin(direction);

    const auto [isSeen, isKept] = probe.Judge(c);
    if (isSeen) {
      ++seen;
      if (!isKept) {
        ++dropped;
        ADD_FAILURE_AT(__FILE__, __LINE__) << "case " << i << " seen but culled";
        if (dropped > 5) {
          break;
        }
      }
    } else if (i % 4 == 3) {
      ++invisible;
      culled += isKept ? 0 : 1;
    }
  }
  EXPECT_EQ(dropped, 0);
  EXPECT_GT(seen, 200000);
  // anywhere around, nearly every cylinder the sensor cannot see is dropped before any trigonometry
  EXPECT_GT(static_cast<double>(culled) / static_cast<double>(invisible), 0.95);
}

TEST(TSensorCull, KeepsEverythingForConesItCannotBound) {
  for (const double opening : {2 * kPi, 7.0, std::nan("")}) {
    const TSensorCull cull(opening, 0.125);
    // straight behind, within reach
    EXPECT_TRUE(cull.MayBeVisible(-0.1, 0.0, 1.0, 0.0, 0.01));
  }
  // beyond reach is still dropped
  EXPECT_FALSE(TSensorCull(2 * kPi, 0.125).MayBeVisible(-1.0, 0.0, 1.0, 0.0, 0.01));
  // a radius that is not a length leaves the distance to the exact test
  EXPECT_TRUE(TSensorCull(0.353, 0.125).MayBeVisible(5.0, 0.0, 1.0, 0.0, std::nan("")));
}

// The sensor with its cull wired in gives the reading of the exact
// computation over every cylinder, to the bit: many configurations of
// several cylinders placed mostly on the cone's border and at the range's
// end, posed as the body poses its sensors (the heading's cosine and sine
// given) or through SetPose, with headings beyond [-pi, pi] now and then.
TEST(TIRSensorCulled, ReadsTheBitsOfTheExactComputation) {
  constexpr int kCylinders = 6;
  std::string text;
  for (int k = 0; k < kCylinders; ++k) {
    text += test::CylinderBlock(k, 0.0, 0.05);
  }
  const std::unique_ptr<TArena> arena = test::ArenaFrom(text);
  std::mt19937_64 random(11);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const auto between = [&](double Low, double High) { return Low + (High - Low) * unit(random); };

  long long differing = 0;
  long long nonZero = 0;
  constexpr int kConfigurations = 300000;
  for (int i = 0; i < kConfigurations && differing < 5; ++i) {
    TIRSensorParameters parameters;
    parameters.RelativeDirection = i % 3 == 0 ? between(-kPi, kPi) : (i % 5 - 2) * 0.7854;
    parameters.OpeningAngle = i % 7 == 0 ? between(0.0, 7.0) : between(0.349, 1.048);
    parameters.Range = i % 2 == 0 ? 0.125 : between(0.01, 1.0);
    TIRSensor sensor(parameters);
    const double heading = i % 13 == 0 ? between(-20.0, 20.0) : between(-kPi, kPi);
    TSensorPose pose;
    pose.X = between(-2, 2);
    pose.Y = between(-2, 2);
    pose.Heading = heading;
    pose.CosHeading = trig::cos(heading);
    pose.SinHeading = trig::sin(heading);
    if (i % 2 == 0) {
      sensor.Place(pose);
    } else {
      sensor.SetPose(pose.X, pose.Y, 0.0, heading);
    }

    const double half = parameters.OpeningAngle / 2;
    for (TCylinderZ* cylinder : arena->Cylinders()) {
      cylinder->Radius = i % 11 == 0 ? between(-0.05, 0.05) : between(0.0, 0.3);
      const double reach = parameters.Range + cylinder->Radius;
      const double nearEdge = 1.0 + between(-1e-6, 1e-6) * std::pow(10.0, -between(0, 10));
      const double side = unit(random) < 0.5 ? 1.0 : -1.0;
      const double bearing = unit(random) < 0.5 ? side * half * nearEdge : between(-half, half);
      const double distance = unit(random) < 0.5 ? reach * nearEdge : between(0.0, 1.2 * reach);
      const double direction = sensor.AbsoluteDirection + bearing;
      cylinder->Position.SetElement(1, sensor.AbsolutePosition.GetElement(1) + distance * std::cos(direction));
      cylinder->Position.SetElement(2, sensor.AbsolutePosition.GetElement(2) + distance * std::sin(direction));
    }

    sensor.UpdateEveryCylinder(test::TCylindersOf(*arena));
    const double exact = sensor.Reading;
    sensor.Update(test::TCylindersOf(*arena));
    if (std::bit_cast<std::uint64_t>(sensor.Reading) != std::bit_cast<std::uint64_t>(exact)) {
      ++differing;
      ADD_FAILURE() << "configuration " << i << ": " << sensor.Reading << " instead of " << exact;
    }
    nonZero += exact > 0.0 ? 1 : 0;
  }
  EXPECT_EQ(differing, 0);
  // most configurations see something: the comparison is not between zeros
  EXPECT_GT(nonZero, kConfigurations / 2);
}

// The cull and the axis follow the fields a caller may change between two
// updates: the opening angle, the range, the mounting direction and the
// absolute direction set without a new pose.
TEST(TIRSensorCulled, FollowsFieldsChangedBetweenUpdates) {
  const std::unique_ptr<TArena> arena = test::ArenaFrom(test::CylinderBlock(0.1, 0.05, 0.01));
  TIRSensorParameters parameters;
  parameters.OpeningAngle = 0.353;
  parameters.Range = 0.125;
  TIRSensor sensor(parameters);
  sensor.SetPose(0.0, 0.0, 0.0, 0.0);
  // at a bearing of about 0.46 rad: outside the narrow cone
  sensor.Update(test::TCylindersOf(*arena));
  EXPECT_EQ(sensor.Reading, 0.0);

  sensor.OpeningAngle = 1.2;
  sensor.Update(test::TCylindersOf(*arena));
  EXPECT_GT(sensor.Reading, 0.0);
  const double wide = sensor.Reading;

  sensor.Range = 0.05;  // now beyond the range
  sensor.Update(test::TCylindersOf(*arena));
  EXPECT_EQ(sensor.Reading, 0.0);
  sensor.Range = 0.125;

  // turned away by its mounting, then pointed back by the absolute direction alone
  sensor.RelativeDirection = kPi;
  sensor.SetPose(0.0, 0.0, 0.0, 0.0);
  sensor.Update(test::TCylindersOf(*arena));
  EXPECT_EQ(sensor.Reading, 0.0);
  sensor.AbsoluteDirection = 0.0;
  sensor.Update(test::TCylindersOf(*arena));
  EXPECT_EQ(sensor.Reading, wide);
  sensor.UpdateEveryCylinder(test::TCylindersOf(*arena));
  EXPECT_EQ(sensor.Reading, wide);
}

}  // namespace
}  // namespace kestrovan

namespace kestrovan {
namespace {

// The body hands its sensors only the cylinders near them: the readings
// equal, to the bit, those of every sensor reading every cylinder, among
// many scattered cylinders and in a dense cluster of more than the body
// hands over at once (the sensors then read every cylinder themselves).
TEST(TBodySensorNeighbourhood, GivesTheReadingsOfEveryCylinder) {
  std::mt19937_64 random(5);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const auto between = [&](double Low, double High) { return Low + (High - Low) * unit(random); };
  for (const bool dense : {false, true}) {
    std::string text;
    for (int k = 0; k < (dense ? 150 : 400); ++k) {
      const double spread = dense ? 0.15 : 1.0;
      text += test::CylinderBlock(between(-spread, spread), between(-spread, spread),
                                  k % 17 == 0 ? between(-0.02, 0.0) : between(0.0, dense ? 0.01 : 0.08));
    }
    const std::unique_ptr<TArena> arena = test::ArenaFrom(text);
    const TRobotConfiguration configuration = TRobotConfiguration::Default();
    const std::unique_ptr<TRobot> robot = BuildRobot(configuration, configuration.Body.Radius);
    TBody& body = *robot->Body;
    long long differing = 0;
    long long seen = 0;
    for (int trial = 0; trial < 3000; ++trial) {
      const double x = between(-0.9, 0.9);
      const double y = between(-0.9, 0.9);
      const double heading = between(-kPi, kPi);
      for (int i = 1; i <= body.Sensors.Count(); ++i) {
        body.Sensors.Items(i).SetPose(dense ? x * 0.1 : x, dense ? y * 0.1 : y, 0.015, heading);
      }
      body.UpdateSensors(test::TCylindersOf(*arena));
      for (int i = 1; i <= body.Sensors.Count(); ++i) {
        auto& sensor = static_cast<TIRSensor&>(body.Sensors.Items(i));
        const double reading = sensor.Reading;
        sensor.UpdateEveryCylinder(test::TCylindersOf(*arena));
        if (std::bit_cast<std::uint64_t>(reading) != std::bit_cast<std::uint64_t>(sensor.Reading)) {
          ++differing;
          ADD_FAILURE() << (dense ? "dense" : "scattered") << " trial " << trial << " sensor " << i << ": " << reading
                        << " instead of " << sensor.Reading;
        }
        seen += sensor.Reading > 0.0 ? 1 : 0;
      }
      if (differing > 5) {
        break;
      }
    }
    EXPECT_EQ(differing, 0);
    EXPECT_GT(seen, 1000) << (dense ? "dense" : "scattered");
  }
}

}  // namespace
}  // namespace kestrovan
