#pragma once

#include <cstdint>

namespace kestrovan {

// A linear congruential generator with its own state. An evolution run owns
// one and hands it to everything that draws for the run (the algorithm, the
// brains), so that runs never share a stream.
class TRandomGenerator {
 public:
  explicit TRandomGenerator(std::uint32_t InitialSeed = 0) : Seed(InitialSeed) {}

  // Advances Seed (Seed * 134775813 + 1, modulo 2^32) and returns the new
  // state times 2^-32: a double in [0, 1) with 32 bits of resolution.
  double Random() {
    Seed = Seed * 134775813u + 1u;
    // exact: a 32-bit integer times a power of two fits a double
    return static_cast<double>(Seed) * 2.3283064365386963e-10;
  }

  std::uint32_t Seed;
};

// The process-wide generator behind Random and RandSeed.
TRandomGenerator& DefaultRandomGenerator();

// State of the process-wide generator (DefaultRandomGenerator().Seed); 0
// when the program starts. Code that needs a reproducible stream from the
// default generator (tests) assigns it directly.
extern std::uint32_t& RandSeed;

// DefaultRandomGenerator().Random().
double Random();

// RandSeed := the UTC time of day in milliseconds since midnight.
void Randomize();

// ((Hours * 60 + Minutes) * 60 + Seconds) * 1000 + Milliseconds.
std::uint32_t MillisecondsSinceMidnight(int Hours, int Minutes, int Seconds, int Milliseconds);

// The current UTC time of day in milliseconds since midnight, 0..86399999.
std::uint32_t CurrentMillisecondsSinceMidnight();

// Park-Miller minimal standard generator with multiplier 48271, with its own
// state. State normally lies in 1..2147483646; 0 is a fixed point.
class TUniformRandomGenerator {
 public:
  // Seeds State from the process identifier, the millisecond tick count and
  // RandSeed; never 0.
  TUniformRandomGenerator();

  // State := 48271 * State mod 2147483647, the product formed in 64 bits.
  void Next();
  // Next, then State / 2147483647.0: in (0, 1) for a valid state.
  double GetUniform();
  // State := Seed, without any check.
  void SetSeed(std::int32_t Seed) { state_ = Seed; }

  std::int32_t State() const { return state_; }

 private:
  std::int32_t state_;
};

}  // namespace kestrovan
