#pragma once

#include <cstdint>

namespace kestrovan {

// State of the process-wide generator behind Random; 0 when the program
// starts. Callers that need a reproducible run (the batch runner, tests)
// assign it directly.
extern std::uint32_t RandSeed;

// Advances RandSeed (RandSeed * 134775813 + 1, modulo 2^32) and returns the
// new state times 2^-32: a double in [0, 1) with 32 bits of resolution.
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
