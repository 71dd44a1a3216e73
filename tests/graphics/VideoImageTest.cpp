// Videos as images: the frame copied into the texture once per frame, and the end-of-movie
// rules (a looping movie restarts, any other stops at 0 still showing its last frame).
#include "graphics/video/Video.h"

#include "GlFixture.h"
#include "MovieMaker.h"

#include <atomic>
#include <chrono>
#include <thread>

using namespace QlGraphics;
using namespace QlTest;

namespace {

struct VideoImage : GlFixture {
    std::atomic<double> clock{0.0};
    std::shared_ptr<VideoData> data;
    std::shared_ptr<Video> video;

    void SetUp() override
    {
        GlFixture::SetUp();
        if (HasFatalFailure())
            return;
        static std::vector<std::uint8_t> movie;
        if (movie.empty()) {
            // 40 x 30, 10 frames per second: red, green, blue, then a frame whose left half
            // is white and right half black.
            MovieSpec spec;
            spec.width = 40;
            spec.height = 30;
            spec.frames = 4;
            spec.picture = [&](int n, std::uint8_t* rgb) {
                static const std::uint32_t colors[3] = {0xFF0000, 0x00FF00, 0x0000FF};
                for (int y = 0; y < 30; ++y)
                    for (int x = 0; x < 40; ++x) {
                        const std::uint32_t c = n < 3 ? colors[n] : (x < 20 ? 0xFFFFFF : 0x000000);
                        std::uint8_t* p = rgb + (y * 40 + x) * 3;
                        p[0] = static_cast<std::uint8_t>(c >> 16);
                        p[1] = static_cast<std::uint8_t>(c >> 8);
                        p[2] = static_cast<std::uint8_t>(c);
                    }
            };
            ASSERT_TRUE(makeMovie("halves.avi", spec));
            movie = readWholeFile("halves.avi");
        }
        data = VideoData::open(std::make_unique<MemoryVideoSource>(movie), [this] { return clock.load(); });
        ASSERT_TRUE(data);
        auto texture = engine->createTexture(data->getWidth(), data->getHeight(), TextureFormat::Argb);
        ASSERT_TRUE(texture);
        video = std::make_shared<Video>(data, texture);
    }

    // Runs frames until the texture's pixel (x, y) is near the colour.
    ::testing::AssertionResult textureShows(int x, int y, Color expected)
    {
        Color last = 0;
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < limit) {
            video->onBeginFrame();
            const auto px = readTexture(*video->getTexture());
            last = px[static_cast<std::size_t>(y) * 40 + x];
            if (near(last, expected, 24))
                return ::testing::AssertionSuccess();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return ::testing::AssertionFailure() << std::hex << "texture shows 0x" << last << ", expected 0x" << expected;
    }
};

TEST_F(VideoImage, CopiesTheNewestFrameOpaqueAndUpright)
{
    EXPECT_EQ(video->getWidth(), 40);
    EXPECT_EQ(video->getHeight(), 30);
    Region r;
    ASSERT_TRUE(video->getRegion(r));
    EXPECT_EQ(r.texture, video->getTexture().get());
    EXPECT_EQ(r.width, 40);
    video->play();
    EXPECT_TRUE(textureShows(5, 5, 0xFFFF0000u));
    clock = 0.35;
    EXPECT_TRUE(textureShows(5, 25, 0xFFFFFFFFu));
    EXPECT_TRUE(textureShows(35, 2, 0xFF000000u));
    EXPECT_TRUE(textureShows(39, 29, 0xFF000000u));  // the last pixel is copied on its own
    EXPECT_TRUE(textureShows(19, 29, 0xFFFFFFFFu));
}

TEST_F(VideoImage, AMovieThatEndsStopsAtZeroShowingItsLastFrame)
{
    video->play();
    clock = 0.35;
    ASSERT_TRUE(textureShows(35, 2, 0xFF000000u));
    clock = 0.4 + 1.0;
    video->onBeginFrame();
    EXPECT_FALSE(video->isPlaying());
    EXPECT_EQ(video->getPosition(), 0.0);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    video->onBeginFrame();
    const auto px = readTexture(*video->getTexture());
    EXPECT_TRUE(near(px[2 * 40 + 35], 0xFF000000u, 24));
    EXPECT_TRUE(near(px[2 * 40 + 5], 0xFFFFFFFFu, 24));
}

TEST_F(VideoImage, ALoopingMovieRestartsFromZero)
{
    video->playLoop();
    clock = 0.35;
    ASSERT_TRUE(textureShows(35, 2, 0xFF000000u));
    clock = 2.0;
    video->onBeginFrame();
    EXPECT_TRUE(video->isPlaying());
    EXPECT_TRUE(video->isLooping());
    EXPECT_EQ(video->getPosition(), 0.0);
    EXPECT_TRUE(textureShows(5, 5, 0xFFFF0000u));
    video->onRelease();
    EXPECT_FALSE(video->isPlaying());
    EXPECT_FALSE(video->isReleased());
}

TEST_F(VideoImage, AMovieWithoutAStoredDurationEndsAndLoops)
{
    // A raw MPEG-4 stream stores no duration: red, green, blue, white at 10 per second.
    MovieSpec spec;
    spec.width = 40;
    spec.height = 30;
    spec.frames = 4;
    spec.picture = solidFrames({0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}, 40, 30);
    spec.container = "m4v";
    ASSERT_TRUE(makeMovie("raw.m4v", spec));
    data = VideoData::open(std::make_unique<MemoryVideoSource>(readWholeFile("raw.m4v")), [this] { return clock.load(); });
    ASSERT_TRUE(data);
    EXPECT_EQ(data->getDuration(), 0.0);
    video = std::make_shared<Video>(data, video->getTexture());
    video->playLoop();
    clock = 0.35;
    ASSERT_TRUE(textureShows(5, 5, 0xFFFFFFFFu));
    clock = 2.0;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (data->getDuration() == 0.0 && std::chrono::steady_clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_NEAR(data->getDuration(), 0.4, 1e-6);
    // The end is reached: the looping movie starts again from 0.
    video->onBeginFrame();
    EXPECT_TRUE(video->isLooping());
    EXPECT_EQ(video->getPosition(), 0.0);
    EXPECT_TRUE(textureShows(5, 5, 0xFFFF0000u));
    // Played once, it stops at its end, rewound.
    video->play();
    clock = 9.0;
    video->onBeginFrame();
    EXPECT_FALSE(video->isPlaying());
    EXPECT_EQ(video->getPosition(), 0.0);
}

}  // namespace
