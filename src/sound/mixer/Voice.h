// One voice of the software mixer: a decoder, its play state and the
// resampler that turns its PCM into stereo float at the output rate, folding
// data of more than two channels down to stereo on the way.
#pragma once

#include "sound/ChannelLayout.h"
#include "sound/SoundData.h"

#include <array>
#include <atomic>
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

// A voice has two sides that never wait for each other:
//
// - The decoding side owns the decoder, the loop state and the writing end of
//   a queue of decoded PCM frames. It runs on the main thread (play and seek
//   decode the first frames of the new position themselves, so the next
//   output block already carries them) and on the engine's feeder thread,
//   which keeps the queue topped up. It is serialised by the decode lock.
// - The audio thread owns the reading end of the queue and the resampler.
//   It takes only the voice's short state lock, which the main thread holds
//   just long enough to flip flags or to swap in a freshly decoded start
//   (never while decoding, seeking or allocating).
//
// So the audio thread neither decodes nor allocates nor waits on decoding.
// Live data (a movie's sound, ILiveSoundData) is the exception: it must be
// read at the moment it is heard, so the audio thread reads it itself, a
// block at a time, if the decode lock is free at that moment.
class Voice {
public:
    // Frames the resampler holds at a time; also the most a live voice reads
    // ahead of its output.
    static constexpr std::uint32_t kChunkFrames = 1024;

    // What render reports to the mixer (bits).
    enum RenderResult : unsigned {
        kFirstHeard = 1,  // this block carried the first frames of a play
        kRanDry = 2,      // the queue was empty before the data ended (a dropout)
    };

    // 1 to 8 channels of 8-, 16-, 24- or 32-bit samples at 1 Hz to kMaxPlayableRate.
    static bool canPlay(const SoundFormat& format);

    Voice(std::shared_ptr<ISoundData> data, std::uint32_t outputRate);

    // Main thread.
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
    // The decoder's position: the next frame to be decoded, which runs ahead
    // of what has been heard by what is queued.
    std::uint32_t tell() const;
    std::uint32_t getLength() const;

    // Stops the voice for good and drops its decoder (engine shutdown).
    void release();
    bool isReleased() const;

    // Decoding side (the feeder thread, or a test standing in for it): fills
    // the queue as far as it goes. Nothing for live voices.
    void produce();
    bool isLive() const { return live_; }
    // Frames the queue holds at most, and the frames play and seek decode at once.
    std::uint32_t getQueueFrames() const { return queueFrames_; }
    std::uint32_t getStartFrames() const { return startFrames_; }

    // Audio thread: adds this voice's next `frames` stereo frames, scaled by
    // its volume, into `out`. A voice that runs out of data finishes; one
    // whose queue is empty before its data ended plays nothing more of this
    // block. With `mayDecode` (an engine driven by hand, where nothing else
    // decodes) an empty queue is refilled on the spot.
    unsigned render(float* out, std::uint32_t frames, bool mayDecode);
    // Audio thread, after the block: records when the block that carried the
    // first frames of the current play left the mixer.
    void stampHeard(std::int64_t nanoseconds);
    // Steady-clock nanoseconds at which the first block of the current play
    // left the mixer; 0 while none has.
    std::int64_t getFirstHeardAt() const { return heardAt_.load(std::memory_order_acquire); }

private:
    // Decoding side (decode lock held).
    std::uint32_t readToEnd(std::uint8_t* dst, std::uint32_t bytes);
    std::uint32_t feed(std::uint8_t* dst, std::uint32_t bytes);
    void produceLocked(std::uint32_t maxFrames);
    std::uint32_t decodeStart();

    // Reading side (state lock held).
    void resetResampler();
    void installQueue(std::uint32_t frames, bool sourceEnded);
    std::uint32_t takeFromQueue(std::uint8_t* dst, std::uint32_t frames, bool& atEnd);
    void updateStep();
    bool refill(bool mayDecode);
    template <int Channels>
    void renderFrames(float* out, std::uint32_t frames);
    template <int Channels, int Bits>
    void renderFrames(float* out, std::uint32_t frames);
    template <bool Multichannel>
    std::uint32_t renderBlock(float* out, std::uint32_t frames, bool mayDecode, bool& dry);
    void renderDownmix(float* out, std::uint32_t frames);
    template <int Bits>
    void renderDownmix(float* out, std::uint32_t frames);

    // Fixed at construction.
    SoundFormat format_;
    std::uint32_t frameBytes_ = 0;
    std::uint32_t outputRate_ = 0;
    std::uint32_t length_ = 0;
    bool live_ = false;
    std::uint32_t queueFrames_ = 0;  // a power of two
    std::uint32_t startFrames_ = 0;

    // Decoding side, under decodeMutex_.
    mutable std::mutex decodeMutex_;
    std::shared_ptr<ISoundData> data_;
    std::uint32_t loopStart_ = 0;
    std::uint32_t loopsLeft_ = 0;
    std::vector<std::uint8_t> start_;    // the first frames of a play or seek, before they are swapped in
    std::atomic<bool> feeding_{false};   // the decoding side has more to put in the queue

    // The queue: written by the decoding side, read by the audio thread.
    // Positions count frames and wrap; the indices into queue_ are them
    // modulo queueFrames_.
    std::vector<std::uint8_t> queue_;
    std::atomic<std::uint32_t> queueRead_{0};
    std::atomic<std::uint32_t> queueWrite_{0};
    std::atomic<bool> sourceEnded_{false};  // set after the last frame was written

    // Play state and resampler, under mutex_.
    mutable std::mutex mutex_;
    bool released_ = false;
    bool playing_ = false;
    bool paused_ = false;
    bool awaitingFirst_ = false;
    bool stampPending_ = false;  // audio thread only
    float volume_ = 1.0f;
    float speed_ = 1.0f;
    std::atomic<std::int64_t> heardAt_{0};

    // Resampler: decoded PCM frames taken from the queue, a 32.32 fixed-point
    // read position into them and the step per output frame.
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
