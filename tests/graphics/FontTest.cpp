// Face lookup, glyph rasterising, font metrics, the glyph atlas and text drawing.

#include "GlFixture.h"
#include "MemoryFiles.h"
#include "graphics/GraphicsFileLoader.h"
#include "graphics/font/Fonts.h"

#include <fstream>
#include <iterator>

using namespace QlTest;
namespace FS = QlGraphics::FontSystem;

namespace {

std::vector<uint8_t> readFile(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int inkOf(const std::vector<uint8_t>& coverage)
{
    int n = 0;
    for (uint8_t c : coverage)
        n += c > 0;
    return n;
}

// ---------------------------------------------------------------- faces, no engine needed

TEST(FontFaces, JapaneseDesktopNamesFindAnInstalledJapaneseFace)
{
    for (auto name : {u"ＭＳ ゴシック", u"MS Gothic", u"ms gothic", u"ＭＳ Ｐゴシック", u"MS Mincho", u"IPAゴシック"}) {
        FS::FaceLocation at;
        ASSERT_TRUE(FS::resolveFace(name, false, false, at));
        EXPECT_FALSE(at.substituted) << std::string(at.file);
        EXPECT_TRUE(at.file.find("ipa") != std::string::npos || at.file.find("japanese") != std::string::npos)
            << at.file;
        EXPECT_EQ(at.family, std::u16string(name));
    }
    FS::FaceLocation at;
    ASSERT_TRUE(FS::resolveFace(u"No Such Face 123", false, false, at));
    EXPECT_TRUE(at.substituted);
    auto r = FS::Rasterizer::create(u"No Such Face 123", 20, false, false);
    ASSERT_TRUE(r);
    std::vector<uint8_t> cov;
    uint16_t w = 0;
    EXPECT_TRUE(r->render(u'漢', cov, w)); // the default face writes Japanese
    EXPECT_GT(inkOf(cov), 10);
}

TEST(FontFaces, RegisteredFontsAnswerToEveryFamilyName)
{
    const auto bytes = readFile("/usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf");
    ASSERT_FALSE(bytes.empty());
    const auto names = FS::familyNamesOf(bytes);
    EXPECT_NE(std::find(names.begin(), names.end(), u"IPAPGothic"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), u"IPA Pゴシック"), names.end());

    auto files = std::make_shared<MemoryFiles>();
    files->files[u"fonts/p.ttf"] = bytes;
    files->files[u"fonts/junk.ttf"] = std::vector<uint8_t>(4000, 0x41);
    Quillorane::GraphicsFileLoader loader(files);
    EXPECT_FALSE(QlGraphics::registerFont(loader, u"fonts/missing.ttf"));
    EXPECT_FALSE(QlGraphics::registerFont(loader, u"fonts/junk.ttf"));
    ASSERT_TRUE(QlGraphics::registerFont(loader, u"fonts/p.ttf"));
    for (auto name : {u"IPA Pゴシック", u"ipapgothic"}) {
        FS::FaceLocation at;
        ASSERT_TRUE(FS::resolveFace(name, false, false, at));
        EXPECT_TRUE(at.memory) << "registered fonts come first";
        EXPECT_FALSE(at.substituted);
    }
}

TEST(FontFaces, GlyphBitmapsAreCellHighAndAdvanceWide)
{
    auto r = FS::Rasterizer::create(u"IPAGothic", 24, false, false);
    ASSERT_TRUE(r);
    std::vector<uint8_t> cov;
    uint16_t w = 0;
    ASSERT_TRUE(r->render(u'あ', cov, w));
    EXPECT_EQ(w, r->advance(u'あ'));
    EXPECT_EQ(cov.size(), size_t(w) * 24);
    EXPECT_GE(w, 20); // full-width kana in a monospaced Japanese face: about the size
    EXPECT_LE(w, 26);
    EXPECT_GT(inkOf(cov), 40);
    // The ink sits inside the cell: the top and bottom rows of a kana are blank.
    EXPECT_EQ(std::count(cov.begin(), cov.begin() + w, 0), w);
    // Space has an advance and no ink; a lone surrogate and a missing character have no glyph.
    ASSERT_TRUE(r->render(u' ', cov, w));
    EXPECT_GT(w, 0);
    EXPECT_EQ(inkOf(cov), 0);
    EXPECT_FALSE(r->render(char16_t(0xD83D), cov, w));
    EXPECT_EQ(r->advance(char16_t(0xD83D)), 0);
    EXPECT_EQ(r->advance(char16_t(0xE000)), 0);
}

TEST(FontFaces, BoldAndItalicAreSynthesisedWhenTheFaceHasNone)
{
    auto plain = FS::Rasterizer::create(u"IPAPGothic", 32, false, false);
    auto bold = FS::Rasterizer::create(u"IPAPGothic", 32, true, false);
    auto italic = FS::Rasterizer::create(u"IPAPGothic", 32, false, true);
    ASSERT_TRUE(plain && bold && italic);
    std::vector<uint8_t> a, b, c;
    uint16_t wa = 0, wb = 0, wc = 0;
    ASSERT_TRUE(plain->render(u'l', a, wa));
    ASSERT_TRUE(bold->render(u'l', b, wb));
    ASSERT_TRUE(italic->render(u'l', c, wc));
    EXPECT_GT(wb, wa);
    EXPECT_GT(inkOf(b), inkOf(a));
    EXPECT_EQ(wc, wa);
    // Slanted: the ink of the top rows lies further right than that of the bottom rows.
    auto centre = [](const std::vector<uint8_t>& cov, int w, int y0, int y1) {
        double sum = 0, n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = 0; x < w; ++x) {
                sum += x * cov[size_t(y * w + x)];
                n += cov[size_t(y * w + x)];
            }
        return n > 0 ? sum / n : 0;
    };
    EXPECT_GT(centre(c, wc, 0, 14) - centre(c, wc, 16, 30), 1.5);
    EXPECT_LT(std::abs(centre(a, wa, 0, 14) - centre(a, wa, 16, 30)), 0.8);
}

// ---------------------------------------------------------------- fonts on the engine

// Counts rasterising calls to show cached characters are not rasterised again.
class CountingFont : public QlGraphics::FontBase {
public:
    CountingFont(std::shared_ptr<IEngine> e, std::uint16_t pageLimit)
        : FontBase(e, u"IPAGothic", 16, false, false, FS::Rasterizer::create(u"IPAGothic", 16, false, false),
                   pageLimit)
    {
    }
    int rasterize(char16_t ch, QlGraphics::GlyphBitmap* bitmaps, int) override
    {
        ++calls;
        std::vector<uint8_t> cov;
        uint16_t w = 0;
        if (!renderChar(ch, cov, w))
            return 0;
        bitmaps[0].width = w;
        bitmaps[0].height = 16;
        bitmaps[0].pixels.assign(cov.size() * 4, 255);
        return 1;
    }
    int calls = 0;
};

// Pixels of a region of a texture, row by row.
std::vector<Color> readRegion(const Region& r)
{
    std::vector<Color> out;
    auto buf = r.texture->lock();
    if (!buf)
        return out;
    for (int y = 0; y < r.height; ++y)
        for (int x = 0; x < r.width; ++x) {
            Color c;
            std::memcpy(&c, buf->pixelAt(r.x + x, r.y + y), 4);
            out.push_back(c);
        }
    r.texture->unlock();
    return out;
}

using FontEngine = GlFixture;

TEST_F(FontEngine, MetricsFollowLinesAndControlCharacters)
{
    auto font = QlGraphics::Font::create(engine, u"IPAPGothic", 20, false, false, 512);
    ASSERT_TRUE(font);
    const int a = font->measureCharWidth(u'a'), b = font->measureCharWidth(u'b'), c = font->measureCharWidth(u'c');
    ASSERT_GT(a, 0);
    EXPECT_EQ(font->measureWidth(u"ab\nc"), a + b);
    EXPECT_EQ(font->measureWidth(u"c\nab"), a + b);
    EXPECT_EQ(font->measureWidth(u"a\tb\r"), a + b);
    EXPECT_EQ(font->measureWidth(u""), 0);
    EXPECT_EQ(font->measureHeight(u"ab\nc"), 40);
    EXPECT_EQ(font->measureHeight(u"x"), 20);
    EXPECT_EQ(font->measureHeight(u"\n\n"), 60);
    EXPECT_EQ(font->getLineHeight(), 20);
    EXPECT_EQ(c, font->measureCharWidth(u'c'));

    Glyph g;
    EXPECT_FALSE(font->getGlyph(u'\t', g));
    EXPECT_FALSE(font->getGlyph(u'\r', g));
    ASSERT_TRUE(font->getGlyph(u'\n', g));
    EXPECT_TRUE(g.lineFeed);
    EXPECT_EQ(g.layers[0].texture, nullptr);
    EXPECT_EQ(font->cache().entryCount(), 0u); // measuring and control characters rasterise nothing
    ASSERT_TRUE(font->getGlyph(u'a', g));
    EXPECT_FALSE(g.lineFeed);
    EXPECT_EQ(g.advance, float(a));
    EXPECT_EQ(g.layers[0].width, a);
    EXPECT_EQ(g.layers[0].height, 20);
    EXPECT_EQ(g.layers[1].texture, nullptr);
}

TEST_F(FontEngine, OneEntryPerLayerAndNoRasterisingTwice)
{
    CountingFont counting(engine, 256);
    Glyph g;
    ASSERT_TRUE(counting.getGlyph(u'字', g));
    ASSERT_TRUE(counting.getGlyph(u'字', g));
    EXPECT_EQ(counting.calls, 1);
    EXPECT_EQ(counting.cache().entryCount(), 1u);
    // A character without a glyph is looked at once, not on every draw.
    EXPECT_FALSE(counting.getGlyph(char16_t(0xDC00), g));
    EXPECT_FALSE(counting.getGlyph(char16_t(0xDC00), g));
    EXPECT_EQ(counting.calls, 2);
    // A 16-pixel font on 8-pixel pages: no glyph could be stored, so none is rasterised.
    CountingFont tooTall(engine, 8);
    EXPECT_FALSE(tooTall.getGlyph(u'A', g));
    EXPECT_FALSE(tooTall.getGlyph(u'B', g));
    EXPECT_EQ(tooTall.calls, 0);

    auto grad = QlGraphics::GradationFont::create(engine, u"IPAGothic", 16, false, false, 255, 0, 0.5f, 256);
    ASSERT_TRUE(grad);
    ASSERT_TRUE(grad->getGlyph(u'字', g));
    EXPECT_EQ(grad->cache().entryCount(), 2u);
    ASSERT_TRUE(grad->getGlyph(u'字', g));
    EXPECT_EQ(grad->cache().entryCount(), 2u);
    ASSERT_NE(g.layers[1].texture, nullptr);
    EXPECT_EQ(g.layers[2].texture, nullptr);
    EXPECT_NE(g.layers[0].x, g.layers[1].x);
}

TEST_F(FontEngine, GradationLayerFadesPerRow)
{
    EXPECT_EQ(QlGraphics::GradationFont::rowAlpha(0, 20, 255, 0, 0.5f), 255.0f);
    EXPECT_EQ(QlGraphics::GradationFont::rowAlpha(10, 20, 255, 0, 0.5f), 255.0f);
    EXPECT_FLOAT_EQ(QlGraphics::GradationFont::rowAlpha(19, 20, 255, 0, 0.5f), 0.0f);
    EXPECT_FLOAT_EQ(QlGraphics::GradationFont::rowAlpha(15, 20, 255, 0, 0.5f), 255.0f * 4 / 9);
    EXPECT_FLOAT_EQ(QlGraphics::GradationFont::rowAlpha(19, 20, 100, 200, 0.9f), 200.0f);
    EXPECT_EQ(QlGraphics::GradationFont::rowAlpha(19, 20, 100, 200, 0.99f), 100.0f);

    auto grad = QlGraphics::GradationFont::create(engine, u"IPAGothic", 20, false, false, 255, 0, 0.5f, 256);
    ASSERT_TRUE(grad);
    Glyph g;
    ASSERT_TRUE(grad->getGlyph(u'■', g)); // a solid block: full coverage over many rows
    const auto base = readRegion(g.layers[0]);
    const auto fade = readRegion(g.layers[1]);
    ASSERT_EQ(base.size(), fade.size());
    int checked = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < g.layers[0].width; ++x) {
            const Color b = base[size_t(y * g.layers[0].width + x)];
            const Color f = fade[size_t(y * g.layers[0].width + x)];
            EXPECT_EQ(b & 0xFFFFFF, 0xFFFFFFu);
            EXPECT_EQ(f & 0xFFFFFF, 0xFFFFFFu);
            const float cov = float(b >> 24);
            const long want = std::lround(cov * QlGraphics::GradationFont::rowAlpha(y, 20, 255, 0, 0.5f) / 255.0f);
            ASSERT_EQ(long(f >> 24), want) << x << "," << y;
            checked += cov == 255 && y > 10;
        }
    EXPECT_GT(checked, 20);
}

TEST_F(FontEngine, ShelvesAndPagesBreakWhereTheyShould)
{
    QlGraphics::FontCache cache(engine, 64);
    ASSERT_EQ(cache.pageCount(), 1u);
    std::vector<uint8_t> px(30 * 30 * 4, 0xFF);
    QlGraphics::FontCache::Entry e;
    ASSERT_EQ(cache.add(px.data(), 20, 10), 0);
    ASSERT_EQ(cache.add(px.data(), 20, 14), 1);
    ASSERT_EQ(cache.add(px.data(), 20, 12), 2); // 40 + 20 >= 64? no: still on the first shelf
    ASSERT_TRUE(cache.get(2, e));
    EXPECT_EQ(e.left, 40);
    EXPECT_EQ(e.top, 0);
    ASSERT_EQ(cache.add(px.data(), 10, 10), 3); // 60 + 10 >= 64: new shelf below the tallest (14)
    ASSERT_TRUE(cache.get(3, e));
    EXPECT_EQ(e.left, 0);
    EXPECT_EQ(e.top, 14);
    EXPECT_EQ(e.right, 10);
    EXPECT_EQ(e.bottom, 24);
    auto firstPage = e.texture;
    ASSERT_EQ(cache.add(px.data(), 30, 30), 4); // 14 + 30 < 64: same shelf
    ASSERT_EQ(cache.add(px.data(), 30, 30), 5); // 40 + 30 >= 64: shelf at 44, 44 + 30 >= 64: new page
    ASSERT_TRUE(cache.get(5, e));
    EXPECT_EQ(cache.pageCount(), 2u);
    EXPECT_NE(e.texture, firstPage);
    EXPECT_EQ(e.left, 0);
    EXPECT_EQ(e.top, 0);
    // Older entries keep their page.
    ASSERT_TRUE(cache.get(3, e));
    EXPECT_EQ(e.texture, firstPage);
    // A taller glyph on the last shelf starts a page instead of running off the bottom.
    QlGraphics::FontCache tall(engine, 64);
    ASSERT_EQ(tall.add(px.data(), 30, 10), 0);
    ASSERT_EQ(tall.add(px.data(), 30, 10), 1); // shelf at 0
    ASSERT_EQ(tall.add(px.data(), 30, 10), 2); // new shelf at 10
    ASSERT_EQ(tall.add(px.data(), 30, 10), 3);
    ASSERT_EQ(tall.add(px.data(), 30, 10), 4); // shelf at 20
    ASSERT_EQ(tall.add(px.data(), 30, 10), 5);
    ASSERT_EQ(tall.add(px.data(), 30, 10), 6); // shelf at 30
    ASSERT_EQ(tall.add(px.data(), 30, 34), 7); // same shelf, but 30 + 34 >= 64 rows: new page
    ASSERT_TRUE(tall.get(7, e));
    EXPECT_EQ(tall.pageCount(), 2u);
    EXPECT_EQ(e.top, 0);
    // The pixels land where the entry says.
    std::vector<uint8_t> glyph(4 * 3 * 4);
    for (size_t i = 0; i < glyph.size(); ++i)
        glyph[i] = uint8_t(i * 9 + 1);
    const int n = tall.add(glyph.data(), 4, 3);
    Region r;
    ASSERT_TRUE(tall.get(n, r));
    const auto back = readRegion(r);
    ASSERT_EQ(back.size(), 12u);
    EXPECT_EQ(std::memcmp(back.data(), glyph.data(), glyph.size()), 0);
}

TEST_F(FontEngine, GlyphsThatCannotBeStoredAreSkipped)
{
    std::vector<uint8_t> px(70 * 70 * 4, 0xFF);
    QlGraphics::FontCache cache(engine, 64);
    EXPECT_EQ(cache.add(px.data(), 64, 5), -1);
    EXPECT_EQ(cache.add(px.data(), 5, 70), -1);
    EXPECT_EQ(cache.pageCount(), 1u);
    EXPECT_EQ(cache.add(px.data(), 5, 5), 0);
    EXPECT_FALSE(cache.isValid(1));
    EXPECT_FALSE(cache.isValid(-1));
    Region r;
    EXPECT_FALSE(cache.get(7, r));
    // No engine: no page ever, and adding fails cleanly.
    QlGraphics::FontCache none(nullptr);
    EXPECT_EQ(none.add(px.data(), 5, 5), -1);
    EXPECT_EQ(none.pageCount(), 0u);

    // A 48-pixel font on 40-pixel pages: no glyph fits, text draws nothing and nothing breaks.
    auto big = QlGraphics::Font::create(engine, u"IPAGothic", 48, false, false, 40);
    ASSERT_TRUE(big);
    Glyph g;
    EXPECT_FALSE(big->getGlyph(u'A', g));
    EXPECT_EQ(big->cache().entryCount(), 0u);
    auto canvas = createCanvas(engine, 32, 32);
    ASSERT_TRUE(canvas);
    canvas->clear(0);
    canvas->begin();
    EXPECT_TRUE(canvas->drawText(big.get(), u"AB", Destination{0, 0, 0}, nullptr, BlendMode::Alpha, kWhite, kWhite));
    canvas->end();
    for (Color c : readCanvas(*canvas))
        ASSERT_EQ(c, 0u);
}

TEST_F(FontEngine, JapaneseTextDrawsInBothColoursAndScales)
{
    EXPECT_FALSE(QlGraphics::Font::create(nullptr, u"MS Gothic", 16, false, false));
    EXPECT_FALSE(QlGraphics::Font::create(engine, u"MS Gothic", 0, false, false));
    auto font = QlGraphics::GradationFont::create(engine, u"ＭＳ ゴシック", 16, false, false, 255, 255, 0.0f, 256);
    ASSERT_TRUE(font);
    const int width = font->measureWidth(u"日本");
    ASSERT_GT(width, 20);
    auto canvas = createCanvas(engine, 64, 48);
    ASSERT_TRUE(canvas);

    // Layer 0 red, layer 1 (fully opaque overlay here) blue: the glyph pixels end up blue
    // over red, both drawn.
    canvas->clear(0xFF000000u);
    canvas->begin();
    ASSERT_TRUE(canvas->drawText(font.get(), u"日本", Destination{0, 2, 3}, nullptr, BlendMode::Alpha, 0xFFFF0000u,
                                 0xFF0000FFu));
    canvas->end();
    auto px = readCanvas(*canvas);
    int inked = 0, right = 0, bottom = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            const Color c = px[size_t(y * 64 + x)];
            if ((c & 0xFFFFFF) == 0)
                continue;
            ++inked;
            right = std::max(right, x);
            bottom = std::max(bottom, y);
            EXPECT_EQ((c >> 8) & 0xFF, 0u); // no green anywhere
            EXPECT_GE(x, 2);
            EXPECT_GE(y, 3);
        }
    EXPECT_GT(inked, 40);
    EXPECT_LT(right, 2 + width);
    EXPECT_LT(bottom, 3 + 16);
    bool pureBlue = false;
    for (Color c : px)
        pureBlue = pureBlue || c == 0xFF0000FFu;
    EXPECT_TRUE(pureBlue);

    // Scaled to a rectangle twice as wide and twice as high.
    canvas->clear(0xFF000000u);
    canvas->begin();
    ASSERT_TRUE(canvas->drawText(font.get(), u"日本", Destination{1, 0, 0, 2 * width, 32}, nullptr, BlendMode::Alpha,
                                 kWhite, kWhite));
    canvas->end();
    px = readCanvas(*canvas);
    int scaledRight = 0, scaledBottom = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            if ((px[size_t(y * 64 + x)] & 0xFFFFFF) != 0) {
                scaledRight = std::max(scaledRight, x);
                scaledBottom = std::max(scaledBottom, y);
            }
    EXPECT_GT(scaledRight, right + width / 2);
    EXPECT_LT(scaledRight, 2 * width);
    EXPECT_GT(scaledBottom, 20);
    EXPECT_LT(scaledBottom, 32);
}

} // namespace
