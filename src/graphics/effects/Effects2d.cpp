#include "graphics/effects/Effects2d.h"

#include "graphics/Effect2dGlsl.h"

namespace QlGraphics {
namespace {

constexpr const char* kGray = "// Grey scale: the luminance of the drawn colour.\n" QL_EFFECT2D_HEAD R"(
#pragma ql fragment
in vec4 vColor;
in vec2 vTexCoord;
out vec4 fragColor;
void main() {
  vec4 c = nTextured != 0 ? texture(tBase, vTexCoord) * vColor : vColor;
  float y = dot(c.rgb, vec3(0.298912, 0.586611, 0.114478));
  fragColor = vec4(y, y, y, c.a);
}
)";

constexpr const char* kNega = "// Negative: each colour channel inverted.\n" QL_EFFECT2D_HEAD R"(
#pragma ql fragment
in vec4 vColor;
in vec2 vTexCoord;
out vec4 fragColor;
void main() {
  vec4 c = nTextured != 0 ? texture(tBase, vTexCoord) * vColor : vColor;
  fragColor = vec4(1.0 - c.rgb, c.a);
}
)";

constexpr const char* kAlphamap = "// Alpha map: the mask's red channel scales the alpha.\n" QL_EFFECT2D_HEAD R"(
#pragma ql fragment
uniform sampler2D tAlphamap;
uniform float fPower;
in vec4 vColor;
in vec2 vTexCoord;
out vec4 fragColor;
void main() {
  if (nTextured == 0) {
    fragColor = vec4(0.0);
    return;
  }
  vec4 c = texture(tBase, vTexCoord) * vColor;
  float a = clamp(texture(tAlphamap, vTexCoord).r + (-1.0 + 2.0 * fPower), 0.0, 1.0);
  fragColor = vec4(c.rgb, c.a * a);
}
)";

} // namespace

std::shared_ptr<IShader> GrayEffect2d::createShader(IEngine& engine)
{
    return createGlslShader(engine, kGray);
}

void GrayEffect2d::apply(IEngine& engine, IShader& shader, ITexture* texture)
{
    applyCommon2d(engine, shader, texture);
}

std::shared_ptr<IShader> NegaEffect2d::createShader(IEngine& engine)
{
    return createGlslShader(engine, kNega);
}

void NegaEffect2d::apply(IEngine& engine, IShader& shader, ITexture* texture)
{
    applyCommon2d(engine, shader, texture);
}

std::shared_ptr<IShader> AlphamapEffect2d::createShader(IEngine& engine)
{
    return createGlslShader(engine, kAlphamap);
}

void AlphamapEffect2d::apply(IEngine& engine, IShader& shader, ITexture* texture)
{
    applyCommon2d(engine, shader, texture);
    shader.setTexture(u"tAlphamap", mask_);
    shader.setFloat(u"fPower", power_);
}

std::shared_ptr<IEffect2d> createGrayEffect()
{
    return std::make_shared<GrayEffect2d>();
}

std::shared_ptr<IEffect2d> createNegaEffect()
{
    return std::make_shared<NegaEffect2d>();
}

std::shared_ptr<IEffect2d> createAlphamapEffect(std::shared_ptr<ITexture> mask, float power)
{
    if (!mask)
        return nullptr;
    return std::make_shared<AlphamapEffect2d>(std::move(mask), power);
}

} // namespace QlGraphics
