// Decoding and encoding of image files, and the graphics file loader's two read paths.

#include "graphics/GraphicsFileLoader.h"
#include "graphics/ImageData.h"
#include "io/Factory.h"
#include "io/archive/ArchiveWriter.h"
#include "io/archive/QlaStorage.h"
#include "MemoryFiles.h"

#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

using QlGraphics::ImageData;
using QlGraphics::ImageFileType;
using Bytes = std::vector<uint8_t>;

void put16(Bytes& b, uint32_t v)
{
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void put32(Bytes& b, uint32_t v)
{
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}
void put32be(Bytes& b, uint32_t v)
{
    for (int s = 24; s >= 0; s -= 8)
        b.push_back(uint8_t(v >> s));
}

// BGRA of pixel (x, y) as the decoder should give it.
uint32_t pixel(const QlGraphics::IImageData& img, int x, int y)
{
    uint32_t v;
    std::memcpy(&v, img.pixelAt(x, y), 4);
    return v; // 0xAARRGGBB
}

// A BMP with a 40-byte info header; rows are given top row first and written bottom-up
// (positive height) unless topDown is set.
Bytes makeBmp(int w, int h, int bpp, const std::vector<uint32_t>& argb, const std::vector<uint32_t>& palette = {},
              const std::vector<uint8_t>& indices = {}, bool topDown = false)
{
    const int rowBytes = ((w * bpp + 31) / 32) * 4;
    const uint32_t paletteBytes = uint32_t(palette.size() * 4);
    const uint32_t offset = 14 + 40 + paletteBytes;
    Bytes b{'B', 'M'};
    put32(b, offset + rowBytes * h);
    put32(b, 0);
    put32(b, offset);
    put32(b, 40);
    put32(b, uint32_t(w));
    put32(b, topDown ? uint32_t(-h) : uint32_t(h));
    put16(b, 1);
    put16(b, uint32_t(bpp));
    put32(b, 0); // BI_RGB
    put32(b, uint32_t(rowBytes * h));
    put32(b, 2835);
    put32(b, 2835);
    put32(b, uint32_t(palette.size()));
    put32(b, 0);
    for (uint32_t c : palette)
        put32(b, c & 0xFFFFFF);
    for (int r = 0; r < h; ++r) {
        const int y = topDown ? r : h - 1 - r;
        Bytes row;
        for (int x = 0; x < w; ++x) {
            if (bpp == 8) {
                row.push_back(indices[size_t(y * w + x)]);
                continue;
            }
            const uint32_t c = argb[size_t(y * w + x)];
            row.push_back(uint8_t(c));
            row.push_back(uint8_t(c >> 8));
            row.push_back(uint8_t(c >> 16));
            if (bpp == 32)
                row.push_back(uint8_t(c >> 24));
        }
        row.resize(size_t(rowBytes), 0);
        b.insert(b.end(), row.begin(), row.end());
    }
    return b;
}

// An uncompressed 32-bit TGA with its origin at the top left.
Bytes makeTga(int w, int h, const std::vector<uint32_t>& argb)
{
    Bytes b{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    put16(b, uint32_t(w));
    put16(b, uint32_t(h));
    b.push_back(32);
    b.push_back(0x28); // 8 alpha bits, top-left origin
    for (uint32_t c : argb)
        put32(b, c);
    return b;
}

void pngChunk(Bytes& out, const char* type, const Bytes& data)
{
    put32be(out, uint32_t(data.size()));
    Bytes body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    put32be(out, uint32_t(crc32(0, body.data(), uInt(body.size()))));
}

// A PNG of 8-bit samples of the given colour type (0 grey, 4 grey + alpha), one filter byte per row.
Bytes makeGreyPng(int w, int h, int colorType, const Bytes& samples)
{
    const int channels = colorType == 4 ? 2 : 1;
    Bytes raw;
    for (int y = 0; y < h; ++y) {
        raw.push_back(0);
        raw.insert(raw.end(), samples.begin() + y * w * channels, samples.begin() + (y + 1) * w * channels);
    }
    uLongf zlen = compressBound(uLong(raw.size()));
    Bytes z(zlen);
    compress(z.data(), &zlen, raw.data(), uLong(raw.size()));
    z.resize(zlen);
    Bytes out{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    Bytes ihdr;
    put32be(ihdr, uint32_t(w));
    put32be(ihdr, uint32_t(h));
    ihdr.insert(ihdr.end(), {8, uint8_t(colorType), 0, 0, 0});
    pngChunk(out, "IHDR", ihdr);
    pngChunk(out, "IDAT", z);
    pngChunk(out, "IEND", {});
    return out;
}

Bytes encode(const std::vector<uint32_t>& argb, int w, int h, ImageFileType type)
{
    return QlGraphics::encodeImage(reinterpret_cast<const uint8_t*>(argb.data()), uint16_t(w), uint16_t(h),
                                   uint32_t(w * 4), type);
}

ImageData decode(const Bytes& bytes, std::u16string_view name = u"x")
{
    ImageData img;
    img.load(bytes.data(), bytes.size(), name);
    return img;
}

const std::vector<uint32_t> kSix{0xFF102030, 0xFF405060, 0xFF708090, 0xFFA0B0C0, 0xFFD0E0F0, 0xFF010203};

TEST(ImageDecode, TwentyFourBitBmpIsOpaqueAndUpright)
{
    for (bool topDown : {false, true}) {
        ImageData img = decode(makeBmp(3, 2, 24, kSix, {}, {}, topDown));
        ASSERT_EQ(img.getWidth(), 3);
        ASSERT_EQ(img.getHeight(), 2);
        EXPECT_EQ(img.getBitsPerPixel(), 32u);
        EXPECT_EQ(img.getPitch(), 12);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x)
                EXPECT_EQ(pixel(img, x, y), kSix[size_t(y * 3 + x)]) << x << "," << y << " topDown " << topDown;
        EXPECT_EQ(img.rowAt(1), img.pixelAt(0, 1));
        EXPECT_EQ(img.getBits(), img.pixelAt(0, 0));
    }
}

TEST(ImageDecode, TgaWithAlphaOnlyWhenNamedTga)
{
    const std::vector<uint32_t> px{0x80FF0000, 0x00000000, 0xFF00FF00, 0x400000FF};
    const Bytes tga = makeTga(2, 2, px);
    ImageData img = decode(tga, u"sprites/Shot.TGA");
    ASSERT_EQ(img.getWidth(), 2);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(pixel(img, i % 2, i / 2), px[size_t(i)]) << i;
    EXPECT_TRUE(decode(tga, u"shot.bin").empty());
}

TEST(ImageDecode, PngKeepsUnpremultipliedAlphaExactly)
{
    const std::vector<uint32_t> px{0x00FFFFFF, 0x01020304, 0x7FC08040, 0xFF000000, 0x80FF00FF, 0xFE123456};
    ImageData img = decode(encode(px, 3, 2, ImageFileType::Png));
    ASSERT_EQ(img.getWidth(), 3);
    ASSERT_EQ(img.getHeight(), 2);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(pixel(img, i % 3, i / 3), px[size_t(i)]) << i;
}

TEST(ImageDecode, OpaqueRoundTripIsExactForPngAndBmp)
{
    std::vector<uint32_t> px(100 * 50);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 100; ++x)
            px[size_t(y * 100 + x)] = 0xFF000000u | uint32_t(x * 2) << 16 | uint32_t(y * 5) << 8 | uint32_t(x ^ y);
    for (auto type : {ImageFileType::Png, ImageFileType::Bmp}) {
        const Bytes file = encode(px, 100, 50, type);
        ASSERT_FALSE(file.empty());
        ImageData img = decode(file);
        ASSERT_EQ(img.getWidth(), 100);
        ASSERT_EQ(img.getHeight(), 50);
        EXPECT_EQ(std::memcmp(img.getBits(), px.data(), px.size() * 4), 0) << int(type);
    }
    EXPECT_EQ(encode(px, 100, 50, ImageFileType::Bmp)[0], 'B');
    EXPECT_EQ(encode(px, 100, 50, ImageFileType::Png)[1], 'P');
}

TEST(ImageDecode, JpegDecodesCloseAndOpaque)
{
    std::vector<uint32_t> px(16 * 16, 0x80336699);
    const Bytes file = encode(px, 16, 16, ImageFileType::Jpeg);
    ASSERT_GT(file.size(), 2u);
    EXPECT_EQ(file[0], 0xFF);
    EXPECT_EQ(file[1], 0xD8);
    ImageData img = decode(file);
    ASSERT_EQ(img.getWidth(), 16);
    for (int y = 0; y < 16; y += 5)
        for (int x = 0; x < 16; x += 5) {
            const uint32_t c = pixel(img, x, y);
            EXPECT_EQ(c >> 24, 0xFFu);
            EXPECT_NEAR(int(c >> 16 & 0xFF), 0x33, 3);
            EXPECT_NEAR(int(c >> 8 & 0xFF), 0x66, 3);
            EXPECT_NEAR(int(c & 0xFF), 0x99, 3);
        }
}

TEST(ImageDecode, PaletteAndGreyImagesBecomeThirtyTwoBit)
{
    // 8-bit palette BMP.
    ImageData bmp = decode(makeBmp(2, 2, 8, {}, {0x000000FF, 0x0000FF00, 0x00FF0000}, {0, 1, 2, 1}));
    ASSERT_EQ(bmp.getWidth(), 2);
    EXPECT_EQ(pixel(bmp, 0, 0), 0xFF0000FFu);
    EXPECT_EQ(pixel(bmp, 1, 0), 0xFF00FF00u);
    EXPECT_EQ(pixel(bmp, 0, 1), 0xFFFF0000u);

    // Grey and grey + alpha PNGs.
    ImageData grey = decode(makeGreyPng(2, 1, 0, {0x40, 0xC0}));
    ASSERT_EQ(grey.getWidth(), 2);
    EXPECT_EQ(pixel(grey, 0, 0), 0xFF404040u);
    EXPECT_EQ(pixel(grey, 1, 0), 0xFFC0C0C0u);
    ImageData greyAlpha = decode(makeGreyPng(2, 1, 4, {0x40, 0x00, 0xC0, 0x80}));
    ASSERT_EQ(greyAlpha.getWidth(), 2);
    EXPECT_EQ(pixel(greyAlpha, 0, 0) >> 24, 0u);
    EXPECT_EQ(pixel(greyAlpha, 1, 0), 0x80C0C0C0u);
}

// One fully transparent entry (decoded through a colour key) and partly transparent entries.
TEST(ImageDecode, PalettePngKeepsItsTransparency)
{
    for (uint8_t blueAlpha : {uint8_t(255), uint8_t(128)}) {
        SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, 3, 1, 8, SDL_PIXELFORMAT_INDEX8);
        ASSERT_NE(s, nullptr);
        SDL_Color colors[3] = {{255, 0, 0, 255}, {0, 0, 255, blueAlpha}, {9, 9, 9, 0}};
        SDL_SetPaletteColors(s->format->palette, colors, 0, 3);
        static_cast<uint8_t*>(s->pixels)[0] = 0;
        static_cast<uint8_t*>(s->pixels)[1] = 2;
        static_cast<uint8_t*>(s->pixels)[2] = 1;
        std::vector<uint8_t> buffer(4096);
        SDL_RWops* rw = SDL_RWFromMem(buffer.data(), int(buffer.size()));
        ASSERT_EQ(IMG_SavePNG_RW(s, rw, 0), 0);
        buffer.resize(size_t(SDL_RWtell(rw)));
        SDL_RWclose(rw);
        SDL_FreeSurface(s);

        ImageData img = decode(buffer);
        ASSERT_EQ(img.getWidth(), 3);
        EXPECT_EQ(pixel(img, 0, 0), 0xFFFF0000u);
        EXPECT_EQ(pixel(img, 1, 0) >> 24, 0u);
        EXPECT_EQ(pixel(img, 2, 0), uint32_t(blueAlpha) << 24 | 0xFFu);
    }
}

TEST(ImageDecode, DamagedInputGivesNoImage)
{
    std::vector<uint32_t> px(64 * 64, 0xFF112233);
    const Bytes png = encode(px, 64, 64, ImageFileType::Png);
    const Bytes bmp = makeBmp(3, 2, 24, kSix);
    for (size_t cut : {size_t(8), size_t(30), png.size() / 2, png.size() - 13}) {
        Bytes part(png.begin(), png.begin() + long(cut));
        EXPECT_TRUE(decode(part).empty()) << cut;
    }
    Bytes shortBmp(bmp.begin(), bmp.begin() + 40);
    EXPECT_TRUE(decode(shortBmp).empty());
    // Formats the codec library knows but games do not ship (here an SVG) are not decoded.
    const char* svg = "<svg xmlns='http://www.w3.org/2000/svg' width='4' height='4'><rect width='4' height='4'/></svg>";
    EXPECT_TRUE(decode(Bytes(svg, svg + std::strlen(svg))).empty());
    Bytes noise(500);
    for (size_t i = 0; i < noise.size(); ++i)
        noise[i] = uint8_t(i * 7919 >> 3);
    EXPECT_TRUE(decode(noise).empty());
    EXPECT_TRUE(decode({}).empty());
    ImageData img;
    EXPECT_FALSE(img.load(nullptr, 10, u""));
    EXPECT_EQ(img.getWidth(), 0);
}

TEST(ImageDecode, FileTypeComesFromTheExtension)
{
    EXPECT_EQ(QlGraphics::imageFileTypeOf(u"a/b/shot.PNG"), ImageFileType::Png);
    EXPECT_EQ(QlGraphics::imageFileTypeOf(u"shot.jpeg"), ImageFileType::Jpeg);
    EXPECT_EQ(QlGraphics::imageFileTypeOf(u"shot.Jpg"), ImageFileType::Jpeg);
    EXPECT_EQ(QlGraphics::imageFileTypeOf(u"c:\\x\\shot.bmp"), ImageFileType::Bmp);
    EXPECT_EQ(QlGraphics::imageFileTypeOf(u"shot.gif"), ImageFileType::Unknown);
    EXPECT_EQ(QlGraphics::imageFileTypeOf(u"dir.png/shot"), ImageFileType::Unknown);
    EXPECT_EQ(QlGraphics::imageFileTypeOf(u"png"), ImageFileType::Unknown);
    std::vector<uint32_t> px(4, 0xFFFFFFFF);
    EXPECT_TRUE(encode(px, 2, 2, ImageFileType::Unknown).empty());
}

TEST(GraphicsFileLoader, SmallFilesAreReadWholeLargeOnesStream)
{
    auto files = std::make_shared<QlTest::MemoryFiles>();
    Bytes small(1023999), large(1024000);
    for (size_t i = 0; i < large.size(); ++i)
        large[i] = uint8_t(i * 31 + (i >> 9));
    std::copy(large.begin(), large.begin() + long(small.size()), small.begin());
    files->files[u"small.bin"] = small;
    files->files[u"large.bin"] = large;
    Quillorane::GraphicsFileLoader loader(files);

    auto s = loader.load(u"small.bin");
    ASSERT_TRUE(s);
    EXPECT_EQ(files->lastInput->getAvailable(), 0u); // read whole at load time
    EXPECT_EQ(s->getSize(), 1023999u);
    EXPECT_EQ(s->getName(), u"small.bin");

    auto l = loader.load(u"large.bin");
    ASSERT_TRUE(l);
    EXPECT_EQ(files->lastInput->tell(), 0u); // nothing read yet: kept as a stream
    EXPECT_EQ(l->getSize(), 1024000u);

    for (auto* data : {s.get(), l.get()}) {
        uint8_t buf[16];
        EXPECT_EQ(data->read(buf, 0, 16), 16u);
        EXPECT_EQ(std::memcmp(buf, large.data(), 16), 0);
        EXPECT_EQ(data->read(buf, 16, 16), 16u);
        EXPECT_EQ(std::memcmp(buf, large.data() + 16, 16), 0);
        // Out of order: the bytes at the offset, not at the stream's position.
        EXPECT_EQ(data->read(buf, 1000, 4), 4u);
        EXPECT_EQ(std::memcmp(buf, large.data() + 1000, 4), 0);
        // Cut to what remains; nothing past the end or into no buffer.
        const uint32_t size = data->getSize();
        EXPECT_EQ(data->read(buf, size - 3, 16), 3u);
        EXPECT_EQ(std::memcmp(buf, large.data() + size - 3, 3), 0);
        EXPECT_EQ(data->read(buf, size, 16), 0u);
        EXPECT_EQ(data->read(nullptr, 0, 16), 0u);
    }
    EXPECT_FALSE(loader.load(u"missing.bin"));
    EXPECT_FALSE(Quillorane::GraphicsFileLoader(nullptr).load(u"small.bin"));
}

// Through the real file manager with an archive mounted: a small image read whole and a
// large one (past the streaming threshold) read from the archive entry's stream.
TEST(GraphicsFileLoader, ImagesLoadFromArchivesThroughEitherPath)
{
    Bytes big = makeBmp(3, 2, 24, kSix);
    big.resize(1200000, 0);
    Qla::ArchiveWriter writer;
    writer.addFile("img\\a.bmp", makeBmp(3, 2, 24, kSix));
    writer.addFile("img\\big.bmp", big);
    writer.addFile("img\\bad.png", Bytes{0x89, 'P', 'N', 'G', 1, 2, 3});
    const Bytes archive = writer.toBytes();
    auto files = QlIO::createFileManager(QlIO::createFileStorage());
    ASSERT_TRUE(files);
    ASSERT_TRUE(files->addStorage(0, QlIO::createArchiveStorage(archive.data(), archive.size(),
                                                                std::string(Qla::kDefaultPassword))));
    Quillorane::GraphicsFileLoader loader(files);
    QlGraphics::ImageLoader images;

    for (auto name : {u"img/a.bmp", u"IMG/Big.bmp"}) {
        auto img = images.load(loader.load(name));
        ASSERT_TRUE(img) << int(name[4]);
        EXPECT_EQ(pixel(*img, 2, 1), kSix[5]);
    }
    EXPECT_EQ(loader.load(u"img/big.bmp")->getSize(), 1200000u);
    EXPECT_FALSE(images.load(loader.load(u"img/bad.png")));
    EXPECT_FALSE(loader.load(u"img/missing.png"));
    EXPECT_FALSE(images.load(nullptr));
}

// File data whose reads hand out at most five bytes each, as a stream may.
class PieceFileData : public QlGraphics::IFileData {
public:
    explicit PieceFileData(Bytes bytes) : bytes_(std::move(bytes)) {}
    std::u16string getName() const override { return u"piece.bmp"; }
    std::uint32_t getSize() const override { return static_cast<std::uint32_t>(bytes_.size()); }
    std::uint32_t read(void* buffer, std::uint32_t offset, std::uint32_t size) override
    {
        if (buffer == nullptr || offset >= bytes_.size())
            return 0;
        const auto n = std::min<std::uint32_t>({size, 5u, getSize() - offset});
        std::memcpy(buffer, bytes_.data() + offset, n);
        return n;
    }

private:
    Bytes bytes_;
};

TEST(ImageLoader, ReadsFilesHandedOutInPieces)
{
    const Bytes bmp = makeBmp(3, 2, 24, kSix);
    PieceFileData data(bmp);
    EXPECT_EQ(QlGraphics::readFileData(data), bmp);
    auto img = QlGraphics::ImageLoader().load(std::make_shared<PieceFileData>(bmp));
    ASSERT_TRUE(img);
    EXPECT_EQ(pixel(*img, 2, 1), kSix[5]);
    EXPECT_FALSE(QlGraphics::ImageLoader().load(std::make_shared<PieceFileData>(Bytes{})));
}

} // namespace
