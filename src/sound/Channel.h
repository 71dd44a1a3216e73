// Channels: one play of a sound (Channel) or several driven as one (MixedChannel).
#pragma once

#include "sound/Engine.h"

#include <memory>
#include <vector>

namespace QlSound {

class IChannel {
public:
    virtual ~IChannel() = default;
    virtual bool stop() = 0;
    virtual bool pause() = 0;
    virtual bool resume() = 0;
    virtual bool isFinished() const = 0;
    virtual bool isPlaying() const = 0;
    virtual bool isPaused() const = 0;
    virtual bool setVolume(float volume) = 0;
    virtual float getVolume() const = 0;
    virtual bool setSpeed(float speed) = 0;
    virtual float getSpeed() const = 0;
};

namespace Core {

// One play: the engine buffer, the channel's own volume and speed, and the
// outer factors its sound and groups contribute. The buffer always receives
// own × outer.
class Channel final : public IChannel {
public:
    Channel(std::shared_ptr<IBuffer> buffer, float outerVolume, float outerSpeed);

    bool stop() override;
    bool pause() override;
    bool resume() override;
    bool isFinished() const override;
    bool isPlaying() const override;
    bool isPaused() const override;
    // Accepts 0 to 1; refused on a finished channel.
    bool setVolume(float volume) override;
    float getVolume() const override { return volume_; }
    // Accepts 0.5 to 2; refused on a finished channel.
    bool setSpeed(float speed) override;
    float getSpeed() const override { return speed_; }

    void setOuterVolume(float factor);
    void setOuterSpeed(float factor);
    float getOuterVolume() const { return outerVolume_; }
    float getOuterSpeed() const { return outerSpeed_; }
    const std::shared_ptr<IBuffer>& getBuffer() const { return buffer_; }

private:
    std::shared_ptr<IBuffer> buffer_;
    float volume_ = 1.0f;
    float speed_ = 1.0f;
    float outerVolume_ = 1.0f;
    float outerSpeed_ = 1.0f;
};

// The channels of one group play, driven together.
class MixedChannel final : public IChannel {
public:
    bool stop() override;
    bool pause() override;
    bool resume() override;
    bool isFinished() const override;  // every channel finished (true when empty)
    bool isPlaying() const override;   // any channel playing
    bool isPaused() const override;    // any channel paused
    // Both accept 0 to 1 and set every channel's own value.
    bool setVolume(float volume) override;
    float getVolume() const override { return volume_; }
    bool setSpeed(float speed) override;
    float getSpeed() const override { return speed_; }

    std::uint32_t getChannelCount() const { return static_cast<std::uint32_t>(channels_.size()); }
    bool addChannel(const std::shared_ptr<IChannel>& channel);
    bool removeChannel(const std::shared_ptr<IChannel>& channel);
    bool removeChannelAt(std::uint32_t index);
    bool clearChannels();
    const std::vector<std::shared_ptr<IChannel>>& getChannels() const { return channels_; }

private:
    std::vector<std::shared_ptr<IChannel>> channels_;
    float volume_ = 1.0f;
    float speed_ = 1.0f;
};

}  // namespace Core
}  // namespace QlSound
