// Sin, Cos, SinCos and Atan2 against libquadmath's sinq, cosq and atan2q over
// some millions of arguments: random over many binades, near multiples of
// pi/2 and pi/4, small, subnormal and huge, and every sign and zero/infinity
// case of atan2. The error of each result is measured in ulps of the true
// value; at most 1 ulp is allowed. The largest error and the fraction of
// correctly rounded results are printed.
#include <gtest/gtest.h>
#include <quadmath.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <vector>

#include "numerics/NumericsTestSupport.h"
#include "numerics/PortableMath.h"

namespace kestrovan {
namespace {

using test::Bits;
using test::kCountScale;
using test::kInf;
using test::kNaN;

// error of Value in ulps of the double nearest to Exact (2^-1074 for subnormals)
double UlpError(double Value, __float128 Exact) {
  int exponent = ilogbq(Exact);
  if (Exact == 0) exponent = -1074 + 52;
  if (exponent < -1022) exponent = -1022;
  const __float128 ulp = ldexpq(static_cast<__float128>(1), exponent - 52);
  return static_cast<double>(fabsq(static_cast<__float128>(Value) - Exact) / ulp);
}

// largest error and share of correctly rounded results of one function over one argument set
struct TAccuracy {
  double MaxError = 0.0;
  double WorstArgument1 = 0.0;
  double WorstArgument2 = 0.0;
  long Count = 0;
  long CorrectlyRounded = 0;

  void Add(double Value, __float128 Exact, double Argument1, double Argument2 = 0.0) {
    // NaN for NaN is right; NaN for a number (or the reverse) is the largest error
    const bool valueIsNaN = std::isnan(Value);
    const bool exactIsNaN = isnanq(Exact) != 0;
    const double error = valueIsNaN && exactIsNaN ? 0.0 : valueIsNaN || exactIsNaN ? kInf : UlpError(Value, Exact);
    if (!(error <= MaxError)) {
      MaxError = error;
      WorstArgument1 = Argument1;
      WorstArgument2 = Argument2;
    }
    ++Count;
    if (Value == static_cast<double>(Exact) || (valueIsNaN && exactIsNaN)) ++CorrectlyRounded;
  }

  void Report(const char* Name) const {
    std::printf("%-26s %9ld arguments, max error %.3f ulp (at %a, %a), correctly rounded %.5f%%\n", Name, Count,
                MaxError, WorstArgument1, WorstArgument2, 100.0 * CorrectlyRounded / Count);
  }
};

// random double with a random sign and a binary exponent in [MinExponent, MaxExponent]
double RandomInBinades(std::mt19937_64& Random, int MinExponent, int MaxExponent) {
  std::uniform_int_distribution<int> exponent(MinExponent, MaxExponent);
  const uint64_t mantissa = Random() & 0x000fffffffffffffULL;
  const double x = std::ldexp(1.0 + static_cast<double>(mantissa) * 0x1p-52, exponent(Random));
  return (Random() & 1) != 0 ? -x : x;
}

// the double at Steps ulps from X
double UlpsAway(double X, int Steps) {
  int64_t bits = static_cast<int64_t>(Bits(X));
  return std::bit_cast<double>(static_cast<uint64_t>(bits + Steps));
}

// Sin, Cos and SinCos on every argument: at most 1 ulp, SinCos identical to Sin and Cos
void CheckSinCos(const char* SetName, const std::vector<double>& Arguments) {
  TAccuracy sinAccuracy;
  TAccuracy cosAccuracy;
  for (const double x : Arguments) {
    const double s = Sin(x);
    const double c = Cos(x);
    double s2 = 0.0;
    double c2 = 0.0;
    SinCos(x, s2, c2);
    ASSERT_EQ(Bits(s), Bits(s2)) << "SinCos differs from Sin at " << std::hexfloat << x;
    ASSERT_EQ(Bits(c), Bits(c2)) << "SinCos differs from Cos at " << std::hexfloat << x;
    sinAccuracy.Add(s, sinq(x), x);
    cosAccuracy.Add(c, cosq(x), x);
  }
  std::printf("%s\n", SetName);
  sinAccuracy.Report("  Sin");
  cosAccuracy.Report("  Cos");
  EXPECT_LE(sinAccuracy.MaxError, 1.0) << SetName << ": Sin at " << std::hexfloat << sinAccuracy.WorstArgument1;
  EXPECT_LE(cosAccuracy.MaxError, 1.0) << SetName << ": Cos at " << std::hexfloat << cosAccuracy.WorstArgument1;
}

void CheckAtan2(const char* SetName, const std::vector<std::pair<double, double>>& Arguments) {
  TAccuracy accuracy;
  for (const auto& [y, x] : Arguments) accuracy.Add(Atan2(y, x), atan2q(y, x), y, x);
  accuracy.Report(SetName);
  EXPECT_LE(accuracy.MaxError, 1.0) << SetName << ": at y = " << std::hexfloat << accuracy.WorstArgument1
                                    << ", x = " << accuracy.WorstArgument2;
}

TEST(PortableMath, SinCosSpecialValues) {
  // signed zeros, infinities and NaN
  EXPECT_EQ(Bits(Sin(0.0)), Bits(0.0));
  EXPECT_EQ(Bits(Sin(-0.0)), Bits(-0.0));
  EXPECT_EQ(Cos(0.0), 1.0);
  EXPECT_EQ(Cos(-0.0), 1.0);
  for (const double x : {kInf, -kInf, kNaN, -kNaN}) {
    EXPECT_TRUE(std::isnan(Sin(x))) << x;
    EXPECT_TRUE(std::isnan(Cos(x))) << x;
    double s = 0.0;
    double c = 0.0;
    SinCos(x, s, c);
    EXPECT_TRUE(std::isnan(s) && std::isnan(c)) << x;
  }
  // subnormals: sin x = x, cos x = 1
  const double tiny = std::numeric_limits<double>::denorm_min();
  EXPECT_EQ(Sin(tiny), tiny);
  EXPECT_EQ(Sin(-tiny), -tiny);
  EXPECT_EQ(Cos(tiny), 1.0);
  // odd and even
  for (const double x : {0.3, 1.7, 4.5, 1e6, 1e22, 1e300}) {
    EXPECT_EQ(Sin(-x), -Sin(x)) << x;
    EXPECT_EQ(Cos(-x), Cos(x)) << x;
  }
}

TEST(PortableMath, SinCosAtHardArguments) {
  // the doubles nearest to pi/2, pi and their neighbours, the largest double,
  // and the double closest to a multiple of pi/2 (r ~ 2^-61)
  std::vector<double> arguments = {0x1.921fb54442d18p+0,
                                   0x1.921fb54442d18p+1,
                                   0x1.921fb54442d18p+2,
                                   0x1.921fb54442d18p-1,
                                   std::numeric_limits<double>::max(),
                                   std::ldexp(6381956970095103.0, 797),
                                   0x1p20,
                                   0x1p20 - 0x1p-33,
                                   0x1.fffffffffffffp19};
  const std::size_t base = arguments.size();
  for (std::size_t i = 0; i < base; ++i) {
    for (int steps = -3; steps <= 3; ++steps) {
      const double x = UlpsAway(arguments[i], steps);
      if (std::isfinite(x)) {
        arguments.push_back(x);
        arguments.push_back(-x);
      }
    }
  }
  CheckSinCos("hard arguments", arguments);
}

TEST(PortableMath, SinCosRandomArguments) {
  std::mt19937_64 random(1);
  // headings and other angles of the simulation
  std::vector<double> typical;
  std::uniform_real_distribution<double> heading(-10.0, 10.0);
  for (int i = 0; i < 500000 / kCountScale; ++i) typical.push_back(heading(random));
  CheckSinCos("uniform in [-10, 10]", typical);
  // all binades from 2^-30 to the largest double
  std::vector<double> binades;
  for (int i = 0; i < 500000 / kCountScale; ++i) binades.push_back(RandomInBinades(random, -30, 1023));
  CheckSinCos("binades 2^-30 .. 2^1023", binades);
  // the Cody-Waite range and just beyond it
  std::vector<double> medium;
  for (int i = 0; i < 200000 / kCountScale; ++i) medium.push_back(RandomInBinades(random, 0, 24));
  CheckSinCos("binades 2^0 .. 2^24", medium);
  // small and subnormal
  std::vector<double> small;
  for (int i = 0; i < 100000 / kCountScale; ++i) small.push_back(RandomInBinades(random, -1074, -20));
  CheckSinCos("binades 2^-1074 .. 2^-20", small);
}

TEST(PortableMath, SinCosNearMultiplesOfPiOver4) {
  // the doubles nearest to k pi/4 and a few ulps around, for k up to 2^24 and for huge k
  std::mt19937_64 random(2);
  std::vector<double> arguments;
  const __float128 piOver4 = acosq(static_cast<__float128>(-1)) / 4;
  for (int i = 0; i < 60000 / kCountScale; ++i) {
    const int bitsOfK = 1 + static_cast<int>(random() % 60);
    const uint64_t k = 1 + (random() >> (64 - bitsOfK));
    const double x = static_cast<double>(static_cast<__float128>(k) * piOver4);
    for (int steps = -2; steps <= 2; ++steps) arguments.push_back(UlpsAway(x, steps));
  }
  CheckSinCos("near multiples of pi/4", arguments);
}

TEST(PortableMath, Atan2SpecialValues) {
  const double pi = 0x1.921fb54442d18p+1;
  const double piOver2 = 0x1.921fb54442d18p+0;
  const double piOver4 = 0x1.921fb54442d18p-1;
  const double threePiOver4 = 0x1.2d97c7f3321d2p+1;
  struct TCase {
    double Y;
    double X;
    double Expected;
  };
  const TCase cases[] = {
      // y = +-0
      {0.0, 0.0, 0.0},
      {-0.0, 0.0, -0.0},
      {0.0, -0.0, pi},
      {-0.0, -0.0, -pi},
      {0.0, 2.0, 0.0},
      {-0.0, 2.0, -0.0},
      {0.0, -2.0, pi},
      {-0.0, -2.0, -pi},
      {0.0, kInf, 0.0},
      {-0.0, -kInf, -pi},
      // x = +-0
      {3.0, 0.0, piOver2},
      {3.0, -0.0, piOver2},
      {-3.0, 0.0, -piOver2},
      {-3.0, -0.0, -piOver2},
      // infinities
      {kInf, kInf, piOver4},
      {-kInf, kInf, -piOver4},
      {kInf, -kInf, threePiOver4},
      {-kInf, -kInf, -threePiOver4},
      {kInf, 5.0, piOver2},
      {-kInf, -5.0, -piOver2},
      {5.0, kInf, 0.0},
      {-5.0, kInf, -0.0},
      {5.0, -kInf, pi},
      {-5.0, -kInf, -pi},
      // diagonals
      {1.0, 1.0, piOver4},
      {-1e300, -1e300, -threePiOver4},
      {1e-310, -1e-310, threePiOver4},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(Bits(Atan2(c.Y, c.X)), Bits(c.Expected)) << "Atan2(" << c.Y << ", " << c.X << ")";
  }
  for (const double v : {0.0, -1.0, kInf, kNaN}) {
    EXPECT_TRUE(std::isnan(Atan2(kNaN, v))) << v;
    EXPECT_TRUE(std::isnan(Atan2(v, kNaN))) << v;
  }
}

TEST(PortableMath, Atan2RandomArguments) {
  std::mt19937_64 random(3);
  using TPairs = std::vector<std::pair<double, double>>;
  // bearings of the simulation: both coordinates of a few metres at most, all quadrants
  TPairs typical;
  std::uniform_real_distribution<double> coordinate(-3.0, 3.0);
  for (int i = 0; i < 400000 / kCountScale; ++i) typical.emplace_back(coordinate(random), coordinate(random));
  CheckAtan2("Atan2 uniform in [-3, 3]^2", typical);
  // any two doubles: ratios from tiny to huge, subnormals included
  TPairs any;
  for (int i = 0; i < 300000 / kCountScale; ++i) {
    any.emplace_back(RandomInBinades(random, -1074, 1023), RandomInBinades(random, -1074, 1023));
  }
  CheckAtan2("Atan2 any binades", any);
  // ratios between 2^-40 and 2^40, where the table and the division matter
  TPairs ratios;
  for (int i = 0; i < 300000 / kCountScale; ++i) {
    const double x = RandomInBinades(random, -20, 20);
    ratios.emplace_back(x *
                            std::ldexp(1.0 + std::uniform_real_distribution<double>(0, 1)(random),
                                       std::uniform_int_distribution<int>(-40, 40)(random)) *
                            ((random() & 1) != 0 ? -1.0 : 1.0),
                        x);
  }
  CheckAtan2("Atan2 ratios 2^-40 .. 2^40", ratios);
  // ratios a few ulps from 1 and from the table points i/64
  TPairs nearTable;
  for (int i = 0; i < 100000 / kCountScale; ++i) {
    const double x = RandomInBinades(random, -10, 10);
    const double c = static_cast<double>(random() % 129) / 64.0;
    const double y = UlpsAway(x * c == 0 ? 1e-300 : x * c, static_cast<int>(random() % 9) - 4);
    nearTable.emplace_back(y, (random() & 1) != 0 ? -x : x);
  }
  CheckAtan2("Atan2 ratios near i/64", nearTable);
  // both coordinates at the ends of the range, where scaling must stay exact
  const double max = std::numeric_limits<double>::max();
  const double tiny = std::numeric_limits<double>::denorm_min();
  TPairs extremes;
  for (const double a : {max, 0x1p1023, 0x1.8p1000, 0x1p-1022, 0x1.8p-1060, tiny, 3 * tiny}) {
    for (const double b : {max, 0x1.3p1023, 0x1p-1000, 0x1.fffffffffffffp-1023, 7 * tiny, tiny}) {
      for (const double sy : {1.0, -1.0}) {
        for (const double sx : {1.0, -1.0}) {
          extremes.emplace_back(sy * a, sx * b);
          extremes.emplace_back(sy * b, sx * a);
        }
      }
    }
  }
  CheckAtan2("Atan2 extreme coordinates", extremes);
}

// FNV-1a over the bits of Sin, Cos and Atan2 on fixed arguments drawn from
// std::mt19937_64 (whose sequence the standard fixes); the same on every
// machine, compiler and build type
uint64_t ResultHash() {
  std::mt19937_64 random(4);
  const auto uniform = [&random](double Low, double High) {
    return Low + (High - Low) * (static_cast<double>(random() >> 11) * 0x1p-53);
  };
  uint64_t hash = 0xcbf29ce484222325ULL;
  const auto add = [&hash](double V) {
    const uint64_t bits = Bits(V);
    for (int i = 0; i < 8; ++i) {
      hash ^= (bits >> (8 * i)) & 0xff;
      hash *= 0x100000001b3ULL;
    }
  };
  for (int i = 0; i < 20000; ++i) {
    const double heading = uniform(-10.0, 10.0);
    add(Sin(heading));
    add(Cos(heading));
    const double huge = std::ldexp(uniform(1.0, 2.0), static_cast<int>(random() % 1000));
    add(Sin(huge));
    add(Cos(huge));
    add(Atan2(uniform(-3.0, 3.0), uniform(-3.0, 3.0)));
  }
  return hash;
}

TEST(PortableMath, SameBitsEverywhere) {
  // changes only when the functions change; then the new value goes here, and
  // result files made with the functions change with it
  EXPECT_EQ(ResultHash(), 0xa3b717c085f8ee03ULL);
}

}  // namespace
}  // namespace kestrovan
