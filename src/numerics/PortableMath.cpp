#include "numerics/PortableMath.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

// Methods:
// - sin and cos: the argument is reduced to r = x - k pi/2, |r| <~ pi/4, held
//   as a double-double (r = Hi + Lo). Below 2^20 the reduction is Cody-Waite's
//   with pi/2 split into three 33-bit parts and a 53-bit tail (every k * part
//   is exact); above, Payne-Hanek's: the 53-bit significand times a 192-bit
//   window of the bits of 2/pi in integer arithmetic, which keeps more than
//   120 significant bits of r even for the doubles closest to a multiple of
//   pi/2 (|r| ~ 2^-61). r is then fed to minimax polynomials of degree 13
//   (sin) and 14 (cos) on [-pi/4, pi/4] that take the low part into account.
// - atan2: t = min(|x|,|y|) / max(|x|,|y|) in [0, 1] as a double-double, then
//   atan(t) = atan(c) + atan((t - c) / (1 + t c)) with c = i/64 the nearest
//   table point, atan(c) from a double-double table and the small second
//   arctangent from its series. The quadrant (0, pi/2 or pi, added or
//   subtracted) is folded in with error-free sums, so the only sizeable
//   error is the final rounding.
// All operations are IEEE double operations in a fixed order, so the results
// do not depend on the machine or on the compiler's choices (-ffp-contract=off).

namespace kestrovan {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// pi/2, pi and 3pi/4 rounded, and the double-double pi/2 and pi
constexpr double kPiOver4 = 0x1.921fb54442d18p-1;
constexpr double kThreePiOver4 = 0x1.2d97c7f3321d2p+1;
constexpr double kPiOver2Hi = 0x1.921fb54442d18p+0;
constexpr double kPiOver2Lo = 0x1.1a62633145c07p-54;
constexpr double kPiHi = 0x1.921fb54442d18p+1;
constexpr double kPiLo = 0x1.1a62633145c07p-53;
constexpr double kTwoOverPi = 0x1.45f306dc9c883p-1;

// pi/2 = kPiOver2Part1 + kPiOver2Part2 + kPiOver2Part3 + kPiOver2Part4 + O(2^-157);
// the first three have 33 significant bits, so k * part is exact for |k| < 2^20
constexpr double kPiOver2Part1 = 0x1.921fb54400000p+0;
constexpr double kPiOver2Part2 = 0x1.0b4611a600000p-34;
constexpr double kPiOver2Part3 = 0x1.3198a2e000000p-69;
constexpr double kPiOver2Part4 = 0x1.b839a252049c1p-104;

// arguments below this use the Cody-Waite reduction
constexpr double kCodyWaiteLimit = 0x1p20;

// 2/pi in binary: word j (j >= 1) holds the bits 64(j-1)+1 .. 64j after the
// point; word 0 is zero, so that windows may start up to 63 bits before the point
constexpr uint64_t kTwoOverPiBits[] = {
    0x0000000000000000ULL, 0xA2F9836E4E441529ULL, 0xFC2757D1F534DDC0ULL, 0xDB6295993C439041ULL, 0xFE5163ABDEBBC561ULL,
    0xB7246E3A424DD2E0ULL, 0x06492EEA09D1921CULL, 0xFE1DEB1CB129A73EULL, 0xE88235F52EBB4484ULL, 0xE99C7026B45F7E41ULL,
    0x3991D639835339F4ULL, 0x9C845F8BBDF9283BULL, 0x1FF897FFDE05980FULL, 0xEF2F118B5A0A6D1FULL, 0x6D367ECF27CB09B7ULL,
    0x4F463F669E5FEA2DULL, 0x7527BAC7EBE5F17BULL, 0x3D0739F78A5292EAULL, 0x6BFB5FB11F8D5D08ULL, 0x56033046FC7B6BABULL,
    0xF0CFBC209AF4361DULL,
};

// minimax coefficients of (sin(x) - x) / x^3 and (cos(x) - 1 + x^2/2) / x^4 in x^2 on [-pi/4, pi/4]
constexpr double kSin1 = -1.66666666666666324348e-01;
constexpr double kSin2 = 8.33333333332248946124e-03;
constexpr double kSin3 = -1.98412698298579493134e-04;
constexpr double kSin4 = 2.75573137070700676789e-06;
constexpr double kSin5 = -2.50507602534068634195e-08;
constexpr double kSin6 = 1.58969099521155010221e-10;
constexpr double kCos1 = 4.16666666666666019037e-02;
constexpr double kCos2 = -1.38888888888741095749e-03;
constexpr double kCos3 = 2.48015872894767294178e-05;
constexpr double kCos4 = -2.75573143513906633035e-07;
constexpr double kCos5 = 2.08757232129817482790e-09;
constexpr double kCos6 = -1.13596475577881948265e-11;

// atan(i/64) for i = 0..64 as double-doubles {hi, lo}
constexpr double kAtanTable[65][2] = {
    {0x0.0p+0, 0x0.0p+0},
    {0x1.fff555bbb729bp-7, -0x1.220c39d4dff50p-61},
    {0x1.ffd55bba97625p-6, -0x1.5ec431444912cp-60},
    {0x1.7fb818430da2ap-5, -0x1.86ef8f794f105p-63},
    {0x1.ff55bb72cfdeap-5, -0x1.c934d86d23f1dp-60},
    {0x1.3f59f0e7c559dp-4, 0x1.ac4ce285df847p-58},
    {0x1.7ee182602f10fp-4, -0x1.cfb654c0c3d98p-58},
    {0x1.be39ebe6f07c3p-4, 0x1.f7b8f29a05987p-58},
    {0x1.fd5ba9aac2f6ep-4, -0x1.cd37686760c17p-59},
    {0x1.1e1fafb043727p-3, -0x1.b485914dacf8cp-59},
    {0x1.3d6eee8c6626cp-3, 0x1.61a3b0ce9281bp-57},
    {0x1.5c9811e3ec26ap-3, -0x1.054ab2c010f3dp-58},
    {0x1.7b97b4bce5b02p-3, 0x1.347b0b4f881cap-58},
    {0x1.9a6a8e96c8626p-3, 0x1.cf601e7b4348ep-59},
    {0x1.b90d7529260a2p-3, 0x1.17b10d2e0e5abp-61},
    {0x1.d77d5df205736p-3, 0x1.c648d1534597ep-57},
    {0x1.f5b75f92c80ddp-3, 0x1.8ab6e3cf7afbdp-57},
    {0x1.09dc597d86362p-2, 0x1.62e47390cb865p-56},
    {0x1.18bf5a30bf178p-2, 0x1.30ca4748b1bf9p-57},
    {0x1.278372057ef46p-2, -0x1.077cdd36dfc81p-56},
    {0x1.362773707ebccp-2, -0x1.963a544b672d8p-57},
    {0x1.44aa436c2af0ap-2, -0x1.5d5e43c55b3bap-56},
    {0x1.530ad9951cd4ap-2, -0x1.2566480884082p-57},
    {0x1.614840309cfe2p-2, -0x1.a725715711f00p-56},
    {0x1.6f61941e4def1p-2, -0x1.c63aae6f6e918p-56},
    {0x1.7d5604b63b3f7p-2, 0x1.69c885c2b249ap-56},
    {0x1.8b24d394a1b25p-2, 0x1.b6d0ba3748fa8p-56},
    {0x1.98cd5454d6b18p-2, 0x1.9e6c988fd0a77p-56},
    {0x1.a64eec3cc23fdp-2, -0x1.24dec1b50b7ffp-56},
    {0x1.b3a911da65c6cp-2, 0x1.ae187b1ca5040p-56},
    {0x1.c0db4c94ec9f0p-2, -0x1.cc1ce70934c34p-56},
    {0x1.cde53432c1351p-2, -0x1.a2cfa4418f1adp-56},
    {0x1.dac670561bb4fp-2, 0x1.a2b7f222f65e2p-56},
    {0x1.e77eb7f175a34p-2, 0x1.0e53dc1bf3435p-56},
    {0x1.f40dd0b541418p-2, -0x1.a3992dc382a23p-57},
    {0x1.0039c73c1a40cp-1, -0x1.b32c949c9d593p-55},
    {0x1.0657e94db30d0p-1, -0x1.d5b495f6349e6p-56},
    {0x1.0c6145b5b43dap-1, 0x1.974fa13b5404fp-58},
    {0x1.1255d9bfbd2a9p-1, -0x1.2bdaee1c0ee35p-58},
    {0x1.1835a88be7c13p-1, 0x1.c621cec00c301p-55},
    {0x1.1e00babdefeb4p-1, -0x1.928df287a668fp-58},
    {0x1.23b71e2cc9e6ap-1, 0x1.c421c9f38224ep-57},
    {0x1.2958e59308e31p-1, -0x1.09e73b0c6c087p-56},
    {0x1.2ee628406cbcap-1, 0x1.c5d5e9ff0cf8dp-55},
    {0x1.345f01cce37bbp-1, 0x1.1021137c71102p-55},
    {0x1.39c391cd4171ap-1, -0x1.2304331d8bf46p-55},
    {0x1.3f13fb89e96f4p-1, 0x1.ecf8b492644f0p-56},
    {0x1.445065b795b56p-1, -0x1.f76d0163f79c8p-56},
    {0x1.4978fa3269ee1p-1, 0x1.2419a87f2a458p-56},
    {0x1.4e8de5bb6ec04p-1, 0x1.4a33dbeb3796cp-55},
    {0x1.538f57b89061fp-1, -0x1.1bb74abda520cp-55},
    {0x1.587d81f732fbbp-1, -0x1.5e5c9d8c5a950p-56},
    {0x1.5d58987169b18p-1, 0x1.0028e4bc5e7cap-57},
    {0x1.6220d115d7b8ep-1, -0x1.2b785350ee8c1p-57},
    {0x1.66d663923e087p-1, -0x1.6ea6febe8bbbap-56},
    {0x1.6b798920b3d99p-1, -0x1.a80386188c50ep-55},
    {0x1.700a7c5784634p-1, -0x1.8c34d25aadef6p-56},
    {0x1.748978fba8e0fp-1, 0x1.7b2a6165884a1p-59},
    {0x1.78f6bbd5d315ep-1, 0x1.406a089803740p-55},
    {0x1.7d528289fa093p-1, 0x1.560821e2f3aa9p-55},
    {0x1.819d0b7158a4dp-1, -0x1.bf76229d3b917p-56},
    {0x1.85d69576cc2c5p-1, 0x1.6b66e7fc8b8c3p-57},
    {0x1.89ff5ff57f1f8p-1, -0x1.55b9a5e177a1bp-55},
    {0x1.8e17aa99cc05ep-1, -0x1.ec182ab042f61p-56},
    {0x1.921fb54442d18p-1, 0x1.1a62633145c07p-55},
};

// 128-bit products for the large-argument reduction
__extension__ typedef unsigned __int128 u128;

// error-free transformations: Hi + Lo equals the exact sum or product
inline void TwoSum(double A, double B, double& Hi, double& Lo) {
  Hi = A + B;
  const double bb = Hi - A;
  Lo = (A - (Hi - bb)) + (B - bb);
}

// as TwoSum, for |A| >= |B| (or A == 0)
inline void FastTwoSum(double A, double B, double& Hi, double& Lo) {
  Hi = A + B;
  Lo = B - (Hi - A);
}

// Veltkamp's split: A = Hi + Lo with Hi holding the upper 26 bits
inline void Split(double A, double& Hi, double& Lo) {
  const double c = 134217729.0 * A;  // 2^27 + 1
  Hi = c - (c - A);
  Lo = A - Hi;
}

// Dekker's product, valid while A * B neither overflows nor underflows
inline void TwoProduct(double A, double B, double& Hi, double& Lo) {
  Hi = A * B;
  double aHi = 0.0;
  double aLo = 0.0;
  double bHi = 0.0;
  double bLo = 0.0;
  Split(A, aHi, aLo);
  Split(B, bHi, bLo);
  Lo = ((aHi * bHi - Hi) + aHi * bLo + aLo * bHi) + aLo * bLo;
}

// 2^E for E in the normal range
inline double PowerOfTwo(int E) { return std::bit_cast<double>(static_cast<uint64_t>(E + 1023) << 52); }

// sin(Hi + Lo) for |Hi + Lo| <~ pi/4, |Lo| <= ulp(Hi)
inline double SinKernel(double Hi, double Lo) {
  const double z = Hi * Hi;
  const double v = z * Hi;
  const double p = kSin2 + z * (kSin3 + z * (kSin4 + z * (kSin5 + z * kSin6)));
  // Hi + v (S1 + z p) + Lo (1 - z/2), with the small terms summed first
  return Hi - ((z * (0.5 * Lo - v * p) - Lo) - v * kSin1);
}

// cos(Hi + Lo) for |Hi + Lo| <~ pi/4, |Lo| <= ulp(Hi)
inline double CosKernel(double Hi, double Lo) {
  const double z = Hi * Hi;
  const double p = z * (kCos1 + z * (kCos2 + z * (kCos3 + z * (kCos4 + z * (kCos5 + z * kCos6)))));
  // 1 - z/2 rounded, then its rounding error, z^2 p and -Hi Lo
  const double halfZ = 0.5 * z;
  const double w = 1.0 - halfZ;
  return w + (((1.0 - w) - halfZ) + (z * p - Hi * Lo));
}

// sin(Quadrant pi/2 + Hi + Lo)
inline double SinOfQuadrant(int Quadrant, double Hi, double Lo) {
  switch (Quadrant & 3) {
    case 0:
      return SinKernel(Hi, Lo);
    case 1:
      return CosKernel(Hi, Lo);
    case 2:
      return -SinKernel(Hi, Lo);
    default:
      return -CosKernel(Hi, Lo);
  }
}

// Payne-Hanek: X (finite, |X| >= 2^20) = k pi/2 + Hi + Lo; returns k mod 4
int ReduceLarge(double X, double& Hi, double& Lo) {
  const uint64_t bits = std::bit_cast<uint64_t>(X);
  const int exponent = static_cast<int>((bits >> 52) & 0x7ff) - 1075;  // |X| = m 2^exponent
  const uint64_t m = (bits & 0x000fffffffffffffULL) | 0x0010000000000000ULL;

  // bits of 2/pi from the one worth 2 m (bit exponent-1 after the point) on:
  // the earlier ones add multiples of 4 to X 2/pi
  const int first = exponent + 62;  // index counted from word 0's top bit
  const int word = first / 64;
  const int shift = first % 64;
  uint64_t w[3];
  for (int i = 0; i < 3; ++i) {
    w[i] = shift == 0 ? kTwoOverPiBits[word + i]
                      : (kTwoOverPiBits[word + i] << shift) | (kTwoOverPiBits[word + i + 1] >> (64 - shift));
  }

  // X 2/pi mod 4 = (m * window mod 2^192) / 2^190
  const u128 p2 = static_cast<u128>(m) * w[2];
  const u128 p1 = static_cast<u128>(m) * w[1];
  const u128 mid = (p2 >> 64) + static_cast<uint64_t>(p1);
  uint64_t f2 = static_cast<uint64_t>(p2);
  uint64_t f1 = static_cast<uint64_t>(mid);
  uint64_t f0 = static_cast<uint64_t>(p1 >> 64) + static_cast<uint64_t>(mid >> 64) + m * w[0];
  int quadrant = static_cast<int>(f0 >> 62);

  // the fraction as a 190-bit fixed-point number; one above a half is taken
  // as a negative remainder of the next quadrant (two's complement)
  f0 &= 0x3fffffffffffffffULL;
  const bool negative = (f0 >> 61) != 0;
  if (negative) {
    quadrant += 1;
    f2 = ~f2;
    f1 = ~f1;
    f0 = ~f0 & 0x3fffffffffffffffULL;
    if (++f2 == 0 && ++f1 == 0) ++f0;
  }

  // normalise: the leading one of the fraction to the top bit of a 128-bit word
  int exponent2 = -190;  // the fraction is (f0:f1:f2) 2^exponent2
  while (f0 == 0 && (f1 | f2) != 0) {
    f0 = f1;
    f1 = f2;
    f2 = 0;
    exponent2 -= 64;
  }
  if (f0 == 0) {
    Hi = 0.0;
    Lo = 0.0;
    return (X < 0 ? -quadrant : quadrant) & 3;
  }
  const int lead = std::countl_zero(f0);
  u128 top = (static_cast<u128>(f0) << 64) | f1;
  if (lead > 0) top = (top << lead) | (f2 >> (64 - lead));
  exponent2 += 64 - lead;  // the fraction is top 2^exponent2 + less than 2^exponent2

  // the fraction as a double-double: the upper 53 bits exact, the next 64 rounded
  const double a = static_cast<double>(static_cast<uint64_t>(top >> 75));
  const double b = static_cast<double>(static_cast<uint64_t>(top >> 11));
  const double fHi = a * PowerOfTwo(exponent2 + 75);
  const double fLo = b * PowerOfTwo(exponent2 + 11);

  // times pi/2
  double rHi = 0.0;
  double rLo = 0.0;
  TwoProduct(fHi, kPiOver2Hi, rHi, rLo);
  rLo += fHi * kPiOver2Lo + fLo * kPiOver2Hi;
  FastTwoSum(rHi, rLo, Hi, Lo);
  if (negative) {
    Hi = -Hi;
    Lo = -Lo;
  }
  if (X < 0) {
    Hi = -Hi;
    Lo = -Lo;
    quadrant = -quadrant;
  }
  return quadrant & 3;
}

// X (finite) = k pi/2 + Hi + Lo with |Hi + Lo| <~ pi/4; returns k mod 4
inline int Reduce(double X, double& Hi, double& Lo) {
  if (X > -kCodyWaiteLimit && X < kCodyWaiteLimit) {
    // k rounded to nearest by the 1.5 2^52 shift; |k| < 2^20
    const double k = (X * kTwoOverPi + 0x1.8p52) - 0x1.8p52;
    // X - k part1 is exact (the two are within a factor 2), and so are k part2 and k part3
    const double t = X - k * kPiOver2Part1;
    const double w = k * kPiOver2Part2;
    const double r = t - w;
    if (r > 0x1p-12 || r < -0x1p-12) {
      // no cancellation: |t| > |w| (|w| < 2^-13), so t - w = r + its rounding error exactly
      FastTwoSum(r, ((t - r) - w) - (k * kPiOver2Part3 + k * kPiOver2Part4), Hi, Lo);
    } else {
      // near a multiple of pi/2: the differences summed without error
      double s1 = 0.0;
      double s2 = 0.0;
      TwoSum(t, -w, s1, s2);
      double u1 = 0.0;
      double u2 = 0.0;
      TwoSum(s1, -(k * kPiOver2Part3), u1, u2);
      FastTwoSum(u1, (s2 + u2) - k * kPiOver2Part4, Hi, Lo);
    }
    return static_cast<int>(static_cast<int64_t>(k) & 3);
  }
  return ReduceLarge(X, Hi, Lo);
}

}  // namespace

double Sin(double X) {
  const double ax = X < 0 ? -X : X;
  if (ax <= kPiOver4) {
    // sin x = x (1 - x^2/6 + ...) rounds to x below 2^-26; keeps the sign of zero
    if (ax < 0x1p-26) return X;
    return SinKernel(X, 0.0);
  }
  if (!(ax < kInf)) return X != X ? X + X : kNaN;
  double hi = 0.0;
  double lo = 0.0;
  const int quadrant = Reduce(X, hi, lo);
  return SinOfQuadrant(quadrant, hi, lo);
}

double Cos(double X) {
  const double ax = X < 0 ? -X : X;
  if (ax <= kPiOver4) {
    // cos x = 1 - x^2/2 + ... rounds to 1 below 2^-27
    if (ax < 0x1p-27) return 1.0;
    return CosKernel(X, 0.0);
  }
  if (!(ax < kInf)) return X != X ? X + X : kNaN;
  double hi = 0.0;
  double lo = 0.0;
  // cos(x) = sin(x + pi/2)
  const int quadrant = Reduce(X, hi, lo);
  return SinOfQuadrant(quadrant + 1, hi, lo);
}

void SinCos(double X, double& SinX, double& CosX) {
  const double ax = X < 0 ? -X : X;
  if (ax <= kPiOver4) {
    SinX = ax < 0x1p-26 ? X : SinKernel(X, 0.0);
    CosX = ax < 0x1p-27 ? 1.0 : CosKernel(X, 0.0);
    return;
  }
  if (!(ax < kInf)) {
    SinX = CosX = X != X ? X + X : kNaN;
    return;
  }
  double hi = 0.0;
  double lo = 0.0;
  const int quadrant = Reduce(X, hi, lo);
  const double s = SinKernel(hi, lo);
  const double c = CosKernel(hi, lo);
  switch (quadrant) {
    case 0:
      SinX = s;
      CosX = c;
      break;
    case 1:
      SinX = c;
      CosX = -s;
      break;
    case 2:
      SinX = -s;
      CosX = -c;
      break;
    default:
      SinX = -c;
      CosX = s;
      break;
  }
}

namespace {

// atan2 when X or Y is NaN, zero or infinite
double Atan2OfSpecialValues(double Y, double X) {
  if (X != X || Y != Y) return X + Y;
  const bool xNegative = (std::bit_cast<uint64_t>(X) >> 63) != 0;
  const double ax = xNegative ? -X : X;
  const double ay = Y < 0 ? -Y : Y;
  double result = 0.0;
  if (ay == kInf) {
    result = ax == kInf ? (xNegative ? kThreePiOver4 : kPiOver4) : kPiOver2Hi;
  } else if (ay != 0.0 && ax == 0.0) {
    result = kPiOver2Hi;
  } else {
    // Y zero, or X infinite with Y finite: along the x axis
    result = xNegative ? kPiHi : 0.0;
  }
  return (std::bit_cast<uint64_t>(Y) >> 63) != 0 ? -result : result;
}

}  // namespace

double Atan2(double Y, double X) {
  constexpr uint64_t kMagnitude = 0x7fffffffffffffffULL;
  const uint64_t xBits = std::bit_cast<uint64_t>(X);
  const uint64_t yBits = std::bit_cast<uint64_t>(Y);
  // zeros, infinities and NaN: magnitude - 1 wraps or reaches the bits of infinity - 1
  constexpr uint64_t kLargestFinite = 0x7fefffffffffffffULL;
  if ((xBits & kMagnitude) - 1 >= kLargestFinite || (yBits & kMagnitude) - 1 >= kLargestFinite) {
    return Atan2OfSpecialValues(Y, X);
  }
  const bool xNegative = (xBits >> 63) != 0;
  const double ax = xNegative ? -X : X;
  const double ay = Y < 0 ? -Y : Y;
  // the sign of Y put on a result without a branch
  const uint64_t ySign = yBits & ~kMagnitude;
  const auto withSignOfY = [ySign](double A) { return std::bit_cast<double>(std::bit_cast<uint64_t>(A) ^ ySign); };

  // result = +-(offset + sign * atan(t)), t = smaller / larger of |X|, |Y|
  const bool swap = ay > ax;
  double num = swap ? ax : ay;
  double den = swap ? ay : ax;
  double offsetHi = 0.0;
  double offsetLo = 0.0;
  double sign = 1.0;
  if (swap) {
    offsetHi = kPiOver2Hi;
    offsetLo = kPiOver2Lo;
    sign = xNegative ? 1.0 : -1.0;
  } else if (xNegative) {
    offsetHi = kPiHi;
    offsetLo = kPiLo;
    sign = -1.0;
  }

  const uint64_t numExponent = std::bit_cast<uint64_t>(num) >> 52;
  const uint64_t denExponent = std::bit_cast<uint64_t>(den) >> 52;
  if (denExponent > numExponent + 30) {
    // t < 2^-29: atan t = t (1 - t^2/3) with t rounded once (t^3 may underflow to 0)
    const double t = num / den;
    const double atanT = t - t * t * t * (1.0 / 3.0);
    double hi = 0.0;
    double lo = 0.0;
    TwoSum(offsetHi, sign * t, hi, lo);
    return withSignOfY(hi + (lo + (offsetLo + sign * (atanT - t))));
  }

  // far from 1, scale both so that den lies in [1, 2): exact, keeps num normal,
  // and the splits and products below neither overflow nor underflow
  if (den < 0x1p-400 || den > 0x1p400) {
    // (in two steps at the ends of the range, where 2^-exponent is not a normal double)
    if (den < 0x1p-900) {
      num *= 0x1p600;
      den *= 0x1p600;
    } else if (den > 0x1p900) {
      num *= 0x1p-600;
      den *= 0x1p-600;
    }
    const double scale = PowerOfTwo(1023 - static_cast<int>(std::bit_cast<uint64_t>(den) >> 52));
    num *= scale;
    den *= scale;
  }

  // t = num / den rounded picks the table point c = i/64 nearest to it
  const double tRounded = num / den;
  // t is in [0, 1], and either table point next to it serves, since d below
  // is formed exactly from the point chosen
  // NOLINTNEXTLINE(bugprone-incorrect-roundings)
  const int i = static_cast<int>(tRounded * 64.0 + 0.5);

  // d = (t - c) / (1 + t c) = (num - c den) / (den + c num) as a double-double
  // dHi + dLo; c has 7 bits, so c times the 26-bit halves of num and den is exact
  double dHi = 0.0;
  double dLo = 0.0;
  if (i == 0) {
    // d = t: the rounded quotient corrected by the remainder num - dHi den
    dHi = tRounded;
    double p = 0.0;
    double pe = 0.0;
    TwoProduct(dHi, den, p, pe);
    dLo = ((num - p) - pe) / den;
  } else if (i >= 8) {
    // atan c >= 0.11 is more than 14 |d|: d rounded (an error below 2^-50 |d|)
    // adds at most 0.25 ulp to the result; num - c den is exact for the halves of den
    const double c = i * (1.0 / 64.0);
    double denHi = 0.0;
    double denLo = 0.0;
    Split(den, denHi, denLo);
    dHi = ((num - c * denHi) - c * denLo) / (den + c * num);
  } else {
    const double c = i * (1.0 / 64.0);
    double denHi = 0.0;
    double denLo = 0.0;
    Split(den, denHi, denLo);
    double numHi = 0.0;
    double numLo = 0.0;
    Split(num, numHi, numLo);
    // numerator: num - c denHi is exact (the two are within a factor 2)
    double nHi = 0.0;
    double nLo = 0.0;
    TwoSum(num - c * denHi, -(c * denLo), nHi, nLo);
    // denominator
    double sum = 0.0;
    double sumError = 0.0;
    TwoSum(den, c * numHi, sum, sumError);
    double qHi = 0.0;
    double qLo = 0.0;
    FastTwoSum(sum, sumError + c * numLo, qHi, qLo);
    // quotient and its correction from the remainder
    const double inverseQ = 1.0 / qHi;
    dHi = nHi * inverseQ;
    double u = 0.0;
    double ue = 0.0;
    TwoProduct(dHi, qHi, u, ue);
    dLo = (((nHi - u) - ue) + (nLo - dHi * qLo)) * inverseQ;
  }

  // atan d - d by its series (|d| <= 1/128 + ulp, terms past d^9 are below 2^-75 d)
  // (Estrin's scheme: two short chains instead of one long one)
  const double d2 = dHi * dHi;
  const double d4 = d2 * d2;
  const double series = (dHi * d2) * ((-1.0 / 3.0 + d2 * (1.0 / 5.0)) + d4 * (-1.0 / 7.0 + d2 * (1.0 / 9.0)));

  // offset + sign (atan c + d + series), the large parts summed without error
  double s1 = 0.0;
  double s2 = 0.0;
  TwoSum(sign * kAtanTable[i][0], sign * dHi, s1, s2);
  double hi = s1;
  double lo = 0.0;
  if (offsetHi != 0.0) TwoSum(offsetHi, s1, hi, lo);
  return withSignOfY(hi + (lo + (s2 + (offsetLo + sign * ((kAtanTable[i][1] + dLo) + series)))));
}

namespace {

// 2pi's 64-bit significand as x86's extended pi has it (pi = this * 2^-62)
constexpr uint64_t kTwoPiSignificand = 0xC90FDAA22168C235ULL;

// Value / 2^Drop rounded to the nearest integer, ties to even (Drop < 128).
u128 ShiftRoundedToEven(u128 Value, int Drop) {
  if (Drop <= 0) {
    return Value;
  }
  const u128 kept = Value >> Drop;
  const u128 rest = Value - (kept << Drop);
  const u128 half = static_cast<u128>(1) << (Drop - 1);
  if (rest > half || (rest == half && (kept & 1) != 0)) {
    return kept + 1;
  }
  return kept;
}

}  // namespace

double ExtendedTwoPiTimes(double X) {
  const auto bits = std::bit_cast<uint64_t>(X);
  const auto biasedExponent = static_cast<int>((bits >> 52) & 0x7ff);
  const uint64_t fraction = bits & 0x000fffffffffffffULL;
  if (biasedExponent == 0x7ff || (biasedExponent == 0 && fraction == 0)) {
    return X;
  }

  // |X| = significand * 2^exponent, the significand's top bit moved to bit 63
  // as in the extended format (a subnormal double is normal there)
  uint64_t significand = biasedExponent == 0 ? fraction : fraction | 0x0010000000000000ULL;
  int exponent = biasedExponent == 0 ? -1074 : biasedExponent - 1075;
  const int normalise = std::countl_zero(significand);
  significand <<= normalise;
  exponent -= normalise;

  // the exact product, 127 or 128 bits, rounded to 64 significant bits; a
  // carry out to 2^64 leaves a power of two, which halves exactly
  const u128 product = static_cast<u128>(significand) * kTwoPiSignificand;
  const int productDrop = (product >> 127) != 0 ? 64 : 63;
  u128 extended = ShiftRoundedToEven(product, productDrop);
  int extendedExponent = exponent - 61 + productDrop;
  if ((extended >> 64) != 0) {
    extended >>= 1;
    ++extendedExponent;
  }

  // then to 53 significant bits, or to the multiples of 2^-1074 below 2^-1022;
  // the result times its power of two is a double (or beyond the largest,
  // which ldexp makes infinity), so ldexp is exact
  const int doubleDrop = std::max(11, -1074 - extendedExponent);
  const u128 rounded = doubleDrop >= 128 ? 0 : ShiftRoundedToEven(extended, doubleDrop);
  const double magnitude =
      std::ldexp(static_cast<double>(static_cast<uint64_t>(rounded)), extendedExponent + doubleDrop);
  return (bits >> 63) != 0 ? -magnitude : magnitude;
}

}  // namespace kestrovan
