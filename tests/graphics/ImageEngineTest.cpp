// Images as textures: loading through the context's loaders and saving drawn pixels.

#include "GlFixture.h"
#include "MemoryFiles.h"
#include "graphics/Context.h"
#include "graphics/GraphicsFileLoader.h"
#include "graphics/Images.h"

using namespace QlTest;

namespace {

std::vector<uint8_t> encodeArgb(const std::vector<Color>& px, int w, int h, QlGraphics::ImageFileType type)
{
    return QlGraphics::encodeImage(reinterpret_cast<const uint8_t*>(px.data()), uint16_t(w), uint16_t(h),
                                   uint32_t(w * 4), type);
}

std::vector<Color> decodeArgb(const std::vector<uint8_t>& bytes, int& w, int& h)
{
    QlGraphics::ImageData img;
    if (!img.load(bytes.data(), bytes.size(), u""))
        return {};
    w = img.getWidth();
    h = img.getHeight();
    std::vector<Color> out(size_t(w * h));
    std::memcpy(out.data(), img.getBits(), out.size() * 4);
    return out;
}

struct ImageEngine : GlFixture {
    std::shared_ptr<MemoryFiles> files = std::make_shared<MemoryFiles>();
    std::shared_ptr<QlGraphics::Context> context;

    void SetUp() override
    {
        GlFixture::SetUp();
        if (HasFatalFailure())
            return;
        context = QlGraphics::Context::create(engine);
        ASSERT_TRUE(context);
        context->setFileLoader(std::make_shared<Quillorane::GraphicsFileLoader>(files));
        context->setImageLoader(std::make_shared<QlGraphics::ImageLoader>());
        QlGraphics::setContext(context);
        QlGraphics::setScreenCanvas(createCanvas(engine, 16, 16));
    }
    void TearDown() override
    {
        QlGraphics::setScreenCanvas(nullptr);
        QlGraphics::setContext(nullptr);
    }
};

std::vector<Color> pattern(int w, int h, Color alphaBits = 0xFF000000u)
{
    std::vector<Color> px(size_t(w * h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            px[size_t(y * w + x)] = alphaBits | (texel(x, y) & 0xFFFFFF);
    return px;
}

TEST_F(ImageEngine, LoadedImagesCarryTheirPixelsInATexture)
{
    const auto px = pattern(7, 5, 0x80000000u);
    files->files[u"img/a.png"] = encodeArgb(px, 7, 5, QlGraphics::ImageFileType::Png);
    auto image = QlGraphics::loadImage(u"img/a.png");
    ASSERT_TRUE(image);
    EXPECT_EQ(image->getWidth(), 7);
    EXPECT_EQ(image->getHeight(), 5);
    Region r;
    ASSERT_TRUE(image->getRegion(r));
    EXPECT_EQ(r.texture, image->getTexture().get());
    EXPECT_EQ(r.x, 0);
    EXPECT_EQ(r.width, 7);
    EXPECT_EQ(readTexture(*image->getTexture()), px);

    files->files[u"img/bad.png"] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0};
    EXPECT_FALSE(QlGraphics::loadImage(u"img/bad.png"));
    EXPECT_FALSE(QlGraphics::loadImage(u"img/missing.png"));
    EXPECT_TRUE(QlGraphics::loadImageData(u"img/a.png"));

    context->setImageLoader(nullptr);
    EXPECT_FALSE(QlGraphics::loadImageData(u"img/a.png"));
    context->setImageLoader(std::make_shared<QlGraphics::ImageLoader>());
    QlGraphics::setScreenCanvas(nullptr);
    EXPECT_FALSE(QlGraphics::loadTexture(u"img/a.png"));
}

TEST_F(ImageEngine, SavedOpaqueImagesReloadExactly)
{
    const auto px = pattern(100, 50);
    auto texture = makeTexture(*engine, 100, 50, [&](int x, int y) { return px[size_t(y * 100 + x)]; });
    QlGraphics::Image image(texture);
    for (auto path : {u"out/shot.png", u"out/shot.BMP"}) {
        ASSERT_TRUE(QlGraphics::saveImage(path, image, Rect{0, 0, 100, 50}));
        int w = 0, h = 0;
        const auto back = decodeArgb(files->files[path], w, h);
        ASSERT_EQ(w, 100);
        ASSERT_EQ(h, 50);
        EXPECT_EQ(back, px);
    }
    // A sub-rectangle saves just that area.
    ASSERT_TRUE(QlGraphics::saveImage(u"part.png", image, Rect{10, 20, 13, 22}));
    int w = 0, h = 0;
    const auto part = decodeArgb(files->files[u"part.png"], w, h);
    ASSERT_EQ(w, 3);
    ASSERT_EQ(h, 2);
    EXPECT_EQ(part[4], px[size_t(21 * 100 + 11)]);
    // JPEG: close, opaque.
    ASSERT_TRUE(QlGraphics::saveImage(u"shot.jpg", image, Rect{0, 0, 100, 50}));
    EXPECT_EQ(files->files[u"shot.jpg"][0], 0xFF);
}

TEST_F(ImageEngine, SavingKeepsAlphaAndRefusesWhatItCannotWrite)
{
    const auto px = pattern(4, 4, 0x40000000u);
    auto texture = makeTexture(*engine, 4, 4, [&](int x, int y) { return px[size_t(y * 4 + x)]; });
    QlGraphics::Image image(texture);
    for (auto path : {u"alpha.png", u"alpha.bmp"}) {
        ASSERT_TRUE(QlGraphics::saveImage(path, image, Rect{0, 0, 4, 4}));
        int w = 0, h = 0;
        EXPECT_EQ(decodeArgb(files->files[path], w, h), px);
    }

    EXPECT_FALSE(QlGraphics::saveImage(u"shot.gif", image, Rect{0, 0, 4, 4}));
    EXPECT_FALSE(QlGraphics::saveImage(u"shot", image, Rect{0, 0, 4, 4}));
    EXPECT_EQ(files->files.count(u"shot.gif"), 0u);
    EXPECT_FALSE(QlGraphics::saveImage(u"empty.png", image, Rect{2, 2, 2, 4}));
    files->refuseWrites = true;
    EXPECT_FALSE(QlGraphics::saveImage(u"nowhere.png", image, Rect{0, 0, 4, 4}));
    files->refuseWrites = false;
    // A canvas that is being drawn cannot be saved.
    auto canvas = createCanvas(engine, 4, 4);
    canvas->begin();
    EXPECT_FALSE(QlGraphics::saveImage(u"busy.png", *canvas, Rect{0, 0, 4, 4}));
    canvas->end();
    EXPECT_TRUE(QlGraphics::saveImage(u"idle.png", *canvas, Rect{0, 0, 4, 4}));
}

} // namespace

TEST_F(ImageEngine, WindowIconComesFromADecodableImageOnly)
{
    Quillorane::GraphicsFileLoader loader(files);
    auto& window = *GlFixture::window();
    files->files[u"icon.png"] = encodeArgb(pattern(32, 32), 32, 32, QlGraphics::ImageFileType::Png);
    EXPECT_TRUE(QlGraphics::loadWindowIcon(window, loader, u"icon.png"));
    EXPECT_FALSE(QlGraphics::loadWindowIcon(window, loader, u"missing.png"));
    files->files[u"broken.png"] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0};
    EXPECT_FALSE(QlGraphics::loadWindowIcon(window, loader, u"broken.png"));

    const std::vector<uint8_t> row(16, 0xFF);
    EXPECT_FALSE(window.setIcon(nullptr, 2, 2, 8));
    EXPECT_FALSE(window.setIcon(row.data(), 4, 1, 8));  // rows shorter than the width
    EXPECT_FALSE(window.setIcon(row.data(), 0, 1, 16));
    EXPECT_TRUE(window.setIcon(row.data(), 4, 1, 16));
}
