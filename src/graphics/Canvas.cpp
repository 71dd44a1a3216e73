#include "graphics/Canvas.h"

#include <cmath>
#include <cstdlib>

namespace QlGraphics {

Color modulate(Color a, Color b) {
  if (b == 0xFFFFFFFFu) return a;
  Color out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const Color ca = (a >> shift) & 0xFFu, cb = (b >> shift) & 0xFFu;
    out |= ((ca * cb) / 255u) << shift;
  }
  return out;
}

// ---------------------------------------------------------------- batching

namespace {

int listTypeOf(int primitive) {
  switch (primitive) {
    case Primitive::PointList: return Primitive::PointList;
    case Primitive::LineList: case Primitive::LineStrip: return Primitive::LineList;
    case Primitive::TriangleList: case Primitive::TriangleStrip: case Primitive::TriangleFan:
      return Primitive::TriangleList;
    default: return 0;
  }
}

}  // namespace

Renderer2d::Renderer2d(std::shared_ptr<IEngine> engine, std::shared_ptr<ITarget> target,
                       std::shared_ptr<IVertexBuffer> buffer)
    : engine_(std::move(engine)), target_(std::move(target)), buffer_(std::move(buffer)) {}

bool Renderer2d::accepts(int blend, IEffect2d* effect, ITexture* texture) const {
  if (count_ != 0 && texture == texture_.get() && blend == blend_ && effect == effect_.get()) return true;
  if (blend < BlendMode::Opaque || blend > BlendMode::Subtract) return false;
  return (effect == nullptr || !effect->weak_from_this().expired()) &&
         (texture == nullptr || !texture->weak_from_this().expired());
}

bool Renderer2d::restart(int listType, int blend, IEffect2d* effect, ITexture* texture) {
  // A batch shares ownership of its effect and texture so that they outlive their release by
  // the game until it is drawn; objects nobody holds by a shared pointer cannot be batched.
  // An unknown blend mode would draw with whatever mode the engine had before.
  if (blend < BlendMode::Opaque || blend > BlendMode::Subtract) return false;
  std::shared_ptr<IEffect2d> sharedEffect = effect ? effect->weak_from_this().lock() : nullptr;
  std::shared_ptr<ITexture> sharedTexture = texture ? texture->weak_from_this().lock() : nullptr;
  if ((effect && !sharedEffect) || (texture && !sharedTexture)) return false;
  flush();
  type_ = listType;
  blend_ = blend;
  effect_ = std::move(sharedEffect);
  texture_ = std::move(sharedTexture);
  // Textures are allocated at their requested size, so toU(x) = x / width.
  texWidth_ = texture ? static_cast<float>(texture->getWidth()) : 1.0f;
  texHeight_ = texture ? static_cast<float>(texture->getHeight()) : 1.0f;
  return true;
}

void Renderer2d::makeRoom(std::uint32_t more) {
  if (capacity_ >= kBatchVertices && count_ != 0) {
    drawPending();
    count_ = 0;
    used_ = 0;
    if (more <= capacity_) return;
  }
  // One polygon may need more than a batch holds; beyond 2^27 vertices (3 GB) it is refused.
  const std::uint64_t need = static_cast<std::uint64_t>(used_) + more;
  if (need > kMaxVertices) return;
  std::uint32_t n = capacity_ < 1024 ? 1024 : capacity_;
  while (n < need) n *= 2;
  buffer_->resize(n * static_cast<std::uint32_t>(sizeof(Vertex2d)));
  base_ = static_cast<Vertex2d*>(buffer_->elementAt(0));
  capacity_ = base_ ? n : 0;
}

bool Renderer2d::draw(int primitive, int blend, IEffect2d* effect, ITexture* texture, const Vertex2d* vertices,
                      std::uint32_t n) {
  const int listType = listTypeOf(primitive);
  if (listType == 0 || vertices == nullptr) return false;
  std::uint32_t added = 0;
  switch (primitive) {
    case Primitive::PointList: added = n; break;
    case Primitive::LineList: added = n / 2; break;
    case Primitive::TriangleList: added = n / 3; break;
    case Primitive::LineStrip: added = n >= 2 ? n - 1 : 0; break;
    default: added = n >= 3 ? n - 2 : 0; break;
  }
  if (added == 0) return false;
  if (!prepare(listType, blend, effect, texture)) return false;
  Vertex2d* out = reserve(primitiveVertexCount(listType, added));
  if (out == nullptr) return false;
  switch (primitive) {
    case Primitive::PointList:
    case Primitive::LineList:
    case Primitive::TriangleList:
      std::copy(vertices, vertices + primitiveVertexCount(listType, added), out);
      break;
    case Primitive::LineStrip:
      for (std::uint32_t i = 0; i + 1 < n; ++i) {
        *out++ = vertices[i];
        *out++ = vertices[i + 1];
      }
      break;
    case Primitive::TriangleStrip:
      // Odd triangles swap their last two vertices so every triangle keeps the same winding.
      for (std::uint32_t i = 0; i + 2 < n; ++i) {
        *out++ = vertices[i];
        *out++ = vertices[(i & 1) ? i + 2 : i + 1];
        *out++ = vertices[(i & 1) ? i + 1 : i + 2];
      }
      break;
    default:  // fan
      for (std::uint32_t i = 1; i + 1 < n; ++i) {
        *out++ = vertices[0];
        *out++ = vertices[i];
        *out++ = vertices[i + 1];
      }
      break;
  }
  count_ += added;
  return true;
}

void Renderer2d::flush() {
  if (count_ != 0) drawPending();
  reset();
}

void Renderer2d::drawPending() {
  IEngine& e = *engine_;
  e.setTarget(target_);
  e.setBlendMode(blend_);
  e.setVertexBuffer(buffer_);
  IEffect2d* effect = effect_ ? effect_.get() : getBasicEffect2d().get();
  std::shared_ptr<IShader>& shader = shaders_[effect->getType()];
  if (!shader) shader = effect->createShader(e);
  if (shader) {
    effect->apply(e, *shader, texture_.get());
    if (shader->begin()) {
      e.draw(type_, count_, 0);
      shader->end();
    }
  } else {
    shaders_.erase(effect->getType());  // try again for a later batch; this one is not drawn
  }
}

void Renderer2d::reset() {
  type_ = 0;
  blend_ = 0;
  effect_.reset();
  texture_.reset();
  count_ = 0;
  used_ = 0;
}

// ---------------------------------------------------------------- canvas


std::shared_ptr<ICanvas> createCanvas(const std::shared_ptr<IEngine>& engine, std::uint16_t width,
                                      std::uint16_t height) {
  if (!engine || width == 0 || height == 0) return nullptr;
  auto target = engine->createTarget(width, height, TextureFormat::Argb);
  if (!target) return nullptr;
  auto buffer = engine->createVertexBuffer(2, Storage::System);
  if (!buffer) return nullptr;
  return std::make_shared<Canvas>(engine, std::move(target), std::move(buffer));
}

Canvas::Canvas(std::shared_ptr<IEngine> engine, std::shared_ptr<ITarget> target, std::shared_ptr<IVertexBuffer> buffer)
    : engine_(std::move(engine)), target_(std::move(target)), renderer_(engine_, target_, std::move(buffer)) {}

std::shared_ptr<ITexture> Canvas::getTexture() const {
  if (drawing_) return nullptr;  // a canvas cannot be read while it is being drawn
  return target_->getTexture();
}

bool Canvas::getRegion(Region& region) const {
  if (drawing_) return false;
  region.texture = target_->getTexture().get();
  region.x = 0;
  region.y = 0;
  region.width = target_->getWidth();
  region.height = target_->getHeight();
  return region.texture != nullptr;
}

bool Canvas::begin() {
  if (drawing_) return false;
  drawing_ = true;
  return true;
}

bool Canvas::end() {
  if (!drawing_) return false;
  renderer_.flush();
  drawing_ = false;
  return true;
}

bool Canvas::clear(Color color) {
  renderer_.flush();
  engine_->setTarget(target_);
  return engine_->clear(color);
}

namespace {

Rect offsetSource(const Rect& source, const Region& r) {
  return {source.x1 + r.x, source.y1 + r.y, source.x2 + r.x, source.y2 + r.y};
}

Rect wholeImage(const IImage& image) { return {0, 0, image.getWidth(), image.getHeight()}; }

}  // namespace

bool Canvas::drawPolygon(const IImage* image, int primitive, const Vertex2d* vertices, std::uint32_t count,
                         const Rect& source, IEffect2d* effect, int blend, Color color) {
  Region region;
  if (!drawing_ || image == nullptr || !image->getRegion(region)) return false;
  return drawPolygon(region, primitive, vertices, count, offsetSource(source, region), effect, blend, color);
}

bool Canvas::drawPolygon(const IImage* image, int primitive, const Vertex2d* vertices, std::uint32_t count,
                         IEffect2d* effect, int blend, Color color) {
  if (image == nullptr) return false;
  return drawPolygon(image, primitive, vertices, count, wholeImage(*image), effect, blend, color);
}

bool Canvas::drawFan(const IImage* image, const Vertex2d* vertices, std::uint32_t count, const Rect& source,
                     IEffect2d* effect, int blend, Color color) {
  return drawPolygon(image, Primitive::TriangleFan, vertices, count, source, effect, blend, color);
}

bool Canvas::drawFan(const IImage* image, const Vertex2d* vertices, std::uint32_t count, IEffect2d* effect, int blend,
                     Color color) {
  return drawPolygon(image, Primitive::TriangleFan, vertices, count, effect, blend, color);
}

bool Canvas::drawPolygon(const Region& region, int primitive, const Vertex2d* vertices, std::uint32_t count,
                         const Rect& source, IEffect2d* effect, int blend, Color color) {
  if (!drawing_ || region.texture == nullptr || vertices == nullptr || count < 3) return false;
  if (listTypeOf(primitive) == 0) return false;
  ITexture& t = *region.texture;
  const float uL = t.toU(static_cast<float>(source.x1)), uR = t.toU(static_cast<float>(source.x2));
  const float vT = t.toV(static_cast<float>(source.y1)), vB = t.toV(static_cast<float>(source.y2));
  scratch_.resize(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    const Vertex2d& in = vertices[i];
    Vertex2d& out = scratch_[i];
    out.x = in.x - 0.5f;
    out.y = in.y - 0.5f;
    out.z = in.z;
    out.color = modulate(in.color, color);
    out.u = uL + in.u * (uR - uL);
    out.v = vT + in.v * (vB - vT);
  }
  return renderer_.draw(primitive, blend, effect, region.texture, scratch_.data(), count);
}

bool Canvas::drawFan(const Region& region, const Vertex2d* vertices, std::uint32_t count, const Rect& source,
                     IEffect2d* effect, int blend, Color color) {
  return drawPolygon(region, Primitive::TriangleFan, vertices, count, source, effect, blend, color);
}

bool Canvas::drawImage(const IImage* image, const Destination& dest, const Rect& source, const Rotation& rotation,
                       IEffect2d* effect, int blend, Color color) {
  Region region;
  if (!drawing_ || image == nullptr || !image->getRegion(region)) return false;
  return emitQuad(region, dest, offsetSource(source, region), rotation, effect, blend, color);
}

bool Canvas::drawImage(const IImage* image, const Destination& dest, const Rect& source, IEffect2d* effect, int blend,
                       Color color) {
  return drawImage(image, dest, source, Rotation{}, effect, blend, color);
}

bool Canvas::drawImage(const IImage* image, const Destination& dest, IEffect2d* effect, int blend, Color color) {
  Region region;
  if (!drawing_ || image == nullptr || !image->getRegion(region)) return false;
  // The whole image: its region, from its origin.
  const Rect source{region.x, region.y, region.x + region.width, region.y + region.height};
  return emitQuad(region, dest, source, Rotation{}, effect, blend, color);
}

bool Canvas::drawQuad(const Region& region, const Destination& dest, const Rect& source, const Rotation& rotation,
                      IEffect2d* effect, int blend, Color color) {
  if (!drawing_ || region.texture == nullptr) return false;
  return emitQuad(region, dest, source, rotation, effect, blend, color);
}

bool Canvas::emitQuad(const Region& region, const Destination& dest, const Rect& source, const Rotation& rotation,
                      IEffect2d* effect, int blend, Color color) {
  const float x1 = static_cast<float>(dest.x1), y1 = static_cast<float>(dest.y1);
  float x2, y2;
  if (dest.mode == 0) {
    // In 64 bits: script coordinates may be any 32-bit values.
    x2 = x1 + static_cast<float>(std::llabs(static_cast<std::int64_t>(source.x2) - source.x1));
    y2 = y1 + static_cast<float>(std::llabs(static_cast<std::int64_t>(source.y2) - source.y1));
  } else {
    x2 = static_cast<float>(dest.x2);
    y2 = static_cast<float>(dest.y2);
  }
  // Corners a b / d c, clockwise from the top left.
  float ax = x1, ay = y1, bx = x2, by = y1, cx = x2, cy = y2, dx = x1, dy = y2;
  if (rotation.angle != 0.0f) {
    const float px = x1 + static_cast<float>(rotation.pivotX), py = y1 + static_cast<float>(rotation.pivotY);
    const float cs = std::cos(rotation.angle), sn = std::sin(rotation.angle);
    const auto turn = [&](float& x, float& y) {
      const float ox = x - px, oy = y - py;
      x = px + ox * cs - oy * sn;
      y = py + ox * sn + oy * cs;
    };
    turn(ax, ay);
    turn(bx, by);
    turn(cx, cy);
    turn(dx, dy);
  }
  // Corners move onto pixel corners, so a quad at its own size covers exactly its pixels.
  ax -= 0.5f, ay -= 0.5f, bx -= 0.5f, by -= 0.5f, cx -= 0.5f, cy -= 0.5f, dx -= 0.5f, dy -= 0.5f;
  // A quad wholly beyond an edge of the target (its pixels span -0.5 .. size-0.5 after the
  // shift) covers none of its pixel centres: it is left out, so the driver neither shades nor
  // clips it. Text running past the edge of the screen is the common case. NaN corners fail
  // every test and are drawn as before.
  const float minX = std::min(std::min(ax, bx), std::min(cx, dx)), maxX = std::max(std::max(ax, bx), std::max(cx, dx));
  const float minY = std::min(std::min(ay, by), std::min(cy, dy)), maxY = std::max(std::max(ay, by), std::max(cy, dy));
  if (maxX <= -0.5f || maxY <= -0.5f || minX >= static_cast<float>(target_->getWidth()) - 0.5f ||
      minY >= static_cast<float>(target_->getHeight()) - 0.5f)
    return renderer_.accepts(blend, effect, region.texture);
  Vertex2d* v = renderer_.quad(blend, effect, region.texture);
  if (v == nullptr) return false;
  // Texture coordinates depend only on the source rectangle and the texture's size; sprites
  // are usually drawn many times in a row, so the last result is kept.
  const float tw = renderer_.texWidth(), th = renderer_.texHeight();
  TexCoords& tc = texCoords_;
  if (tw != tc.texWidth || th != tc.texHeight || source.x1 != tc.source.x1 || source.y1 != tc.source.y1 ||
      source.x2 != tc.source.x2 || source.y2 != tc.source.y2) {
    tc.texWidth = tw;
    tc.texHeight = th;
    tc.source = source;
    tc.u1 = static_cast<float>(source.x1) / tw;
    tc.u2 = static_cast<float>(source.x2) / tw;
    tc.v1 = static_cast<float>(source.y1) / th;
    tc.v2 = static_cast<float>(source.y2) / th;
  }
  const float u1 = tc.u1, u2 = tc.u2, v1 = tc.v1, v2 = tc.v2;
  // Written straight into the batch: two triangles a b c and a c d.
  const auto put = [color](Vertex2d& o, float x, float y, float u, float w) {
    o.x = x;
    o.y = y;
    o.z = 0.0f;
    o.color = color;
    o.u = u;
    o.v = w;
  };
  put(v[0], ax, ay, u1, v1);
  put(v[1], bx, by, u2, v1);
  put(v[2], cx, cy, u2, v2);
  put(v[3], ax, ay, u1, v1);
  put(v[4], cx, cy, u2, v2);
  put(v[5], dx, dy, u1, v2);
  return true;
}

bool Canvas::pointsAs(int primitive, const Point2d* points, std::uint32_t count, IEffect2d* effect, int blend,
                      Color color) {
  // Points are taken as they are, on pixel centres, for lines and filled shapes alike: a line
  // from (x, y) lights pixel (x, y), and a filled edge through pixel centres keeps the pixels
  // on its left and top sides only. So a triangle (0, 0), (10, 0), (0, 10) fills 55 pixels and
  // a rectangle with corners (x1, y1) and (x2, y2) exactly x1..x2-1, y1..y2-1.
  scratch_.resize(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    const Point2d& p = points[i];
    scratch_[i] = Vertex2d{p.x, p.y, p.z, modulate(p.color, color), 0.0f, 0.0f};
  }
  return renderer_.draw(primitive, blend, effect, nullptr, scratch_.data(), count);
}

bool Canvas::drawLines(const Point2d* points, std::uint32_t count, IEffect2d* effect, int blend, Color color) {
  if (!drawing_ || points == nullptr || count < 2) return false;
  return pointsAs(Primitive::LineStrip, points, count, effect, blend, color);
}

bool Canvas::drawShape(const Point2d* points, std::uint32_t count, IEffect2d* effect, int blend, Color color) {
  if (!drawing_ || points == nullptr || count < 3) return false;
  return pointsAs(Primitive::TriangleFan, points, count, effect, blend, color);
}

namespace {

// pos + delta truncated, held inside the 32-bit range (scaled text may be scaled absurdly).
std::int32_t addPixels(std::int32_t pos, float delta) {
  const double v = static_cast<double>(pos) + std::trunc(static_cast<double>(delta));
  if (!(v > -2147483648.0)) return INT32_MIN;
  if (v > 2147483647.0) return INT32_MAX;
  return static_cast<std::int32_t>(v);
}

}  // namespace

bool Canvas::drawText(IFont* font, std::u16string_view text, const Destination& dest, IEffect2d* effect, int blend,
                      Color color, Color secondColor) {
  if (!drawing_ || font == nullptr) return false;
  float sx = 1.0f, sy = 1.0f;
  if (dest.mode == 1) {
    const int w = font->measureWidth(text), h = font->getHeight();
    if (w > 0) sx = static_cast<float>(static_cast<std::int64_t>(dest.x2) - dest.x1) / static_cast<float>(w);
    if (h > 0) sy = static_cast<float>(static_cast<std::int64_t>(dest.y2) - dest.y1) / static_cast<float>(h);
  }
  int penX = dest.x1, penY = dest.y1;
  Glyph glyph;
  for (char16_t ch : text) {
    glyph = Glyph{};
    if (!font->getGlyph(ch, glyph)) continue;
    if (glyph.lineFeed) {
      penX = dest.x1;
      penY = addPixels(penY, static_cast<float>(font->getSize()) * sy);
      continue;
    }
    for (int layer = 0; layer < 4; ++layer) {
      const Region& r = glyph.layers[layer];
      if (r.texture == nullptr) continue;
      const Destination d{1, penX, penY, addPixels(penX, static_cast<float>(r.width) * sx),
                          addPixels(penY, static_cast<float>(r.height) * sy)};
      const Rect src{r.x, r.y, r.x + r.width, r.y + r.height};
      // Only a refused state fails a glyph, and then the first one: nothing is drawn.
      if (!emitQuad(r, d, src, Rotation{}, effect, blend, layer == 0 ? color : secondColor)) return false;
    }
    penX = addPixels(penX, glyph.advance * sx);
  }
  return true;
}

}  // namespace QlGraphics
