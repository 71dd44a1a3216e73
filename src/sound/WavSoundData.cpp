#include "sound/WavSoundData.h"

#include "io/ByteOrder.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace QlSound::Core {

namespace {

using QlIO::loadU16LE;
using QlIO::loadU32LE;

// Reads the six format fields from 16 bytes laid out as a "fmt " chunk body.
WavFormatRecord formatFrom(const std::uint8_t* p)
{
    WavFormatRecord f;
    f.formatTag = loadU16LE(p);
    f.channels = loadU16LE(p + 2);
    f.sampleRate = loadU32LE(p + 4);
    f.avgBytesPerSec = loadU32LE(p + 8);
    f.blockAlign = loadU16LE(p + 12);
    f.bitsPerSample = f.channels == 0 ? 0 : static_cast<std::uint16_t>(f.blockAlign / f.channels * 8);
    return f;
}

constexpr std::uint16_t kTagUnspecified = 0;
constexpr std::uint16_t kTagPcm = 1;
constexpr std::uint16_t kTagFloat = 3;
constexpr std::uint16_t kTagExtensible = 0xFFFE;

// Integer or float PCM. Encoded data (ADPCM, mu-law, A-law, MP3 in WAV ...)
// would play as noise and is refused. Tag 0 (hand-made headers) and an
// extensible header too short to name its sub-format are read as integer PCM.
bool plainPcm(std::uint16_t tag)
{
    return tag == kTagPcm || tag == kTagFloat || tag == kTagUnspecified || tag == kTagExtensible;
}

bool usable(const WavFormatRecord& f)
{
    return f.channels != 0 && f.bitsPerSample != 0 && plainPcm(f.formatTag);
}

// Rewrites `count` little-endian 32-bit float samples in place as 32-bit
// signed integers, clipped to full scale; NaN becomes silence.
void floatToInt32(std::uint8_t* p, std::uint32_t count)
{
    for (std::uint32_t i = 0; i < count; ++i, p += 4) {
        const std::uint32_t bits = loadU32LE(p);
        float v;
        std::memcpy(&v, &bits, 4);
        std::int32_t s = 0;
        if (v >= 1.0f)
            s = 0x7FFFFFFF;
        else if (v <= -1.0f)
            s = std::numeric_limits<std::int32_t>::min();
        else if (v == v)
            s = static_cast<std::int32_t>(static_cast<double>(v) * 2147483648.0);
        QlIO::storeU32LE(p, static_cast<std::uint32_t>(s));
    }
}

// Walks the chunk list after the 12-byte RIFF head. Every size is checked
// against the file's size before anything is read. `encoded` is set when the
// format chunk names encoded data.
bool walkChunks(const IFileData& file, WavSoundInfo& info, bool& encoded)
{
    const std::uint64_t size = file.getSize();
    std::uint64_t at = 12;
    bool haveFormat = false, haveData = false;
    WavFormatRecord format;
    std::uint32_t dataOffset = 0, dataSize = 0;
    while (at + 8 <= size && !(haveFormat && haveData)) {
        std::uint8_t head[8];
        if (file.read(head, static_cast<std::uint32_t>(at), 8) != 8) break;
        const std::uint64_t chunkSize = loadU32LE(head + 4);
        const std::uint64_t body = at + 8;
        if (std::memcmp(head, "fmt ", 4) == 0 && !haveFormat) {
            std::uint8_t fmt[26];
            if (chunkSize < 16 || body + 16 > size) return false;
            if (file.read(fmt, static_cast<std::uint32_t>(body), 16) != 16) return false;
            format = formatFrom(fmt);
            // An extensible format names its speakers in a mask 20 bytes into
            // the chunk and its real tag in the first two bytes of the
            // sub-format id, 24 bytes into the chunk.
            if (format.formatTag == kTagExtensible && chunkSize >= 26 &&
                file.read(fmt + 16, static_cast<std::uint32_t>(body + 16), 10) == 10) {
                format.channelMask = loadU32LE(fmt + 20);
                format.formatTag = loadU16LE(fmt + 24);
            }
            haveFormat = true;
        } else if (std::memcmp(head, "data", 4) == 0 && !haveData) {
            dataOffset = static_cast<std::uint32_t>(body);
            dataSize = static_cast<std::uint32_t>(std::min<std::uint64_t>(chunkSize, size - body));
            haveData = true;
        }
        at = body + chunkSize + (chunkSize & 1);  // chunks are padded to even sizes
    }
    encoded = haveFormat && !plainPcm(format.formatTag);
    if (!haveFormat || !haveData || !usable(format)) return false;
    info.format = format;
    info.dataOffset = dataOffset;
    info.dataSize = dataSize;
    return true;
}

}  // namespace

bool parseWavHeader(const IFileData& file, WavSoundInfo& info)
{
    std::uint8_t head[44];
    if (file.read(head, 0, 44) != 44) return false;
    if (std::memcmp(head + 8, "WAVE", 4) != 0) return false;

    if (std::memcmp(head, "RIFF", 4) == 0) {
        bool encoded = false;
        if (walkChunks(file, info, encoded)) return true;
        if (encoded) return false;  // not to be read as PCM by the fixed layout either
    }

    // Canonical layout: everything at fixed places, PCM right after the header.
    WavSoundInfo fixed;
    fixed.format = formatFrom(head + 20);
    if (!usable(fixed.format)) return false;
    fixed.dataOffset = 44;
    fixed.dataSize = std::min<std::uint32_t>(loadU32LE(head + 40), file.getSize() - 44);
    info = fixed;
    return true;
}

WavSoundData::WavSoundData(std::shared_ptr<const WavSoundInfo> info, std::shared_ptr<IFileData> file)
    : info_(std::move(info)), file_(std::move(file)),
      float32_(info_->format.formatTag == kTagFloat && info_->format.bitsPerSample == 32)
{
}

std::uint32_t WavSoundData::frameBytes() const
{
    return info_->format.bitsPerSample / 8u * info_->format.channels;
}

SoundFormat WavSoundData::getFormat() const
{
    return {info_->format.channels, info_->format.sampleRate, info_->format.bitsPerSample};
}

std::uint32_t WavSoundData::getLength() const { return info_->dataSize / frameBytes(); }

bool WavSoundData::seek(std::uint32_t frame)
{
    if (frame >= getLength()) return false;
    position_ = frame * frameBytes();
    return true;
}

std::uint32_t WavSoundData::tell() const { return position_ / frameBytes(); }

std::uint32_t WavSoundData::read(void* buffer, std::uint32_t bytes)
{
    if (buffer == nullptr || position_ >= info_->dataSize) return 0;
    std::uint32_t n = std::min(bytes, info_->dataSize - position_);
    if (float32_) n -= n % 4;  // whole samples only, so each one converts
    std::uint32_t got = file_->read(buffer, info_->dataOffset + position_, n);
    if (float32_) {
        got -= got % 4;
        floatToInt32(static_cast<std::uint8_t*>(buffer), got / 4);
    }
    position_ += got;
    return got;
}

std::shared_ptr<ISoundData> WavSoundData::copy() const
{
    return std::make_shared<WavSoundData>(info_, file_);
}

ChannelLayout WavSoundData::getChannelLayout() const
{
    return channelLayoutFromMask(info_->format.channels, info_->format.channelMask);
}

std::shared_ptr<ISoundData> WavSoundLoader::load(const std::shared_ptr<IFileData>& fileData)
{
    if (!fileData) return nullptr;
    auto info = std::make_shared<WavSoundInfo>();
    if (!parseWavHeader(*fileData, *info)) return nullptr;
    return std::make_shared<WavSoundData>(std::move(info), fileData);
}

}  // namespace QlSound::Core
