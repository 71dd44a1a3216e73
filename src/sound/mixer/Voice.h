// One voice of the software mixer: a decoder, its play state and the
// resampler that turns its PCM into stereo float at the output rate, folding
// data of more than two channels down to stereo on the way.
#pragma once

#include "sound/ChannelLayout.h"
#include "sound/SoundData.h"

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace QlSound::Mixer {

// Remaining-loop value meaning "jump back for ever".
inline constexpr std::uint32_t kLoopForever = 0xFFFFFFFFu;

// The highest source rate a voice plays, in Hz. Real recordings stop well
// below it; a damaged header's absurd rate would make every output frame
// skip over thousands of source frames (and a tiny loop jump back as often).
inline constexpr std::uint32_t kMaxPlayableRate = 1000000;

// State shared by the main thread (play, stop, seek, volume ...) and the
// audio thread (render). Every operation takes the voice's own lock for its
// duration; the audio thread holds it while it decodes and mixes this voice's
// share of one output block.
class Voice {
public:
    // Frames decoded per refill; also the size of the scratch buffers, which
    // are allocated here once so that rendering never allocates.
    static constexpr std::uint32_t kChunkFrames = 1024;

    // 1 to 8 channels of 8-, 16-, 24- or 32-bit samples at 1 Hz to kMaxPlayableRate.
    static bool canPlay(const SoundFormat& format);

    Voice(std::shared_ptr<ISoundData> data, std::uint32_t outputRate);

    bool play(std::uint32_t start, std::uint32_t loopCount, std::uint32_t loopStart, bool looping);
    bool stop();
    bool pause();
    bool resume();
    bool isPlaying() const;
    bool isPaused() const;
    SoundFormat getFormat() const;
    bool setVolume(float volume);
    float getVolume() const;
    bool setSpeed(float speed);
    float getSpeed() const;
    bool seek(std::uint32_t frame);
    std::uint32_t tell() const;
    std::uint32_t getLength() const;

    // Stops the voice for good and drops its decoder (engine shutdown).
    void release();
    bool isReleased() const;

    // Audio thread: adds this voice's next `frames` stereo frames, scaled by
    // its volume, into `out`. A voice that runs out of data finishes.
    void render(float* out, std::uint32_t frames);

private:
    void resetResampler();
    void updateStep();
    std::uint32_t readToEnd(std::uint8_t* dst, std::uint32_t bytes);
    std::uint32_t feed(std::uint8_t* dst, std::uint32_t bytes);
    void refill();
    template <int Channels>
    void renderFrames(float* out, std::uint32_t frames);
    template <int Channels, int Bits>
    void renderFrames(float* out, std::uint32_t frames);
    template <bool Multichannel>
    void renderBlock(float* out, std::uint32_t frames);
    void renderDownmix(float* out, std::uint32_t frames);
    template <int Bits>
    void renderDownmix(float* out, std::uint32_t frames);

    mutable std::mutex mutex_;
    std::shared_ptr<ISoundData> data_;
    SoundFormat format_;
    std::uint32_t frameBytes_ = 0;
    std::uint32_t outputRate_ = 0;

    bool released_ = false;
    bool playing_ = false;
    bool paused_ = false;
    std::uint32_t loopStart_ = 0;
    std::uint32_t loopsLeft_ = 0;
    float volume_ = 1.0f;
    float speed_ = 1.0f;

    // Resampler: decoded PCM frames as the decoder gives them, a 32.32
    // fixed-point read position into them and the step per output frame.
    std::vector<std::uint8_t> in_;
    std::uint32_t inCount_ = 0;
    std::uint64_t pos_ = 0;
    std::uint64_t step_ = 0;
    bool ended_ = false;

    // Data of more than two channels: each channel's share of the left and
    // the right output, from the speaker it is meant for. Kept last, out of
    // the way of the members every voice's rendering reads.
    std::array<float, kMaxPlayableChannels> leftWeight_{};
    std::array<float, kMaxPlayableChannels> rightWeight_{};
};

}  // namespace QlSound::Mixer
