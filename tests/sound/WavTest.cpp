// WAV headers of both kinds and reads bounded by the data chunk and the file.
#include "support/TestAudio.h"

#include "sound/WavSoundData.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
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

// A 32-bit stereo WAV behind a 40-byte extensible "fmt " chunk whose
// sub-format (at byte 44 of the file) is `subformat`.
Bytes extensibleWav(std::uint16_t subformat, const Bytes& pcm)
{
    Bytes ext;
    putTag(ext, "RIFF");
    putU32(ext, 0);
    putTag(ext, "WAVE");
    putTag(ext, "fmt ");
    putU32(ext, 40);
    putU16(ext, 0xFFFE);
    putU16(ext, 2);
    putU32(ext, 48000);
    putU32(ext, 48000 * 8);
    putU16(ext, 8);
    putU16(ext, 32);
    putU16(ext, 22);  // extension size
    putU16(ext, 32);  // valid bits
    putU32(ext, 3);   // channel mask
    putU16(ext, subformat);
    for (int i = 0; i < 14; ++i) ext.push_back(0);
    putTag(ext, "data");
    putU32(ext, static_cast<std::uint32_t>(pcm.size()));
    ext.insert(ext.end(), pcm.begin(), pcm.end());
    return ext;
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
    // Encoded data would play as noise: mu-law, A-law, ADPCM (also as an
    // extensible header's sub-format), in both header layouts.
    for (std::uint16_t tag : {7, 6, 2, 0x11}) {
        Bytes encoded = canonicalWav(1, 8000, 8, counting(10));
        encoded[20] = static_cast<std::uint8_t>(tag);
        EXPECT_FALSE(loader.load(fileData(encoded))) << tag;
        encoded[0] = 'J';  // no RIFF head: the fixed layout is read
        EXPECT_FALSE(loader.load(fileData(encoded))) << tag;
    }
    Bytes subformat = extensibleWav(1, counting(16));  // integer PCM
    ASSERT_TRUE(loader.load(fileData(subformat)));
    subformat[44] = 2;  // sub-format: ADPCM
    EXPECT_FALSE(loader.load(fileData(subformat)));
    Bytes tinyAlign = canonicalWav(2, 8000, 8, counting(10));
    tinyAlign[32] = 1;  // one byte for two channels: zero bytes per sample
    EXPECT_FALSE(loader.load(fileData(tinyAlign)));
}

namespace {

Bytes floatPcm(const std::vector<float>& samples)
{
    Bytes b(samples.size() * 4);
    std::memcpy(b.data(), samples.data(), b.size());  // little-endian host
    return b;
}

std::vector<std::int32_t> int32Samples(const Bytes& b)
{
    std::vector<std::int32_t> out(b.size() / 4);
    std::memcpy(out.data(), b.data(), out.size() * 4);
    return out;
}

}  // namespace

TEST(Wav, FloatSamplesAreConvertedToIntegerPcm)
{
    const std::vector<float> samples = {0.0f, 0.5f, -0.5f, 1.0f, -1.0f, 3.0f, -7.0f, std::nanf(""), 0.25f, -0.25f};
    const std::vector<std::int32_t> expected = {0,          1 << 30,    -(1 << 30), INT32_MAX, INT32_MIN,
                                                INT32_MAX,  INT32_MIN,  0,          1 << 29,   -(1 << 29)};
    Bytes plain = canonicalWav(2, 48000, 32, floatPcm(samples));
    plain[20] = 3;  // format tag: IEEE float
    auto wav = loadWav(plain);
    ASSERT_TRUE(wav);
    EXPECT_EQ(wav->getFormat(), (QlSound::SoundFormat{2, 48000, 32}));
    EXPECT_EQ(wav->getLength(), 5u);
    EXPECT_EQ(int32Samples(readAll(*wav)), expected);
    ASSERT_TRUE(wav->seek(4));
    std::uint8_t last[8];
    ASSERT_EQ(wav->read(last, 8), 8u);
    EXPECT_EQ(int32Samples(Bytes(last, last + 8)), std::vector<std::int32_t>(expected.end() - 2, expected.end()));

    // The same data behind an extensible header whose sub-format is float.
    const Bytes ext = extensibleWav(3, floatPcm(samples));
    auto extWav = loadWav(ext);
    ASSERT_TRUE(extWav);
    EXPECT_EQ(int32Samples(readAll(*extWav)), expected);

    // Integer 32-bit data stays as it is.
    const Bytes intPcm = counting(16);
    auto intWav = loadWav(canonicalWav(1, 8000, 32, intPcm));
    ASSERT_TRUE(intWav);
    EXPECT_EQ(readAll(*intWav), intPcm);
}
