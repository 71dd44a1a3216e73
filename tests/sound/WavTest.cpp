// WAV headers of both kinds and reads bounded by the data chunk and the file.
#include "support/TestAudio.h"

#include "sound/WavSoundData.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace QlSoundTest;
using QlSound::Core::WavSoundData;
using QlSound::Core::WavSoundLoader;

namespace {

std::shared_ptr<WavSoundData> loadWav(Bytes bytes)
{
    return std::dynamic_pointer_cast<WavSoundData>(WavSoundLoader().load(fileData(std::move(bytes))));
}

Bytes readAll(QlSound::ISoundData& data)
{
    Bytes out;
    std::uint8_t buf[7];  // odd size: reads end mid-frame
    while (std::uint32_t n = data.read(buf, sizeof buf)) out.insert(out.end(), buf, buf + n);
    return out;
}

Bytes counting(std::size_t n)
{
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 7 + 1);
    return b;
}

}  // namespace

TEST(Wav, CanonicalHeaderGivesFormatLengthAndPcm)
{
    const Bytes pcm = counting(400);
    auto wav = loadWav(canonicalWav(2, 22050, 16, pcm));
    ASSERT_TRUE(wav);
    EXPECT_EQ(wav->getFormat(), (QlSound::SoundFormat{2, 22050, 16}));
    EXPECT_EQ(wav->getLength(), 100u);
    EXPECT_EQ(wav->getInfo().dataOffset, 44u);
    EXPECT_EQ(readAll(*wav), pcm);
    EXPECT_EQ(wav->tell(), 100u);
}

TEST(Wav, BitsComeFromBlockAlignAndChannels)
{
    auto mono8 = loadWav(canonicalWav(1, 8000, 8, counting(10)));
    ASSERT_TRUE(mono8);
    EXPECT_EQ(mono8->getFormat().bitsPerSample, 8u);
    EXPECT_EQ(mono8->getLength(), 10u);
    // The header's own bits field says 12; block align 4 over 2 channels is 16.
    Bytes odd = canonicalWav(2, 8000, 16, counting(16));
    odd[34] = 12;
    auto stereo = loadWav(odd);
    ASSERT_TRUE(stereo);
    EXPECT_EQ(stereo->getFormat().bitsPerSample, 16u);
}

TEST(Wav, ChunkWalkSkipsListAndStopsAtTheDataChunk)
{
    const Bytes pcm = counting(202);
    for (std::uint32_t listBytes : {26u, 27u}) {
        auto wav = loadWav(chunkedWav(1, 44100, 16, pcm, listBytes));
        ASSERT_TRUE(wav) << listBytes;
        EXPECT_EQ(wav->getLength(), 101u);
        EXPECT_EQ(wav->getFormat(), (QlSound::SoundFormat{1, 44100, 16}));
        // Samples only: no LIST bytes at the start, no trailing chunk at the end.
        EXPECT_EQ(readAll(*wav), pcm) << listBytes;
    }
}

TEST(Wav, SeekAndTellCountFrames)
{
    auto wav = loadWav(chunkedWav(2, 44100, 16, counting(400)));
    ASSERT_TRUE(wav);
    EXPECT_FALSE(wav->seek(100));
    ASSERT_TRUE(wav->seek(99));
    EXPECT_EQ(wav->tell(), 99u);
    std::uint8_t last[8];
    EXPECT_EQ(wav->read(last, 8), 4u);
    EXPECT_EQ(wav->read(nullptr, 8), 0u);
    auto fresh = wav->copy();
    EXPECT_EQ(fresh->tell(), 0u);
    EXPECT_EQ(fresh->getFileData(), wav->getFileData());
}

TEST(Wav, LengthsAreBoundedByTheFile)
{
    // Data size claims 1 MB; the file holds 40 bytes of PCM.
    Bytes big = canonicalWav(1, 8000, 16, counting(40));
    big[40] = 0x00;
    big[41] = 0x00;
    big[42] = 0x10;
    auto wav = loadWav(big);
    ASSERT_TRUE(wav);
    EXPECT_EQ(wav->getLength(), 20u);
    EXPECT_EQ(readAll(*wav).size(), 40u);
    EXPECT_FALSE(wav->seek(20));

    // A chunk whose size runs past the end of the file ends the walk safely.
    Bytes broken = chunkedWav(1, 8000, 16, counting(40));
    std::memset(broken.data() + 38 + 4, 0xFF, 4);  // the LIST size
    auto fallback = loadWav(broken);
    ASSERT_TRUE(fallback);  // still a WAV by its fixed layout
    EXPECT_LE(fallback->getInfo().dataOffset + fallback->getInfo().dataSize, broken.size());
}

TEST(Wav, AnythingWithWaveAtByteEightFallsBackToTheFixedLayout)
{
    Bytes b(44, 0);
    std::memcpy(b.data(), "JUNK", 4);
    std::memcpy(b.data() + 8, "WAVE", 4);
    b[22] = 1;        // channels
    b[24] = 0x40;     // rate 8000
    b[25] = 0x1F;
    b[32] = 2;        // block align
    b[40] = 6;        // data size
    const Bytes pcm = {1, 2, 3, 4, 5, 6, 7, 8};
    b.insert(b.end(), pcm.begin(), pcm.end());
    auto wav = loadWav(b);
    ASSERT_TRUE(wav);
    EXPECT_EQ(wav->getFormat(), (QlSound::SoundFormat{1, 8000, 16}));
    EXPECT_EQ(wav->getInfo().dataOffset, 44u);
    EXPECT_EQ(wav->getLength(), 3u);
    EXPECT_EQ(readAll(*wav), Bytes(pcm.begin(), pcm.begin() + 6));
}

TEST(Wav, NotWavOrUnplayableHeadersAreRefused)
{
    WavSoundLoader loader;
    EXPECT_FALSE(loader.load(nullptr));
    EXPECT_FALSE(loader.load(fileData(Bytes(43, 0))));
    Bytes noWave = canonicalWav(1, 8000, 16, counting(10));
    noWave[8] = 'X';
    EXPECT_FALSE(loader.load(fileData(noWave)));
    Bytes zeroChannels = canonicalWav(1, 8000, 16, counting(10));
    zeroChannels[22] = 0;
    EXPECT_FALSE(loader.load(fileData(zeroChannels)));
    Bytes tinyAlign = canonicalWav(2, 8000, 8, counting(10));
    tinyAlign[32] = 1;  // one byte for two channels: zero bytes per sample
    EXPECT_FALSE(loader.load(fileData(tinyAlign)));
}
