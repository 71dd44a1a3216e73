#include "script/graphics/Wrappers2d.h"

#include "graphics/Context.h"
#include "graphics/Images.h"
#include "graphics/effects/Effects2d.h"
#include "graphics/world/Model.h"
#include "script/graphics/Args2d.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <unordered_map>

namespace Quillorane {

using namespace QlGraphics;
using namespace Gfx;

namespace {

std::shared_ptr<IEngine> currentEngine() {
    auto context = getContext();
    return context ? context->getEngine() : nullptr;
}

std::unordered_map<std::u16string, std::shared_ptr<IImage>>& imageTable() {
    static std::unordered_map<std::u16string, std::shared_ptr<IImage>> table;
    return table;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Image

ScImage* ScImage::load(const std::u16string& path, bool fresh) {
    auto& table = imageTable();
    if (!fresh) {
        auto it = table.find(path);
        if (it != table.end()) return new ScImage(it->second);
    }
    auto image = loadImage(path);
    if (!image) return nullptr;
    // A reloaded image replaces the shared one, so later loads of the path get the new pixels.
    table[path] = image;
    return new ScImage(std::move(image));
}

void clearImageTable() { imageTable().clear(); }

// ---------------------------------------------------------------------------------------------
// Fonts

ScFont* ScFont::create(const std::u16string& name, int size, bool bold, bool italic) {
    if (size <= 0 || size > 0xFFFF) return nullptr;
    auto font = createFont(currentEngine(), name, static_cast<std::uint16_t>(size), bold, italic);
    return font ? new ScFont(std::move(font)) : nullptr;
}

ScFontG* ScFontG::create(const std::u16string& name, int size, bool bold, bool italic, int startAlpha, int endAlpha,
                         float split) {
    if (size <= 0 || size > 0xFFFF) return nullptr;
    auto font = createGradationFont(currentEngine(), name, static_cast<std::uint16_t>(size), bold, italic,
                                    static_cast<std::uint8_t>(startAlpha & 0xFF),
                                    static_cast<std::uint8_t>(endAlpha & 0xFF), split);
    return font ? new ScFontG(std::move(font)) : nullptr;
}

// ---------------------------------------------------------------------------------------------
// Transform2D

void ScTransform2D::multiply(const Matrix& x) {
    Matrix r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            float sum = 0;
            for (int k = 0; k < 4; ++k) sum += m_.m[i][k] * x.m[k][j];
            r.m[i][j] = sum;
        }
    m_ = r;
}

int ScTransform2D::translate(float x, float y) {
    Matrix t;
    t.m[3][0] = x;
    t.m[3][1] = y;
    multiply(t);
    return 1;
}

int ScTransform2D::scale(float x, float y) {
    Matrix s;
    s.m[0][0] = x;
    s.m[1][1] = y;
    s.m[2][2] = 0;
    multiply(s);
    return 1;
}

int ScTransform2D::rotate(float angle) {
    Matrix r;
    const float c = std::cos(angle), s = std::sin(angle);
    r.m[0][0] = c;
    r.m[0][1] = s;
    r.m[1][0] = -s;
    r.m[1][1] = c;
    multiply(r);
    return 1;
}

void ScTransform2D::apply(float x, float y, float& outX, float& outY) const {
    outX = x * m_.m[0][0] + y * m_.m[1][0] + m_.m[3][0];
    outY = x * m_.m[0][1] + y * m_.m[1][1] + m_.m[3][1];
}

// ---------------------------------------------------------------------------------------------
// Effects

ScGray::ScGray() : ScEffect2d(createGrayEffect()) {}
ScNega::ScNega() : ScEffect2d(createNegaEffect()) {}

ScAlphamask::ScAlphamask(std::shared_ptr<ITexture> mask, float rate)
    : ScEffect2d(createAlphamapEffect(mask, rate)), mask_(std::move(mask)), rate_(rate) {}

ScAlphamask* ScAlphamask::create(Bound& mask, float rate) {
    auto* image = dynamic_cast<SuImage*>(&mask);
    auto source = image ? image->getImage() : nullptr;
    auto texture = source ? source->getTexture() : nullptr;
    if (!texture) return nullptr;
    return new ScAlphamask(std::move(texture), rate);
}

int ScAlphamask::setBlendRate(float rate) {
    auto effect = createAlphamapEffect(mask_, rate);
    if (!effect) return 0;
    effect_ = std::move(effect);
    rate_ = rate;
    return 1;
}

// ---------------------------------------------------------------------------------------------
// Canvas

ScCanvas* ScCanvas::create(int width, int height) {
    if (width <= 0 || height <= 0 || width > 0xFFFF || height > 0xFFFF) return nullptr;
    auto canvas = createCanvas(currentEngine(), static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height));
    return canvas ? new ScCanvas(std::move(canvas)) : nullptr;
}

bool ScCanvas::clear(Arg color) {
    Color c = 0;
    if (!canvas_ || (!color.isNull() && !readColor(color, c))) return false;
    return canvas_->clear(c);
}

bool ScCanvas::drawImage(SuImage& image, Arg dest, Arg source, Arg rotation, Arg color, Arg blend, Arg effect) {
    if (!canvas_) return false;
    IImage* img = image.peekImage();
    if (!img) return false;
    Destination d;
    if (!readDestination(dest, d)) return false;
    Rect s{0, 0, img->getWidth(), img->getHeight()};
    if (!source.isNull() && !readRect(source, s)) return false;
    Rotation r;
    if (!rotation.isNull() && !readRotation(rotation, r)) return false;
    Color c = kWhite;
    if (!color.isNull() && !readColor(color, c)) return false;
    int b = BlendMode::Alpha;
    if (!blend.isNull() && !readBlend(blend, b)) return false;
    std::shared_ptr<IEffect2d> e;
    if (!readEffect(effect, e)) return false;
    return canvas_->drawImage(img, d, s, r, e.get(), b, c);
}

bool ScCanvas::readTextured(Arg source, Arg color, Arg blend, Arg effect, Textured& out) {
    out.source = Rect{0, 0, out.image->getWidth(), out.image->getHeight()};
    if (!source.isNull() && !readRect(source, out.source)) return false;
    if (!color.isNull() && !readColor(color, out.color)) return false;
    if (!blend.isNull() && !readBlend(blend, out.blend)) return false;
    return readEffect(effect, out.effect);
}

bool ScCanvas::drawTextured(const Textured& t, int primitive) {
    return canvas_->drawPolygon(t.image, primitive, vertices_.data(), static_cast<std::uint32_t>(vertices_.size()),
                                t.source, t.effect.get(), t.blend, t.color);
}

bool ScCanvas::drawImageEx(SuImage& image, Arg vertices, Arg source, Arg color, Arg blend, Arg effect) {
    if (!canvas_) return false;
    Textured t;
    t.image = image.peekImage();
    if (!t.image || !readTexturedVertices(vertices, vertices_)) return false;
    if (!readTextured(source, color, blend, effect, t)) return false;
    return drawTextured(t, Primitive::TriangleFan);
}

bool ScCanvas::panelVertices(const Rect& dest, const Rect& source) {
    // Corner cells keep a third of the source; edges stretch one way, the centre both. A
    // destination narrower than two corner cells shows the two halves of the corners.
    const auto lines = [](std::int64_t start, std::int64_t size, std::int64_t cell, float* out) {
        const std::int64_t side = size < 2 * cell ? size / 2 : cell;
        const std::int64_t middle = std::max<std::int64_t>(size - 2 * cell, 0);
        out[0] = static_cast<float>(start);
        out[1] = static_cast<float>(start + side);
        out[2] = static_cast<float>(start + side + middle);
        out[3] = static_cast<float>(start + side + middle + side);
    };
    const std::int64_t cw = std::llabs(static_cast<std::int64_t>(source.x2) - source.x1) / 3;
    const std::int64_t ch = std::llabs(static_cast<std::int64_t>(source.y2) - source.y1) / 3;
    float xs[4], ys[4];
    lines(dest.x1, static_cast<std::int64_t>(dest.x2) - dest.x1, cw, xs);
    lines(dest.y1, static_cast<std::int64_t>(dest.y2) - dest.y1, ch, ys);
    constexpr float thirds[4] = {0.0f, 1.0f / 3.0f, 2.0f / 3.0f, 1.0f};
    vertices_.clear();
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) {
            const Vertex2d a{xs[col], ys[row], 0, kWhite, thirds[col], thirds[row]};
            const Vertex2d b{xs[col + 1], ys[row], 0, kWhite, thirds[col + 1], thirds[row]};
            const Vertex2d c{xs[col + 1], ys[row + 1], 0, kWhite, thirds[col + 1], thirds[row + 1]};
            const Vertex2d d{xs[col], ys[row + 1], 0, kWhite, thirds[col], thirds[row + 1]};
            vertices_.insert(vertices_.end(), {a, b, c, a, c, d});
        }
    return true;
}

bool ScCanvas::drawPanel(SuImage& image, Arg rect, Arg source, Arg rotation, Arg color, Arg blend, Arg effect) {
    if (!canvas_) return false;
    Textured t;
    t.image = image.peekImage();
    Rect dest;
    if (!t.image || !readRect(rect, dest)) return false;
    Rect s{0, 0, t.image->getWidth(), t.image->getHeight()};
    if (!source.isNull() && !readRect(source, s)) return false;
    Rotation r;
    if (!rotation.isNull() && !readRotation(rotation, r)) return false;
    if (!readTextured(Arg{}, color, blend, effect, t)) return false;
    t.source = s;
    panelVertices(dest, s);
    if (r.angle != 0.0f) {
        const float px = static_cast<float>(dest.x1) + static_cast<float>(r.pivotX);
        const float py = static_cast<float>(dest.y1) + static_cast<float>(r.pivotY);
        const float cs = std::cos(r.angle), sn = std::sin(r.angle);
        for (Vertex2d& v : vertices_) {
            const float ox = v.x - px, oy = v.y - py;
            v.x = px + ox * cs - oy * sn;
            v.y = py + ox * sn + oy * cs;
        }
    }
    return drawTextured(t, Primitive::TriangleList);
}

bool ScCanvas::drawText(SuFont& font, const std::u16string& text, Arg dest, Arg color, Arg second, Arg blend) {
    if (!canvas_) return false;
    const auto f = font.getFont();
    if (!f) return false;
    Destination d;
    if (!readDestination(dest, d)) return false;
    Color c = kWhite, c2 = 0xFF000000u;
    if (!color.isNull() && !readColor(color, c)) return false;
    if (!second.isNull() && !readColor(second, c2)) return false;
    int b = BlendMode::Alpha;
    if (!blend.isNull() && !readBlend(blend, b)) return false;
    return canvas_->drawText(f.get(), text, d, nullptr, b, c, c2);
}

bool ScCanvas::readShapeArgs(Arg vertices, Arg color, Arg blend, Color& c, int& b) {
    c = kWhite;
    b = BlendMode::Alpha;
    if (!canvas_ || !readPoints(vertices, points_)) return false;
    if (!color.isNull() && !readColor(color, c)) return false;
    return blend.isNull() || readBlend(blend, b);
}

bool ScCanvas::drawLines(Arg vertices, Arg color, Arg blend) {
    Color c;
    int b;
    if (!readShapeArgs(vertices, color, blend, c, b)) return false;
    return canvas_->drawLines(points_.data(), static_cast<std::uint32_t>(points_.size()), nullptr, b, c);
}

bool ScCanvas::drawShape(Arg vertices, Arg color, Arg blend) {
    Color c;
    int b;
    if (!readShapeArgs(vertices, color, blend, c, b)) return false;
    return canvas_->drawShape(points_.data(), static_cast<std::uint32_t>(points_.size()), nullptr, b, c);
}

bool ScCanvas::drawCircle(Arg circle, int paint, Arg color, Arg blend) {
    std::int32_t xyr[3];
    if (!canvas_ || !readLeadingInts(circle, xyr, 3)) return false;
    Color c = kWhite;
    int b = BlendMode::Alpha;
    if (!color.isNull() && !readColor(color, c)) return false;
    if (!blend.isNull() && !readBlend(blend, b)) return false;
    if (paint != 1 && paint != 2) return false;
    // 24 segments: the points at k·π/12 around the centre, the first repeated at the end.
    constexpr double kStep = 3.14159265358979323846 / 12.0;
    const double x = xyr[0], y = xyr[1], r = xyr[2];
    points_.clear();
    if (paint == 2) points_.push_back(Point2d{static_cast<float>(x), static_cast<float>(y), 0, kWhite});
    for (int k = 0; k <= 24; ++k) {
        const double a = kStep * (k % 24);
        points_.push_back(Point2d{static_cast<float>(x + r * std::cos(a)), static_cast<float>(y + r * std::sin(a)), 0,
                                  kWhite});
    }
    const auto n = static_cast<std::uint32_t>(points_.size());
    return paint == 1 ? canvas_->drawLines(points_.data(), n, nullptr, b, c)
                      : canvas_->drawShape(points_.data(), n, nullptr, b, c);
}

bool ScCanvas::drawRectangle(Arg rect, int paint, Arg color, Arg blend) {
    std::int32_t r[4];
    if (!canvas_ || !readLeadingInts(rect, r, 4)) return false;
    Color c = kWhite;
    int b = BlendMode::Alpha;
    if (!color.isNull() && !readColor(color, c)) return false;
    if (!blend.isNull() && !readBlend(blend, b)) return false;
    if (paint != 1 && paint != 2) return false;
    const float x1 = static_cast<float>(r[0]), y1 = static_cast<float>(r[1]);
    const float x2 = static_cast<float>(r[2]), y2 = static_cast<float>(r[3]);
    points_.assign({{x1, y1, 0, kWhite}, {x2, y1, 0, kWhite}, {x2, y2, 0, kWhite}, {x1, y2, 0, kWhite}});
    if (paint == 1) {
        points_.push_back(points_[0]);
        return canvas_->drawLines(points_.data(), 5, nullptr, b, c);
    }
    return canvas_->drawShape(points_.data(), 4, nullptr, b, c);
}

bool ScCanvas::drawWorld(SuCamera& camera, SuWorld& world) {
    const auto w = world.getWorld();
    if (!canvas_ || !w) return false;
    return QlGraphics::drawWorld(*canvas_, *w, camera.getViewMatrix(), camera.getProjectionMatrix());
}

namespace {

// [left, top, right, bottom] of the points, each truncated toward zero.
template <class P>
std::vector<int> boundingBox(const std::vector<P>& points) {
    float left = points[0].x, top = points[0].y, right = left, bottom = top;
    for (const P& p : points) {
        left = std::min(left, p.x);
        top = std::min(top, p.y);
        right = std::max(right, p.x);
        bottom = std::max(bottom, p.y);
    }
    return {Bind::truncateFloat(left), Bind::truncateFloat(top), Bind::truncateFloat(right),
            Bind::truncateFloat(bottom)};
}

template <class P>
void transformAll(const ScTransform2D& t, std::vector<P>& points) {
    for (P& p : points) t.apply(p.x, p.y, p.x, p.y);
}

}  // namespace

ScCanvas::Box ScCanvas::drawImageT(SuImage& image, Arg rect, ScTransform2D& transform, Arg source, Arg color,
                                   Arg blend, Arg effect) {
    if (!canvas_) return std::nullopt;
    Textured t;
    t.image = image.peekImage();
    Rect d;
    if (!t.image || !readRect(rect, d)) return std::nullopt;
    if (!readTextured(source, color, blend, effect, t)) return std::nullopt;
    const float x1 = static_cast<float>(d.x1), y1 = static_cast<float>(d.y1);
    const float x2 = static_cast<float>(d.x2), y2 = static_cast<float>(d.y2);
    vertices_.assign({{x1, y1, 0, kWhite, 0, 0}, {x2, y1, 0, kWhite, 1, 0}, {x2, y2, 0, kWhite, 1, 1},
                      {x1, y2, 0, kWhite, 0, 1}});
    transformAll(transform, vertices_);
    if (!drawTextured(t, Primitive::TriangleFan)) return std::nullopt;
    return boundingBox(vertices_);
}

ScCanvas::Box ScCanvas::drawPanelT(SuImage& image, Arg rect, ScTransform2D& transform, Arg source, Arg color,
                                   Arg blend, Arg effect) {
    if (!canvas_) return std::nullopt;
    Textured t;
    t.image = image.peekImage();
    Rect d;
    if (!t.image || !readRect(rect, d)) return std::nullopt;
    if (!readTextured(source, color, blend, effect, t)) return std::nullopt;
    panelVertices(d, t.source);
    transformAll(transform, vertices_);
    if (!drawTextured(t, Primitive::TriangleList)) return std::nullopt;
    return boundingBox(vertices_);
}

ScCanvas::Box ScCanvas::drawPointsT(DrawPoints draw, Arg vertices, ScTransform2D& transform, Arg color, Arg blend) {
    Color c;
    int b;
    if (!readShapeArgs(vertices, color, blend, c, b)) return std::nullopt;
    transformAll(transform, points_);
    if (!(canvas_.get()->*draw)(points_.data(), static_cast<std::uint32_t>(points_.size()), nullptr, b, c))
        return std::nullopt;
    return boundingBox(points_);
}

ScCanvas::Box ScCanvas::drawLinesT(Arg vertices, ScTransform2D& transform, Arg color, Arg blend) {
    return drawPointsT(&QlGraphics::ICanvas::drawLines, vertices, transform, color, blend);
}

ScCanvas::Box ScCanvas::drawShapeT(Arg vertices, ScTransform2D& transform, Arg color, Arg blend) {
    return drawPointsT(&QlGraphics::ICanvas::drawShape, vertices, transform, color, blend);
}

}  // namespace Quillorane
