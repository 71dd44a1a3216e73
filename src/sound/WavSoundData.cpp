#include "sound/WavSoundData.h"

#include <algorithm>
#include <cstring>

namespace QlSound::Core {

namespace {

std::uint16_t u16At(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t u32At(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Reads the six format fields from 16 bytes laid out as a "fmt " chunk body.
WavFormatRecord formatFrom(const std::uint8_t* p)
{
    WavFormatRecord f;
    f.formatTag = u16At(p);
    f.channels = u16At(p + 2);
    f.sampleRate = u32At(p + 4);
    f.avgBytesPerSec = u32At(p + 8);
    f.blockAlign = u16At(p + 12);
    f.bitsPerSample = f.channels == 0 ? 0 : static_cast<std::uint16_t>(f.blockAlign / f.channels * 8);
    f.extraSize = 0;
    return f;
}

bool usable(const WavFormatRecord& f) { return f.channels != 0 && f.bitsPerSample != 0; }

// Walks the chunk list after the 12-byte RIFF head. Every size is checked
// against the file's size before anything is read.
bool walkChunks(const IFileData& file, WavSoundInfo& info)
{
    const std::uint64_t size = file.getSize();
    std::uint64_t at = 12;
    bool haveFormat = false, haveData = false;
    WavFormatRecord format;
    std::uint32_t dataOffset = 0, dataSize = 0;
    while (at + 8 <= size && !(haveFormat && haveData)) {
        std::uint8_t head[8];
        if (file.read(head, static_cast<std::uint32_t>(at), 8) != 8) break;
        const std::uint64_t chunkSize = u32At(head + 4);
        const std::uint64_t body = at + 8;
        if (std::memcmp(head, "fmt ", 4) == 0 && !haveFormat) {
            std::uint8_t fmt[16];
            if (chunkSize < 16 || body + 16 > size) return false;
            if (file.read(fmt, static_cast<std::uint32_t>(body), 16) != 16) return false;
            format = formatFrom(fmt);
            haveFormat = true;
        } else if (std::memcmp(head, "data", 4) == 0 && !haveData) {
            dataOffset = static_cast<std::uint32_t>(body);
            dataSize = static_cast<std::uint32_t>(std::min<std::uint64_t>(chunkSize, size - body));
            haveData = true;
        }
        at = body + chunkSize + (chunkSize & 1);  // chunks are padded to even sizes
    }
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

    if (std::memcmp(head, "RIFF", 4) == 0 && walkChunks(file, info)) return true;

    // Canonical layout: everything at fixed places, PCM right after the header.
    WavSoundInfo fixed;
    fixed.format = formatFrom(head + 20);
    if (!usable(fixed.format)) return false;
    fixed.dataOffset = 44;
    fixed.dataSize = std::min<std::uint32_t>(u32At(head + 40), file.getSize() - 44);
    info = fixed;
    return true;
}

WavSoundData::WavSoundData(std::shared_ptr<const WavSoundInfo> info, std::shared_ptr<IFileData> file)
    : info_(std::move(info)), file_(std::move(file))
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
    const std::uint32_t n = std::min(bytes, info_->dataSize - position_);
    const std::uint32_t got = file_->read(buffer, info_->dataOffset + position_, n);
    position_ += got;
    return got;
}

std::shared_ptr<ISoundData> WavSoundData::copy() const
{
    return std::make_shared<WavSoundData>(info_, file_);
}

std::shared_ptr<ISoundData> WavSoundLoader::load(const std::shared_ptr<IFileData>& fileData)
{
    if (!fileData) return nullptr;
    auto info = std::make_shared<WavSoundInfo>();
    if (!parseWavHeader(*fileData, *info)) return nullptr;
    return std::make_shared<WavSoundData>(std::move(info), fileData);
}

}  // namespace QlSound::Core
