#include "view3d/SceneViewer.h"

#include <GL/gl.h>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QSurfaceFormat>
#include <QWheelEvent>

namespace kestrovan {

TSceneViewer::TSceneViewer(const TScene& Scene, const TSceneCamera& Camera, QWidget* Parent)
    : QOpenGLWidget(Parent), scene_(Scene), camera_(Camera) {
  setFormat(SurfaceFormat());
  setFocusPolicy(Qt::ClickFocus);
  setContextMenuPolicy(Qt::PreventContextMenu);
}

TSceneViewer::~TSceneViewer() {
  // the base class destroys the context after this body: free the GL
  // objects now and keep its last signal from reaching a half-destroyed object
  if (context() != nullptr) {
    disconnect(context(), nullptr, this, nullptr);
  }
  ReleaseGL();
}

QSurfaceFormat TSceneViewer::SurfaceFormat() {
  QSurfaceFormat format;
  format.setRenderableType(QSurfaceFormat::OpenGL);
  format.setVersion(2, 1);
  format.setProfile(QSurfaceFormat::CompatibilityProfile);
  format.setDepthBufferSize(24);
  return format;
}

void TSceneViewer::initializeGL() {
  // a new context (first show, or after a move to another window)
  connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &TSceneViewer::ReleaseGL, Qt::UniqueConnection);
  renderer_.Initialize();
  initialized_ = true;
}

void TSceneViewer::ReleaseGL() {
  if (!initialized_) {
    return;
  }
  makeCurrent();
  renderer_.Release();
  doneCurrent();
  initialized_ = false;
}

void TSceneViewer::paintGL() {
  const qreal ratio = devicePixelRatioF();
  renderer_.Render(scene_, camera_, BackgroundColor, static_cast<int>(width() * ratio),
                   static_cast<int>(height() * ratio));
}

void TSceneViewer::DrawFrameNow() {
  if (!initialized_) {
    return;
  }
  makeCurrent();
  paintGL();
  glFinish();
  doneCurrent();
}

void TSceneViewer::mousePressEvent(QMouseEvent* Event) {
  setFocus(Qt::MouseFocusReason);
  if (Event->button() == Qt::RightButton) {
    rightPress_ = Event->position().toPoint();
    rightDragged_ = false;
  }
  if (OnMouseDown) {
    OnMouseDown(*Event);
  }
}

void TSceneViewer::mouseMoveEvent(QMouseEvent* Event) {
  if ((Event->position().toPoint() - rightPress_).manhattanLength() > 3) {
    rightDragged_ = true;
  }
  if (OnMouseMove) {
    OnMouseMove(*Event);
  }
}

void TSceneViewer::mouseReleaseEvent(QMouseEvent* Event) {
  // the right button pans when dragged; a click without drag asks for the menu
  if (Event->button() == Qt::RightButton && !rightDragged_ && Event->buttons() == Qt::NoButton && OnContextClick) {
    OnContextClick(Event->position().toPoint());
  }
}

void TSceneViewer::wheelEvent(QWheelEvent* Event) {
  if (OnWheel && Event->angleDelta().y() != 0) {
    OnWheel(Event->angleDelta().y() / 120.0);
    Event->accept();
  }
}

void TSceneViewer::keyPressEvent(QKeyEvent* Event) {
  if (OnKey && OnKey(*Event)) {
    Event->accept();
    return;
  }
  QOpenGLWidget::keyPressEvent(Event);
}

}  // namespace kestrovan
