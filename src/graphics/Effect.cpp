#include "graphics/Effect.h"

#include "graphics/Effect2dGlsl.h"

namespace QlGraphics {
namespace {

constexpr const char* kBasic2d = "// Basic 2D effect: vertex colour, or texture sample times vertex colour.\n" QL_EFFECT2D_HEAD R"(
#pragma ql fragment
in vec4 vColor;
in vec2 vTexCoord;
out vec4 fragColor;
void main() {
  if (nTextured != 0) fragColor = texture(tBase, vTexCoord) * vColor;
  else fragColor = vColor;
}
)";

constexpr const char* kScreen = "// Copies the screen canvas to the back buffer.\n"
                                "#pragma ql technique textured\n"
                                "#pragma ql state cull=none depth=off\n"
                                "uniform sampler2D texBase;\n" QL_EFFECT2D_VERTEX_STAGE R"(
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
