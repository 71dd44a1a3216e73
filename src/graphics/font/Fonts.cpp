#include "graphics/font/Fonts.h"

#include "graphics/Context.h"
#include "graphics/ImageData.h"

#include <algorithm>
#include <cmath>

namespace QlGraphics {

FontBase::FontBase(std::shared_ptr<IEngine> engine, std::u16string name, std::uint16_t size, bool bold, bool italic,
                   std::unique_ptr<FontSystem::Rasterizer> raster, std::uint16_t pageLimit)
    : name_(std::move(name)), size_(size), bold_(bold), italic_(italic), raster_(std::move(raster)),
      cache_(std::move(engine), pageLimit)
{
}

FontBase::~FontBase() = default;

FontBase::CharInfo& FontBase::info(char16_t ch)
{
    auto& page = pages_[ch >> 8];
    if (!page)
        page = std::make_unique<Page>();
    return (*page)[ch & 0xFF];
}

bool FontBase::measureChar(char16_t ch, std::uint16_t& width, std::uint16_t& height)
{
    CharInfo& ci = info(ch);
    if (ci.advance < 0)
        ci.advance = raster_->advance(ch);
    width = static_cast<std::uint16_t>(ci.advance);
    height = size_;
    return width > 0;
}

bool FontBase::renderChar(char16_t ch, std::vector<std::uint8_t>& coverage, std::uint16_t& width)
{
    return raster_->render(ch, coverage, width);
}

int FontBase::measureCharWidth(char16_t ch)
{
    if (ch == u'\n' || ch == u'\r' || ch == u'\t')
        return 0;
    std::uint16_t w = 0, h = 0;
    return measureChar(ch, w, h) ? w : 0;
}

int FontBase::measureWidth(std::u16string_view text)
{
    int widest = 0, line = 0;
    for (char16_t ch : text) {
        if (ch == u'\n') {
            widest = std::max(widest, line);
            line = 0;
            continue;
        }
        line += measureCharWidth(ch);
    }
    return std::max(widest, line);
}

int FontBase::measureHeight(std::u16string_view text) const
{
    const auto feeds = std::count(text.begin(), text.end(), u'\n');
    return size_ * static_cast<int>(1 + feeds);
}

bool FontBase::getGlyph(char16_t ch, Glyph& glyph)
{
    if (ch == u'\n') {
        glyph = Glyph{};
        glyph.lineFeed = true;
        return true;
    }
    if (ch == u'\r' || ch == u'\t')
        return false;

    CharInfo& ci = info(ch);
    if (ci.entries[0] == kNoGlyph)
        return false;
    if (ci.entries[0] == kUnknown && getSize() > cache_.maxBitmapHeight()) {
        // Glyphs are as tall as the size: one taller than a page can never be cached, so it
        // is not rasterised at all (that would cost a large bitmap per character).
        ci.entries = {kNoGlyph, -1, -1, -1};
        return false;
    }
    if (ci.entries[0] == kUnknown) {
        GlyphBitmap bitmaps[4];
        const int made = rasterize(ch, bitmaps, 4);
        std::array<std::int32_t, 4> entries{-1, -1, -1, -1};
        bool ok = made > 0;
        for (int i = 0; ok && i < made; ++i) {
            entries[static_cast<std::size_t>(i)] =
                cache_.add(bitmaps[i].pixels.data(), bitmaps[i].width, bitmaps[i].height);
            ok = entries[static_cast<std::size_t>(i)] >= 0;
        }
        // A character without a glyph, or too large for a page, is remembered as such so
        // that it is not rasterised again on every draw.
        ci.entries = ok ? entries : std::array<std::int32_t, 4>{kNoGlyph, -1, -1, -1};
        if (!ok)
            return false;
    }

    // Layers are filled in order; the rest are cleared (the caller may pass a used record).
    int layer = 0;
    std::uint16_t widest = 0;
    for (std::int32_t e : ci.entries) {
        if (e < 0 || !cache_.get(e, glyph.layers[layer]))
            continue;
        widest = std::max(widest, glyph.layers[layer].width);
        ++layer;
    }
    for (; layer < 4; ++layer)
        glyph.layers[layer] = Region{};
    glyph.advance = widest;
    glyph.lineFeed = false;
    return true;
}

namespace {

// White pixels with the coverage as alpha.
void whiteWithAlpha(const std::vector<std::uint8_t>& coverage, std::uint16_t width, std::uint16_t height,
                    GlyphBitmap& out)
{
    out.width = width;
    out.height = height;
    out.pixels.resize(coverage.size() * 4);
    for (std::size_t i = 0; i < coverage.size(); ++i) {
        out.pixels[i * 4 + 0] = 255;
        out.pixels[i * 4 + 1] = 255;
        out.pixels[i * 4 + 2] = 255;
        out.pixels[i * 4 + 3] = coverage[i];
    }
}

} // namespace

std::shared_ptr<Font> Font::create(std::shared_ptr<IEngine> engine, std::u16string_view name, std::uint16_t size,
                                   bool bold, bool italic, std::uint16_t pageLimit)
{
    if (!engine || size == 0)
        return nullptr;
    auto raster = FontSystem::Rasterizer::create(name, size, bold, italic);
    if (!raster)
        return nullptr;
    return std::shared_ptr<Font>(
        new Font(std::move(engine), std::u16string(name), size, bold, italic, std::move(raster), pageLimit));
}

int Font::rasterize(char16_t ch, GlyphBitmap* bitmaps, int maximum)
{
    if (bitmaps == nullptr || maximum < 1)
        return 0;
    std::vector<std::uint8_t> coverage;
    std::uint16_t width = 0;
    if (!renderChar(ch, coverage, width))
        return 0;
    whiteWithAlpha(coverage, width, static_cast<std::uint16_t>(getSize()), bitmaps[0]);
    return 1;
}

GradationFont::GradationFont(std::shared_ptr<IEngine> engine, std::u16string name, std::uint16_t size, bool bold,
                             bool italic, std::unique_ptr<FontSystem::Rasterizer> raster, std::uint16_t pageLimit,
                             std::uint8_t start, std::uint8_t end, float split)
    : FontBase(std::move(engine), std::move(name), size, bold, italic, std::move(raster), pageLimit), start_(start),
      end_(end), split_(split)
{
}

std::shared_ptr<GradationFont> GradationFont::create(std::shared_ptr<IEngine> engine, std::u16string_view name,
                                                     std::uint16_t size, bool bold, bool italic,
                                                     std::uint8_t startAlpha, std::uint8_t endAlpha, float split,
                                                     std::uint16_t pageLimit)
{
    if (!engine || size == 0)
        return nullptr;
    auto raster = FontSystem::Rasterizer::create(name, size, bold, italic);
    if (!raster)
        return nullptr;
    return std::shared_ptr<GradationFont>(new GradationFont(std::move(engine), std::u16string(name), size, bold,
                                                            italic, std::move(raster), pageLimit, startAlpha,
                                                            endAlpha, split));
}

float GradationFont::rowAlpha(int y, int h, std::uint8_t start, std::uint8_t end, float split)
{
    const float splitRow = split * static_cast<float>(h);
    if (static_cast<float>(y) <= splitRow)
        return start;
    // y > splitRow implies (h - 1) - splitRow > 0 for every row that exists.
    const float t = (static_cast<float>(y) - splitRow) / (static_cast<float>(h - 1) - splitRow);
    return static_cast<float>(start) + (static_cast<float>(end) - static_cast<float>(start)) * t;
}

int GradationFont::rasterize(char16_t ch, GlyphBitmap* bitmaps, int maximum)
{
    if (bitmaps == nullptr || maximum < 2)
        return 0;
    std::vector<std::uint8_t> coverage;
    std::uint16_t width = 0;
    if (!renderChar(ch, coverage, width))
        return 0;
    const auto h = static_cast<std::uint16_t>(getSize());
    whiteWithAlpha(coverage, width, h, bitmaps[0]);
    whiteWithAlpha(coverage, width, h, bitmaps[1]);
    auto& px = bitmaps[1].pixels;
    for (int y = 0; y < h; ++y) {
        const float row = rowAlpha(y, h, start_, end_, split_);
        for (int x = 0; x < width; ++x) {
            auto& a = px[(static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x)) * 4 + 3];
            a = static_cast<std::uint8_t>(std::clamp(std::lround(a * row / 255.0f), 0L, 255L));
        }
    }
    return 2;
}

std::shared_ptr<Font> createFont(std::shared_ptr<IEngine> engine, std::u16string_view name, std::uint16_t size,
                                 bool bold, bool italic)
{
    return Font::create(std::move(engine), name, size, bold, italic);
}

std::shared_ptr<GradationFont> createGradationFont(std::shared_ptr<IEngine> engine, std::u16string_view name,
                                                   std::uint16_t size, bool bold, bool italic,
                                                   std::uint8_t startAlpha, std::uint8_t endAlpha, float split)
{
    return GradationFont::create(std::move(engine), name, size, bold, italic, startAlpha, endAlpha, split);
}

bool registerFont(IFileLoader& loader, std::u16string_view path)
{
    auto data = loader.load(path);
    if (!data || data->getSize() == 0)
        return false;
    std::vector<std::uint8_t> bytes = readFileData(*data);
    if (bytes.size() != data->getSize())
        return false;
    return FontSystem::registerFontData(std::move(bytes));
}

bool registerFont(std::u16string_view path)
{
    auto context = getContext();
    if (!context)
        return false;
    auto loader = context->getFileLoader();
    return loader && registerFont(*loader, path);
}

} // namespace QlGraphics
