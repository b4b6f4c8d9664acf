// The 3D view's costs on the furnished arena: building the scene, drawing
// one 600 x 600 frame, and the per-step update of robot and objects. Needs
// a display; on a machine without one run it under Xvfb, e.g.
//   LIBGL_ALWAYS_SOFTWARE=1 xvfb-run -a -s "-screen 0 1280x1024x24" build/<dir>/bench/SceneBenchmark
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QSurfaceFormat>
#include <QWidget>
#include <memory>
#include <sstream>

#include "arena/Arena.h"
#include "gui/BenchmarkApplication.h"
#include "robot/DefaultRobot.h"
#include "view3d/Simulation3DViewer.h"

namespace kestrovan {
namespace {

// The viewer's surface format, set before the application is made.
void EnsureViewApplication() {
  QSurfaceFormat::setDefaultFormat(TSceneViewer::SurfaceFormat());
  EnsureApplication();
}

const std::string kFurnished = std::string(KESTROVAN_SOURCE_DIR) + "/arenas/furnished.txt";

// A shown panel whose viewer surface is 600 x 600 pixels, the furnished
// arena and the default robot built into it.
struct TFurnishedView {
  TFurnishedView() : arena(kFurnished), robot(BuildRobot(TRobotConfiguration::Default(), 0.05)) {
    panel.resize(640, 640);
    panel.show();
    viewer = std::make_unique<TSimulation3DViewer>(&panel);
    viewer->Scene->Textures.ErrorStream = &errors;
    viewer->SetArena(&arena);
  }
  void Build() {
    viewer->BuildArenaScene();
    viewer->BuildRobot(*robot);
    viewer->UpdateArenaObjects();
  }

  std::ostringstream errors;
  TArena arena;
  std::unique_ptr<TRobot> robot;
  QWidget panel;
  std::unique_ptr<TSimulation3DViewer> viewer;
};

// Building the scene: fog, every object's parts with their textures read
// from disk, the robot and its markers.
void BM_BuildFurnishedScene(benchmark::State& state) {
  EnsureViewApplication();
  for (auto _ : state) {
    state.PauseTiming();
    auto view = std::make_unique<TFurnishedView>();
    state.ResumeTiming();
    view->Build();
    state.PauseTiming();
    view.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_BuildFurnishedScene)->Unit(benchmark::kMillisecond);

// One frame drawn and finished by the driver (textures already uploaded).
void BM_DrawFurnishedFrame(benchmark::State& state) {
  EnsureViewApplication();
  TFurnishedView view;
  view.Build();
  // the first frame makes the context and uploads the textures
  if (view.viewer->SceneViewer->grabFramebuffer().isNull()) {
    state.SkipWithError("no OpenGL context");
    return;
  }
  for (auto _ : state) {
    view.viewer->SceneViewer->DrawFrameNow();
  }
  state.counters["width"] = view.viewer->SceneViewer->width();
  state.counters["height"] = view.viewer->SceneViewer->height();
}
BENCHMARK(BM_DrawFurnishedFrame)->Unit(benchmark::kMillisecond);

// What a visualised simulation step adds: UpdateRobot and UpdateArenaObjects
// (the repaint itself happens later, at most once per display frame).
void BM_UpdateAfterStep(benchmark::State& state) {
  EnsureViewApplication();
  TFurnishedView view;
  view.Build();
  for (auto _ : state) {
    view.viewer->UpdateRobot(*view.robot);
    view.viewer->UpdateArenaObjects();
  }
}
BENCHMARK(BM_UpdateAfterStep)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kestrovan
