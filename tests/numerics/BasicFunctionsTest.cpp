#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "numerics/BasicFunctions.h"
#include "numerics/Trig.h"

namespace kestrovan {
namespace {

TEST(BasicFunctions, SignIsNeverZero) {
  EXPECT_EQ(Sign(0.0), 1);
  EXPECT_EQ(Sign(-0.0), 1);
  EXPECT_EQ(Sign(-1e-300), -1);
  EXPECT_EQ(Sign(2.5), 1);
  EXPECT_EQ(Sign(-3.0), -1);
}

TEST(BasicFunctions, RotateToFrame) {
  double xr = 0.0;
  double yr = 0.0;
  // a point straight ahead along x lies to the right of a frame pointing along +y
  RotateToFrame(1.0, 0.0, std::numbers::pi / 2, xr, yr);
  EXPECT_NEAR(xr, 0.0, 1e-15);
  EXPECT_EQ(yr, -1.0);
  RotateToFrame(2.0, 3.0, 0.0, xr, yr);
  EXPECT_EQ(xr, 2.0);
  EXPECT_EQ(yr, 3.0);
  const double a = 0.7;
  RotateToFrame(0.3, -1.2, a, xr, yr);
  EXPECT_EQ(xr, trig::cos(a) * 0.3 + trig::sin(a) * -1.2);
  EXPECT_EQ(yr, -trig::sin(a) * 0.3 + trig::cos(a) * -1.2);
}

TEST(BasicFunctions, Distance) {
  EXPECT_EQ(Distance(0.0, 0.0, 3.0, 4.0), 5.0);
  EXPECT_EQ(Distance(3.0, 4.0, 0.0, 0.0), 5.0);
  EXPECT_EQ(Distance(1.0, 1.0, 1.0, 1.0), 0.0);
}

}  // namespace
}  // namespace kestrovan
