#pragma once

#include <map>
#include <memory>
#include <vector>

#include "view3d/Scene.h"

struct GLUquadric;

namespace kestrovan {

// Draws a scene with fixed-function OpenGL into the current context.
// Holds the context's GL objects (the quadric and one texture per image):
// Initialize and Release must be called with that context current.
class TSceneRenderer {
 public:
  TSceneRenderer() = default;
  TSceneRenderer(const TSceneRenderer&) = delete;
  TSceneRenderer& operator=(const TSceneRenderer&) = delete;
  ~TSceneRenderer() = default;  // Release must have run while the context was current

  void Initialize();
  // Frees every GL object; the renderer can be initialized again later.
  void Release();

  // One frame: clear to Background, draw the opaque objects in tree order,
  // then the see-through ones farthest first.
  void Render(const TScene& Scene, const TSceneCamera& Camera, const TSceneColor& Background, int Width, int Height);

 private:
  struct TDeferred {
    const TSceneObject* Object;
    TSceneMatrix ModelView;
    double EyeDepth;  // eye-space z of the object's origin (negative in front)
  };

  void Collect(const TSceneObject& Object, const TSceneMatrix& ParentModelView);
  void DrawShape(const TSceneObject& Object);
  void ApplyMaterial(const TMaterial& Material);
  unsigned int TextureFor(const std::shared_ptr<const TTextureImage>& Image);

  GLUquadric* quadric_ = nullptr;
  std::map<std::shared_ptr<const TTextureImage>, unsigned int> textures_;
  std::vector<TDeferred> deferred_;  // reused from frame to frame
  bool textured_ = false;            // whether the shape being drawn has a texture bound
};

}  // namespace kestrovan
