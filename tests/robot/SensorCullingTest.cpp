#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "RobotTestSupport.h"
#include "numerics/Trig.h"
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
    sensor.Update(*arena_);
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

}  // namespace
}  // namespace kestrovan
