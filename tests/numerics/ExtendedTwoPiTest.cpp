// ExtendedTwoPiTimes against the x87 computation it replaces,
// (double)((long double)X * 2 * pi), over some tens of millions of arguments
// on a machine whose long double is the 80-bit format; on every machine,
// against a table of arguments whose results were formed exactly (ties of
// either rounding, double rounding that differs from one rounding,
// subnormals, the neighbours of 1).
#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <numbers>
#include <random>

#include "numerics/NumericsTestSupport.h"
#include "numerics/PortableMath.h"
#include "numerics/RandomNumbers.h"

namespace kestrovan {
namespace {

using test::Bits;
using test::kCountScale;
using test::kInf;
using test::kNaN;

// arguments and their results, formed with exact integer arithmetic apart from this code
struct TKnownProduct {
  double Argument;
  double Result;
};
constexpr TKnownProduct kKnownProducts[] = {
    // the double rounding gives another result than one rounding of the exact product
    {0x1.4f6a062038282p-1, 0x1.076f047a5e100p+2},
    {0x1.c3790a082c552p-2, 0x1.6295fe8b01582p+1},
    {0x1.14d25e551fa65p-1, 0x1.b2d4a19da4d60p+1},
    {0x1.78ea9e57bd0e0p-5, 0x1.28078df8ab138p-2},
    // the 64-bit product halfway between two doubles, rounded up to even
    {0x1.5f8970a1a2fe0p-5, 0x1.1418aeb62f358p-2},
    {0x1.82a2fee15a224p-1, 0x1.2fa9ebdf899fap+2},
    // ... and down to even
    {0x1.7700006a7b3efp-1, 0x1.26863997204d0p+2},
    {0x1.6a50a2d2cdc08p-2, 0x1.1c8fbfff2edd6p+1},
    // powers of two and the neighbours of 1 and of the least normal
    {0x1.0000000000000p-1, 0x1.921fb54442d18p+1},
    {0x1.fffffffffffffp-1, 0x1.921fb54442d17p+2},
    {0x1.0000000000000p-1022, 0x1.921fb54442d18p-1020},
    {0x0.fffffffffffffp-1022, 0x1.921fb54442d17p-1020},
    // subnormal arguments, results on either side of the least normal
    {0x0.0000000000001p-1022, 0x0.0000000000006p-1022},
    {0x0.0000000000003p-1022, 0x0.0000000000013p-1022},
    {0x0.0100000000000p-1022, 0x0.06487ed5110b4p-1022},
    {0x0.517cc1b72721dp-1022, 0x1.fffffffffffe9p-1022},
    {0x0.517cc1b727220p-1022, 0x1.ffffffffffffcp-1022},
    {0x0.517cc1b727221p-1022, 0x1.0000000000001p-1021},
    // subnormal results whose 64-bit product is halfway between two of them
    {0x0.26977bc148d1ap-1022, 0x0.f27aa0039640ap-1022},
    {0x0.25e37c760bdabp-1022, 0x0.ee0fab4588e42p-1022},
    {0x0.1eb594d601dfap-1022, 0x0.c0f3c5ce9d58cp-1022},
    {0x0.1adcdfdd5ffa1p-1022, 0x0.a8c8ad3841ecep-1022},
};

TEST(ExtendedTwoPiTimes, KnownProductsAndTheirNegatives) {
  for (const TKnownProduct& known : kKnownProducts) {
    EXPECT_EQ(Bits(ExtendedTwoPiTimes(known.Argument)), Bits(known.Result)) << std::hexfloat << known.Argument;
    EXPECT_EQ(Bits(ExtendedTwoPiTimes(-known.Argument)), Bits(-known.Result)) << std::hexfloat << -known.Argument;
  }
}

TEST(ExtendedTwoPiTimes, ZerosInfinitiesAndNaN) {
  EXPECT_EQ(Bits(ExtendedTwoPiTimes(0.0)), Bits(0.0));
  EXPECT_EQ(Bits(ExtendedTwoPiTimes(-0.0)), Bits(-0.0));
  EXPECT_EQ(ExtendedTwoPiTimes(kInf), kInf);
  EXPECT_EQ(ExtendedTwoPiTimes(-kInf), -kInf);
  EXPECT_TRUE(std::isnan(ExtendedTwoPiTimes(std::numeric_limits<double>::quiet_NaN())));
  // products beyond the largest double
  EXPECT_EQ(ExtendedTwoPiTimes(DBL_MAX), kInf);
  EXPECT_EQ(ExtendedTwoPiTimes(-DBL_MAX / 4), -kInf);
  EXPECT_TRUE(std::isfinite(ExtendedTwoPiTimes(DBL_MAX / 8)));
}

#if LDBL_MANT_DIG == 64

// the computation that ExtendedTwoPiTimes stands for
double Extended(double X) {
  return static_cast<double>(static_cast<long double>(X) * 2 * std::numbers::pi_v<long double>);
}

// true when X * 2pi, rounded to 64 bits, lies halfway between two doubles
// (both normal); Up says whether it rounded away from zero
bool HalfwayInExtended(double X, bool& Up) {
  const long double product = static_cast<long double>(X) * 2 * std::numbers::pi_v<long double>;
  uint64_t significand = 0;
  std::memcpy(&significand, &product, sizeof significand);  // the 64-bit significand comes first
  if (std::fabs(X) < 0x1p-1020 || (significand & 0x7ff) != 0x400) {
    return false;
  }
  // ties go to the even neighbour: away from zero when the kept part is odd
  Up = ((significand >> 11) & 1) != 0;
  return true;
}

// arguments compared, mismatches (the first ones reported), halfway cases met
struct TComparison {
  long Count = 0;
  long Mismatches = 0;
  long HalfwayUp = 0;
  long HalfwayDown = 0;

  void Add(double X) {
    ++Count;
    const double expected = Extended(X);
    const double got = ExtendedTwoPiTimes(X);
    if (Bits(got) != Bits(expected)) {
      if (++Mismatches <= 10) {
        ADD_FAILURE() << std::hexfloat << "X = " << X << ": " << got << " instead of " << expected;
      }
    }
    bool up = false;
    if (HalfwayInExtended(X, up)) {
      ++(up ? HalfwayUp : HalfwayDown);
    }
  }
};

TEST(ExtendedTwoPiTimes, TheKnownProductsAreTheExtendedOnes) {
  for (const TKnownProduct& known : kKnownProducts) {
    EXPECT_EQ(Bits(Extended(known.Argument)), Bits(known.Result)) << std::hexfloat << known.Argument;
  }
}

TEST(ExtendedTwoPiTimes, RandomDoublesBelowOne) {
  std::mt19937_64 random(20261209);
  TComparison comparison;
  // every double in [2^-53, 1) equally likely, then every binade down to
  // the subnormals with random significands
  for (int i = 0; i < 16'000'000 / kCountScale; ++i) {
    comparison.Add(static_cast<double>(random() >> 11) * 0x1p-53);
  }
  std::uniform_int_distribution<int> exponent(-1074, -1);
  for (int i = 0; i < 4'000'000 / kCountScale; ++i) {
    const double x = std::ldexp(static_cast<double>(random() >> 11), exponent(random) - 53);
    comparison.Add((random() & 1) != 0 ? -x : x);
  }
  EXPECT_EQ(comparison.Mismatches, 0);
  // about one product in 2048 is a tie of the second rounding, either way
  EXPECT_GT(comparison.HalfwayUp, 1000 / kCountScale);
  EXPECT_GT(comparison.HalfwayDown, 1000 / kCountScale);
}

TEST(ExtendedTwoPiTimes, EveryUniformDrawOfSomeSeeds) {
  TComparison comparison;
  for (const std::int32_t seed : {1, 2, 7, 12345, 2147483646}) {
    TUniformRandomGenerator generator;
    generator.SetSeed(seed);
    for (int i = 0; i < 2'000'000 / kCountScale; ++i) {
      comparison.Add(generator.GetUniform());
    }
  }
  // the smallest and largest draws there are
  comparison.Add(1 / 2147483647.0);
  comparison.Add(2147483646 / 2147483647.0);
  EXPECT_EQ(comparison.Mismatches, 0);
  EXPECT_GT(comparison.HalfwayUp + comparison.HalfwayDown, 1000 / kCountScale);
}

TEST(ExtendedTwoPiTimes, RunsOfNeighbouringDoubles) {
  TComparison comparison;
  // a run of consecutive doubles up from each start
  const auto run = [&comparison](double Start, int Count) {
    double x = Start;
    for (int i = 0; i < Count; ++i) {
      comparison.Add(x);
      x = std::nextafter(x, kInf);
    }
  };
  // up to just below 1, the least subnormals, across the least normal (as
  // argument and as product), across a binade
  run(std::nextafter(1.0, 0.0) - 1'000'000 * 0x1p-53, 1'000'001 / kCountScale);
  run(0.0, 100'000);
  run(0x1p-1022 - 100'000 * 0x1p-1074, 200'000);
  run(0x0.517cc1b727220p-1022 - 100'000 * 0x1p-1074, 200'000);
  run(0.5 - 100'000 * 0x1p-54, 200'000);
  // every power of two and its neighbours
  for (int e = -1074; e < 0; ++e) {
    run(std::nextafter(std::ldexp(1.0, e), 0.0), 3);
  }
  EXPECT_EQ(comparison.Mismatches, 0);
}

#else

TEST(ExtendedTwoPiTimes, AgainstExtendedPrecision) {
  GTEST_SKIP() << "long double is not the 80-bit format here; the known products are checked instead";
}

#endif

}  // namespace
}  // namespace kestrovan
