#include "graphics/Effect.h"

namespace QlGraphics {
namespace {

// Positions arrive in target pixels (already moved onto pixel corners by the canvas);
// qlPixelToClip places them so that pixel (x, y) of the target is row y, column x of its
// texture, top row first.
constexpr const char* kBasic2d = R"(// Basic 2D effect: vertex colour, or texture sample times vertex colour.
#pragma ql technique textured
#pragma ql state cull=none depth=off
uniform int nTextured;
uniform sampler2D tBase;
uniform int nTargetWidth;
uniform int nTargetHeight;
#pragma ql vertex
out vec4 vColor;
out vec2 vTexCoord;
void main() {
  gl_Position = qlPixelToClip(qlPosition, float(nTargetWidth), float(nTargetHeight));
  vColor = qlColor;
  vTexCoord = qlTexCoord;
}
#pragma ql fragment
in vec4 vColor;
in vec2 vTexCoord;
out vec4 fragColor;
void main() {
  if (nTextured != 0) fragColor = texture(tBase, vTexCoord) * vColor;
  else fragColor = vColor;
}
)";

constexpr const char* kScreen = R"(// Copies the screen canvas to the back buffer.
#pragma ql technique textured
#pragma ql state cull=none depth=off
uniform sampler2D texBase;
uniform int nTargetWidth;
uniform int nTargetHeight;
#pragma ql vertex
out vec4 vColor;
out vec2 vTexCoord;
void main() {
  gl_Position = qlPixelToClip(qlPosition, float(nTargetWidth), float(nTargetHeight));
  vColor = qlColor;
  vTexCoord = qlTexCoord;
}
#pragma ql fragment
in vec4 vColor;
in vec2 vTexCoord;
out vec4 fragColor;
void main() { fragColor = texture(texBase, vTexCoord) * vColor; }
)";

}  // namespace

const char* BasicEffect2d::glslSource() { return kBasic2d; }
const char* screenShaderGlslSource() { return kScreen; }

std::shared_ptr<IShader> BasicEffect2d::createShader(IEngine& engine) { return createGlslShader(engine, kBasic2d); }

void applyCommon2d(IEngine& engine, IShader& shader, ITexture* texture) {
  if (texture != nullptr) {
    shader.setInt(u"nTextured", 1);
    shader.setTexture(u"tBase", texture->shared_from_this());
  } else {
    shader.setInt(u"nTextured", 0);
  }
  shader.setInt(u"nTargetWidth", engine.getTargetWidth());
  shader.setInt(u"nTargetHeight", engine.getTargetHeight());
}

void BasicEffect2d::apply(IEngine& engine, IShader& shader, ITexture* texture) {
  applyCommon2d(engine, shader, texture);
}

std::shared_ptr<IEffect2d> getBasicEffect2d() {
  static const std::shared_ptr<IEffect2d> basic = std::make_shared<BasicEffect2d>();
  return basic;
}

}  // namespace QlGraphics
