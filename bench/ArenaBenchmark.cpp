// Cylinder motion on the bundled default arena, and loading a large
// generated arena file.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "arena/Arena.h"

namespace kestrovan {
namespace {

// One evaluation of the default run: 20 s at 0.01 s.
constexpr int kStepsPerEvaluation = 2000;

void BM_MoveObjects(benchmark::State& state) {
  TArena arena(std::string(KESTROVAN_SOURCE_DIR) + "/arenas/default.txt");
  arena.RandomizeCylinderVelocities(1, 0.05, 0.2);
  int step = 0;
  for (auto _ : state) {
    arena.MoveObjects(0.01);
    benchmark::ClobberMemory();
    if (++step == kStepsPerEvaluation) {
      // back to moving cylinders, as before every evaluation
      step = 0;
      arena.ResetObjects();
      arena.RandomizeCylinderVelocities(1, 0.05, 0.2);
    }
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(std::to_string(arena.Cylinders().size()) + " cylinders");
}
BENCHMARK(BM_MoveObjects);

// A temporary arena file of Count objects of every class, one floor and an
// ambience, removed at exit.
class TGeneratedArena {
 public:
  explicit TGeneratedArena(int Count)
      : path_(std::filesystem::temp_directory_path() / ("kestrovan-bench-arena-" + std::to_string(getpid()) + ".txt")) {
    std::ofstream out(path_, std::ios::binary);
    out << "# generated\r\nobject Ground: TBasicFloor\r\n  Width = 100\r\n  Length = 100\r\nend\r\n";
    for (int i = 1; i < Count; ++i) {
      const double x = (i % 97) * 0.5 - 24.0;
      const double y = (i / 97) * 0.5 - 24.0;
      switch (i % 4) {
        case 0:
          out << "object Wall" << i << ": TWall\r\n  Position = " << x << ' ' << y << " 0.25\r\n"
              << "  Length = 0.4\r\n  Thickness = 0.05\r\n  Height = 0.5\r\n  Angle = 90\r\n"
              << "  Texture = textures/wall.jpg\r\n  HasWallPaper = True\r\n  RGBColor = 200 200 200\r\nend\r\n";
          break;
        case 1:
          out << "object Can" << i << ": TSoftDrinkCanZ   # pushable\r\n  Position = " << x << ' ' << y
              << " 0\r\n  Velocity = 0.01 -0.02 0\r\n  Radius = 0.033\r\n  TopRadius = 0.027\r\n"
              << "  BottomRadius = 0.025\r\n  Height = 0.12\r\n  Mass = 0.1\r\n  RGBColor = 200 24 32\r\nend\r\n";
          break;
        case 2:
          out << "object Table" << i << ": TStandardTable\r\n  Position = " << x << ' ' << y << " 0\r\n"
              << "  Length = 1.0\r\n  Width = 0.6\r\n  Thickness = 0.03\r\n  LegWidth = 0.05\r\n  Height = "
                 "0.72\r\nend\r\n";
          break;
        default:
          out << "object Post" << i << ": TCylinderZ\r\n  Position = " << x << ' ' << y << " 0\r\n"
              << "  Radius = 0.05\r\n  Height = 0.3\r\n  Mass = 1.5e-1\r\nend\r\n";
          break;
      }
    }
    out << "object Mist: TAmbience\r\n  Fog = True\r\n  FogColor = 0 255 255\r\n  FogStart = 1.0\r\n  FogEnd = "
           "6.0\r\nend\r\n";
  }
  ~TGeneratedArena() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  TGeneratedArena(const TGeneratedArena&) = delete;
  TGeneratedArena& operator=(const TGeneratedArena&) = delete;

  std::string Path() const { return path_.string(); }
  std::uintmax_t Size() const { return std::filesystem::file_size(path_); }

 private:
  std::filesystem::path path_;
};

void BM_LoadArena(benchmark::State& state) {
  const TGeneratedArena file(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    TArena arena(file.Path());
    benchmark::DoNotOptimize(arena.NumberOfObjects());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(file.Size()));
}
BENCHMARK(BM_LoadArena)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrovan
