// Movies read through the file manager by the graphics file loader.
#include "graphics/GraphicsFileLoader.h"
#include "graphics/video/Video.h"

#include "io/Factory.h"
#include "io/archive/ArchiveWriter.h"
#include "io/archive/QlaStorage.h"

#include "MovieMaker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace QlGraphics;
using namespace QlTest;

namespace {

const std::vector<std::uint32_t> kColors = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x00FFFF};

template <class F>
bool waitUntil(F&& done)
{
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > limit)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

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
    ASSERT_TRUE(video->setPosition(5.75));  // frame 57: yellow
    video->pause();
    video->play();
    EXPECT_TRUE(waitUntil([&] {
        if (!video->grabFrame())
            return false;
        const std::uint8_t* p = video->getBits();
        return p[2] > 200 && p[1] > 200 && p[0] < 60;
    }));
}

}  // namespace
