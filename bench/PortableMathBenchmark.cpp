// The portable Sin, Cos, SinCos and Atan2 against the C library's sin, cos and
// atan2 on the arguments a simulation step uses: headings in [-pi, pi] and
// bearings of obstacles a few degrees to either side of a sensor's axis.
// Each benchmark runs over a fixed set of 4096 arguments; items are calls (or
// steps for the step mixes).
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "numerics/PortableMath.h"

namespace kestrovan {
namespace {

constexpr int kArgumentCount = 4096;

const std::vector<double>& Headings() {
  static const std::vector<double> headings = [] {
    std::mt19937_64 random(1);
    std::uniform_real_distribution<double> angle(-std::numbers::pi, std::numbers::pi);
    std::vector<double> values(kArgumentCount);
    for (double& v : values) v = angle(random);
    return values;
  }();
  return headings;
}

// (ly, lx): an obstacle ahead of a sensor, up to about 30 degrees off its axis
struct TBearing {
  double Y;
  double X;
};

const std::vector<TBearing>& Bearings() {
  static const std::vector<TBearing> bearings = [] {
    std::mt19937_64 random(2);
    std::uniform_real_distribution<double> distance(0.02, 0.5);
    std::uniform_real_distribution<double> angle(-0.5, 0.5);
    std::vector<TBearing> values(kArgumentCount);
    for (TBearing& b : values) {
      const double d = distance(random);
      const double a = angle(random);
      b = {d * std::sin(a), d * std::cos(a)};
    }
    return values;
  }();
  return bearings;
}

template <double (*F)(double)>
void BM_OneArgument(benchmark::State& state) {
  const std::vector<double>& x = Headings();
  double sum = 0.0;
  for (auto _ : state) {
    for (const double v : x) sum += F(v);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kArgumentCount);
}

double StdSin(double X) { return std::sin(X); }
double StdCos(double X) { return std::cos(X); }
double StdAtan2(double Y, double X) { return std::atan2(Y, X); }

BENCHMARK(BM_OneArgument<StdSin>)->Name("BM_Sin/glibc");
BENCHMARK(BM_OneArgument<Sin>)->Name("BM_Sin/portable");
BENCHMARK(BM_OneArgument<StdCos>)->Name("BM_Cos/glibc");
BENCHMARK(BM_OneArgument<Cos>)->Name("BM_Cos/portable");

void BM_SinAndCosGlibc(benchmark::State& state) {
  const std::vector<double>& x = Headings();
  double sum = 0.0;
  for (auto _ : state) {
    for (const double v : x) sum += std::sin(v) + std::cos(v);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kArgumentCount);
}
BENCHMARK(BM_SinAndCosGlibc)->Name("BM_SinAndCos/glibc");

void BM_SinAndCosPortable(benchmark::State& state) {
  const std::vector<double>& x = Headings();
  double sum = 0.0;
  for (auto _ : state) {
    for (const double v : x) {
      double s = 0.0;
      double c = 0.0;
      SinCos(v, s, c);
      sum += s + c;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kArgumentCount);
}
BENCHMARK(BM_SinAndCosPortable)->Name("BM_SinAndCos/portable");

template <double (*F)(double, double)>
void BM_Atan2(benchmark::State& state) {
  const std::vector<TBearing>& b = Bearings();
  double sum = 0.0;
  for (auto _ : state) {
    for (const TBearing& v : b) sum += F(v.Y, v.X);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kArgumentCount);
}
BENCHMARK(BM_Atan2<StdAtan2>)->Name("BM_Atan2/glibc");
BENCHMARK(BM_Atan2<Atan2>)->Name("BM_Atan2/portable");

// the transcendental calls of one step: sin and cos of the heading, then for
// three obstacles seen by a sensor the bearing and the cosine of it
template <double (*SinF)(double), double (*CosF)(double), double (*Atan2F)(double, double)>
void BM_Step(benchmark::State& state) {
  const std::vector<double>& x = Headings();
  const std::vector<TBearing>& b = Bearings();
  double sum = 0.0;
  for (auto _ : state) {
    for (int i = 0; i < kArgumentCount; ++i) {
      sum += SinF(x[i]) + CosF(x[i]);
      for (int j = 0; j < 3; ++j) {
        const TBearing& v = b[(3 * i + j) % kArgumentCount];
        sum += CosF(Atan2F(v.Y, v.X));
      }
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kArgumentCount);
  state.SetLabel("items are steps");
}
BENCHMARK(BM_Step<StdSin, StdCos, StdAtan2>)->Name("BM_Step/glibc");
BENCHMARK(BM_Step<Sin, Cos, Atan2>)->Name("BM_Step/portable");

}  // namespace
}  // namespace kestrovan
