#pragma once
#include <memory>

#include "graphics/Engine.h"

namespace QlGraphics {

// A 2D effect: compiles its program through the engine once per canvas (cached under its
// type number) and fills the program's parameters before each batch is drawn.
// Effects are shared objects (made with make_shared), so a batch can keep the one it uses.
class IEffect2d : public std::enable_shared_from_this<IEffect2d> {
 public:
  virtual ~IEffect2d() = default;
  virtual unsigned getType() const = 0;
  // Empty unless the engine's shader language is one the effect has a program for.
  virtual std::shared_ptr<IShader> createShader(IEngine& engine) = 0;
  // texture: the batch texture, or null for an untextured batch.
  virtual void apply(IEngine& engine, IShader& shader, ITexture* texture) = 0;
};

// The effect of every draw that names none: vertex colour, times the texture sample when the
// batch is textured. Parameters "nTextured", "tBase", "nTargetWidth", "nTargetHeight".
class BasicEffect2d : public IEffect2d {
 public:
  unsigned getType() const override { return 0; }
  std::shared_ptr<IShader> createShader(IEngine& engine) override;
  void apply(IEngine& engine, IShader& shader, ITexture* texture) override;

  // The program text for the GLSL back end (shared by effects that only change the colour).
  static const char* glslSource();
};

std::shared_ptr<IEffect2d> getBasicEffect2d();

// The program that copies the screen canvas to the back buffer: "texBase", "nTargetWidth",
// "nTargetHeight"; texture sample times vertex colour.
const char* screenShaderGlslSource();

// Sets the parameters every 2D effect program shares: "nTextured" and "tBase", then
// "nTargetWidth" and "nTargetHeight" from the engine's current target.
void applyCommon2d(IEngine& engine, IShader& shader, ITexture* texture);

}  // namespace QlGraphics
