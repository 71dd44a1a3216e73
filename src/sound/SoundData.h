// Decoded-sound interfaces: the bytes of a sound file, the decoders over them
// and the loaders that recognise a file's kind.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace QlSound {

// PCM layout of decoded data: interleaved integer samples, 8-bit unsigned or
// 16/24/32-bit signed little-endian. Channels come in the container's own
// order; sound/ChannelLayout.h says which speaker each one is for.
struct SoundFormat {
    std::uint32_t channels = 0;
    std::uint32_t sampleRate = 0;
    std::uint32_t bitsPerSample = 0;

    std::uint32_t frameBytes() const { return bitsPerSample / 8 * channels; }
    bool operator==(const SoundFormat&) const = default;
};

// The whole content of a sound file, held in memory and shared by every play.
class IFileData {
public:
    virtual ~IFileData() = default;
    virtual std::u16string getName() const = 0;
    virtual std::uint32_t getSize() const = 0;
    // Copies min(count, size - offset) bytes from offset; 0 for a null buffer
    // or an offset at or past the end.
    virtual std::uint32_t read(void* buffer, std::uint32_t offset, std::uint32_t count) const = 0;
};

class IFileLoader {
public:
    virtual ~IFileLoader() = default;
    // The file's bytes, or an empty pointer when it cannot be read.
    virtual std::shared_ptr<IFileData> load(const std::u16string& path) = 0;
};

// One decoder position over one file's data. Not thread-safe: every play
// decodes through its own copy.
class ISoundData {
public:
    virtual ~ISoundData() = default;
    virtual SoundFormat getFormat() const = 0;
    virtual std::shared_ptr<IFileData> getFileData() const = 0;
    virtual std::uint32_t getLength() const = 0;                // frames
    virtual bool seek(std::uint32_t frame) = 0;                 // false when frame >= length
    virtual std::uint32_t tell() const = 0;                     // current frame
    virtual std::uint32_t read(void* buffer, std::uint32_t bytes) = 0;  // PCM bytes, 0 at the end
    virtual std::shared_ptr<ISoundData> copy() const = 0;       // same file, at frame 0
};

// Data that someone else produces in real time (a movie's sound): the mixer
// reads it at the moment it is played, a block at a time, instead of
// decoding ahead of the output.
class ILiveSoundData {
public:
    virtual ~ILiveSoundData() = default;
};

class ISoundLoader {
public:
    virtual ~ISoundLoader() = default;
    // A decoder over the data, or an empty pointer when the bytes are not of
    // this loader's kind.
    virtual std::shared_ptr<ISoundData> load(const std::shared_ptr<IFileData>& fileData) = 0;
};

class IMixedSoundLoader : public ISoundLoader {
public:
    virtual bool addLoader(const std::shared_ptr<ISoundLoader>& loader) = 0;
    virtual bool removeLoader(const std::shared_ptr<ISoundLoader>& loader) = 0;
    virtual bool removeLoaderAt(std::uint32_t index) = 0;
    virtual bool clearLoaders() = 0;
    virtual std::uint32_t getLoaderCount() const = 0;
};

namespace Core {

// File data owning its bytes.
class MemoryFileData final : public IFileData {
public:
    explicit MemoryFileData(std::vector<std::uint8_t> bytes, std::u16string name = {})
        : bytes_(std::move(bytes)), name_(std::move(name)) {}

    std::u16string getName() const override { return name_; }
    std::uint32_t getSize() const override;
    std::uint32_t read(void* buffer, std::uint32_t offset, std::uint32_t count) const override;

    const std::uint8_t* data() const { return bytes_.data(); }

private:
    std::vector<std::uint8_t> bytes_;
    std::u16string name_;
};

// Asks its loaders in order and returns the first decoder one of them makes.
class MixedSoundLoader final : public IMixedSoundLoader {
public:
    std::shared_ptr<ISoundData> load(const std::shared_ptr<IFileData>& fileData) override;
    bool addLoader(const std::shared_ptr<ISoundLoader>& loader) override;
    bool removeLoader(const std::shared_ptr<ISoundLoader>& loader) override;
    bool removeLoaderAt(std::uint32_t index) override;
    bool clearLoaders() override;
    std::uint32_t getLoaderCount() const override;

private:
    std::vector<std::shared_ptr<ISoundLoader>> loaders_;
};

}  // namespace Core
}  // namespace QlSound
