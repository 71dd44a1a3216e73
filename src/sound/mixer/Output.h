// Where mixed audio goes: an SDL2 audio device or a null sink.
#pragma once

#include "sound/mixer/VoiceMixer.h"

#include <memory>

namespace QlSound::Mixer {

// Pulls audio from a mixer on its own thread until destroyed; the destructor
// returns only once the mixer is no longer called.
class IAudioOutput {
public:
    virtual ~IAudioOutput() = default;
    virtual std::uint32_t getSampleRate() const = 0;
};

// Opens the default SDL audio device as float32 stereo at the preferred rate
// (or the device's own); empty when SDL has no working audio driver or only
// its "dummy" one (which does not keep real time; the null sink does). On
// success `mixer` is set to a new mixer at the device's rate, which the
// device's callback then drives.
std::unique_ptr<IAudioOutput> openSdlOutput(std::uint32_t preferredRate,
                                            std::shared_ptr<VoiceMixer>& mixer);

// A thread that mixes blocks into a scratch buffer at real-time pace.
std::unique_ptr<IAudioOutput> openNullOutput(std::shared_ptr<VoiceMixer> mixer);

}  // namespace QlSound::Mixer
