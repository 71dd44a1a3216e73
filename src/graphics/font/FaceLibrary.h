#pragma once
// Font faces: the in-process registry of fonts registered from memory, face lookup by name
// (registered fonts, then the system's fonts through fontconfig and a table of the common
// Japanese desktop face names, then a default Japanese-capable sans-serif face), and the
// glyph rasteriser that turns one UTF-16 unit into an anti-aliased coverage bitmap.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace QlGraphics::FontSystem {

// Registers font data (TrueType, OpenType or a collection) for this process. Every family
// name the font carries, in every language, becomes usable as a face name. False when the
// data holds no usable face.
bool registerFontData(std::vector<std::uint8_t> bytes);

// Every family name (name records 1 and 16, all languages) of the faces in the font data,
// without duplicates; empty for data that is not a font.
std::vector<std::u16string> familyNamesOf(const std::vector<std::uint8_t>& bytes);

// Where a resolved face comes from: a registered memory font or a font file.
struct FaceLocation {
    std::shared_ptr<const std::vector<std::uint8_t>> memory; // set for registered fonts
    std::string file;                                         // set for installed fonts
    int index = 0;
    std::u16string family; // the family name the face answers to
    bool bold = false;     // the face itself is bold / italic (else it is synthesised)
    bool italic = false;
    bool substituted = false; // the name was not found and a default face stands in
};

// Finds the face for a name; only fails when no font at all is available.
bool resolveFace(std::u16string_view name, bool bold, bool italic, FaceLocation& out);

// Rasterises glyphs of one face at one cell height.
class Rasterizer {
public:
    // Empty when no face can be opened.
    static std::unique_ptr<Rasterizer> create(std::u16string_view name, std::uint16_t cellHeight, bool bold,
                                              bool italic);
    ~Rasterizer();
    Rasterizer(const Rasterizer&) = delete;
    Rasterizer& operator=(const Rasterizer&) = delete;

    std::uint16_t cellHeight() const { return cellHeight_; }
    const FaceLocation& location() const { return location_; }

    // Horizontal advance in whole pixels; 0 when the character has no glyph.
    std::uint16_t advance(char16_t ch);
    // Coverage bitmap (one byte per pixel, rows of `width` bytes, cellHeight rows), width =
    // the advance, the glyph drawn on the baseline. False when the character has no glyph.
    bool render(char16_t ch, std::vector<std::uint8_t>& coverage, std::uint16_t& width);

    struct Face; // an opened face scaled to the cell height

private:
    Rasterizer() = default;
    Face* faceFor(char16_t ch, unsigned& glyphIndex);
    bool loadGlyph(Face& face, unsigned glyphIndex, bool render);

    std::uint16_t cellHeight_ = 0;
    bool bold_ = false, italic_ = false;
    FaceLocation location_;
    std::unique_ptr<Face> primary_;
    std::unique_ptr<Face> fallback_; // Japanese-capable face for characters the primary lacks
    bool fallbackTried_ = false;
};

} // namespace QlGraphics::FontSystem
