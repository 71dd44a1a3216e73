// Ogg Vorbis files encoded by the test, decoded through the loader.
#include "support/TestAudio.h"

#include "sound/OggSoundData.h"
#include "sound/WavSoundData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace QlSoundTest;

namespace {

std::vector<float> sine(int channels, long rate, long frames, double hz)
{
    std::vector<float> s;
    for (long i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            s.push_back(static_cast<float>(0.5 * std::sin(2 * M_PI * hz * i / rate + c)));
    return s;
}

const Bytes& stereoOgg()
{
    static const Bytes bytes = encodeOgg(2, 44100, sine(2, 44100, 44100, 440.0));
    return bytes;
}

}  // namespace

TEST(Ogg, DecodesFormatLengthAndSignal)
{
    ASSERT_FALSE(stereoOgg().empty());
    auto data = QlSound::Ogg::SoundLoader().load(fileData(stereoOgg()));
    ASSERT_TRUE(data);
    EXPECT_EQ(data->getFormat(), (QlSound::SoundFormat{2, 44100, 16}));
    EXPECT_EQ(data->getLength(), 44100u);

    std::vector<std::int16_t> pcm(44100 * 2 + 100);
    const std::uint32_t bytes = data->read(pcm.data(), static_cast<std::uint32_t>(pcm.size() * 2));
    ASSERT_EQ(bytes, 44100u * 4);
    EXPECT_EQ(data->read(pcm.data(), 64), 0u);
    // Lossy, but close to the source away from the edges.
    const auto ref = sine(2, 44100, 44100, 440.0);
    double err = 0;
    for (std::size_t i = 2000; i < 80000; ++i) err += std::abs(pcm[i] / 32768.0 - ref[i]);
    EXPECT_LT(err / 78000, 0.02);
}

TEST(Ogg, SeekTellAndCopy)
{
    auto data = QlSound::Ogg::SoundLoader().load(fileData(stereoOgg()));
    ASSERT_TRUE(data);
    EXPECT_FALSE(data->seek(44100));
    ASSERT_TRUE(data->seek(22050));
    EXPECT_EQ(data->tell(), 22050u);
    std::int16_t frame[2];
    EXPECT_EQ(data->read(frame, 4), 4u);
    EXPECT_EQ(data->tell(), 22051u);
    auto copy = data->copy();
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->tell(), 0u);
    EXPECT_EQ(copy->getFileData(), data->getFileData());
}

TEST(Ogg, MonoOddRateAndDamagedFiles)
{
    auto mono = QlSound::Ogg::SoundLoader().load(fileData(encodeOgg(1, 22050, sine(1, 22050, 5000, 300))));
    ASSERT_TRUE(mono);
    EXPECT_EQ(mono->getFormat(), (QlSound::SoundFormat{1, 22050, 16}));
    EXPECT_EQ(mono->getLength(), 5000u);

    QlSound::Ogg::SoundLoader loader;
    EXPECT_FALSE(loader.load(nullptr));
    EXPECT_FALSE(loader.load(fileData(canonicalWav(1, 8000, 16, Bytes(100)))));
    EXPECT_FALSE(loader.load(fileData(Bytes(stereoOgg().begin(), stereoOgg().begin() + 30))));
    // Cut in the middle of the audio: opens, and reads stop cleanly.
    Bytes cut(stereoOgg().begin(), stereoOgg().begin() + stereoOgg().size() / 2);
    if (auto half = loader.load(fileData(cut))) {
        std::vector<std::uint8_t> buf(1 << 20);
        EXPECT_LT(half->read(buf.data(), static_cast<std::uint32_t>(buf.size())), 44100u * 4);
    }
}

TEST(Ogg, ALostPageIsSkippedAndTheRestStillDecodes)
{
    // Noise fills many pages; one in the middle is damaged (its checksum
    // fails, so the decoder drops it and reports a hole).
    std::vector<float> noise(44100 * 6);
    std::uint32_t r = 1;
    for (auto& v : noise) {
        r = r * 1664525u + 1013904223u;
        v = 0.3f * (static_cast<float>(r >> 8) / 16777216.0f - 0.5f);
    }
    const Bytes clean = encodeOgg(1, 44100, noise);
    std::vector<std::size_t> pages;
    for (std::size_t i = 0; i + 4 < clean.size(); ++i)
        if (std::memcmp(clean.data() + i, "OggS", 4) == 0) pages.push_back(i);
    ASSERT_GT(pages.size(), 8u);
    Bytes damaged = clean;
    const std::size_t page = pages[pages.size() / 2];
    damaged[(page + pages[pages.size() / 2 + 1]) / 2] ^= 0x55;

    auto data = QlSound::Ogg::SoundLoader().load(fileData(damaged));
    ASSERT_TRUE(data);
    std::vector<std::uint8_t> pcm(noise.size() * 2 + 4096);
    const std::uint32_t total = data->read(pcm.data(), static_cast<std::uint32_t>(pcm.size()));
    // One read gives all but about a page of audio; stopping at the hole would give half.
    EXPECT_GT(total, noise.size() * 2 * 9 / 10);
    EXPECT_LE(total, noise.size() * 2);
}

TEST(Ogg, ChainedStreamsMustShareTheirLayout)
{
    const auto a = sine(1, 22050, 3000, 300);
    Bytes same = encodeOgg(1, 22050, a, 0.4f, 1);
    const Bytes second = encodeOgg(1, 22050, sine(1, 22050, 2000, 500), 0.4f, 2);
    same.insert(same.end(), second.begin(), second.end());
    auto chained = QlSound::Ogg::SoundLoader().load(fileData(same));
    ASSERT_TRUE(chained);
    EXPECT_EQ(chained->getLength(), 5000u);
    std::vector<std::int16_t> pcm(6000);
    std::uint32_t total = 0;
    while (std::uint32_t n = chained->read(pcm.data() + total / 2, 1000)) total += n;
    EXPECT_EQ(total, 5000u * 2);

    // A later stream with another channel count or rate would play garbled.
    for (const Bytes& other : {encodeOgg(2, 22050, sine(2, 22050, 2000, 500), 0.4f, 3),
                               encodeOgg(1, 44100, sine(1, 44100, 2000, 500), 0.4f, 4)}) {
        Bytes mixed = encodeOgg(1, 22050, a, 0.4f, 1);
        mixed.insert(mixed.end(), other.begin(), other.end());
        EXPECT_FALSE(QlSound::Ogg::SoundLoader().load(fileData(mixed)));
    }
}

TEST(Ogg, MixedLoaderTriesWavThenOgg)
{
    QlSound::Core::MixedSoundLoader mixed;
    auto wav = std::make_shared<QlSound::Core::WavSoundLoader>();
    auto ogg = std::make_shared<QlSound::Ogg::SoundLoader>();
    EXPECT_FALSE(mixed.addLoader(nullptr));
    ASSERT_TRUE(mixed.addLoader(wav));
    ASSERT_TRUE(mixed.addLoader(ogg));
    EXPECT_EQ(mixed.getLoaderCount(), 2u);
    EXPECT_TRUE(std::dynamic_pointer_cast<QlSound::Core::WavSoundData>(
        mixed.load(fileData(canonicalWav(1, 8000, 16, Bytes(100))))));
    EXPECT_TRUE(std::dynamic_pointer_cast<QlSound::Ogg::SoundData>(mixed.load(fileData(stereoOgg()))));
    EXPECT_FALSE(mixed.load(fileData(Bytes(100, 0x55))));

    EXPECT_FALSE(mixed.removeLoader(std::make_shared<QlSound::Ogg::SoundLoader>()));
    EXPECT_TRUE(mixed.removeLoader(ogg));
    EXPECT_FALSE(mixed.load(fileData(stereoOgg())));
    EXPECT_FALSE(mixed.removeLoaderAt(1));
    EXPECT_TRUE(mixed.removeLoaderAt(0));
    EXPECT_TRUE(mixed.clearLoaders());
    EXPECT_EQ(mixed.getLoaderCount(), 0u);
}
