// The software mixer, driven block by block and checked sample by sample.
#include "support/TestAudio.h"

#include "sound/WavSoundData.h"
#include "sound/mixer/Engine.h"

#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace QlSoundTest;
using QlSound::Mixer::Engine;

namespace {

constexpr std::uint32_t kRate = 48000;

std::shared_ptr<QlSound::ISoundData> wav16(std::uint16_t channels, std::uint32_t rate,
                                           const std::vector<std::int16_t>& samples)
{
    return QlSound::Core::WavSoundLoader().load(fileData(canonicalWav(channels, rate, 16, pcm16(samples))));
}

// Mono ramp 1, 2, 3 ... (never zero, so silence marks the end exactly).
std::vector<std::int16_t> ramp(std::uint32_t frames)
{
    std::vector<std::int16_t> s(frames);
    for (std::uint32_t i = 0; i < frames; ++i) s[i] = static_cast<std::int16_t>(i + 1);
    return s;
}

float level(std::int16_t v) { return v / 32768.0f; }

std::vector<float> mixFrames(Engine& engine, std::uint32_t frames)
{
    std::vector<float> out(frames * 2, 99.0f);
    engine.mix(out.data(), frames);
    return out;
}

// Frames until the first silent one.
std::uint32_t soundingFrames(const std::vector<float>& out)
{
    std::uint32_t n = 0;
    while (n * 2 < out.size() && (out[n * 2] != 0.0f || out[n * 2 + 1] != 0.0f)) ++n;
    return n;
}

// Forwards to a decoder, handing out at most `chunk` bytes per read (as a
// decoder may before its end) and counting the seeks made on it.
class ChoppyData final : public QlSound::ISoundData {
public:
    ChoppyData(std::shared_ptr<QlSound::ISoundData> inner, std::uint32_t chunk)
        : inner_(std::move(inner)), chunk_(chunk) {}
    QlSound::SoundFormat getFormat() const override { return inner_->getFormat(); }
    std::shared_ptr<QlSound::IFileData> getFileData() const override { return inner_->getFileData(); }
    std::uint32_t getLength() const override { return inner_->getLength(); }
    bool seek(std::uint32_t frame) override
    {
        ++seeks;
        return inner_->seek(frame);
    }
    std::uint32_t tell() const override { return inner_->tell(); }
    std::uint32_t read(void* buffer, std::uint32_t bytes) override
    {
        return inner_->read(buffer, std::min(bytes, chunk_));
    }
    std::shared_ptr<QlSound::ISoundData> copy() const override
    {
        return std::make_shared<ChoppyData>(inner_->copy(), chunk_);
    }

    std::uint32_t seeks = 0;

private:
    std::shared_ptr<QlSound::ISoundData> inner_;
    std::uint32_t chunk_;
};

std::vector<float> mixBlocks(Engine& engine, std::uint32_t blocks, std::uint32_t frames)
{
    std::vector<float> out;
    for (std::uint32_t b = 0; b < blocks; ++b) {
        auto part = mixFrames(engine, frames);
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

struct MixerTest : ::testing::Test {
    std::shared_ptr<Engine> engine = Engine::create(Engine::Output::Manual, kRate);
};

}  // namespace

TEST_F(MixerTest, GainScalesEveryFrameAndTheVoiceEndsWithItsData)
{
    auto buffer = engine->createBuffer(wav16(1, kRate, std::vector<std::int16_t>(1000, 16384)));
    ASSERT_TRUE(buffer);
    ASSERT_TRUE(buffer->setVolume(0.5f));
    ASSERT_TRUE(buffer->play(0));
    auto out = mixFrames(*engine, 1200);
    for (std::uint32_t i = 0; i < 1000; ++i) {
        ASSERT_EQ(out[2 * i], 0.25f) << i;
        ASSERT_EQ(out[2 * i + 1], 0.25f) << i;
    }
    for (std::uint32_t i = 1000; i < 1200; ++i) ASSERT_EQ(out[2 * i], 0.0f) << i;
    EXPECT_FALSE(buffer->isPlaying());
}

TEST_F(MixerTest, TwoVoicesAreSummedAndStereoChannelsStaySeparate)
{
    std::vector<std::int16_t> stereo;
    for (int i = 0; i < 300; ++i) {
        stereo.push_back(static_cast<std::int16_t>(100 * i));
        stereo.push_back(static_cast<std::int16_t>(-50 * i));
    }
    auto a = engine->createBuffer(wav16(2, kRate, stereo));
    auto b = engine->createBuffer(wav16(1, kRate, std::vector<std::int16_t>(200, 8192)));
    ASSERT_TRUE(a && b);
    ASSERT_TRUE(a->play(0));
    ASSERT_TRUE(b->play(0));
    auto out = mixFrames(*engine, 300);
    for (int i = 0; i < 300; ++i) {
        const float extra = i < 200 ? 0.25f : 0.0f;
        ASSERT_FLOAT_EQ(out[2 * i], level(static_cast<std::int16_t>(100 * i)) + extra) << i;
        ASSERT_FLOAT_EQ(out[2 * i + 1], level(static_cast<std::int16_t>(-50 * i)) + extra) << i;
    }
}

TEST_F(MixerTest, SumsAreClippedToFullScale)
{
    auto a = engine->createBuffer(wav16(1, kRate, std::vector<std::int16_t>(10, 30000)));
    auto b = engine->createBuffer(wav16(1, kRate, std::vector<std::int16_t>(10, 30000)));
    a->play(0);
    b->play(0);
    auto out = mixFrames(*engine, 10);
    EXPECT_EQ(out[0], 1.0f);
    EXPECT_EQ(out[19], 1.0f);
}

TEST_F(MixerTest, RateTwoHalvesTheLengthAndTakesEveryOtherFrame)
{
    const auto src = ramp(1000);
    auto buffer = engine->createBuffer(wav16(1, kRate, src));
    ASSERT_TRUE(buffer->setSpeed(2.0f));
    ASSERT_TRUE(buffer->play(0));
    auto out = mixFrames(*engine, 1000);
    EXPECT_EQ(soundingFrames(out), 500u);
    for (std::uint32_t j = 0; j < 500; ++j) ASSERT_EQ(out[2 * j], level(src[2 * j])) << j;
    EXPECT_FALSE(buffer->isPlaying());
}

TEST_F(MixerTest, SourceRateIsConvertedToTheOutputRate)
{
    // 96 kHz data at speed 1 plays at twice the output rate's frame speed;
    // 24 kHz data at speed 1 needs interpolated in-between frames.
    const auto src = ramp(1000);
    auto fast = engine->createBuffer(wav16(1, 96000, src));
    fast->play(0);
    EXPECT_EQ(soundingFrames(mixFrames(*engine, 1000)), 500u);

    auto slow = engine->createBuffer(wav16(1, 24000, src));
    slow->play(0);
    auto out = mixFrames(*engine, 2100);
    EXPECT_EQ(soundingFrames(out), 2000u);
    for (std::uint32_t j = 0; j < 998; ++j) {
        ASSERT_FLOAT_EQ(out[4 * j], level(src[j])) << j;
        ASSERT_FLOAT_EQ(out[4 * j + 2], (level(src[j]) + level(src[j + 1])) / 2) << j;
    }
}

TEST_F(MixerTest, StereoInterpolationKeepsChannelsApart)
{
    std::vector<std::int16_t> src;
    for (int i = 0; i < 400; ++i) {
        src.push_back(static_cast<std::int16_t>(40 * i + 40));
        src.push_back(static_cast<std::int16_t>(-20 * i - 20));
    }
    auto buffer = engine->createBuffer(wav16(2, 24000, src));
    ASSERT_TRUE(buffer->setVolume(0.5f));
    ASSERT_TRUE(buffer->play(0));
    auto out = mixFrames(*engine, 900);
    EXPECT_EQ(soundingFrames(out), 800u);
    for (std::uint32_t j = 0; j < 399; ++j) {
        for (int c = 0; c < 2; ++c) {
            const float a = level(src[2 * j + c]) * 0.5f, b = level(src[2 * j + 2 + c]) * 0.5f;
            ASSERT_FLOAT_EQ(out[4 * j + c], a) << j;
            ASSERT_FLOAT_EQ(out[4 * j + 2 + c], (a + b) / 2) << j;
        }
    }
}

TEST_F(MixerTest, LoopsReplayFromTheLoopStartTheGivenNumberOfTimes)
{
    const auto src = ramp(1000);
    auto buffer = engine->createBuffer(wav16(1, kRate, src));
    ASSERT_TRUE(buffer->play(0, 3, 100));
    std::vector<float> out;
    for (int block = 0; block < 10; ++block) {  // odd block size: loops cross block edges
        auto part = mixFrames(*engine, 457);
        out.insert(out.end(), part.begin(), part.end());
    }
    ASSERT_EQ(soundingFrames(out), 1000u + 3 * 900u);
    for (std::uint32_t i = 0; i < 3700; ++i) {
        const std::uint32_t frame = i < 1000 ? i : 100 + (i - 1000) % 900;
        ASSERT_EQ(out[2 * i], level(src[frame])) << i;
    }
    EXPECT_FALSE(buffer->isPlaying());
}

TEST_F(MixerTest, LoopCountZeroLoopsForEver)
{
    auto buffer = engine->createBuffer(wav16(1, kRate, ramp(100)));
    ASSERT_TRUE(buffer->play(0, 0, 0));
    auto out = mixFrames(*engine, 5000);
    EXPECT_EQ(soundingFrames(out), 5000u);
    EXPECT_EQ(out[2 * 4999], level(100));  // frame 4999 is frame 99 of the 50th pass
    EXPECT_TRUE(buffer->isPlaying());
}

TEST_F(MixerTest, ShortReadsBeforeTheEndNeitherEndNorLoopEarly)
{
    // 7 bytes per read: reads end mid-frame, and no read reaches the end
    // of the data at once.
    const auto src = ramp(1000);
    auto once = engine->createBuffer(std::make_shared<ChoppyData>(wav16(1, kRate, src), 7));
    ASSERT_TRUE(once->play(0));
    auto out = mixBlocks(*engine, 3, 457);
    ASSERT_EQ(soundingFrames(out), 1000u);
    for (std::uint32_t i = 0; i < 1000; ++i) ASSERT_EQ(out[2 * i], level(src[i])) << i;

    auto looped = engine->createBuffer(std::make_shared<ChoppyData>(wav16(1, kRate, src), 7));
    ASSERT_TRUE(looped->play(0, 2, 100));
    out = mixBlocks(*engine, 7, 457);
    ASSERT_EQ(soundingFrames(out), 1000u + 2 * 900u);
    for (std::uint32_t i = 0; i < 2800; ++i) {
        const std::uint32_t frame = i < 1000 ? i : 100 + (i - 1000) % 900;
        ASSERT_EQ(out[2 * i], level(src[frame])) << i;
    }
}

TEST_F(MixerTest, TinyLoopRegionsStaySampleExactWithFewSeeks)
{
    const auto src = ramp(2000);
    // The last frame looped for ever: one seek per refill at most, not one per frame.
    auto data = std::make_shared<ChoppyData>(wav16(1, kRate, src), 1u << 20);
    auto buffer = engine->createBuffer(data);
    ASSERT_TRUE(buffer->play(1990, 0, 1999));
    data->seeks = 0;
    auto out = mixBlocks(*engine, 8, 1024);
    for (std::uint32_t i = 0; i < 8 * 1024; ++i)
        ASSERT_EQ(out[2 * i], level(src[std::min<std::uint32_t>(1990 + i, 1999)])) << i;
    EXPECT_LE(data->seeks, 2u * 9);
    EXPECT_TRUE(buffer->isPlaying());
    buffer->stop();

    // A 3-frame region 700 more times, in blocks that cut it anywhere; the
    // decoder is re-seeked inside the region where a refill ends mid-way.
    auto counted = std::make_shared<ChoppyData>(wav16(1, kRate, src), 1u << 20);
    auto again = engine->createBuffer(counted);
    ASSERT_TRUE(again->play(0, 700, 1997));
    out = mixBlocks(*engine, 10, 457);
    ASSERT_EQ(soundingFrames(out), 2000u + 700u * 3);
    for (std::uint32_t i = 0; i < 4100; ++i) {
        const std::uint32_t frame = i < 2000 ? i : 1997 + (i - 2000) % 3;
        ASSERT_EQ(out[2 * i], level(src[frame])) << i;
    }
    EXPECT_LE(counted->seeks, 2u * 10);
    EXPECT_FALSE(again->isPlaying());
}

TEST_F(MixerTest, EightBitUnsignedStereoIsCentredOn128)
{
    QlSound::Core::WavSoundLoader loader;
    auto data = loader.load(fileData(canonicalWav(2, kRate, 8, {200, 56, 128, 255})));
    auto buffer = engine->createBuffer(data);
    ASSERT_TRUE(buffer && buffer->play(0));
    auto out = mixFrames(*engine, 3);
    EXPECT_EQ(out[0], 72 / 128.0f);
    EXPECT_EQ(out[1], -72 / 128.0f);
    EXPECT_EQ(out[2], 0.0f);
    EXPECT_EQ(out[3], 127 / 128.0f);
    EXPECT_EQ(out[4], 0.0f);
}

TEST_F(MixerTest, FloatWavPlaysItsSampleValues)
{
    const std::vector<float> samples = {0.5f, -0.25f, 0.75f, 2.0f};
    Bytes pcm(samples.size() * 4);
    std::memcpy(pcm.data(), samples.data(), pcm.size());  // little-endian host
    Bytes file = canonicalWav(1, kRate, 32, pcm);
    file[20] = 3;  // format tag: IEEE float
    auto buffer = engine->createBuffer(QlSound::Core::WavSoundLoader().load(fileData(file)));
    ASSERT_TRUE(buffer && buffer->play(0));
    auto out = mixFrames(*engine, 5);
    const std::vector<float> expected = {0.5f, 0.5f, -0.25f, -0.25f, 0.75f, 0.75f, 1.0f, 1.0f, 0.0f, 0.0f};
    EXPECT_EQ(out, expected);
}

TEST_F(MixerTest, PauseHoldsThePositionAndStopSilences)
{
    const auto src = ramp(1000);
    auto buffer = engine->createBuffer(wav16(1, kRate, src));
    buffer->play(0);
    mixFrames(*engine, 100);
    ASSERT_TRUE(buffer->pause());
    EXPECT_TRUE(buffer->isPlaying());
    EXPECT_TRUE(buffer->isPaused());
    EXPECT_EQ(soundingFrames(mixFrames(*engine, 50)), 0u);
    ASSERT_TRUE(buffer->resume());
    EXPECT_FALSE(buffer->resume());
    auto out = mixFrames(*engine, 10);
    EXPECT_EQ(out[0], level(src[100]));
    buffer->stop();
    EXPECT_FALSE(buffer->isPlaying());
    EXPECT_FALSE(buffer->pause());
    EXPECT_EQ(soundingFrames(mixFrames(*engine, 50)), 0u);
}

TEST_F(MixerTest, SeekWhilePlayingIsHeardAtOnce)
{
    const auto src = ramp(1000);
    auto buffer = engine->createBuffer(wav16(1, kRate, src));
    buffer->play(0);
    mixFrames(*engine, 10);
    ASSERT_TRUE(buffer->seek(700));
    EXPECT_EQ(mixFrames(*engine, 1)[0], level(src[700]));
}

TEST_F(MixerTest, BufferRefusesOutOfRangeValues)
{
    auto buffer = engine->createBuffer(wav16(1, kRate, ramp(1000)));
    EXPECT_FALSE(buffer->setSpeed(4.0f));
    EXPECT_FALSE(buffer->setSpeed(0.0f));
    EXPECT_TRUE(buffer->setSpeed(1.0f / 1024.0f));
    EXPECT_FALSE(buffer->setVolume(1.5f));
    EXPECT_FALSE(buffer->setVolume(-0.01f));
    EXPECT_FALSE(buffer->setVolume(std::nanf("")));
    EXPECT_EQ(buffer->getVolume(), 1.0f);
    EXPECT_FALSE(buffer->play(1000));
    EXPECT_FALSE(buffer->play(0, 1, 1000));
    EXPECT_FALSE(buffer->seek(1000));
    EXPECT_TRUE(buffer->seek(999));
    EXPECT_EQ(buffer->tell(), 999u);
    EXPECT_EQ(buffer->getLength(), 1000u);
    EXPECT_EQ(buffer->getFormat(), (QlSound::SoundFormat{1, kRate, 16}));
}

TEST_F(MixerTest, UnplayableFormatsGetNoBuffer)
{
    EXPECT_FALSE(engine->createBuffer(nullptr));
    QlSound::Core::WavSoundLoader loader;
    EXPECT_FALSE(engine->createBuffer(loader.load(fileData(canonicalWav(9, kRate, 16, Bytes(72))))));
    EXPECT_FALSE(engine->createBuffer(loader.load(fileData(canonicalWav(1, kRate, 64, Bytes(72))))));
    // Rates up to 1 MHz play; a damaged header's absurd rate does not.
    EXPECT_TRUE(engine->createBuffer(loader.load(fileData(canonicalWav(1, 1000000, 16, Bytes(72))))));
    EXPECT_FALSE(engine->createBuffer(loader.load(fileData(canonicalWav(1, 1000001, 16, Bytes(72))))));
    EXPECT_FALSE(engine->createBuffer(loader.load(fileData(canonicalWav(2, 0xFFFFFFFFu, 16, Bytes(72))))));
}

TEST_F(MixerTest, DestroyedBuffersLeaveTheMixerAndAnEndedEngineDisarmsBuffers)
{
    auto a = engine->createBuffer(wav16(1, kRate, ramp(10)));
    auto b = engine->createBuffer(wav16(1, kRate, ramp(10)));
    EXPECT_EQ(engine->getVoiceCount(), 2u);
    a.reset();
    EXPECT_EQ(engine->getVoiceCount(), 1u);
    b->play(0);
    engine.reset();
    EXPECT_FALSE(b->isPlaying());
    EXPECT_FALSE(b->play(0));
    EXPECT_EQ(b->getVolume(), 0.0f);
    EXPECT_EQ(b->getFormat(), QlSound::SoundFormat{});
}

TEST(MixerOutput, SdlDummyDriverIsReplacedByTheNullSink)
{
    // SDL's dummy driver runs slightly fast; the engine keeps real time with
    // its own sink instead.
    const char* previous = std::getenv("SDL_AUDIODRIVER");
    const std::string saved = previous ? previous : "";
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    auto engine = Engine::create(Engine::Output::Device);
    EXPECT_EQ(engine->getOutput(), Engine::Output::Null);
    engine.reset();
    if (previous)
        setenv("SDL_AUDIODRIVER", saved.c_str(), 1);
    else
        unsetenv("SDL_AUDIODRIVER");
}

TEST(MixerOutput, DeviceOrNullSinkConsumesAudioInRealTime)
{
    auto engine = Engine::create(Engine::Output::Device);
    ASSERT_NE(engine->getOutput(), Engine::Output::Manual);
    EXPECT_GT(engine->getSampleRate(), 0u);
    auto buffer = engine->createBuffer(wav16(1, engine->getSampleRate(), ramp(4800)));  // 0.1 s
    ASSERT_TRUE(buffer->play(0));
    for (int i = 0; i < 300 && buffer->isPlaying(); ++i) SDL_Delay(10);
    EXPECT_FALSE(buffer->isPlaying());

    auto null = Engine::create(Engine::Output::Null);
    EXPECT_EQ(null->getOutput(), Engine::Output::Null);
    auto quiet = null->createBuffer(wav16(1, null->getSampleRate(), ramp(2400)));
    quiet->play(0);
    for (int i = 0; i < 300 && quiet->isPlaying(); ++i) SDL_Delay(10);
    EXPECT_FALSE(quiet->isPlaying());
}
