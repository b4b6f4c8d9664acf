#pragma once

#include <bit>
#include <cstdint>
#include <limits>

namespace kestrovan::test {

// fewer arguments in unoptimised (sanitizer) builds
#ifdef NDEBUG
inline constexpr int kCountScale = 1;
#else
inline constexpr int kCountScale = 20;
#endif

inline constexpr double kInf = std::numeric_limits<double>::infinity();
inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The bits of X, to compare doubles exactly (signed zeros and NaNs included).
inline std::uint64_t Bits(double X) { return std::bit_cast<std::uint64_t>(X); }

}  // namespace kestrovan::test
