// Movies read through the file manager by the graphics file loader.
#include "graphics/GraphicsFileLoader.h"
#include "graphics/video/Video.h"

#include "io/Factory.h"
#include "io/archive/ArchiveWriter.h"
#include "io/archive/QlaStorage.h"

#include "ForwardingEngine.h"
#include "GlFixture.h"
#include "MemoryFiles.h"
#include "MovieMaker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace QlGraphics;
using namespace QlTest;

namespace {

TEST(VideoLoading, PlaysMoviesFromAnArchive)
{
    // Over 1,024,000 bytes, so the file loader keeps a stream and the decoder seeks in it.
    MovieSpec spec;
    spec.frames = 60;
    spec.picture = solidFrames(kColors, spec.width, spec.height);
    spec.audioRate = 48000;
    spec.toneAt = [](double) { return 1000.0; };
    spec.container = "matroska";
    ASSERT_TRUE(makeMovie("long.mkv", spec));
    const auto movie = readWholeFile("long.mkv");
    ASSERT_GT(movie.size(), 1024000u);
    Qla::ArchiveWriter writer;
    writer.addFile("movies\\long.mkv", movie);
    const auto archive = writer.toBytes();
    auto files = QlIO::createFileManager(QlIO::createFileStorage());
    ASSERT_TRUE(files);
    ASSERT_TRUE(files->addStorage(0, QlIO::createArchiveStorage(archive.data(), archive.size(),
                                                                std::string(Qla::kDefaultPassword))));
    Quillorane::GraphicsFileLoader fileLoader(files);
    auto data = fileLoader.load(u"Movies/Long.mkv");
    ASSERT_TRUE(data);
    EXPECT_EQ(data->getSize(), movie.size());
    VideoLoader loader;
    auto video = loader.load(data);
    ASSERT_TRUE(video);
    EXPECT_EQ(video->getWidth(), 64);
    EXPECT_NEAR(video->getDuration(), 6.0, 0.05);
    ASSERT_TRUE(video->setPosition(5.75));
    video->pause();
    video->play();
    // Frames 57, 58 and 59 are blue, yellow and cyan (which one shows first depends on real
    // time); the frames before them, red (55) and green (56), must not show.
    ASSERT_TRUE(waitUntil([&] { return video->grabFrame(); }));
    const std::uint8_t* p = video->getBits();  // blue, green, red
    const bool blue = p[0] > 200 && p[1] < 60 && p[2] < 60;
    const bool yellow = p[0] < 60 && p[1] > 200 && p[2] > 200;
    const bool cyan = p[0] > 200 && p[1] > 200 && p[2] < 60;
    EXPECT_TRUE(blue || yellow || cyan) << int(p[0]) << " " << int(p[1]) << " " << int(p[2]);
    EXPECT_GE(video->getPosition(), 5.75);
}

struct CreateVideo : GlFixture {};

TEST_F(CreateVideo, MakesAVideoTheContextRefreshesEveryFrame)
{
    MovieSpec spec;
    spec.picture = solidFrames(kColors, spec.width, spec.height);
    ASSERT_TRUE(makeMovie("created.avi", spec));
    auto files = std::make_shared<MemoryFiles>();
    files->files[u"movie.avi"] = readWholeFile("created.avi");
    auto context = Context::create(engine);
    ASSERT_TRUE(context);
    context->setFileLoader(std::make_shared<Quillorane::GraphicsFileLoader>(files));
    context->setVideoLoader(std::make_shared<VideoLoader>());
    setContext(context);
    EXPECT_FALSE(createVideo(u"movie.avi"));  // no screen canvas yet
    setScreenCanvas(createCanvas(engine, 64, 48));

    EXPECT_FALSE(createVideo(u"missing.avi"));
    auto video = createVideo(u"movie.avi");
    ASSERT_TRUE(video);
    ASSERT_EQ(video->getWidth(), 64);
    auto before = readTexture(*video->getTexture());
    EXPECT_EQ(before[24 * 64 + 32], 0xFF000000u);  // opaque black until the first frame

    video->play();
    // Every frame of the movie is a bright colour; real time decides which one shows first.
    Color shown = 0;
    EXPECT_TRUE(waitUntil([&] {
        context->beginFrame();  // the video's refresh runs here
        context->endFrame(nullptr);
        shown = readTexture(*video->getTexture())[24 * 64 + 32];
        return channel(shown, 16) > 150 || channel(shown, 8) > 150 || channel(shown, 0) > 150;
    })) << std::hex << shown;
    // The context holds videos weakly: a dropped video stops being refreshed and goes away.
    std::weak_ptr<IVideo> weak = video;
    video.reset();
    context->beginFrame();
    context->endFrame(nullptr);
    EXPECT_TRUE(weak.expired());
    setScreenCanvas(nullptr);
    setContext(nullptr);
}

// The real engine, claiming a smaller largest texture.
class SmallTextureEngine : public ForwardingEngine {
public:
    SmallTextureEngine(std::shared_ptr<IEngine> engine, std::uint16_t side) : ForwardingEngine(std::move(engine)), side_(side)
    {
    }
    std::shared_ptr<IEngineCaps> getCaps() override { return std::make_shared<Caps>(side_); }

private:
    struct Caps : IEngineCaps {
        explicit Caps(std::uint16_t s) : side(s) {}
        std::u16string getName() const override { return u"small"; }
        std::u16string getShaderLanguage() const override { return u"GLSL"; }
        std::uint16_t getMaxTextureWidth() const override { return side; }
        std::uint16_t getMaxTextureHeight() const override { return side; }
        std::uint16_t side;
    };
    std::uint16_t side_;
};

TEST_F(CreateVideo, RefusesMoviesLargerThanTheEnginesTextures)
{
    MovieSpec spec;  // 64 x 48
    spec.picture = solidFrames(kColors, spec.width, spec.height);
    ASSERT_TRUE(makeMovie("created.avi", spec));
    auto files = std::make_shared<MemoryFiles>();
    files->files[u"movie.avi"] = readWholeFile("created.avi");
    for (std::uint16_t side : {48, 64}) {
        auto context = Context::create(std::make_shared<SmallTextureEngine>(engine, side));
        ASSERT_TRUE(context);
        context->setFileLoader(std::make_shared<Quillorane::GraphicsFileLoader>(files));
        context->setVideoLoader(std::make_shared<VideoLoader>());
        setContext(context);
        setScreenCanvas(createCanvas(engine, 64, 48));
        EXPECT_EQ(createVideo(u"movie.avi") != nullptr, side == 64) << side;
        setScreenCanvas(nullptr);
        setContext(nullptr);
    }
}

}  // namespace
