// Sums the playing voices into interleaved stereo float, and keeps their
// queues of decoded frames topped up from a thread of its own.
#pragma once

#include "sound/mixer/Voice.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace QlSound::Mixer {

class VoiceMixer {
public:
    explicit VoiceMixer(std::uint32_t sampleRate) : sampleRate_(sampleRate) {}
    ~VoiceMixer();
    VoiceMixer(const VoiceMixer&) = delete;
    VoiceMixer& operator=(const VoiceMixer&) = delete;

    std::uint32_t getSampleRate() const { return sampleRate_; }

    // Main thread. Voices are only ever dropped here (or by the feeder),
    // never on the audio thread, so the mixer never frees what it reads. The
    // list the audio thread walks is replaced whole, so it waits at most for
    // a pointer swap, never for an allocation.
    void add(std::shared_ptr<Voice> voice);
    void remove(const Voice* voice);
    // Stops and releases every voice (engine shutdown).
    void releaseAll();
    std::size_t getVoiceCount() const;

    // Audio thread (or a test): writes `frames` stereo frames to `out`, the
    // sum of every playing voice, clipped to -1..1. Nothing is decoded here
    // unless `mayDecode` (an engine driven by hand, with no feeder).
    void mix(float* out, std::uint32_t frames, bool mayDecode = false);

    // One pass of the decoding side: tops up every voice's queue.
    void feed();
    // The feeder: a thread that runs feed() every few milliseconds, and at
    // once when woken (after a play or seek).
    void startFeeder();
    void stopFeeder();
    void wakeFeeder();

    // Blocks mixed so far, and voice blocks that ran dry (a voice whose queue
    // was empty before its data ended: a dropout).
    std::uint64_t getBlockCount() const { return blocks_.load(std::memory_order_relaxed); }
    std::uint64_t getDryCount() const { return dry_.load(std::memory_order_relaxed); }

private:
    void runFeeder();

    const std::uint32_t sampleRate_;

    // Walked by the audio thread under listMutex_; replaced by the main thread.
    mutable std::mutex listMutex_;
    std::vector<std::shared_ptr<Voice>> voices_;

    // The same voices for the feeder, under their own lock.
    std::mutex feedMutex_;
    std::vector<std::shared_ptr<Voice>> feedVoices_;

    std::mutex feederMutex_;
    std::condition_variable feederWake_;
    bool feederQuit_ = false;
    bool feederWoken_ = false;
    std::thread feeder_;

    std::atomic<std::uint64_t> blocks_{0};
    std::atomic<std::uint64_t> dry_{0};
};

}  // namespace QlSound::Mixer
