// Renders bundled arenas with the default robot to PNG images.
#include <QApplication>
#include <QImage>
#include <QSurfaceFormat>
#include <QWidget>
#include <exception>
#include <filesystem>
#include <iostream>

#include "arena/Arena.h"
#include "robot/DefaultRobot.h"
#include "view3d/Simulation3DViewer.h"

int main(int argc, char** argv) {
  using namespace kestrovan;
  QSurfaceFormat::setDefaultFormat(TSceneViewer::SurfaceFormat());
  QApplication application(argc, argv);
  if (argc < 3) {
    std::cerr << "usage: arena-screenshots OUTDIR ARENA...\n";
    return 2;
  }
  const std::filesystem::path outputFolder(argv[1]);
  try {
    std::filesystem::create_directories(outputFolder);
    const auto configuration = TRobotConfiguration::Default();
    for (int k = 2; k < argc; ++k) {
      const TArena arena(argv[k]);
      const auto robot = BuildRobot(configuration, configuration.Body.Radius);
      // the run window's order: panel, arena, sensors, scene, robot, objects
      QWidget panel;
      panel.resize(840, 640);
      panel.show();
      TSimulation3DViewer viewer(&panel);
      viewer.SetArena(&arena);
      viewer.ShowSensors = true;
      viewer.BuildArenaScene();
      viewer.BuildRobot(*robot);
      viewer.UpdateArenaObjects();
      const QImage image = viewer.SceneViewer->grabFramebuffer();
      const auto file = outputFolder / ("arena-" + std::filesystem::path(argv[k]).stem().string() + ".png");
      if (image.isNull() || !image.save(QString::fromStdString(file.string()), "PNG")) {
        std::cerr << file.string() << ": cannot render or write the image\n";
        return 1;
      }
      std::cout << file.string() << '\n';
    }
  } catch (const TArenaFileError& error) {
    std::cerr << error.Located() << '\n';
    return 1;
  } catch (const std::exception& error) {
    std::cerr << error.what() << '\n';
    return 1;
  }
  return 0;
}
