#pragma once
// Bitmap fonts drawn from glyph atlases: Font (one layer, white with the glyph's coverage
// as alpha) and GradationFont (a second layer whose alpha fades down the glyph).

#include "graphics/Font.h"
#include "graphics/font/FaceLibrary.h"
#include "graphics/font/FontCache.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace QlGraphics {

class IFileLoader;

// One layer of a glyph as the rasteriser makes it: 32-bit BGRA rows, width × 4 bytes each.
struct GlyphBitmap {
    std::vector<std::uint8_t> pixels;
    std::uint16_t width = 0, height = 0;
};

class FontBase : public IFont {
public:
    ~FontBase() override;

    const std::u16string& getName() const { return name_; }
    int getSize() const override { return size_; }
    int getHeight() const override { return size_; }
    bool isBold() const { return bold_; }
    bool isItalic() const { return italic_; }
    // Width of the widest line: per line the sum of its characters' advances; lines end at LF.
    int measureWidth(std::u16string_view text) override;
    // Advance of one character; 0 when it has no glyph.
    int measureCharWidth(char16_t ch);
    // size × (1 + number of LF characters).
    int measureHeight(std::u16string_view text) const;
    int getLineHeight() const { return size_; }
    // LF gives a line feed with no layers; CR and TAB give false (skipped, no advance);
    // other characters are rasterised and cached on first use.
    bool getGlyph(char16_t ch, Glyph& glyph) override;

    // Makes up to maximum layer bitmaps of a character; the number made (0: no glyph).
    virtual int rasterize(char16_t ch, GlyphBitmap* bitmaps, int maximum) = 0;
    // Width (the advance) and height (the size) of the character's bitmap.
    bool measureChar(char16_t ch, std::uint16_t& width, std::uint16_t& height);
    // The character's coverage, one byte per pixel, on a black cell of measureChar's size.
    bool renderChar(char16_t ch, std::vector<std::uint8_t>& coverage, std::uint16_t& width);

    const FontCache& cache() const { return cache_; }
    // The family the face answers to (the name asked for, or the default face's family when
    // the name is not installed).
    const std::u16string& faceFamily() const { return raster_->location().family; }

protected:
    FontBase(std::shared_ptr<IEngine> engine, std::u16string name, std::uint16_t size, bool bold, bool italic,
             std::unique_ptr<FontSystem::Rasterizer> raster, std::uint16_t pageLimit);

private:
    static constexpr std::int32_t kUnknown = -2;   // not looked at yet
    static constexpr std::int32_t kNoGlyph = -3;   // looked at: cannot be drawn
    struct CharInfo {
        std::array<std::int32_t, 4> entries{kUnknown, -1, -1, -1};
        std::int32_t advance = -1;
    };
    using Page = std::array<CharInfo, 256>;
    CharInfo& info(char16_t ch);

    std::u16string name_;
    std::uint16_t size_;
    bool bold_, italic_;
    std::unique_ptr<FontSystem::Rasterizer> raster_;
    FontCache cache_;
    std::array<std::unique_ptr<Page>, 256> pages_;
};

class Font : public FontBase {
public:
    // Empty for an empty engine, a zero size or when no face at all is available.
    static std::shared_ptr<Font> create(std::shared_ptr<IEngine> engine, std::u16string_view name, std::uint16_t size,
                                        bool bold, bool italic,
                                        std::uint16_t pageLimit = FontCache::kMaxPageSize);
    // One layer: white, alpha = coverage.
    int rasterize(char16_t ch, GlyphBitmap* bitmaps, int maximum) override;

private:
    using FontBase::FontBase;
};

class GradationFont : public FontBase {
public:
    static std::shared_ptr<GradationFont> create(std::shared_ptr<IEngine> engine, std::u16string_view name,
                                                 std::uint16_t size, bool bold, bool italic, std::uint8_t startAlpha,
                                                 std::uint8_t endAlpha, float split,
                                                 std::uint16_t pageLimit = FontCache::kMaxPageSize);
    // Layer 0 as Font's; layer 1 the same coverage times a row alpha that stays at the start
    // alpha down to split × height, then runs linearly to the end alpha on the last row.
    int rasterize(char16_t ch, GlyphBitmap* bitmaps, int maximum) override;
    // The row alpha (0..255, unrounded) of row y of a glyph h rows high.
    static float rowAlpha(int y, int h, std::uint8_t start, std::uint8_t end, float split);

    std::uint8_t getStartAlpha() const { return start_; }
    std::uint8_t getEndAlpha() const { return end_; }
    float getSplit() const { return split_; }

private:
    GradationFont(std::shared_ptr<IEngine> engine, std::u16string name, std::uint16_t size, bool bold, bool italic,
                  std::unique_ptr<FontSystem::Rasterizer> raster, std::uint16_t pageLimit, std::uint8_t start,
                  std::uint8_t end, float split);
    std::uint8_t start_, end_;
    float split_;
};

std::shared_ptr<Font> createFont(std::shared_ptr<IEngine> engine, std::u16string_view name, std::uint16_t size,
                                 bool bold, bool italic);
std::shared_ptr<GradationFont> createGradationFont(std::shared_ptr<IEngine> engine, std::u16string_view name,
                                                   std::uint16_t size, bool bold, bool italic,
                                                   std::uint8_t startAlpha, std::uint8_t endAlpha, float split);

// Loads a font file through the loader and registers it for this process; every family name
// it carries can then be given to createFont. False when the file cannot be read or is not
// a font.
bool registerFont(IFileLoader& loader, std::u16string_view path);
// The same through the graphics context's file loader.
bool registerFont(std::u16string_view path);

} // namespace QlGraphics
