#include "graphics/font/FaceLibrary.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SFNT_NAMES_H
#include FT_TRUETYPE_IDS_H
#include FT_TRUETYPE_TABLES_H

#include "io/TextCodec.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace QlGraphics::FontSystem {
namespace {

FT_Library library()
{
    static FT_Library lib = [] {
        FT_Library l = nullptr;
        if (FT_Init_FreeType(&l) != 0)
            l = nullptr;
        return l;
    }();
    return lib;
}

bool fontconfigReady()
{
    static const bool ready = FcInit() == FcTrue;
    return ready;
}

// Face names compare without regard to ASCII letter case.
std::u16string fold(std::u16string_view s)
{
    std::u16string out(s);
    for (auto& c : out)
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
    return out;
}

// Font names cross to fontconfig and FreeType as UTF-8.
using QlIO::fromUtf8;
using QlIO::toUtf8;

void addUnique(std::vector<std::u16string>& names, std::u16string name)
{
    if (name.empty())
        return;
    const auto key = fold(name);
    for (const auto& n : names)
        if (fold(n) == key)
            return;
    names.push_back(std::move(name));
}

// Family names from the name table: records 1 and 16 in UTF-16 (Windows and Unicode
// platforms, every language) and plain ASCII Macintosh records.
std::vector<std::u16string> namesOf(FT_Face face)
{
    std::vector<std::u16string> names;
    const FT_UInt count = FT_Get_Sfnt_Name_Count(face);
    for (FT_UInt i = 0; i < count; ++i) {
        FT_SfntName rec;
        if (FT_Get_Sfnt_Name(face, i, &rec) != 0)
            continue;
        if (rec.name_id != TT_NAME_ID_FONT_FAMILY && rec.name_id != TT_NAME_ID_TYPOGRAPHIC_FAMILY)
            continue;
        std::u16string name;
        const bool utf16 = rec.platform_id == TT_PLATFORM_APPLE_UNICODE ||
                           (rec.platform_id == TT_PLATFORM_MICROSOFT &&
                            (rec.encoding_id == TT_MS_ID_SYMBOL_CS || rec.encoding_id == TT_MS_ID_UNICODE_CS ||
                             rec.encoding_id == TT_MS_ID_UCS_4));
        if (utf16) {
            for (FT_UInt k = 0; k + 1 < rec.string_len; k += 2)
                name += char16_t(rec.string[k] << 8 | rec.string[k + 1]);
        } else if (rec.platform_id == TT_PLATFORM_MACINTOSH && rec.encoding_id == TT_MAC_ID_ROMAN) {
            bool ascii = true;
            for (FT_UInt k = 0; k < rec.string_len; ++k)
                ascii = ascii && rec.string[k] < 0x80;
            if (!ascii)
                continue;
            for (FT_UInt k = 0; k < rec.string_len; ++k)
                name += char16_t(rec.string[k]);
        } else {
            continue;
        }
        addUnique(names, std::move(name));
    }
    if (face->family_name != nullptr)
        addUnique(names, fromUtf8(face->family_name));
    return names;
}

struct Registered {
    std::shared_ptr<const std::vector<std::uint8_t>> bytes;
    int index = 0;
    std::vector<std::u16string> folded;
    std::u16string family;
    bool bold = false, italic = false;
};

std::vector<Registered>& registry()
{
    static std::vector<Registered> r;
    return r;
}

// Visits every face of font data; the callback gets each opened face.
template <class F>
bool forEachFace(const std::vector<std::uint8_t>& bytes, F&& visit)
{
    FT_Library lib = library();
    if (lib == nullptr || bytes.empty())
        return false;
    FT_Face first = nullptr;
    if (FT_New_Memory_Face(lib, bytes.data(), FT_Long(bytes.size()), 0, &first) != 0)
        return false;
    const FT_Long count = first->num_faces;
    visit(first, 0);
    FT_Done_Face(first);
    for (FT_Long i = 1; i < count; ++i) {
        FT_Face f = nullptr;
        if (FT_New_Memory_Face(lib, bytes.data(), FT_Long(bytes.size()), i, &f) != 0)
            continue;
        visit(f, int(i));
        FT_Done_Face(f);
    }
    return true;
}

bool findRegistered(std::u16string_view name, bool bold, bool italic, FaceLocation& out)
{
    const auto key = fold(name);
    const Registered* best = nullptr;
    int bestScore = -1;
    for (const auto& r : registry()) {
        if (std::find(r.folded.begin(), r.folded.end(), key) == r.folded.end())
            continue;
        const int score = (r.bold == bold ? 2 : 0) + (r.italic == italic ? 1 : 0);
        if (score > bestScore) {
            best = &r;
            bestScore = score;
        }
    }
    if (best == nullptr)
        return false;
    out = FaceLocation{};
    out.memory = best->bytes;
    out.index = best->index;
    out.family = std::u16string(name);
    out.bold = best->bold;
    out.italic = best->italic;
    return true;
}

// The families fontconfig's configuration puts in a pattern for a family name: the name,
// the aliases configured for it, then the default list every pattern gets.
std::vector<std::u16string> substitutedFamilies(const std::string& family)
{
    std::vector<std::u16string> out;
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcChar8* value = nullptr;
    for (int i = 0; FcPatternGetString(pattern, FC_FAMILY, i, &value) == FcResultMatch; ++i)
        out.push_back(fold(fromUtf8(reinterpret_cast<const char*>(value))));
    FcPatternDestroy(pattern);
    return out;
}

// The name and the aliases configured for it, without the default families that fontconfig
// adds to every pattern (found by substituting a name no configuration knows).
std::vector<std::u16string> acceptedFamilies(const std::string& family)
{
    static const std::vector<std::u16string> defaults = substitutedFamilies("quillorane-no-such-family");
    std::vector<std::u16string> accepted{fold(fromUtf8(family.c_str()))};
    for (auto& f : substitutedFamilies(family))
        if (std::find(defaults.begin(), defaults.end(), f) == defaults.end())
            accepted.push_back(std::move(f));
    return accepted;
}

// Asks fontconfig. With exact set, the match counts only when the found font answers to the
// name or to an alias fontconfig's configuration gives for it; otherwise any match counts.
bool findInstalled(std::u16string_view name, const char* lang, bool exact, bool bold, bool italic,
                   FaceLocation& out)
{
    if (!fontconfigReady())
        return false;
    FcPattern* pattern = FcPatternCreate();
    const std::string family = toUtf8(name);
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    if (lang != nullptr)
        FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>(lang));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);

    const std::vector<std::u16string> accepted = exact ? acceptedFamilies(family) : std::vector<std::u16string>{};
    FcChar8* value = nullptr;
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (match == nullptr)
        return false;

    bool ok = !exact;
    std::u16string matchedFamily;
    for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &value) == FcResultMatch; ++i) {
        const auto f = fromUtf8(reinterpret_cast<const char*>(value));
        if (i == 0)
            matchedFamily = f;
        if (std::find(accepted.begin(), accepted.end(), fold(f)) != accepted.end())
            ok = true;
    }
    FcChar8* file = nullptr;
    if (ok && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
        out = FaceLocation{};
        out.file = reinterpret_cast<const char*>(file);
        int index = 0, weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
        FcPatternGetInteger(match, FC_SLANT, 0, &slant);
        out.index = index;
        out.family = exact ? std::u16string(name) : matchedFamily;
        out.bold = weight >= FC_WEIGHT_DEMIBOLD;
        out.italic = slant != FC_SLANT_ROMAN;
    } else {
        ok = false;
    }
    FcPatternDestroy(match);
    return ok;
}

// Desktop face names that games written for Japanese Windows name, with the installed
// families that stand in for them, best first. The generic family ends each list.
struct Alias {
    const char16_t* names[4];
    const char* candidates[5];
    const char* generic;
};
const Alias kAliases[] = {
    {{u"MS Gothic", u"ＭＳ ゴシック", u"MS UI Gothic", u"Osaka"},
     {"IPAGothic", "IPAexGothic", "Noto Sans Mono CJK JP", "TakaoGothic", "VL Gothic"},
     "sans-serif"},
    {{u"MS PGothic", u"ＭＳ Ｐゴシック", u"Meiryo", u"メイリオ"},
     {"IPAPGothic", "IPAexGothic", "Noto Sans CJK JP", "TakaoPGothic", "VL PGothic"},
     "sans-serif"},
    {{u"Meiryo UI", u"Yu Gothic", u"游ゴシック", u"Yu Gothic UI"},
     {"IPAPGothic", "IPAexGothic", "Noto Sans CJK JP", "TakaoPGothic", "VL PGothic"},
     "sans-serif"},
    {{u"MS Mincho", u"ＭＳ 明朝", u"Yu Mincho", u"游明朝"},
     {"IPAMincho", "IPAexMincho", "Noto Serif CJK JP", "TakaoMincho", nullptr},
     "serif"},
    {{u"MS PMincho", u"ＭＳ Ｐ明朝", nullptr, nullptr},
     {"IPAPMincho", "IPAexMincho", "Noto Serif CJK JP", "TakaoPMincho", nullptr},
     "serif"},
};

const Alias* aliasFor(std::u16string_view name)
{
    const auto key = fold(name);
    for (const auto& a : kAliases)
        for (const char16_t* n : a.names)
            if (n != nullptr && fold(n) == key)
                return &a;
    return nullptr;
}

bool findDefault(bool bold, bool italic, FaceLocation& out)
{
    if (findInstalled(u"sans-serif", "ja", false, bold, italic, out)) {
        out.substituted = true;
        return true;
    }
    if (!registry().empty()) {
        const auto& r = registry().front();
        out = FaceLocation{};
        out.memory = r.bytes;
        out.index = r.index;
        out.family = r.family;
        out.bold = r.bold;
        out.italic = r.italic;
        out.substituted = true;
        return true;
    }
    return false;
}

} // namespace

std::vector<std::u16string> familyNamesOf(const std::vector<std::uint8_t>& bytes)
{
    std::vector<std::u16string> names;
    forEachFace(bytes, [&](FT_Face face, int) {
        for (auto& n : namesOf(face))
            addUnique(names, std::move(n));
    });
    return names;
}

bool registerFontData(std::vector<std::uint8_t> bytes)
{
    auto shared = std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
    std::vector<Registered> found;
    forEachFace(*shared, [&](FT_Face face, int index) {
        if (!FT_IS_SCALABLE(face) && face->num_fixed_sizes == 0)
            return;
        Registered r;
        r.bytes = shared;
        r.index = index;
        const auto names = namesOf(face);
        if (names.empty())
            return;
        r.family = names.front();
        for (const auto& n : names)
            r.folded.push_back(fold(n));
        r.bold = (face->style_flags & FT_STYLE_FLAG_BOLD) != 0;
        r.italic = (face->style_flags & FT_STYLE_FLAG_ITALIC) != 0;
        found.push_back(std::move(r));
    });
    if (found.empty())
        return false;
    for (auto& r : found)
        registry().push_back(std::move(r));
    return true;
}

bool resolveFace(std::u16string_view name, bool bold, bool italic, FaceLocation& out)
{
    if (!name.empty()) {
        if (findRegistered(name, bold, italic, out) || findInstalled(name, nullptr, true, bold, italic, out))
            return true;
        if (const Alias* alias = aliasFor(name)) {
            for (const char* candidate : alias->candidates) {
                if (candidate == nullptr)
                    continue;
                const auto c = fromUtf8(candidate);
                if (findRegistered(c, bold, italic, out) || findInstalled(c, nullptr, true, bold, italic, out)) {
                    out.family = std::u16string(name);
                    return true;
                }
            }
            if (findInstalled(fromUtf8(alias->generic), "ja", false, bold, italic, out)) {
                out.family = std::u16string(name);
                return true;
            }
        }
    }
    return findDefault(bold, italic, out);
}

// ---------------------------------------------------------------------------------------

struct Rasterizer::Face {
    FT_Face face = nullptr;
    std::shared_ptr<const std::vector<std::uint8_t>> memory; // keeps memory faces' bytes alive
    int baseline = 0;
    FT_Pos emboldenX = 0; // 26.6 pixels added to stems (and the advance) for synthesised bold
    bool slant = false;   // synthesised italic
    ~Face()
    {
        if (face != nullptr)
            FT_Done_Face(face);
    }
};

namespace {

// Scales the face so that its cell (Windows ascent + descent, else the typographic ones)
// is cellHeight pixels, and returns the baseline's distance from the cell top.
int setCellHeight(FT_Face face, std::uint16_t cellHeight)
{
    if (!FT_IS_SCALABLE(face)) {
        int best = 0;
        for (int i = 1; i < face->num_fixed_sizes; ++i)
            if (std::abs(face->available_sizes[i].height - cellHeight) <
                std::abs(face->available_sizes[best].height - cellHeight))
                best = i;
        if (face->num_fixed_sizes == 0 || FT_Select_Size(face, best) != 0)
            return -1;
        return int(face->size->metrics.ascender >> 6);
    }
    double ascent = 0, descent = 0;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 != nullptr && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
        ascent = os2->usWinAscent;
        descent = os2->usWinDescent;
    } else if (face->ascender - face->descender > 0) {
        ascent = face->ascender;
        descent = -face->descender;
    } else {
        ascent = face->units_per_EM * 0.88;
        descent = face->units_per_EM * 0.12;
    }
    const double ppem = double(cellHeight) * face->units_per_EM / (ascent + descent);
    FT_Size_RequestRec request{};
    request.type = FT_SIZE_REQUEST_TYPE_NOMINAL;
    request.height = FT_Long(std::lround(ppem * 64));
    if (request.height <= 0 || FT_Request_Size(face, &request) != 0)
        return -1;
    return int(std::lround(ascent * ppem / face->units_per_EM));
}

std::unique_ptr<Rasterizer::Face> openFace(const FaceLocation& at, std::uint16_t cellHeight, bool bold, bool italic)
{
    FT_Library lib = library();
    if (lib == nullptr)
        return nullptr;
    auto f = std::make_unique<Rasterizer::Face>();
    FT_Error err = at.memory ? FT_New_Memory_Face(lib, at.memory->data(), FT_Long(at.memory->size()), at.index,
                                                  &f->face)
                             : FT_New_Face(lib, at.file.c_str(), at.index, &f->face);
    if (err != 0) {
        f->face = nullptr;
        return nullptr;
    }
    f->memory = at.memory;
    FT_Select_Charmap(f->face, FT_ENCODING_UNICODE);
    f->baseline = setCellHeight(f->face, cellHeight);
    if (f->baseline < 0)
        return nullptr;
    const bool faceBold = (f->face->style_flags & FT_STYLE_FLAG_BOLD) != 0 || at.bold;
    const bool faceItalic = (f->face->style_flags & FT_STYLE_FLAG_ITALIC) != 0 || at.italic;
    if (bold && !faceBold)
        f->emboldenX = std::max<FT_Pos>(64, FT_Pos(cellHeight) * 64 / 24);
    f->slant = italic && !faceItalic;
    return f;
}

} // namespace

Rasterizer::~Rasterizer() = default;

std::unique_ptr<Rasterizer> Rasterizer::create(std::u16string_view name, std::uint16_t cellHeight, bool bold,
                                               bool italic)
{
    if (cellHeight == 0)
        return nullptr;
    FaceLocation at;
    if (!resolveFace(name, bold, italic, at))
        return nullptr;
    auto face = openFace(at, cellHeight, bold, italic);
    if (!face && !at.substituted) {
        // The named font is damaged or unreadable: the default face stands in.
        if (!findDefault(bold, italic, at))
            return nullptr;
        face = openFace(at, cellHeight, bold, italic);
    }
    if (!face)
        return nullptr;
    std::unique_ptr<Rasterizer> r(new Rasterizer);
    r->cellHeight_ = cellHeight;
    r->bold_ = bold;
    r->italic_ = italic;
    r->location_ = std::move(at);
    r->primary_ = std::move(face);
    return r;
}

Rasterizer::Face* Rasterizer::faceFor(char16_t ch, unsigned& glyphIndex)
{
    if (ch >= 0xD800 && ch <= 0xDFFF)
        return nullptr; // half of a surrogate pair names no character
    glyphIndex = FT_Get_Char_Index(primary_->face, ch);
    if (glyphIndex != 0)
        return primary_.get();
    if (!fallbackTried_) {
        // Characters the face lacks (kana and kanji in a Latin face) come from the default
        // Japanese face at the same cell height, as the desktop's font linking does.
        fallbackTried_ = true;
        FaceLocation at;
        if (findDefault(bold_, italic_, at) && !(at.file == location_.file && at.memory == location_.memory &&
                                                 at.index == location_.index))
            fallback_ = openFace(at, cellHeight_, bold_, italic_);
    }
    if (fallback_) {
        glyphIndex = FT_Get_Char_Index(fallback_->face, ch);
        if (glyphIndex != 0)
            return fallback_.get();
    }
    return nullptr;
}

bool Rasterizer::loadGlyph(Face& f, unsigned glyphIndex, bool render)
{
    const FT_Int32 flags = FT_IS_SCALABLE(f.face) ? (FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT) : FT_LOAD_DEFAULT;
    if (FT_Load_Glyph(f.face, glyphIndex, flags) != 0)
        return false;
    FT_GlyphSlot slot = f.face->glyph;
    if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
        if (f.emboldenX != 0)
            FT_Outline_EmboldenXY(&slot->outline, f.emboldenX, 0);
        if (f.slant) {
            FT_Matrix shear{0x10000, 0x0366A, 0, 0x10000}; // about 12 degrees
            FT_Outline_Transform(&slot->outline, &shear);
        }
    }
    if (render && slot->format != FT_GLYPH_FORMAT_BITMAP && FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0)
        return false;
    return true;
}

std::uint16_t Rasterizer::advance(char16_t ch)
{
    unsigned index = 0;
    Face* f = faceFor(ch, index);
    if (f == nullptr || !loadGlyph(*f, index, false))
        return 0;
    const FT_Pos a = f->face->glyph->advance.x + f->emboldenX;
    return static_cast<std::uint16_t>(std::clamp<FT_Pos>((a + 32) >> 6, 0, 0xFFFF));
}

bool Rasterizer::render(char16_t ch, std::vector<std::uint8_t>& coverage, std::uint16_t& width)
{
    unsigned index = 0;
    Face* f = faceFor(ch, index);
    if (f == nullptr || !loadGlyph(*f, index, true))
        return false;
    FT_GlyphSlot slot = f->face->glyph;
    const FT_Pos a = slot->advance.x + f->emboldenX;
    width = static_cast<std::uint16_t>(std::clamp<FT_Pos>((a + 32) >> 6, 0, 0xFFFF));
    if (width == 0)
        return false;
    const int w = width, h = cellHeight_;
    coverage.assign(size_t(w) * size_t(h), 0);
    const FT_Bitmap& bm = slot->bitmap;
    const int left = slot->bitmap_left;
    const int top = f->baseline - slot->bitmap_top;
    for (int row = 0; row < int(bm.rows); ++row) {
        const int y = top + row;
        if (y < 0 || y >= h)
            continue;
        const unsigned char* src = bm.buffer + std::ptrdiff_t(row) * bm.pitch;
        for (int col = 0; col < int(bm.width); ++col) {
            const int x = left + col;
            if (x < 0 || x >= w)
                continue;
            std::uint8_t v = 0;
            if (bm.pixel_mode == FT_PIXEL_MODE_GRAY)
                v = bm.num_grays == 256 ? src[col] : std::uint8_t(src[col] * 255 / std::max(1, bm.num_grays - 1));
            else if (bm.pixel_mode == FT_PIXEL_MODE_MONO)
                v = (src[col >> 3] & (0x80 >> (col & 7))) ? 255 : 0;
            coverage[size_t(y) * size_t(w) + size_t(x)] = std::max(coverage[size_t(y) * size_t(w) + size_t(x)], v);
        }
    }
    return true;
}

} // namespace QlGraphics::FontSystem
