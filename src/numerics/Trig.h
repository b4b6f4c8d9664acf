#pragma once

#include <bit>
#include <cstdint>
#include <limits>

#include "numerics/PortableMath.h"

// The trigonometric functions the simulation and the algorithm call:
// trig::sin(x) and friends, the portable implementations, so that a run's
// numbers do not depend on the C library or the CPU it picks a variant for.
// One place to change should another implementation be wanted.
namespace kestrovan::trig {

namespace detail {

// The sine and cosine of the last argument beyond pi/4 on this thread: a step
// asks for both of the same angle (a heading, a sensor's direction) several
// times, and the argument reduction is the costly part. SinCos gives the
// same bits as Sin and Cos, so the cache changes no result.
struct TLastSinCos {
  std::uint64_t Bits;
  double Sin;
  double Cos;
};
inline constinit thread_local TLastSinCos gLast{std::bit_cast<std::uint64_t>(std::numeric_limits<double>::quiet_NaN()),
                                                std::numeric_limits<double>::quiet_NaN(),
                                                std::numeric_limits<double>::quiet_NaN()};

inline const TLastSinCos& SinCosOf(double X) {
  TLastSinCos& last = gLast;
  const auto bits = std::bit_cast<std::uint64_t>(X);
  if (bits != last.Bits) {
    SinCos(X, last.Sin, last.Cos);
    last.Bits = bits;
  }
  return last;
}

// |X| <= pi/4 (NaN excluded): no reduction, the kernel alone
inline bool Small(double X) { return X >= -0x1.921fb54442d18p-1 && X <= 0x1.921fb54442d18p-1; }

}  // namespace detail

inline double sin(double X) { return detail::Small(X) ? Sin(X) : detail::SinCosOf(X).Sin; }
inline double cos(double X) { return detail::Small(X) ? Cos(X) : detail::SinCosOf(X).Cos; }
inline double atan2(double Y, double X) { return Atan2(Y, X); }

}  // namespace kestrovan::trig
