#pragma once

#include <QOpenGLWidget>
#include <functional>

#include "view3d/Scene.h"
#include "view3d/SceneRenderer.h"

class QKeyEvent;
class QMouseEvent;
class QWheelEvent;

namespace kestrovan {

// The drawing surface: a child widget that shows Scene through Camera in a
// compatibility-profile OpenGL context. Repaints are requested with
// update(), so the surface redraws at most once per display frame, when the
// window processes its events.
class TSceneViewer : public QOpenGLWidget {
 public:
  TSceneViewer(const TScene& Scene, const TSceneCamera& Camera, QWidget* Parent);
  ~TSceneViewer() override;

  // The context the surface asks for: OpenGL 2.1, compatibility profile,
  // with a depth buffer.
  static QSurfaceFormat SurfaceFormat();

  // Draws one frame into the surface's framebuffer now and waits until the
  // driver has finished it.
  void DrawFrameNow();

  TSceneColor BackgroundColor{1.0, 1.0, 1.0, 1.0};
  std::function<void(const QMouseEvent&)> OnMouseDown;
  std::function<void(const QMouseEvent&)> OnMouseMove;
  // A turn of the wheel, in notches (positive away from the user).
  std::function<void(double Notches)> OnWheel;
  // A key pressed on the surface; true when handled.
  std::function<bool(const QKeyEvent&)> OnKey;
  // A right click that did not drag: the place for a context menu.
  std::function<void(const QPoint& Position)> OnContextClick;

 protected:
  void initializeGL() override;
  void paintGL() override;
  void mousePressEvent(QMouseEvent* Event) override;
  void mouseMoveEvent(QMouseEvent* Event) override;
  void mouseReleaseEvent(QMouseEvent* Event) override;
  void wheelEvent(QWheelEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;

 private:
  // Frees the GL objects while their context still exists.
  void ReleaseGL();

  const TScene& scene_;
  const TSceneCamera& camera_;
  TSceneRenderer renderer_;
  bool initialized_ = false;
  QPoint rightPress_;  // where the right button went down
  bool rightDragged_ = false;
};

}  // namespace kestrovan
