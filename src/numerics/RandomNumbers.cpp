#include "numerics/RandomNumbers.h"

#include <time.h>
#include <unistd.h>

#include <chrono>
#include <ctime>

namespace kestrovan {

namespace {

// constant-initialized, so RandSeed refers to it before any code runs
TRandomGenerator defaultGenerator{0};

}  // namespace

TRandomGenerator& DefaultRandomGenerator() { return defaultGenerator; }

std::uint32_t& RandSeed = defaultGenerator.Seed;

double Random() { return defaultGenerator.Random(); }

std::uint32_t MillisecondsSinceMidnight(int Hours, int Minutes, int Seconds, int Milliseconds) {
  return static_cast<std::uint32_t>(((Hours * 60 + Minutes) * 60 + Seconds) * 1000 + Milliseconds);
}

std::uint32_t CurrentMillisecondsSinceMidnight() {
  const auto now = std::chrono::system_clock::now();
  const auto sinceEpoch = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch());
  constexpr std::int64_t kMillisecondsPerDay = 86400000;
  std::int64_t ms = sinceEpoch.count() % kMillisecondsPerDay;
  if (ms < 0) {
    ms += kMillisecondsPerDay;
  }
  return static_cast<std::uint32_t>(ms);
}

void Randomize() { RandSeed = CurrentMillisecondsSinceMidnight(); }

namespace {

std::uint32_t TickCountMilliseconds() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  const auto ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u + static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<std::uint32_t>(ms);
}

}  // namespace

TUniformRandomGenerator::TUniformRandomGenerator() {
  const auto p = static_cast<std::uint32_t>(getpid());
  const std::uint32_t t = TickCountMilliseconds();
  const std::uint32_t s = RandSeed;
  const std::uint32_t v = ((p | (s << 8)) ^ t) % 2147483647u;
  state_ = static_cast<std::int32_t>(v > 1u ? v : 1u);
}

void TUniformRandomGenerator::Next() {
  const std::int64_t product = std::int64_t{48271} * state_;
  state_ = static_cast<std::int32_t>(product % 2147483647);
}

double TUniformRandomGenerator::GetUniform() {
  Next();
  return state_ / 2147483647.0;
}

}  // namespace kestrovan
