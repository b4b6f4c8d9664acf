#include "view3d/SceneRenderer.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <array>
#include <cmath>

namespace kestrovan {

namespace {

constexpr GLfloat kBlack[4] = {0.0f, 0.0f, 0.0f, 1.0f};

// A colour as OpenGL's float parameters take it.
std::array<GLfloat, 4> Floats(const TSceneColor& Color) {
  return {static_cast<GLfloat>(Color.R), static_cast<GLfloat>(Color.G), static_cast<GLfloat>(Color.B),
          static_cast<GLfloat>(Color.A)};
}

void SetColor(GLenum Parameter, const TSceneColor& Color) {
  glMaterialfv(GL_FRONT_AND_BACK, Parameter, Floats(Color).data());
}

bool IsPositive(double Value) { return Value > 0.0 && std::isfinite(Value); }

// A tile count of at least one.
double Tiles(int Count) { return Count >= 1 ? Count : 1; }

void DrawBox(const TSceneBox& Box) {
  if (!IsPositive(Box.Width) || !IsPositive(Box.Height) || !IsPositive(Box.Depth)) {
    return;
  }
  const double x = Box.Width / 2.0;
  const double y = Box.Height / 2.0;
  const double z = Box.Depth / 2.0;
  // each face: normal, then its corners counter-clockwise seen from outside
  struct TFace {
    double Normal[3];
    double Corners[4][3];
  };
  const TFace faces[6] = {
      {{0, 0, 1}, {{-x, -y, z}, {x, -y, z}, {x, y, z}, {-x, y, z}}},
      {{0, 0, -1}, {{x, -y, -z}, {-x, -y, -z}, {-x, y, -z}, {x, y, -z}}},
      {{1, 0, 0}, {{x, -y, z}, {x, -y, -z}, {x, y, -z}, {x, y, z}}},
      {{-1, 0, 0}, {{-x, -y, -z}, {-x, -y, z}, {-x, y, z}, {-x, y, -z}}},
      {{0, 1, 0}, {{-x, y, z}, {x, y, z}, {x, y, -z}, {-x, y, -z}}},
      {{0, -1, 0}, {{-x, -y, -z}, {x, -y, -z}, {x, -y, z}, {-x, -y, z}}},
  };
  const double texture[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  glBegin(GL_QUADS);
  for (const TFace& face : faces) {
    glNormal3dv(face.Normal);
    for (int k = 0; k < 4; ++k) {
      glTexCoord2dv(texture[k]);
      glVertex3dv(face.Corners[k]);
    }
  }
  glEnd();
}

void DrawRectangle(const TSceneRectangle& Rectangle) {
  if (!IsPositive(Rectangle.Width) || !IsPositive(Rectangle.Height)) {
    return;
  }
  const double x = Rectangle.Width / 2.0;
  const double y = Rectangle.Height / 2.0;
  const double s = Tiles(Rectangle.XTiles);
  const double t = Tiles(Rectangle.YTiles);
  glBegin(GL_QUADS);
  glNormal3d(0, 0, 1);
  glTexCoord2d(0, 0);
  glVertex3d(-x, -y, 0);
  glTexCoord2d(s, 0);
  glVertex3d(x, -y, 0);
  glTexCoord2d(s, t);
  glVertex3d(x, y, 0);
  glTexCoord2d(0, t);
  glVertex3d(-x, y, 0);
  glEnd();
}

void DrawPolyline(const TScenePolyline& Line) {
  if (Line.Nodes.size() < 2) {
    return;
  }
  glDisable(GL_LIGHTING);
  glDisable(GL_TEXTURE_2D);
  glColor4d(Line.LineColor.R, Line.LineColor.G, Line.LineColor.B, Line.LineColor.A);
  glLineWidth(static_cast<GLfloat>(IsPositive(Line.LineWidth) ? Line.LineWidth : 1.0));
  if (Line.Stipple != 0xFFFF) {
    glEnable(GL_LINE_STIPPLE);
    glLineStipple(1, Line.Stipple);
  }
  glBegin(GL_LINE_STRIP);
  for (const TSceneVector& node : Line.Nodes) {
    glVertex3d(node.X, node.Y, node.Z);
  }
  glEnd();
  glDisable(GL_LINE_STIPPLE);
  glEnable(GL_LIGHTING);
}

}  // namespace

void TSceneRenderer::Initialize() {
  if (quadric_ == nullptr) {
    quadric_ = gluNewQuadric();
    gluQuadricNormals(quadric_, GLU_SMOOTH);
  }
}

void TSceneRenderer::Release() {
  for (const auto& [image, id] : textures_) {
    const GLuint name = id;
    glDeleteTextures(1, &name);
  }
  textures_.clear();
  if (quadric_ != nullptr) {
    gluDeleteQuadric(quadric_);
    quadric_ = nullptr;
  }
}

unsigned int TSceneRenderer::TextureFor(const std::shared_ptr<const TTextureImage>& Image) {
  if (const auto known = textures_.find(Image); known != textures_.end()) {
    return known->second;
  }
  GLuint id = 0;
  glGenTextures(1, &id);
  glBindTexture(GL_TEXTURE_2D, id);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  if (gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGBA, Image->Width, Image->Height, GL_RGBA, GL_UNSIGNED_BYTE,
                        Image->Pixels.data()) != 0) {
    // the driver refused the image: the part keeps its plain colour
    glDeleteTextures(1, &id);
    id = 0;
  }
  textures_.emplace(Image, id);
  return id;
}

void TSceneRenderer::ApplyMaterial(const TMaterial& Material) {
  SetColor(GL_EMISSION, Material.Emission);
  SetColor(GL_AMBIENT, Material.Ambient);
  SetColor(GL_DIFFUSE, Material.Diffuse);
  const unsigned int texture = Material.Texture ? TextureFor(Material.Texture) : 0;
  textured_ = texture != 0;
  if (textured_) {
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  } else {
    glDisable(GL_TEXTURE_2D);
  }
}

void TSceneRenderer::DrawShape(const TSceneObject& Object) {
  ApplyMaterial(Object.Material);
  switch (Object.Kind()) {
    case TSceneObjectKind::Dummy:
      break;
    case TSceneObjectKind::Box:
      DrawBox(static_cast<const TSceneBox&>(Object));
      break;
    case TSceneObjectKind::Rectangle:
      DrawRectangle(static_cast<const TSceneRectangle&>(Object));
      break;
    case TSceneObjectKind::Polyline:
      DrawPolyline(static_cast<const TScenePolyline&>(Object));
      break;
    case TSceneObjectKind::Cylinder: {
      const auto& cylinder = static_cast<const TSceneCylinder&>(Object);
      const double bottom = IsPositive(cylinder.BottomRadius) ? cylinder.BottomRadius : 0.0;
      const double top = IsPositive(cylinder.TopRadius) ? cylinder.TopRadius : 0.0;
      if (quadric_ == nullptr || !IsPositive(cylinder.Height) || (bottom == 0.0 && top == 0.0)) {
        break;
      }
      const int slices = std::max(cylinder.Slices, 3);
      const int stacks = std::max(cylinder.Stacks, 1);
      gluQuadricTexture(quadric_, textured_ ? GL_TRUE : GL_FALSE);
      // GLU builds along +z from z = 0; the axis is turned onto Y, centred
      glTranslated(0.0, -cylinder.Height / 2.0, 0.0);
      glRotated(-90.0, 1.0, 0.0, 0.0);
      gluQuadricOrientation(quadric_, GLU_OUTSIDE);
      gluCylinder(quadric_, bottom, top, cylinder.Height, slices, stacks);
      gluQuadricOrientation(quadric_, GLU_INSIDE);
      gluDisk(quadric_, 0.0, bottom, slices, 1);
      glTranslated(0.0, 0.0, cylinder.Height);
      gluQuadricOrientation(quadric_, GLU_OUTSIDE);
      gluDisk(quadric_, 0.0, top, slices, 1);
      break;
    }
    case TSceneObjectKind::Sphere: {
      const auto& sphere = static_cast<const TSceneSphere&>(Object);
      if (quadric_ == nullptr || !IsPositive(sphere.Radius)) {
        break;
      }
      gluQuadricTexture(quadric_, textured_ ? GL_TRUE : GL_FALSE);
      gluQuadricOrientation(quadric_, GLU_OUTSIDE);
      gluSphere(quadric_, sphere.Radius, std::max(sphere.Slices, 3), std::max(sphere.Stacks, 2));
      break;
    }
  }
}

void TSceneRenderer::Collect(const TSceneObject& Object, const TSceneMatrix& ParentModelView) {
  if (!Object.Visible) {
    return;
  }
  const TSceneMatrix modelView = ParentModelView * Object.LocalMatrix();
  if (Object.Kind() != TSceneObjectKind::Dummy) {
    if (Object.Material.BlendAdditive) {
      deferred_.push_back({&Object, modelView, modelView.At(2, 3)});
    } else {
      glLoadMatrixd(modelView.Data());
      DrawShape(Object);
    }
  }
  for (const auto& child : Object.Children()) {
    Collect(*child, modelView);
  }
}

void TSceneRenderer::Render(const TScene& Scene, const TSceneCamera& Camera, const TSceneColor& Background, int Width,
                            int Height) {
  glViewport(0, 0, Width, Height);
  glClearColor(static_cast<GLfloat>(Background.R), static_cast<GLfloat>(Background.G),
               static_cast<GLfloat>(Background.B), static_cast<GLfloat>(Background.A));
  glClearDepth(1.0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

  glMatrixMode(GL_PROJECTION);
  glLoadMatrixd(Camera.ProjectionMatrix(Width, Height).Data());
  glMatrixMode(GL_MODELVIEW);
  const TSceneMatrix view = Camera.ViewMatrix();
  glLoadMatrixd(view.Data());

  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glDepthMask(GL_TRUE);
  glDisable(GL_CULL_FACE);
  glDisable(GL_BLEND);
  glEnable(GL_NORMALIZE);
  glShadeModel(GL_SMOOTH);

  // the light, placed in the scene frame
  const GLfloat globalAmbient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, globalAmbient);
  glEnable(GL_LIGHTING);
  const TSceneLight& light = Scene.Light;
  if (light.Enabled) {
    const GLfloat position[4] = {static_cast<GLfloat>(light.Position.X), static_cast<GLfloat>(light.Position.Y),
                                 static_cast<GLfloat>(light.Position.Z), 1.0f};
    const GLfloat direction[3] = {static_cast<GLfloat>(light.SpotDirection.X),
                                  static_cast<GLfloat>(light.SpotDirection.Y),
                                  static_cast<GLfloat>(light.SpotDirection.Z)};
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glLightfv(GL_LIGHT0, GL_SPOT_DIRECTION, direction);
    // OpenGL takes a cut-off of 0..90 degrees, or 180 for no cone at all
    const double cutOff = light.SpotCutOff >= 180.0 ? 180.0 : std::clamp(light.SpotCutOff, 0.0, 90.0);
    glLightf(GL_LIGHT0, GL_SPOT_CUTOFF, static_cast<GLfloat>(cutOff));
    glLightfv(GL_LIGHT0, GL_DIFFUSE, Floats(light.Diffuse).data());
    glLightfv(GL_LIGHT0, GL_SPECULAR, kBlack);
    glLightfv(GL_LIGHT0, GL_AMBIENT, kBlack);
    glEnable(GL_LIGHT0);
  } else {
    glDisable(GL_LIGHT0);
  }
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, kBlack);

  // linear fog by eye distance; an empty fog band fogs everything beyond Start
  const TSceneFog& fog = Scene.Fog;
  if (fog.Enabled) {
    const double end = fog.End > fog.Start ? fog.End : fog.Start + 1e-6;
    glEnable(GL_FOG);
    glFogi(GL_FOG_MODE, GL_LINEAR);
    glFogfv(GL_FOG_COLOR, Floats(fog.Color).data());
    glFogf(GL_FOG_START, static_cast<GLfloat>(fog.Start));
    glFogf(GL_FOG_END, static_cast<GLfloat>(end));
  } else {
    glDisable(GL_FOG);
  }

  // opaque objects now, see-through ones afterwards, farthest first
  deferred_.clear();
  Collect(Scene.Root(), view);
  if (!deferred_.empty()) {
    std::stable_sort(deferred_.begin(), deferred_.end(),
                     [](const TDeferred& a, const TDeferred& b) { return a.EyeDepth < b.EyeDepth; });
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glDepthMask(GL_FALSE);
    for (const TDeferred& item : deferred_) {
      glLoadMatrixd(item.ModelView.Data());
      DrawShape(*item.Object);
    }
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
  }
  glDisable(GL_TEXTURE_2D);
}

}  // namespace kestrovan
