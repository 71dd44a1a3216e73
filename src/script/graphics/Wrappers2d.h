#pragma once
// The 2D classes of the Graphics table: Image, Font, FontG, Transform2D, the Effect2D
// classes and Canvas. Each wrapper holds the engine object it stands for (Transform2D holds
// its matrix); the drawing calls of Canvas convert their array arguments and forward to the
// engine canvas once.
#include "graphics/Canvas.h"
#include "graphics/font/Fonts.h"
#include "script/Binding.h"
#include "script/Interfaces.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Quillorane {

class ScImage : public SuImage {
public:
    explicit ScImage(std::shared_ptr<QlGraphics::IImage> image) : image_(std::move(image)) {}
    std::shared_ptr<QlGraphics::IImage> getImage() const override { return image_; }
    QlGraphics::IImage* peekImage() const override { return image_.get(); }
    int getWidth() const { return image_ ? image_->getWidth() : 0; }
    int getHeight() const { return image_ ? image_->getHeight() : 0; }

    // Through the table of loaded images (keyed by path) unless fresh: null when the file
    // cannot be loaded.
    static ScImage* load(const std::u16string& path, bool fresh);

private:
    std::shared_ptr<QlGraphics::IImage> image_;
};

// The images loaded by path, shared by every Image made without the reload flag; emptied
// when the graphics library shuts down.
void clearImageTable();

class ScFontBase : public SuFont {
public:
    explicit ScFontBase(std::shared_ptr<QlGraphics::FontBase> font) : font_(std::move(font)) {}
    std::shared_ptr<QlGraphics::IFont> getFont() const override { return font_; }
    std::u16string getName() const { return font_ ? font_->getName() : std::u16string(); }
    int getSize() const { return font_ ? font_->getSize() : 0; }
    bool isBold() const { return font_ && font_->isBold(); }
    bool isItalic() const { return font_ && font_->isItalic(); }
    int getWidth(const std::u16string& text) const { return font_ ? font_->measureWidth(text) : 0; }
    int getHeight(const std::u16string& text) const { return font_ ? font_->measureHeight(text) : 0; }

protected:
    std::shared_ptr<QlGraphics::FontBase> font_;
};

class ScFont : public ScFontBase {
public:
    using ScFontBase::ScFontBase;
    static ScFont* create(const std::u16string& name, int size, bool bold, bool italic);
};

class ScFontG : public ScFontBase {
public:
    using ScFontBase::ScFontBase;
    static ScFontG* create(const std::u16string& name, int size, bool bold, bool italic, int startAlpha,
                           int endAlpha, float split);
};

// A 4 x 4 matrix for row vectors; each operation multiplies it on the right (M = M x X), so
// the operation called last applies last.
class ScTransform2D : public Bound {
public:
    const QlGraphics::Matrix& matrix() const { return m_; }
    int set(const ScTransform2D& other) {
        m_ = other.m_;
        return 1;
    }
    int reset() {
        m_ = QlGraphics::Matrix{};
        return 1;
    }
    int translate(float x, float y);
    int scale(float x, float y);
    int rotate(float angle);
    int transform(const ScTransform2D& other) {
        multiply(other.m_);
        return 1;
    }
    // (x, y, 0, 1) x M.
    void apply(float x, float y, float& outX, float& outY) const;

private:
    void multiply(const QlGraphics::Matrix& x);
    QlGraphics::Matrix m_;
};

class ScEffect2d : public SuEffect2d {
public:
    explicit ScEffect2d(std::shared_ptr<QlGraphics::IEffect2d> effect) : effect_(std::move(effect)) {}
    std::shared_ptr<QlGraphics::IEffect2d> getEffect() const override { return effect_; }

protected:
    std::shared_ptr<QlGraphics::IEffect2d> effect_;
};

class ScGray : public ScEffect2d {
public:
    ScGray();
};

class ScNega : public ScEffect2d {
public:
    ScNega();
};

class ScAlphamask : public ScEffect2d {
public:
    // Null when the instance is not an image or its texture cannot be had now.
    static ScAlphamask* create(Bound& mask, float rate);
    // The effect is fixed at creation, so a new rate makes a new effect over the same mask.
    int setBlendRate(float rate);
    float getBlendRate() const { return rate_; }

private:
    ScAlphamask(std::shared_ptr<QlGraphics::ITexture> mask, float rate);
    std::shared_ptr<QlGraphics::ITexture> mask_;
    float rate_;
};

class ScCanvas : public SuImage {
public:
    using Arg = Bind::Arg;

    // Holds no canvas: every method then answers 0 (what the empty-mask constructor makes
    // before getScreenCanvas_ points it at the screen).
    ScCanvas() = default;
    explicit ScCanvas(std::shared_ptr<QlGraphics::ICanvas> canvas) : canvas_(std::move(canvas)) {}
    static ScCanvas* create(int width, int height);

    std::shared_ptr<QlGraphics::IImage> getImage() const override { return canvas_; }
    QlGraphics::IImage* peekImage() const override { return canvas_.get(); }
    const std::shared_ptr<QlGraphics::ICanvas>& canvas() const { return canvas_; }
    void setCanvas(std::shared_ptr<QlGraphics::ICanvas> canvas) { canvas_ = std::move(canvas); }

    int getWidth() const { return canvas_ ? canvas_->getWidth() : 0; }
    int getHeight() const { return canvas_ ? canvas_->getHeight() : 0; }
    bool isReady() const { return canvas_ && canvas_->isDrawing(); }
    bool begin() { return canvas_ && canvas_->begin(); }
    bool end() { return canvas_ && canvas_->end(); }
    bool clear(Arg color);

    bool drawImage(SuImage& image, Arg dest, Arg source, Arg rotation, Arg color, Arg blend, Arg effect);
    bool drawImageEx(SuImage& image, Arg vertices, Arg source, Arg color, Arg blend, Arg effect);
    bool drawPanel(SuImage& image, Arg rect, Arg source, Arg rotation, Arg color, Arg blend, Arg effect);
    bool drawText(SuFont& font, const std::u16string& text, Arg dest, Arg color, Arg second, Arg blend);
    bool drawLines(Arg vertices, Arg color, Arg blend);
    bool drawShape(Arg vertices, Arg color, Arg blend);
    bool drawCircle(Arg circle, int paint, Arg color, Arg blend);
    bool drawRectangle(Arg rect, int paint, Arg color, Arg blend);
    bool drawWorld(SuCamera& camera, SuWorld& world);

    using Box = std::optional<std::vector<int>>;
    Box drawImageT(SuImage& image, Arg rect, ScTransform2D& transform, Arg source, Arg color, Arg blend, Arg effect);
    Box drawPanelT(SuImage& image, Arg rect, ScTransform2D& transform, Arg source, Arg color, Arg blend, Arg effect);
    Box drawLinesT(Arg vertices, ScTransform2D& transform, Arg color, Arg blend);
    Box drawShapeT(Arg vertices, ScTransform2D& transform, Arg color, Arg blend);

private:
    // The points of drawLines/drawShape (and their T forms) with colour and blend read.
    bool readShapeArgs(Arg vertices, Arg color, Arg blend, QlGraphics::Color& c, int& b);
    // drawLinesT and drawShapeT: the points transformed, drawn with draw, their bounding box.
    using DrawPoints = bool (QlGraphics::ICanvas::*)(const QlGraphics::Point2d*, std::uint32_t, QlGraphics::IEffect2d*,
                                                     int, QlGraphics::Color);
    Box drawPointsT(DrawPoints draw, Arg vertices, ScTransform2D& transform, Arg color, Arg blend);
    // The 54 panel vertices, source, colour, blend and effect read; false for bad data.
    struct Textured {
        QlGraphics::IImage* image = nullptr;  // held by the wrapper drawn
        QlGraphics::Rect source;
        QlGraphics::Color color = QlGraphics::kWhite;
        int blend = QlGraphics::BlendMode::Alpha;
        std::shared_ptr<QlGraphics::IEffect2d> effect;
    };
    bool readTextured(Arg source, Arg color, Arg blend, Arg effect, Textured& out);
    bool panelVertices(const QlGraphics::Rect& dest, const QlGraphics::Rect& source);
    bool drawTextured(const Textured& t, int primitive);

    std::shared_ptr<QlGraphics::ICanvas> canvas_;
    std::vector<QlGraphics::Point2d> points_;
    std::vector<QlGraphics::Vertex2d> vertices_;
};

}  // namespace Quillorane
