#include "graphics/world/Effects3d.h"

namespace QlGraphics {
namespace {

// Matrices arrive row-major for row vectors; GL reads them as their transposes, so M * v in
// the program is v * M. Positions end in the target's clip space through qlTargetClip, which
// also maps depth 0..1 onto GL's range.
#define QL_LIGHTING_3D                                                                          \
    "const vec3 lightDir = vec3(-1.0, -1.0, 1.0);\n"                                             \
    "const vec4 lightColor = vec4(1.0, 1.0, 1.0, 1.0);\n"                                        \
    "vec4 qlLit(vec3 normal) {\n"                                                                \
    "  vec3 N = normalize(mat3(matWorld) * normal);\n"                                           \
    "  vec3 L = normalize(-lightDir);\n"                                                         \
    "  float h = max(dot(N, L), 0.0) * 0.5 + 0.5;\n"                                             \
    "  vec4 light = lightColor * h;\n"                                                           \
    "  light.a = 1.0;\n"                                                                         \
    "  return dif * light;\n"                                                                    \
    "}\n"

// Technique, states and the parameters applyBasic fills, shared by both programs.
#define QL_HEAD_3D                                                                              \
    "#pragma ql technique textured\n"                                                            \
    "#pragma ql state cull=ccw depth=on blend=alpha\n"                                           \
    "uniform mat4 matWorld;\n"                                                                   \
    "uniform mat4 matView;\n"                                                                    \
    "uniform mat4 matProjection;\n"                                                              \
    "uniform int nTextured;\n"                                                                   \
    "uniform sampler2D tBase;\n"                                                                 \
    "uniform vec4 dif;\n"

constexpr const char* kBasic3d =
    "// Basic 3D effect: half-Lambert lighting times the diffuse colour and the texture.\n"
    QL_HEAD_3D
    "#pragma ql vertex\n"
    "out vec4 vColor;\n"
    "out vec2 vTexCoord;\n" QL_LIGHTING_3D
    "void main() {\n"
    "  gl_Position = qlTargetClip(matProjection * (matView * (matWorld * vec4(qlPosition, 1.0))));\n"
    "  vColor = qlLit(qlNormal);\n"
    "  vTexCoord = qlTexCoord;\n"
    "}\n"
    "#pragma ql fragment\n"
    "in vec4 vColor;\n"
    "in vec2 vTexCoord;\n"
    "out vec4 fragColor;\n"
    "void main() {\n"
    "  if (nTextured != 0) fragColor = vColor * texture(tBase, vTexCoord);\n"
    "  else fragColor = vColor;\n"
    "}\n";

constexpr const char* kFog3d =
    "// Fog 3D effect: the basic lighting, faded into the fog colour between fogNear and fogFar.\n"
    QL_HEAD_3D
    "uniform vec4 fogColor = vec4(1.0, 1.0, 1.0, 1.0);\n"
    "uniform float fogNear = 40.0;\n"
    "uniform float fogFar = 100.0;\n"
    "#pragma ql vertex\n"
    "out vec4 vColor;\n"
    "out vec2 vTexCoord;\n"
    "out float vFog;\n" QL_LIGHTING_3D
    "void main() {\n"
    "  vec4 p = matProjection * (matView * (matWorld * vec4(qlPosition, 1.0)));\n"
    "  gl_Position = qlTargetClip(p);\n"
    "  vColor = qlLit(qlNormal);\n"
    "  vTexCoord = qlTexCoord;\n"
    "  vFog = clamp((fogFar - p.w) / (fogFar - fogNear), 0.0, 1.0);\n"
    "}\n"
    "#pragma ql fragment\n"
    "in vec4 vColor;\n"
    "in vec2 vTexCoord;\n"
    "in float vFog;\n"
    "out vec4 fragColor;\n"
    "void main() {\n"
    "  vec4 c = vColor;\n"
    "  if (nTextured != 0) c = vColor * texture(tBase, vTexCoord);\n"
    "  fragColor = mix(fogColor, c, vFog);\n"
    "}\n";

void applyBasic(IShader& shader, const DrawRecord3d& record)
{
    shader.setMatrix(u"matWorld", record.world);
    shader.setMatrix(u"matView", record.view);
    shader.setMatrix(u"matProjection", record.projection);
    if (record.texture) {
        shader.setInt(u"nTextured", 1);
        shader.setTexture(u"tBase", record.texture);
    } else {
        shader.setInt(u"nTextured", 0);
        shader.setTexture(u"tBase", nullptr);
    }
    shader.setColor(u"dif", record.diffuse);
}

}  // namespace

const char* BasicEffect3d::glslSource() { return kBasic3d; }
const char* FogEffect3d::glslSource() { return kFog3d; }

std::shared_ptr<IShader> BasicEffect3d::createShader(IEngine& engine) { return createGlslShader(engine, kBasic3d); }

void BasicEffect3d::apply(IShader& shader, const DrawRecord3d& record) { applyBasic(shader, record); }

std::shared_ptr<IShader> FogEffect3d::createShader(IEngine& engine) { return createGlslShader(engine, kFog3d); }

void FogEffect3d::apply(IShader& shader, const DrawRecord3d& record)
{
    applyBasic(shader, record);
    shader.setColor(u"fogColor", color_);
    shader.setFloat(u"fogNear", near_);
    shader.setFloat(u"fogFar", far_);
}

std::shared_ptr<IEffect3d> getBasicEffect3d()
{
    static const std::shared_ptr<IEffect3d> basic = std::make_shared<BasicEffect3d>();
    return basic;
}

std::shared_ptr<IFogEffect3d> createFogEffect3d(Color color, float nearDistance, float farDistance)
{
    return std::make_shared<FogEffect3d>(color, nearDistance, farDistance);
}

}  // namespace QlGraphics
