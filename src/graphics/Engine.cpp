#include "graphics/Engine.h"

#include <cstring>

namespace QlGraphics {
namespace {

// Offsets follow the packed field order of each format.
constexpr VertexLayout kLayouts[10] = {
    {16, 0, -1, -1, -1, 12, -1},  // 1: position, diffuse
    {24, 0, -1, -1, -1, 12, 16},  // 2: position, diffuse, texcoord
    {28, 0, -1, -1, 12, 24, -1},  // 3: position, normal, diffuse
    {36, 0, -1, -1, 12, 24, 28},  // 4: position, normal, diffuse, texcoord
    {32, 0, -1, -1, 12, -1, 24},  // 5: position, normal, texcoord
    {28, 0, 12, 24, -1, -1, -1},  // 6: position, weights, indices
    {40, 0, 12, 24, 28, -1, -1},  // 7: + normal
    {32, 0, 12, 24, -1, 28, -1},  // 8: + diffuse
    {44, 0, 12, 24, 28, 40, -1},  // 9: + normal, diffuse
    {52, 0, 12, 24, 28, 40, 44},  // 10: + normal, diffuse, texcoord
};

}  // namespace

const VertexLayout* vertexLayout(int format) {
  return format >= 1 && format <= 10 ? &kLayouts[format - 1] : nullptr;
}

std::uint32_t vertexStride(int format) {
  const VertexLayout* l = vertexLayout(format);
  return l ? static_cast<std::uint32_t>(l->stride) : 0u;
}

std::uint32_t primitiveVertexCount(int primitive, std::uint32_t count) {
  const std::uint64_t c = count;
  std::uint64_t n = 0;
  switch (primitive) {
    case Primitive::PointList: n = c; break;
    case Primitive::LineList: n = c * 2; break;
    case Primitive::LineStrip: n = c + 1; break;
    case Primitive::TriangleList: n = c * 3; break;
    case Primitive::TriangleStrip:
    case Primitive::TriangleFan: n = c + 2; break;
    default: return 0;
  }
  return n > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(n);
}

std::shared_ptr<IShader> createGlslShader(IEngine& engine, const char* source) {
  auto caps = engine.getCaps();
  if (!caps || caps->getShaderLanguage() != u"GLSL") return nullptr;
  return engine.createShader(source, std::strlen(source));
}

}  // namespace QlGraphics
