// Sums the playing voices into interleaved stereo float.
#pragma once

#include "sound/mixer/Voice.h"

#include <memory>
#include <mutex>
#include <vector>

namespace QlSound::Mixer {

class VoiceMixer {
public:
    explicit VoiceMixer(std::uint32_t sampleRate) : sampleRate_(sampleRate) {}

    std::uint32_t getSampleRate() const { return sampleRate_; }

    // Main thread. Voices are only ever dropped here, never on the audio
    // thread, so the mixer never frees what it reads.
    void add(std::shared_ptr<Voice> voice);
    void remove(const Voice* voice);
    // Stops and releases every voice (engine shutdown).
    void releaseAll();
    std::size_t getVoiceCount() const;

    // Audio thread (or a test): writes `frames` stereo frames to `out`, the
    // sum of every playing voice, clipped to -1..1.
    void mix(float* out, std::uint32_t frames);

private:
    const std::uint32_t sampleRate_;
    mutable std::mutex listMutex_;
    std::vector<std::shared_ptr<Voice>> voices_;
};

}  // namespace QlSound::Mixer
