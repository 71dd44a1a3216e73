#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string_view>
#include <vector>

#include "graphics/Effect.h"
#include "graphics/Engine.h"
#include "graphics/Font.h"
#include "graphics/Image.h"

namespace QlGraphics {

// Two opposite corners in pixels; a rectangle whose second corner lies left of or above the
// first is mirrored.
struct Rect {
  std::int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  std::int32_t width() const { return x2 - x1; }
  std::int32_t height() const { return y2 - y1; }
};

// Where a quad goes: mode 0 places it at (x1, y1) at the source's size; any other mode
// stretches it to the corners (x1, y1)-(x2, y2).
struct Destination {
  std::int32_t mode = 0;
  std::int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

// Rotation by angle (radians, clockwise on screen) about the pivot, measured from the
// destination's top-left corner.
struct Rotation {
  float angle = 0;
  std::int32_t pivotX = 0, pivotY = 0;
};

// The 2D vertex (engine vertex format 2): position in target pixels, colour, texture coordinate.
struct Vertex2d {
  float x = 0, y = 0, z = 0;
  Color color = 0xFFFFFFFFu;
  float u = 0, v = 0;
};
static_assert(sizeof(Vertex2d) == 24);

// A point of lines and shapes: position and colour.
struct Point2d {
  float x = 0, y = 0, z = 0;
  Color color = 0xFFFFFFFFu;
};
static_assert(sizeof(Point2d) == 16);

constexpr Color kWhite = 0xFFFFFFFFu;

// Per-canvas batcher: merges consecutive draws that share texture, blend mode, effect and
// primitive class into one engine draw; strips and fans are unrolled into lists.
class Renderer2d {
 public:
  // Vertices a batch holds before it is drawn and continued: 10,922 quads, 1.5 MB.
  static constexpr std::uint32_t kBatchVertices = 65536;
  // The most vertices one request may need (a huge polygon); more is refused.
  static constexpr std::uint32_t kMaxVertices = 1u << 27;

  Renderer2d(std::shared_ptr<IEngine> engine, std::shared_ptr<ITarget> target,
             std::shared_ptr<IVertexBuffer> buffer);
  // Queues vertices of one primitive type (1..6); false for an unknown type, too few
  // vertices, a blend mode outside 0..3, or an effect or texture not held by a shared pointer.
  bool draw(int primitive, int blend, IEffect2d* effect, ITexture* texture, const Vertex2d* vertices,
            std::uint32_t count);
  // Makes room for one quad (two triangles, six vertices) in the batch of this state and
  // returns where to write it (null when the state is refused, as for draw).
  // texWidth/texHeight then give the batch texture's size.
  Vertex2d* quad(int blend, IEffect2d* effect, ITexture* texture) {
    if (!prepare(Primitive::TriangleList, blend, effect, texture)) return nullptr;
    Vertex2d* p = reserve(6);
    if (p == nullptr) return nullptr;
    count_ += 2;
    return p;
  }
  // Whether a draw of this state would be taken (the checks of quad and draw), without
  // touching the pending batch.
  bool accepts(int blend, IEffect2d* effect, ITexture* texture) const;
  float texWidth() const { return texWidth_; }
  float texHeight() const { return texHeight_; }
  // Draws what is pending, then starts an empty batch.
  void flush();
  std::uint32_t pendingPrimitives() const { return count_; }
  int pendingType() const { return type_; }
  const std::shared_ptr<IVertexBuffer>& buffer() const { return buffer_; }

 private:
  // listType is a list type (points, lines or triangles), so a batch continues only with
  // its own type.
  bool prepare(int listType, int blend, IEffect2d* effect, ITexture* texture) {
    if (count_ != 0 && listType == type_ && texture == texture_.get() && blend == blend_ && effect == effect_.get())
      return true;
    return restart(listType, blend, effect, texture);
  }
  bool restart(int listType, int blend, IEffect2d* effect, ITexture* texture);
  // Room for n more vertices of the pending batch. A batch that has filled the largest
  // buffer is drawn first and continues in the emptied buffer, so the buffer stays small
  // enough to stay in the cache however much a frame draws.
  // Null when the room cannot be made.
  Vertex2d* reserve(std::uint32_t n) {
    if (static_cast<std::uint64_t>(used_) + n > capacity_) {
      makeRoom(n);
      if (static_cast<std::uint64_t>(used_) + n > capacity_) return nullptr;
    }
    Vertex2d* p = base_ + used_;
    used_ += n;
    return p;
  }
  void makeRoom(std::uint32_t n);
  void drawPending();
  void reset();

  std::shared_ptr<IEngine> engine_;
  std::shared_ptr<ITarget> target_;
  int type_ = 0;
  int blend_ = 0;
  std::shared_ptr<IEffect2d> effect_;
  std::shared_ptr<ITexture> texture_;
  std::shared_ptr<IVertexBuffer> buffer_;
  std::uint32_t count_ = 0;
  // The batch's vertices live in buffer_, written in place: used_ of capacity_ slots at base_.
  // The buffer keeps its size between batches; a draw names how many primitives to use.
  Vertex2d* base_ = nullptr;
  std::uint32_t used_ = 0, capacity_ = 0;
  float texWidth_ = 1, texHeight_ = 1;
  std::map<unsigned, std::shared_ptr<IShader>> shaders_;
};

// An off-screen render target for 2D drawing in top-left-origin pixel coordinates.
class ICanvas : public IImage {
 public:
  virtual bool isDrawing() const = 0;
  virtual bool begin() = 0;
  virtual bool end() = 0;
  virtual bool clear(Color color) = 0;

  virtual bool drawPolygon(const IImage* image, int primitive, const Vertex2d* vertices, std::uint32_t count,
                           const Rect& source, IEffect2d* effect, int blend, Color color) = 0;
  virtual bool drawPolygon(const IImage* image, int primitive, const Vertex2d* vertices, std::uint32_t count,
                           IEffect2d* effect, int blend, Color color) = 0;
  virtual bool drawFan(const IImage* image, const Vertex2d* vertices, std::uint32_t count, const Rect& source,
                       IEffect2d* effect, int blend, Color color) = 0;
  virtual bool drawFan(const IImage* image, const Vertex2d* vertices, std::uint32_t count, IEffect2d* effect,
                       int blend, Color color) = 0;
  virtual bool drawImage(const IImage* image, const Destination& dest, const Rect& source, const Rotation& rotation,
                         IEffect2d* effect, int blend, Color color) = 0;
  virtual bool drawImage(const IImage* image, const Destination& dest, const Rect& source, IEffect2d* effect,
                         int blend, Color color) = 0;
  virtual bool drawImage(const IImage* image, const Destination& dest, IEffect2d* effect, int blend,
                         Color color) = 0;
  virtual bool drawText(IFont* font, std::u16string_view text, const Destination& dest, IEffect2d* effect, int blend,
                        Color color, Color secondColor) = 0;
  virtual bool drawLines(const Point2d* points, std::uint32_t count, IEffect2d* effect, int blend, Color color) = 0;
  virtual bool drawShape(const Point2d* points, std::uint32_t count, IEffect2d* effect, int blend, Color color) = 0;
  virtual bool drawPolygon(const Region& region, int primitive, const Vertex2d* vertices, std::uint32_t count,
                           const Rect& source, IEffect2d* effect, int blend, Color color) = 0;
  virtual bool drawFan(const Region& region, const Vertex2d* vertices, std::uint32_t count, const Rect& source,
                       IEffect2d* effect, int blend, Color color) = 0;
  virtual bool drawQuad(const Region& region, const Destination& dest, const Rect& source, const Rotation& rotation,
                        IEffect2d* effect, int blend, Color color) = 0;

  // Draws what is pending now (before drawing onto the target by other means, e.g. 3D).
  virtual void flush() = 0;
  virtual std::shared_ptr<ITarget> getTarget() const = 0;

  // Short forms: blend 1 (alpha) and no effect unless given.
  bool drawImage(const IImage* image, const Destination& dest, Color color = kWhite) {
    return drawImage(image, dest, nullptr, BlendMode::Alpha, color);
  }
  bool drawImage(const IImage* image, const Destination& dest, const Rect& source, Color color = kWhite) {
    return drawImage(image, dest, source, nullptr, BlendMode::Alpha, color);
  }
  bool drawLines(const Point2d* points, std::uint32_t count, Color color = kWhite) {
    return drawLines(points, count, nullptr, BlendMode::Alpha, color);
  }
  bool drawShape(const Point2d* points, std::uint32_t count, Color color = kWhite) {
    return drawShape(points, count, nullptr, BlendMode::Alpha, color);
  }
};

class Canvas : public ICanvas {
 public:
  Canvas(std::shared_ptr<IEngine> engine, std::shared_ptr<ITarget> target, std::shared_ptr<IVertexBuffer> buffer);

  std::uint16_t getWidth() const override { return target_->getWidth(); }
  std::uint16_t getHeight() const override { return target_->getHeight(); }
  std::shared_ptr<ITexture> getTexture() const override;
  bool getRegion(Region& region) const override;
  bool isDrawing() const override { return drawing_; }
  bool begin() override;
  bool end() override;
  bool clear(Color color) override;

  bool drawPolygon(const IImage* image, int primitive, const Vertex2d* vertices, std::uint32_t count,
                   const Rect& source, IEffect2d* effect, int blend, Color color) override;
  bool drawPolygon(const IImage* image, int primitive, const Vertex2d* vertices, std::uint32_t count,
                   IEffect2d* effect, int blend, Color color) override;
  bool drawFan(const IImage* image, const Vertex2d* vertices, std::uint32_t count, const Rect& source,
               IEffect2d* effect, int blend, Color color) override;
  bool drawFan(const IImage* image, const Vertex2d* vertices, std::uint32_t count, IEffect2d* effect, int blend,
               Color color) override;
  bool drawImage(const IImage* image, const Destination& dest, const Rect& source, const Rotation& rotation,
                 IEffect2d* effect, int blend, Color color) override;
  bool drawImage(const IImage* image, const Destination& dest, const Rect& source, IEffect2d* effect, int blend,
                 Color color) override;
  bool drawImage(const IImage* image, const Destination& dest, IEffect2d* effect, int blend, Color color) override;
  bool drawText(IFont* font, std::u16string_view text, const Destination& dest, IEffect2d* effect, int blend,
                Color color, Color secondColor) override;
  bool drawLines(const Point2d* points, std::uint32_t count, IEffect2d* effect, int blend, Color color) override;
  bool drawShape(const Point2d* points, std::uint32_t count, IEffect2d* effect, int blend, Color color) override;
  bool drawPolygon(const Region& region, int primitive, const Vertex2d* vertices, std::uint32_t count,
                   const Rect& source, IEffect2d* effect, int blend, Color color) override;
  bool drawFan(const Region& region, const Vertex2d* vertices, std::uint32_t count, const Rect& source,
               IEffect2d* effect, int blend, Color color) override;
  bool drawQuad(const Region& region, const Destination& dest, const Rect& source, const Rotation& rotation,
                IEffect2d* effect, int blend, Color color) override;
  void flush() override { renderer_.flush(); }
  std::shared_ptr<ITarget> getTarget() const override { return target_; }

  using ICanvas::drawImage;
  using ICanvas::drawLines;
  using ICanvas::drawShape;
  const Renderer2d& renderer() const { return renderer_; }

 private:
  bool pointsAs(int primitive, const Point2d* points, std::uint32_t count, IEffect2d* effect, int blend, Color color);
  bool emitQuad(const Region& region, const Destination& dest, const Rect& source, const Rotation& rotation,
                IEffect2d* effect, int blend, Color color);

  std::shared_ptr<IEngine> engine_;
  std::shared_ptr<ITarget> target_;
  Renderer2d renderer_;
  bool drawing_ = false;
  // The texture coordinates of the last quad's source rectangle, for the texture size they
  // were computed with.
  struct TexCoords {
    float texWidth = 0, texHeight = 0;
    Rect source;
    float u1 = 0, v1 = 0, u2 = 0, v2 = 0;
  } texCoords_;
  std::vector<Vertex2d> scratch_;
};

// A canvas of width x height (ARGB); empty for a zero size or when the target cannot be made.
std::shared_ptr<ICanvas> createCanvas(const std::shared_ptr<IEngine>& engine, std::uint16_t width,
                                      std::uint16_t height);

// Channel-wise product of two ARGB colours, each channel a * b / 255 truncated.
Color modulate(Color a, Color b);

}  // namespace QlGraphics
