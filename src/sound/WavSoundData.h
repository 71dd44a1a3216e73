// PCM WAV files: header parsing and a decoder that copies the data chunk
// (32-bit float data is converted to 32-bit integer samples as it is read).
#pragma once

#include "sound/ChannelLayout.h"
#include "sound/SoundData.h"

namespace QlSound::Core {

struct WavFormatRecord {
    std::uint16_t formatTag = 0;      // 1 integer PCM, 3 float; an extensible header's sub-format
    std::uint16_t channels = 0;
    std::uint32_t sampleRate = 0;
    std::uint32_t avgBytesPerSec = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;  // (blockAlign / channels) * 8, not the header's field
    std::uint32_t channelMask = 0;    // an extensible header's speaker bits; 0 when absent
};

struct WavSoundInfo {
    std::uint32_t dataSize = 0;    // bytes of PCM, never past the end of the file
    std::uint32_t dataOffset = 44; // where the PCM starts in the file
    WavFormatRecord format;
};

// Parses a WAV header. The RIFF chunks are walked to find "fmt " and "data";
// when no usable pair is found, the canonical 44-byte layout is assumed
// (format fields at fixed places, PCM from byte 44). Returns false when the
// bytes are not a WAV file this runtime can play.
bool parseWavHeader(const IFileData& file, WavSoundInfo& info);

// Multichannel data plays in the speaker order its channel mask names, or in
// the conventional order for its channel count when it has none.
class WavSoundData final : public ISoundData, public IChannelLayoutSource {
public:
    WavSoundData(std::shared_ptr<const WavSoundInfo> info, std::shared_ptr<IFileData> file);

    SoundFormat getFormat() const override;
    std::shared_ptr<IFileData> getFileData() const override { return file_; }
    std::uint32_t getLength() const override;
    bool seek(std::uint32_t frame) override;
    std::uint32_t tell() const override;
    std::uint32_t read(void* buffer, std::uint32_t bytes) override;
    std::shared_ptr<ISoundData> copy() const override;
    ChannelLayout getChannelLayout() const override;

    const WavSoundInfo& getInfo() const { return *info_; }

private:
    std::uint32_t frameBytes() const;

    std::shared_ptr<const WavSoundInfo> info_;
    std::shared_ptr<IFileData> file_;
    bool float32_ = false;        // 32-bit float samples, handed out as 32-bit integers
    std::uint32_t position_ = 0;  // bytes into the data chunk
};

class WavSoundLoader final : public ISoundLoader {
public:
    std::shared_ptr<ISoundData> load(const std::shared_ptr<IFileData>& fileData) override;
};

}  // namespace QlSound::Core
