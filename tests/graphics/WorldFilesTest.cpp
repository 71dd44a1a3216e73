// Models and their textures read through the graphics context's file loader.
#include "graphics/GraphicsFileLoader.h"
#include "graphics/Images.h"

#include "MemoryFiles.h"
#include "WorldFixture.h"

using namespace QlGraphics;
using namespace QlTest;

namespace {

// A 2 x 2 24-bit bottom-up BMP: top row red, green; bottom row blue, white.
std::vector<std::uint8_t> checkBmp()
{
    std::vector<std::uint8_t> b = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0,
                                   1, 0, 24, 0, 0, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const std::uint8_t rows[2][8] = {{255, 0, 0, 255, 255, 255, 0, 0},   // bottom: blue, white
                                     {0, 0, 255, 0, 255, 0, 0, 0}};     // top: red, green
    for (const auto& r : rows)
        b.insert(b.end(), r, r + 8);
    return b;
}

struct WorldFiles : WorldRender {
    std::shared_ptr<MemoryFiles> files = std::make_shared<MemoryFiles>();
    void SetUp() override
    {
        WorldRender::SetUp();
        if (HasFatalFailure())
            return;
        context->setFileLoader(std::make_shared<Quillorane::GraphicsFileLoader>(files));
        context->setImageLoader(std::make_shared<ImageLoader>());
        context->setModelLoader(std::make_shared<ModelLoader>());
    }
};

TEST_F(WorldFiles, LoadsModelsAndTexturesThroughTheFileManager)
{
    files->files[u"models/square.mqo"] = std::vector<std::uint8_t>(kSquare, kSquare + std::strlen(kSquare));
    files->files[u"models/check.bmp"] = checkBmp();
    auto model = loadModel(u"models/square.mqo");
    ASSERT_TRUE(model);
    ASSERT_EQ(model->getPartCount(), 1u);
    ASSERT_TRUE(model->getTexture(0, 0));
    EXPECT_EQ(model->getBoundingBox()[0].x, -0.5f);
    EXPECT_EQ(model->getBoundingBox()[7].y, 0.5f);
    World world;
    auto square = world.createActor(model);
    square->setScale(4, 4, 1);
    const auto px = render(world, lookAt({0, 0, -2}, {0, 0, 0}, {0, 1, 0}), kProjection);
    // UV (0,0) is the texture's top-left texel, placed at the square's top-left corner. The
    // square fills the canvas and pixel (i, j) samples the point (i, j), so pixels 16 and 48
    // sample the texel centres (0.25 and 0.75) exactly.
    EXPECT_TRUE(near(at(px, 16, 16), 0xFF000000u | kLit << 16, 2));
    EXPECT_TRUE(near(at(px, 48, 16), 0xFF000000u | kLit << 8, 2));
    EXPECT_TRUE(near(at(px, 16, 48), 0xFF000000u | kLit, 2));
    EXPECT_TRUE(near(at(px, 48, 48), gray(kLit), 2));

    // A missing texture leaves the stage empty; a missing model gives nothing.
    files->files.erase(u"models/check.bmp");
    auto plain = loadModel(u"models/square.mqo");
    ASSERT_TRUE(plain);
    EXPECT_FALSE(plain->getTexture(0, 0));
    EXPECT_FALSE(loadModel(u"models/none.mqo"));
}

}  // namespace
