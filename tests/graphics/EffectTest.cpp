// The grey, negative and alpha-map effects, checked on read-back pixels.

#include "GlFixture.h"
#include "graphics/effects/Effects2d.h"

using namespace QlTest;

namespace {

struct EffectTest : GlFixture {
    std::shared_ptr<ICanvas> canvas;
    void SetUp() override
    {
        GlFixture::SetUp();
        if (HasFatalFailure())
            return;
        canvas = createCanvas(engine, 8, 4);
        ASSERT_TRUE(canvas);
        canvas->clear(0xFF000000u);
    }
    // Draws an 8 x 4 texture over the whole canvas with the effect, copying (no blending).
    std::vector<Color> drawWith(IEffect2d* effect, const std::shared_ptr<ITexture>& t, Color color = kWhite)
    {
        TestImage image(t);
        canvas->begin();
        EXPECT_TRUE(canvas->drawImage(&image, Destination{0, 0, 0}, effect, BlendMode::Opaque, color));
        canvas->end();
        return readCanvas(*canvas);
    }
};

Color grayOf(Color c)
{
    const double y = 0.298912 * channel(c, 16) + 0.586611 * channel(c, 8) + 0.114478 * channel(c, 0);
    const auto v = static_cast<Color>(std::lround(y));
    return (c & 0xFF000000u) | v << 16 | v << 8 | v;
}

Color texelWithAlpha(int x, int y)
{
    return (texel(x, y) & 0xFFFFFF) | static_cast<Color>(0x20 + 0x1C * x + 0x07 * y) << 24;
}

TEST_F(EffectTest, TypeNumbersAndMasks)
{
    EXPECT_EQ(QlGraphics::createGrayEffect()->getType(), 1u);
    EXPECT_EQ(QlGraphics::createNegaEffect()->getType(), 2u);
    auto mask = makeTexture(*engine, 2, 2, [](int, int) { return kWhite; });
    EXPECT_EQ(QlGraphics::createAlphamapEffect(mask, 0.5f)->getType(), 3u);
    EXPECT_FALSE(QlGraphics::createAlphamapEffect(nullptr, 0.5f));
    EXPECT_TRUE(QlGraphics::createGrayEffect()->createShader(*engine));
}

TEST_F(EffectTest, GrayGivesLuminanceAndKeepsAlpha)
{
    auto t = makeTexture(*engine, 8, 4, texelWithAlpha);
    auto gray = QlGraphics::createGrayEffect();
    const auto px = drawWith(gray.get(), t);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_TRUE(near(px[size_t(y * 8 + x)], grayOf(texelWithAlpha(x, y)), 1)) << x << "," << y;

    // Untextured shapes come out in the grey of their colour.
    canvas->clear(0xFF000000u);
    const Point2d quad[4] = {{0, 0, 0, 0xFFC03010u}, {8, 0, 0, 0xFFC03010u}, {8, 4, 0, 0xFFC03010u},
                             {0, 4, 0, 0xFFC03010u}};
    canvas->begin();
    ASSERT_TRUE(canvas->drawShape(quad, 4, gray.get(), BlendMode::Opaque, kWhite));
    canvas->end();
    EXPECT_TRUE(near(readCanvas(*canvas)[10], grayOf(0xFFC03010u), 1));
}

TEST_F(EffectTest, NegaInvertsColourAndKeepsAlpha)
{
    auto t = makeTexture(*engine, 8, 4, texelWithAlpha);
    auto nega = QlGraphics::createNegaEffect();
    const auto px = drawWith(nega.get(), t);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) {
            const Color c = texelWithAlpha(x, y);
            ASSERT_TRUE(near(px[size_t(y * 8 + x)], (c & 0xFF000000u) | (~c & 0xFFFFFF), 1)) << x << "," << y;
        }
    // The vertex colour modulates before inverting.
    const auto half = drawWith(nega.get(), t, 0xFF808080u);
    const Color c = texelWithAlpha(3, 2);
    EXPECT_NEAR(channel(half[size_t(2 * 8 + 3)], 16), 255 - channel(c, 16) * 128 / 255, 2);
}

TEST_F(EffectTest, AlphamapScalesAlphaByTheMaskAndPower)
{
    auto t = makeTexture(*engine, 8, 4, [](int x, int y) { return 0xFF000000u | (texel(x, y) & 0xFFFFFF); });
    // Mask red rises along x: 0, 36, ... 252; green and blue must not matter.
    auto mask = makeTexture(*engine, 8, 4, [](int x, int) { return 0xFF00FFFFu | static_cast<Color>(x * 36) << 16; });
    struct Case {
        float power;
        int (*alpha)(int red);
    };
    const Case cases[] = {
        {0.5f, [](int red) { return red; }},
        {0.0f, [](int) { return 0; }},
        {1.0f, [](int) { return 255; }},
        {0.75f, [](int red) { return std::min(255, red + 128); }},
    };
    for (const auto& k : cases) {
        auto effect = QlGraphics::createAlphamapEffect(mask, k.power);
        const auto px = drawWith(effect.get(), t);
        for (int x = 0; x < 8; ++x) {
            const Color got = px[size_t(8 + x)];
            EXPECT_NEAR(channel(got, 24), k.alpha(x * 36), 2) << "power " << k.power << " x " << x;
            EXPECT_EQ(got & 0xFFFFFF, texel(x, 1) & 0xFFFFFF);
        }
    }
    // Untextured draws give transparent black.
    auto effect = QlGraphics::createAlphamapEffect(mask, 1.0f);
    const Point2d quad[4] = {{0, 0, 0, kWhite}, {8, 0, 0, kWhite}, {8, 4, 0, kWhite}, {0, 4, 0, kWhite}};
    canvas->begin();
    ASSERT_TRUE(canvas->drawShape(quad, 4, effect.get(), BlendMode::Opaque, kWhite));
    canvas->end();
    EXPECT_EQ(readCanvas(*canvas)[5], 0u);
}

} // namespace
