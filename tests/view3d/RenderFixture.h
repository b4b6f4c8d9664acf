#pragma once

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QWidget>

#include "view3d/Scene.h"
#include "view3d/SceneViewer.h"

namespace kestrovan::test {

// A shown drawing surface of Size by Size pixels on a host panel, looking
// from (0, 0, 5) at a target at the scene origin.
class TRenderFixture : public testing::Test {
 protected:
  static constexpr int Size = 200;

  TRenderFixture() : viewer(scene, camera, &host) {
    host.resize(Size, Size);
    viewer.setGeometry(0, 0, Size, Size);
    target = &scene.Root().AddNew<TSceneDummy>();
    camera.Target = target;
    camera.Position = {0.0, 0.0, 5.0};
    host.show();
  }

  // The drawn frame.
  QImage Grab() { return viewer.grabFramebuffer(); }

  // Where a scene point appears on the surface.
  QPoint Projected(const TSceneVector& Point) const {
    double x = 0.0;
    double y = 0.0;
    EXPECT_TRUE(camera.Project(Point, Size, Size, x, y));
    return QPoint(static_cast<int>(x), static_cast<int>(y));
  }

  TScene scene;
  TSceneCamera camera;
  TSceneDummy* target = nullptr;
  QWidget host;
  TSceneViewer viewer;
};

// Whether a pixel is mostly red, green, ... : the named channels above 180,
// the others below 110 (lighting adds a little grey to emissive colours).
inline bool IsColour(const QColor& Pixel, bool Red, bool Green, bool Blue) {
  auto matches = [](int channel, bool high) { return high ? channel > 180 : channel < 110; };
  return matches(Pixel.red(), Red) && matches(Pixel.green(), Green) && matches(Pixel.blue(), Blue);
}

inline ::testing::AssertionResult HasColour(const QImage& Image, QPoint At, bool Red, bool Green, bool Blue) {
  const QColor pixel = Image.pixelColor(At);
  if (IsColour(pixel, Red, Green, Blue)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "pixel (" << At.x() << ", " << At.y() << ") is (" << pixel.red() << ", "
                                       << pixel.green() << ", " << pixel.blue() << ")";
}

}  // namespace kestrovan::test
