// Movie sound on the sound engine: a never-ending decoder over the movie's sound buffer,
// played by one engine buffer that the movie starts, pauses and sets the gain of.
#include "graphics/video/Video.h"

#include "sound/Engine.h"

namespace QlGraphics {
namespace {

class MovieSoundData : public QlSound::ISoundData, public QlSound::ILiveSoundData {
public:
    explicit MovieSoundData(std::shared_ptr<MovieAudio> audio) : audio_(std::move(audio)) {}
    QlSound::SoundFormat getFormat() const override
    {
        return {MovieAudio::kChannels, audio_->getSampleRate(), 16};
    }
    std::shared_ptr<QlSound::IFileData> getFileData() const override { return nullptr; }
    // The movie decides where its sound is; to the engine it is endless.
    std::uint32_t getLength() const override { return 0xFFFFFFFFu; }
    bool seek(std::uint32_t) override { return true; }
    std::uint32_t tell() const override { return static_cast<std::uint32_t>(audio_->consumed()); }
    std::uint32_t read(void* buffer, std::uint32_t bytes) override { return audio_->read(buffer, bytes); }
    std::shared_ptr<QlSound::ISoundData> copy() const override
    {
        return std::make_shared<MovieSoundData>(audio_);
    }

private:
    std::shared_ptr<MovieAudio> audio_;
};

class MixerOutput : public IVideoAudioOutput {
public:
    explicit MixerOutput(std::shared_ptr<QlSound::IBuffer> buffer) : buffer_(std::move(buffer)) {}
    ~MixerOutput() override { buffer_->stop(); }
    void start() override
    {
        if (buffer_->isPaused())
            buffer_->resume();
        else if (!buffer_->isPlaying())
            buffer_->play(0);
    }
    void pause() override { buffer_->pause(); }
    void setGain(float gain) override { buffer_->setVolume(gain); }

private:
    std::shared_ptr<QlSound::IBuffer> buffer_;
};

}  // namespace

std::unique_ptr<IVideoAudioOutput> createMovieAudioOutput(const std::shared_ptr<QlSound::IEngine>& engine,
                                                          const std::shared_ptr<MovieAudio>& audio)
{
    if (!engine || !audio)
        return nullptr;
    auto buffer = engine->createBuffer(std::make_shared<MovieSoundData>(audio));
    if (!buffer)
        return nullptr;
    return std::make_unique<MixerOutput>(std::move(buffer));
}

}  // namespace QlGraphics
