// Sound files of three to eight channels, folded down to the stereo output:
// each channel must reach the left and the right output at its speaker's
// weight, in the channel order of its container.
#include "support/TestAudio.h"

#include "sound/OggSoundData.h"
#include "sound/Sound.h"
#include "sound/WavSoundData.h"
#include "sound/mixer/Engine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>

using namespace QlSoundTest;
using QlSound::Mixer::Engine;

namespace {

constexpr std::uint32_t kRate = 48000;
constexpr float h = 0.70710678f;

struct Weight {
    float left, right;
};

// Expected shares per channel, written out from the speaker conventions: the
// WAV order without a channel mask, and the Vorbis order.
const std::vector<std::vector<Weight>> kWavWeights = {
    {},
    {},
    {},
    {{1, 0}, {0, 1}, {h, h}},                                              // FL FR FC
    {{1, 0}, {0, 1}, {h, 0}, {0, h}},                                      // FL FR BL BR
    {{1, 0}, {0, 1}, {h, h}, {h, 0}, {0, h}},                              // FL FR FC BL BR
    {{1, 0}, {0, 1}, {h, h}, {0, 0}, {h, 0}, {0, h}},                      // FL FR FC LFE BL BR
    {{1, 0}, {0, 1}, {h, h}, {0, 0}, {0.5f, 0.5f}, {h, 0}, {0, h}},        // FL FR FC LFE BC SL SR
    {{1, 0}, {0, 1}, {h, h}, {0, 0}, {h, 0}, {0, h}, {h, 0}, {0, h}},      // FL FR FC LFE BL BR SL SR
};
const std::vector<std::vector<Weight>> kVorbisWeights = {
    {},
    {},
    {},
    {{1, 0}, {h, h}, {0, 1}},                                              // L C R
    {{1, 0}, {0, 1}, {h, 0}, {0, h}},                                      // FL FR RL RR
    {{1, 0}, {h, h}, {0, 1}, {h, 0}, {0, h}},                              // FL C FR RL RR
    {{1, 0}, {h, h}, {0, 1}, {h, 0}, {0, h}, {0, 0}},                      // FL C FR RL RR LFE
    {{1, 0}, {h, h}, {0, 1}, {h, 0}, {0, h}, {0.5f, 0.5f}, {0, 0}},        // FL C FR SL SR RC LFE
    {{1, 0}, {h, h}, {0, 1}, {h, 0}, {0, h}, {h, 0}, {0, h}, {0, 0}},      // FL C FR SL SR RL RR LFE
};

std::vector<float> mixFrames(Engine& engine, std::uint32_t frames)
{
    std::vector<float> out(frames * 2, 99.0f);
    engine.mix(out.data(), frames);
    return out;
}

std::shared_ptr<QlSound::ISoundData> loadWav(Bytes bytes)
{
    return QlSound::Core::WavSoundLoader().load(fileData(std::move(bytes)));
}

// Interleaved 16-bit frames where channel `c` of every frame holds value(frame, c).
template <class F>
Bytes multiPcm(int channels, int frames, F value)
{
    std::vector<std::int16_t> s;
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) s.push_back(static_cast<std::int16_t>(value(i, c)));
    return pcm16(s);
}

// A WAV with an extensible format chunk naming its speakers in `mask`.
Bytes extensibleWav(std::uint16_t channels, std::uint32_t mask, const Bytes& pcm)
{
    const auto align = static_cast<std::uint16_t>(channels * 2);
    Bytes b;
    putTag(b, "RIFF");
    putU32(b, static_cast<std::uint32_t>(4 + 8 + 40 + 8 + pcm.size()));
    putTag(b, "WAVE");
    putTag(b, "fmt ");
    putU32(b, 40);
    putU16(b, 0xFFFE);
    putU16(b, channels);
    putU32(b, kRate);
    putU32(b, kRate * align);
    putU16(b, align);
    putU16(b, 16);
    putU16(b, 22);    // extension size
    putU16(b, 16);    // valid bits
    putU32(b, mask);
    putU16(b, 1);     // sub-format: integer PCM
    for (std::uint8_t v : {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71}) b.push_back(v);
    putTag(b, "data");
    putU32(b, static_cast<std::uint32_t>(pcm.size()));
    b.insert(b.end(), pcm.begin(), pcm.end());
    return b;
}

// Plays `data` once and returns the first `frames` mixed frames.
std::vector<float> render(const std::shared_ptr<QlSound::ISoundData>& data, std::uint32_t frames,
                          float volume = 1.0f)
{
    auto engine = Engine::create(Engine::Output::Manual, kRate);
    auto buffer = engine->createBuffer(data);
    if (!buffer || !buffer->setVolume(volume) || !buffer->play(0)) return {};
    return mixFrames(*engine, frames);
}

// Amplitude of the `hz` sine in one side of the output, over `count` frames
// from `first` (whole periods, so other tones do not leak in).
float toneLevel(const std::vector<float>& out, int side, double hz, std::size_t first, std::size_t count)
{
    std::complex<double> sum;
    for (std::size_t i = first; i < first + count; ++i)
        sum += static_cast<double>(out[2 * i + side]) * std::polar(1.0, -2 * M_PI * hz * i / kRate);
    return static_cast<float>(2.0 * std::abs(sum) / static_cast<double>(count));
}

}  // namespace

TEST(Downmix, EveryWavChannelReachesBothSidesAtItsWeight)
{
    // One channel at a time carries a constant; the others are silent.
    for (int channels = 3; channels <= 8; ++channels) {
        for (int lit = 0; lit < channels; ++lit) {
            auto out = render(loadWav(canonicalWav(static_cast<std::uint16_t>(channels), kRate, 16,
                                                   multiPcm(channels, 200, [&](int, int c) { return c == lit ? 16384 : 0; }))),
                              210);
            ASSERT_EQ(out.size(), 420u) << channels << " channels";
            const Weight w = kWavWeights[channels][lit];
            for (int i = 0; i < 200; i += 37) {
                EXPECT_NEAR(out[2 * i], 0.5f * w.left, 1e-6f) << channels << " channels, channel " << lit;
                EXPECT_NEAR(out[2 * i + 1], 0.5f * w.right, 1e-6f) << channels << " channels, channel " << lit;
            }
            EXPECT_EQ(out[2 * 205], 0.0f);  // ends with its data
        }
    }
}

TEST(Downmix, SixChannelWavSumsEveryChannelAndInterpolatesEachOnItsOwn)
{
    // Each channel its own uneven sequence, at half volume, at source rates
    // that put output frames halfway between source frames (24 kHz), step
    // one and a half frames (72 kHz) or skip every other frame (96 kHz).
    auto value = [](int i, int c) { return (c + 1) * 300 * ((i * i) % 17 + 1) * (c % 2 == 0 ? 1 : -1); };
    for (std::uint32_t rate : {kRate / 2, kRate * 3 / 2, kRate * 2}) {
        auto data = loadWav(canonicalWav(6, rate, 16, multiPcm(6, 16, value)));
        auto engine = Engine::create(Engine::Output::Manual, kRate);
        auto buffer = engine->createBuffer(data);
        ASSERT_TRUE(buffer);
        EXPECT_EQ(buffer->getFormat(), (QlSound::SoundFormat{6, rate, 16}));
        ASSERT_TRUE(buffer->setVolume(0.5f));
        ASSERT_TRUE(buffer->play(0));
        auto out = mixFrames(*engine, 40);
        auto side = [&](double frame, int s) {
            double sum = 0;
            for (int c = 0; c < 6; ++c) {
                const auto i = static_cast<int>(frame);
                const double a = value(i, c) / 32768.0, b = value(i + 1, c) / 32768.0;
                const double v = a + (b - a) * (frame - i);
                sum += v * (s == 0 ? kWavWeights[6][c].left : kWavWeights[6][c].right);
            }
            return 0.5 * sum;
        };
        const double ratio = static_cast<double>(rate) / kRate;
        const auto sounding = static_cast<int>(std::ceil(16 / ratio));
        for (int j = 0; j * ratio < 15; ++j) {
            EXPECT_NEAR(out[2 * j], side(j * ratio, 0), 1e-5) << rate << " Hz, frame " << j;
            EXPECT_NEAR(out[2 * j + 1], side(j * ratio, 1), 1e-5) << rate << " Hz, frame " << j;
        }
        EXPECT_NE(out[2 * (sounding - 1)], 0.0f) << rate;
        EXPECT_EQ(out[2 * sounding], 0.0f) << rate;
        EXPECT_FALSE(buffer->isPlaying());
    }
}

TEST(Downmix, WidthsOtherThanSixteenBitsFoldDownAlike)
{
    // 8-bit unsigned and 24-bit quadraphonic: back channels go to their side at 0.7071.
    auto eight = render(loadWav(canonicalWav(4, kRate, 8, {128, 128, 192, 64, 128, 128, 192, 64})), 3);
    ASSERT_EQ(eight.size(), 6u);
    EXPECT_NEAR(eight[0], 0.5f * h, 1e-6f);
    EXPECT_NEAR(eight[1], -0.5f * h, 1e-6f);
    EXPECT_EQ(eight[4], 0.0f);

    Bytes pcm24;
    for (int c = 0; c < 4; ++c) {
        const std::int32_t v = c == 0 ? 0x200000 : c == 3 ? -0x400000 : 0;  // 0.25 front left, -0.5 back right
        for (int b = 0; b < 3; ++b) pcm24.push_back(static_cast<std::uint8_t>(v >> (8 * b)));
    }
    auto deep = render(loadWav(canonicalWav(4, kRate, 24, pcm24)), 1);
    ASSERT_EQ(deep.size(), 2u);
    EXPECT_NEAR(deep[0], 0.25f, 1e-6f);
    EXPECT_NEAR(deep[1], -0.5f * h, 1e-6f);
}

TEST(Downmix, ChannelMaskOfAnExtensibleWavNamesTheSpeakers)
{
    auto lit = [](int channels, int which) {
        return multiPcm(channels, 50, [=](int, int c) { return c == which ? 16384 : 0; });
    };
    // Four channels named FL FR FC LFE: the third is the centre, the fourth left out.
    auto centre = render(loadWav(extensibleWav(4, 0x0F, lit(4, 2))), 10);
    ASSERT_FALSE(centre.empty());
    EXPECT_NEAR(centre[0], 0.5f * h, 1e-6f);
    EXPECT_NEAR(centre[1], 0.5f * h, 1e-6f);
    auto lfe = render(loadWav(extensibleWav(4, 0x0F, lit(4, 3))), 10);
    EXPECT_EQ(lfe[0], 0.0f);
    EXPECT_EQ(lfe[1], 0.0f);
    // Three channels named FL FR BC: the last goes to both sides at 0.5.
    auto back = render(loadWav(extensibleWav(3, 0x103, lit(3, 2))), 10);
    EXPECT_NEAR(back[0], 0.25f, 1e-6f);
    EXPECT_NEAR(back[1], 0.25f, 1e-6f);
    // A mask naming five speakers for four channels is not believed: quadraphonic order.
    auto wrong = render(loadWav(extensibleWav(4, 0x1F, lit(4, 3))), 10);
    EXPECT_EQ(wrong[0], 0.0f);
    EXPECT_NEAR(wrong[1], 0.5f * h, 1e-6f);
}

TEST(Downmix, OggChannelsFollowTheVorbisOrder)
{
    // Each channel a sine of its own frequency; the level of each frequency on
    // each side is that channel's weight times its amplitude.
    constexpr float kAmp = 0.25f;
    constexpr long kFrames = 28800;
    for (int channels : {3, 4, 5, 6, 7, 8}) {
        // Lowest for the last channel, which is the low-frequency one of 5.1
        // and up (the encoder may keep only its low band). Even frequencies:
        // whole periods in the measured window.
        auto hz = [&](int c) { return 100.0 + 200.0 * (channels - 1 - c); };
        std::vector<float> src;
        for (long i = 0; i < kFrames; ++i)
            for (int c = 0; c < channels; ++c)
                src.push_back(kAmp * static_cast<float>(std::sin(2 * M_PI * hz(c) * i / kRate)));
        const Bytes ogg = encodeOgg(channels, kRate, src, 0.6f);
        ASSERT_FALSE(ogg.empty()) << channels;
        auto data = QlSound::Ogg::SoundLoader().load(fileData(ogg));
        ASSERT_TRUE(data) << channels;
        ASSERT_EQ(data->getFormat().channels, static_cast<std::uint32_t>(channels));
        auto out = render(data, kFrames);
        ASSERT_EQ(out.size(), 2u * kFrames) << channels;
        for (int c = 0; c < channels; ++c) {
            const Weight w = kVorbisWeights[channels][c];
            EXPECT_NEAR(toneLevel(out, 0, hz(c), 4800, 24000), kAmp * w.left, 0.015f)
                << channels << " channels, channel " << c << " left";
            EXPECT_NEAR(toneLevel(out, 1, hz(c), 4800, 24000), kAmp * w.right, 0.015f)
                << channels << " channels, channel " << c << " right";
        }
    }
}

TEST(Downmix, NineChannelsLoadButDoNotPlay)
{
    auto engine = Engine::create(Engine::Output::Manual, kRate);
    auto eight = loadWav(canonicalWav(8, kRate, 16, Bytes(8 * 2 * 100)));
    auto nine = loadWav(canonicalWav(9, kRate, 16, Bytes(9 * 2 * 100)));
    ASSERT_TRUE(eight && nine);
    EXPECT_EQ(nine->getLength(), 100u);
    EXPECT_TRUE(engine->createBuffer(eight));
    EXPECT_FALSE(engine->createBuffer(nine));

    QlSound::Core::Sound refused(engine, nine);
    EXPECT_EQ(refused.getLength(), 100u);
    EXPECT_FALSE(refused.play(0));
}

TEST(Downmix, AFiveOneSoundPlaysOnAChannelAndFinishes)
{
    auto engine = Engine::create(Engine::Output::Manual, kRate);
    auto data = loadWav(canonicalWav(6, kRate, 16, multiPcm(6, 500, [](int, int c) { return 1000 * (c + 1); })));
    QlSound::Core::Sound sound(engine, data);
    auto channel = sound.play(0);
    ASSERT_TRUE(channel);
    ASSERT_TRUE(channel->setVolume(0.5f));
    auto out = mixFrames(*engine, 600);
    // FL + 0.7071 FC + 0.7071 BL (LFE left out), at half volume.
    EXPECT_NEAR(out[0], 0.5f * (1000 + h * 3000 + h * 5000) / 32768.0f, 1e-6f);
    EXPECT_NEAR(out[1], 0.5f * (2000 + h * 3000 + h * 6000) / 32768.0f, 1e-6f);
    EXPECT_EQ(out[2 * 500], 0.0f);
    EXPECT_TRUE(channel->isFinished());
}
