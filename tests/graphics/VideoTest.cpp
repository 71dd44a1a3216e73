// Movie playback: frames against a hand-driven clock, position, duration, pause, stop,
// volume, the movie's sound in step with the pictures, and movies read through a file
// manager.
#include "graphics/video/Video.h"
#include "sound/mixer/Engine.h"

#include "MovieMaker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <chrono>
#include <limits>
#include <string>
#include <thread>

using namespace QlGraphics;
using namespace QlTest;

namespace {

struct RecordingOutput : IVideoAudioOutput {
    std::atomic<int>* starts;
    std::atomic<int>* pauses;
    std::atomic<float>* gain;
    void start() override { ++*starts; }
    void pause() override { ++*pauses; }
    void setGain(float g) override { *gain = g; }
};

class VideoTest : public ::testing::Test {
protected:
    static std::vector<std::uint8_t>& movie()
    {
        static std::vector<std::uint8_t> bytes;
        return bytes;
    }

    static void SetUpTestSuite()
    {
        MovieSpec spec;
        spec.picture = solidFrames(kColors, spec.width, spec.height);
        spec.audioRate = 22050;
        spec.toneAt = [](double t) { return t < 0.25 ? 440.0 : 880.0; };
        ASSERT_TRUE(makeMovie("colors.avi", spec));
        movie() = readWholeFile("colors.avi");
        ASSERT_FALSE(movie().empty());
    }

    void SetUp() override
    {
        video = VideoData::open(std::make_unique<MemoryVideoSource>(movie()), [this] { return clock.load(); });
        ASSERT_TRUE(video);
    }

    void TearDown() override { video.reset(); }

    // Waits until the newest delivered frame shows the colour, then grabs it.
    ::testing::AssertionResult showsColor(std::uint32_t rgb)
    {
        std::uint32_t last = 0;
        const bool ok = waitUntil([&] {
            if (!video->grabFrame())
                return false;
            const std::uint8_t* p = video->pixelAt(32, 24);
            last = static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[1]) << 8 | p[0];
            for (int shift = 0; shift < 24; shift += 8)
                if (std::abs(static_cast<int>((last >> shift) & 0xFF) - static_cast<int>((rgb >> shift) & 0xFF)) > 24)
                    return false;
            return true;
        });
        if (ok)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << std::hex << "frame shows 0x" << last << ", expected 0x" << rgb;
    }

    std::atomic<double> clock{100.0};
    std::shared_ptr<VideoData> video;
};

TEST_F(VideoTest, ReportsSizeDurationAndStartsStopped)
{
    EXPECT_EQ(video->getWidth(), 64);
    EXPECT_EQ(video->getHeight(), 48);
    EXPECT_EQ(video->getBitsPerPixel(), 24u);
    EXPECT_NEAR(video->getDuration(), 0.5, 0.03);
    EXPECT_FALSE(video->isPlaying());
    EXPECT_FALSE(video->isPaused());
    EXPECT_EQ(video->getPosition(), 0.0);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(video->grabFrame());  // nothing is shown before play
}

TEST_F(VideoTest, FramesFollowThePlaybackClock)
{
    ASSERT_TRUE(video->play());
    EXPECT_TRUE(video->isPlaying());
    EXPECT_FALSE(video->isLooping());
    EXPECT_TRUE(showsColor(0xFF0000));
    clock = 100.25;
    EXPECT_NEAR(video->getPosition(), 0.25, 1e-9);
    EXPECT_TRUE(showsColor(0x0000FF));
    clock = 100.45;
    EXPECT_TRUE(showsColor(0x00FFFF));
    // Rows are top-down and every pixel of a solid frame has the colour.
    EXPECT_EQ(video->rowAt(47), video->getBits() + 47 * 64 * 3);
    EXPECT_NEAR(video->pixelAt(0, 0)[1], 255, 24);
    EXPECT_NEAR(video->pixelAt(63, 47)[0], 255, 24);
}

TEST_F(VideoTest, PauseHoldsThePositionAndResumeContinues)
{
    video->play();
    clock = 100.1;
    ASSERT_TRUE(video->pause());
    EXPECT_TRUE(video->isPaused());
    EXPECT_FALSE(video->isPlaying());
    clock = 100.3;
    EXPECT_NEAR(video->getPosition(), 0.1, 1e-9);
    ASSERT_TRUE(video->resume());
    EXPECT_FALSE(video->isPaused());
    EXPECT_TRUE(video->isPlaying());
    clock = 100.35;
    EXPECT_NEAR(video->getPosition(), 0.15, 1e-9);
    EXPECT_TRUE(showsColor(0x00FF00));
}

TEST_F(VideoTest, SetPositionRefusesTimesOutsideTheMovie)
{
    EXPECT_FALSE(video->setPosition(-0.1));
    EXPECT_FALSE(video->setPosition(video->getDuration() + 0.01));
    EXPECT_EQ(video->getPosition(), 0.0);
    ASSERT_TRUE(video->setPosition(0.35));
    EXPECT_DOUBLE_EQ(video->getPosition(), 0.35);
    video->play();
    EXPECT_TRUE(showsColor(0xFFFF00));
}

TEST_F(VideoTest, StopRewindsAndKeepsTheLastFrame)
{
    video->playLoop();
    EXPECT_TRUE(video->isLooping());
    clock = 100.25;
    ASSERT_TRUE(showsColor(0x0000FF));
    ASSERT_TRUE(video->stop());
    EXPECT_EQ(video->getPosition(), 0.0);
    EXPECT_FALSE(video->isPlaying());
    EXPECT_FALSE(video->isLooping());
    EXPECT_FALSE(video->isPaused());
    const std::uint64_t shown = video->getFrameSerial();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(video->grabFrame());
    EXPECT_EQ(video->getFrameSerial(), shown);
    EXPECT_TRUE(showsColor(0x0000FF));
    video->play();
    EXPECT_TRUE(showsColor(0xFF0000));
}

TEST_F(VideoTest, PositionStopsAtTheDuration)
{
    video->play();
    clock = 160.0;
    EXPECT_DOUBLE_EQ(video->getPosition(), video->getDuration());
    EXPECT_TRUE(showsColor(0x00FFFF));
}

TEST_F(VideoTest, VolumeIsKeptInHundredthsOfADecibel)
{
    EXPECT_EQ(video->getVolume(), 1.0f);
    EXPECT_FALSE(video->setVolume(1.5f));
    EXPECT_FALSE(video->setVolume(-0.01f));
    EXPECT_FALSE(video->setVolume(std::nanf("")));
    ASSERT_TRUE(video->setVolume(0.5f));
    EXPECT_EQ(video->getVolume(), 0.5f);           // -5000: -50 dB
    EXPECT_NEAR(video->getGain(), 0.0031623f, 1e-6f);
    ASSERT_TRUE(video->setVolume(0.0f));
    EXPECT_EQ(video->getVolume(), 0.0f);
    EXPECT_EQ(video->getGain(), 0.0f);
    ASSERT_TRUE(video->setVolume(0.12345f));      // 1234.5 - 10000, truncated
    EXPECT_NEAR(video->getVolume(), 0.1235f, 1e-6f);
    ASSERT_TRUE(video->setVolume(1.0f));
    EXPECT_EQ(video->getGain(), 1.0f);
}

int zeroCrossings(const std::vector<std::int16_t>& stereo)
{
    int n = 0;
    for (std::size_t k = 2; k < stereo.size(); k += 2)
        if ((stereo[k - 2] < 0) != (stereo[k] < 0))
            ++n;
    return n;
}

TEST_F(VideoTest, SoundFollowsTheClockThroughSeeks)
{
    // The movie's 22,050 Hz sound arrives resampled to the fixed rate, at its own pitch.
    auto audio = video->getAudio();
    ASSERT_TRUE(audio);
    EXPECT_EQ(audio->getSampleRate(), 48000u);
    std::atomic<int> starts{0}, pauses{0};
    std::atomic<float> gain{-1};
    auto output = std::make_unique<RecordingOutput>();
    output->starts = &starts;
    output->pauses = &pauses;
    output->gain = &gain;
    video->setAudioOutput(std::move(output));
    video->setVolume(0.5f);
    EXPECT_NEAR(gain.load(), 0.0031623f, 1e-6f);

    video->play();
    EXPECT_EQ(starts.load(), 1);
    ASSERT_TRUE(waitUntil([&] { return audio->buffered() >= 4800; }));
    std::vector<std::int16_t> window(4800 * 2);
    ASSERT_EQ(audio->read(window.data(), 4800 * 4), 4800u * 4);
    EXPECT_NEAR(zeroCrossings(window), 88, 4);  // 440 Hz for 0.1 s

    ASSERT_TRUE(video->setPosition(0.3));
    clock = clock.load();  // the clock stands at 0.3 until it is moved
    ASSERT_TRUE(waitUntil([&] { return audio->buffered() >= 4800 + 2000; })) << audio->buffered() << " " << video->getDeliveredFrames();
    ASSERT_EQ(audio->read(window.data(), 4800 * 4), 4800u * 4);
    EXPECT_NEAR(zeroCrossings(window), 176, 6);  // 880 Hz from 0.25 on

    video->pause();
    EXPECT_EQ(pauses.load(), 1);
    video->stop();
    EXPECT_EQ(pauses.load(), 2);
}

float peak(const std::vector<float>& samples)
{
    float p = 0;
    for (float v : samples)
        p = std::max(p, std::fabs(v));
    return p;
}

TEST_F(VideoTest, SoundPlaysOnTheMixerAtTheVideosVolume)
{
    auto mixer = QlSound::Mixer::Engine::create(QlSound::Mixer::Engine::Output::Manual, 22050);
    ASSERT_TRUE(mixer);
    auto output = createMovieAudioOutput(mixer, video->getAudio());
    ASSERT_TRUE(output);
    video->setAudioOutput(std::move(output));
    std::vector<float> out(2 * 1024);
    mixer->mix(out.data(), 1024);
    EXPECT_EQ(peak(out), 0.0f);  // nothing plays before play
    video->play();
    ASSERT_TRUE(waitUntil([&] { return video->getAudio()->buffered() >= 4096; }));
    mixer->mix(out.data(), 1024);
    EXPECT_NEAR(peak(out), 12000.0f / 32768.0f, 0.02f);
    video->setVolume(0.5f);  // -50 dB
    mixer->mix(out.data(), 1024);
    EXPECT_NEAR(peak(out), 12000.0f / 32768.0f * 0.0031623f, 0.0002f);
    video->pause();
    mixer->mix(out.data(), 1024);
    EXPECT_EQ(peak(out), 0.0f);
}

TEST_F(VideoTest, SoundIsSilenceWhileNothingIsDecoded)
{
    auto audio = video->getAudio();
    ASSERT_TRUE(audio);
    std::vector<std::int16_t> window(512 * 2, 7);
    EXPECT_EQ(audio->read(window.data(), 512 * 4 + 3), 512u * 4);  // whole frames only
    for (std::int16_t s : window)
        ASSERT_EQ(s, 0);
}

// The colour movie with its sound's declared sample rate (in the AVI stream format) replaced.
std::vector<std::uint8_t> withDeclaredRate(std::vector<std::uint8_t> avi, std::uint32_t rate)
{
    const std::string bytes(avi.begin(), avi.end());
    const auto auds = bytes.find("auds");
    const auto strf = auds == std::string::npos ? auds : bytes.find("strf", auds);
    if (strf == std::string::npos)
        return {};
    // "strf", its size, then the format tag and channel count, then the samples per second.
    for (int k = 0; k < 4; ++k)
        avi[strf + 12 + k] = static_cast<std::uint8_t>(rate >> (8 * k));
    return avi;
}

TEST_F(VideoTest, AbsurdSampleRatesPlayThePicturesSilently)
{
    const auto normal = withDeclaredRate(movie(), 22050);
    ASSERT_EQ(normal, movie());  // the patch finds the rate where it is
    auto high = VideoData::open(std::make_unique<MemoryVideoSource>(withDeclaredRate(movie(), 96000)));
    ASSERT_TRUE(high);
    ASSERT_TRUE(high->getAudio());
    EXPECT_EQ(high->getAudio()->getSampleRate(), 48000u);
    for (std::uint32_t rate : {192001u, 1000000u}) {
        auto v = VideoData::open(std::make_unique<MemoryVideoSource>(withDeclaredRate(movie(), rate)),
                                 [this] { return clock.load(); });
        ASSERT_TRUE(v) << rate;
        EXPECT_FALSE(v->getAudio()) << rate;
        EXPECT_EQ(v->getWidth(), 64);
        v->play();
        clock = 100.25;
        ASSERT_TRUE(waitUntil([&] { return v->grabFrame(); })) << rate;
        clock = 100.0;
    }
}

TEST_F(VideoTest, FramesLargerThanTheLimitDoNotOpen)
{
    EXPECT_FALSE(VideoData::open(std::make_unique<MemoryVideoSource>(movie()), {}, FrameLimit{63, 48}));
    EXPECT_FALSE(VideoData::open(std::make_unique<MemoryVideoSource>(movie()), {}, FrameLimit{64, 47}));
    auto fits = VideoData::open(std::make_unique<MemoryVideoSource>(movie()), {}, FrameLimit{64, 48});
    ASSERT_TRUE(fits);
    EXPECT_EQ(fits->getHeight(), 48);
}

// A raw MPEG-4 stream stores no duration.
const std::vector<std::uint8_t>& rawStream()
{
    static std::vector<std::uint8_t> bytes;
    if (bytes.empty()) {
        MovieSpec spec;
        spec.picture = solidFrames(kColors, spec.width, spec.height);
        spec.container = "m4v";
        if (makeMovie("colors.m4v", spec))
            bytes = readWholeFile("colors.m4v");
    }
    return bytes;
}

TEST(VideoWithoutDuration, LearnsItsDurationWhenDecodingReachesTheEnd)
{
    ASSERT_FALSE(rawStream().empty());
    std::atomic<double> clock{10.0};
    auto video = VideoData::open(std::make_unique<MemoryVideoSource>(rawStream()), [&] { return clock.load(); });
    ASSERT_TRUE(video);
    EXPECT_EQ(video->getDuration(), 0.0);
    // Not known yet: any time from 0 on is accepted.
    EXPECT_FALSE(video->setPosition(-1.0));
    EXPECT_FALSE(video->setPosition(std::numeric_limits<double>::infinity()));
    ASSERT_TRUE(video->setPosition(0.2));
    EXPECT_DOUBLE_EQ(video->getPosition(), 0.2);
    ASSERT_TRUE(video->setPosition(0.0));
    video->play();
    clock = 13.0;  // long past the last frame
    ASSERT_TRUE(waitUntil([&] { return video->getDuration() > 0; }));
    // Five frames at 10 per second: the last one ends at 0.5.
    EXPECT_NEAR(video->getDuration(), 0.5, 1e-6);
    EXPECT_DOUBLE_EQ(video->getPosition(), video->getDuration());
    EXPECT_FALSE(video->setPosition(0.6));
    ASSERT_TRUE(video->setPosition(0.25));
    EXPECT_DOUBLE_EQ(video->getPosition(), 0.25);
}

TEST(VideoWithoutDuration, AJumpPastTheEndStopsAtTheEnd)
{
    ASSERT_FALSE(rawStream().empty());
    std::atomic<double> clock{0.0};
    auto video = VideoData::open(std::make_unique<MemoryVideoSource>(rawStream()), [&] { return clock.load(); });
    ASSERT_TRUE(video);
    ASSERT_TRUE(video->setPosition(1e12));
    video->play();
    ASSERT_TRUE(waitUntil([&] { return video->getDuration() > 0; }));
    EXPECT_NEAR(video->getDuration(), 0.5, 1e-6);
    EXPECT_DOUBLE_EQ(video->getPosition(), video->getDuration());
}

TEST(VideoLoading, RejectsWhatIsNotAMovie)
{
    std::vector<std::uint8_t> junk(4096);
    for (std::size_t k = 0; k < junk.size(); ++k)
        junk[k] = static_cast<std::uint8_t>(k * 7919 >> 3);
    EXPECT_FALSE(VideoData::open(std::make_unique<MemoryVideoSource>(junk)));
    EXPECT_FALSE(VideoData::open(std::make_unique<MemoryVideoSource>(std::vector<std::uint8_t>{})));
    EXPECT_FALSE(VideoData::open(nullptr));
    VideoLoader loader;
    EXPECT_FALSE(loader.load(nullptr));
}

}  // namespace
