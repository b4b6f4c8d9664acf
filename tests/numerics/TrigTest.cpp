// trig::sin and trig::cos remember the last reduced argument of their thread;
// whatever the order of calls, they must give Sin's and Cos's bits.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <random>
#include <thread>
#include <vector>

#include "numerics/Trig.h"

namespace kestrovan {
namespace {

std::uint64_t Bits(double X) { return std::bit_cast<std::uint64_t>(X); }

TEST(Trig, EveryOrderOfCallsGivesThePortableBits) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  // signed zeros and pi/4 to either side, values that compare equal but differ
  // in their bits, and NaN, which compares unequal to itself
  const double quarterPi = 0x1.921fb54442d18p-1;
  std::vector<double> arguments = {0.0, -0.0, 2.5, 2.5, -2.5, 1e300, -1e300, inf, -inf, nan, nan, 3.0, -0.0, 7.0, 7.0};
  arguments.insert(arguments.end(), {quarterPi, std::nextafter(quarterPi, 1.0), -std::nextafter(quarterPi, 1.0)});
  arguments.insert(arguments.end(), {1e-310, -1e-310, 1e-310});
  std::mt19937_64 random(3);
  std::uniform_real_distribution<double> angle(-40.0, 40.0);
  for (int i = 0; i < 2000; ++i) {
    const double a = angle(random);
    arguments.push_back(a);
    if (i % 3 == 0) arguments.push_back(a);  // the same angle again, as a step asks
  }
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const double x = arguments[i];
    // sine first for some, cosine first for others
    if (i % 2 == 0) {
      ASSERT_EQ(Bits(trig::sin(x)), Bits(Sin(x))) << "sin(" << x << ") after " << (i ? arguments[i - 1] : 0.0);
      ASSERT_EQ(Bits(trig::cos(x)), Bits(Cos(x))) << "cos(" << x << ")";
    } else {
      ASSERT_EQ(Bits(trig::cos(x)), Bits(Cos(x))) << "cos(" << x << ") after " << arguments[i - 1];
      ASSERT_EQ(Bits(trig::sin(x)), Bits(Sin(x))) << "sin(" << x << ")";
    }
  }
}

TEST(Trig, ThreadsDoNotShareTheLastArgument) {
  // one thread alternates between two angles while another does the same
  // with others; a shared memory would hand one the other's values
  const auto run = [](double A, double B, bool& Ok) {
    Ok = true;
    for (int i = 0; i < 200000 && Ok; ++i) {
      const double x = i % 2 == 0 ? A : B;
      Ok = Bits(trig::sin(x)) == Bits(Sin(x)) && Bits(trig::cos(x)) == Bits(Cos(x));
    }
  };
  bool first = false;
  bool second = false;
  {
    std::jthread a(run, 1.0, 2.0, std::ref(first));
    std::jthread b(run, 4.0, -5.0, std::ref(second));
  }
  EXPECT_TRUE(first);
  EXPECT_TRUE(second);
}

}  // namespace
}  // namespace kestrovan
