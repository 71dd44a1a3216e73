// The audio engine over the software mixer, played on an SDL2 audio device
// or, without one, on a null sink that consumes audio at real-time pace.
#pragma once

#include "sound/Engine.h"
#include "sound/mixer/VoiceMixer.h"

#include <memory>

namespace QlSound::Mixer {

class IAudioOutput;

class Engine final : public IEngine {
public:
    enum class Output {
        Device,  // the default SDL audio device; Null when none opens or SDL's driver is "dummy"
        Null,    // no device: a thread mixes into nothing at real-time pace
        Manual,  // nothing runs by itself; the owner calls mix(), or feed() and render()
    };

    static constexpr std::uint32_t kDefaultRate = 48000;

    static std::shared_ptr<Engine> create(Output output = Output::Device,
                                          std::uint32_t preferredRate = kDefaultRate);
    ~Engine() override;
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Empty after shutdown().
    std::shared_ptr<IBuffer> createBuffer(const std::shared_ptr<ISoundData>& soundData) override;

    // Stops the output and the feeder and releases every voice, so buffers
    // still held elsewhere go quiet and refuse to play. The destructor does
    // the same; calling it earlier ends the sound at a moment of the owner's
    // choosing (the audio library's unload).
    void shutdown();

    // The output actually in use and its rate in Hz.
    Output getOutput() const { return output_; }
    std::uint32_t getSampleRate() const { return mixer_->getSampleRate(); }
    std::size_t getVoiceCount() const { return mixer_->getVoiceCount(); }

    // Manual output (tests and tools). mix() mixes the next `frames` stereo
    // frames, decoding on the calling thread whatever the voices need.
    // render() is what the device's callback runs: it only takes frames
    // already decoded, as feed() (the feeder thread's pass) and play and
    // seek left them.
    void mix(float* out, std::uint32_t frames) { mixer_->mix(out, frames, true); }
    void render(float* out, std::uint32_t frames) { mixer_->mix(out, frames, false); }
    void feed() { mixer_->feed(); }

    // Blocks mixed so far, and voice blocks that ran dry (dropouts).
    std::uint64_t getBlockCount() const { return mixer_->getBlockCount(); }
    std::uint64_t getDryCount() const { return mixer_->getDryCount(); }

private:
    Engine() = default;

    Output output_ = Output::Manual;
    bool shutDown_ = false;
    std::shared_ptr<VoiceMixer> mixer_;
    std::unique_ptr<IAudioOutput> device_;
};

// One engine voice. Destroying the buffer takes its voice out of the mixer.
class Buffer final : public IBuffer {
public:
    Buffer(std::shared_ptr<Voice> voice, std::weak_ptr<VoiceMixer> mixer)
        : voice_(std::move(voice)), mixer_(std::move(mixer)) {}
    ~Buffer() override;
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;

    bool play(std::uint32_t start) override { return started(voice_->play(start, 0, 0, false)); }
    bool play(std::uint32_t start, std::uint32_t loopCount, std::uint32_t loopStart) override
    {
        return started(voice_->play(start, loopCount, loopStart, true));
    }
    bool stop() override { return voice_->stop(); }
    bool pause() override { return voice_->pause(); }
    bool resume() override { return voice_->resume(); }
    bool isPlaying() const override { return voice_->isPlaying(); }
    bool isPaused() const override { return voice_->isPaused(); }
    SoundFormat getFormat() const override { return voice_->getFormat(); }
    bool setVolume(float volume) override { return voice_->setVolume(volume); }
    float getVolume() const override { return voice_->getVolume(); }
    bool setSpeed(float speed) override { return voice_->setSpeed(speed); }
    float getSpeed() const override { return voice_->getSpeed(); }
    bool seek(std::uint32_t frame) override { return started(voice_->seek(frame)); }
    std::uint32_t tell() const override { return voice_->tell(); }
    std::uint32_t getLength() const override { return voice_->getLength(); }

    // Steady-clock nanoseconds at which the first output block of the current
    // play left the mixer (0 until it has).
    std::int64_t getFirstHeardAt() const { return voice_->getFirstHeardAt(); }

private:
    // After a new position: the feeder fills the rest of the queue now.
    bool started(bool ok)
    {
        if (ok)
            if (auto mixer = mixer_.lock()) mixer->wakeFeeder();
        return ok;
    }

    std::shared_ptr<Voice> voice_;
    std::weak_ptr<VoiceMixer> mixer_;
};

}  // namespace QlSound::Mixer
