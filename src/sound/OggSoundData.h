// Ogg Vorbis files decoded to 16-bit PCM through libvorbisfile.
#pragma once

#include "sound/ChannelLayout.h"
#include "sound/SoundData.h"

namespace QlSound::Ogg {

// Multichannel streams keep the Vorbis channel order (for 5.1: FL C FR RL RR
// LFE); the layout tells the mixer which speaker each channel is for.
class SoundData final : public ISoundData, public IChannelLayoutSource {
public:
    // Opens a decoder over the file's bytes; empty when they are not Ogg Vorbis.
    static std::shared_ptr<SoundData> open(const std::shared_ptr<IFileData>& file);
    ~SoundData() override;
    SoundData(const SoundData&) = delete;
    SoundData& operator=(const SoundData&) = delete;

    SoundFormat getFormat() const override { return format_; }
    std::shared_ptr<IFileData> getFileData() const override { return file_; }
    std::uint32_t getLength() const override { return length_; }
    bool seek(std::uint32_t frame) override;
    std::uint32_t tell() const override;
    std::uint32_t read(void* buffer, std::uint32_t bytes) override;
    std::shared_ptr<ISoundData> copy() const override;
    ChannelLayout getChannelLayout() const override { return vorbisChannelLayout(format_.channels); }

    struct Source;  // what the decoder's read/seek/tell/close callbacks see

private:
    SoundData() = default;

    std::shared_ptr<IFileData> file_;
    struct Handle;
    std::unique_ptr<Handle> handle_;
    SoundFormat format_;
    std::uint32_t length_ = 0;
};

class SoundLoader final : public ISoundLoader {
public:
    std::shared_ptr<ISoundData> load(const std::shared_ptr<IFileData>& fileData) override;
};

}  // namespace QlSound::Ogg
