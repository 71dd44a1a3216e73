// The audio engine interface: buffers that play one decoder each.
#pragma once

#include "sound/SoundData.h"

namespace QlSound {

// One playing voice over one decoder. Volumes are accepted from 0 to 1 and
// speeds (rate ratios) from 1/1024 to 2; anything else is refused with false.
class IBuffer {
public:
    virtual ~IBuffer() = default;
    virtual bool play(std::uint32_t start) = 0;
    // At the end, jumps back to loopStart loopCount times (0 = for ever).
    virtual bool play(std::uint32_t start, std::uint32_t loopCount, std::uint32_t loopStart) = 0;
    virtual bool stop() = 0;
    virtual bool pause() = 0;
    virtual bool resume() = 0;
    virtual bool isPlaying() const = 0;
    virtual bool isPaused() const = 0;
    virtual SoundFormat getFormat() const = 0;
    virtual bool setVolume(float volume) = 0;
    virtual float getVolume() const = 0;
    virtual bool setSpeed(float speed) = 0;
    virtual float getSpeed() const = 0;
    virtual bool seek(std::uint32_t frame) = 0;
    virtual std::uint32_t tell() const = 0;
    virtual std::uint32_t getLength() const = 0;
};

class IEngine {
public:
    virtual ~IEngine() = default;
    // A stopped buffer playing the given decoder (which it then owns), or an
    // empty pointer when the engine cannot play that format.
    virtual std::shared_ptr<IBuffer> createBuffer(const std::shared_ptr<ISoundData>& soundData) = 0;
};

}  // namespace QlSound
