// Sounds and groups: what a game plays, and how it scales volume and speed
// for many sounds at once.
#pragma once

#include "sound/Channel.h"

#include <memory>
#include <vector>

namespace QlSound {

class IGroup;

class ISound {
public:
    virtual ~ISound() = default;
    // A new channel playing from frame `start` once; empty when it cannot start.
    virtual std::shared_ptr<IChannel> play(std::uint32_t start) = 0;
    // As above; at the end jumps back to `loopStart`, `loopCount` times (0 = for ever).
    virtual std::shared_ptr<IChannel> play(std::uint32_t start, std::uint32_t loopCount,
                                           std::uint32_t loopStart) = 0;
    virtual bool stop() = 0;
    virtual bool pause() = 0;
    virtual bool resume() = 0;
    virtual bool isPlaying() = 0;
    virtual bool isPaused() = 0;
    virtual bool setVolume(float volume) = 0;  // 0 to 1
    virtual float getVolume() const = 0;
    virtual bool setSpeed(float speed) = 0;    // 0 to 2
    virtual float getSpeed() const = 0;
    virtual std::uint32_t getLength() = 0;     // frames
    virtual std::shared_ptr<IGroup> getGroup() const = 0;
    virtual void setGroup(const std::shared_ptr<IGroup>& group) = 0;
    virtual void clearGroup() = 0;
    // `factor` is the product of every enclosing group's value.
    virtual void applyGroupVolume(float factor) = 0;
    virtual void applyGroupSpeed(float factor) = 0;
};

// A group is a sound made of other sounds (and groups), held weakly.
class IGroup : public ISound {
public:
    virtual bool addSound(const std::shared_ptr<ISound>& sound) = 0;
    virtual bool removeSound(const std::shared_ptr<ISound>& sound) = 0;
    virtual bool clearSounds() = 0;
    virtual std::vector<std::shared_ptr<ISound>> getSounds() = 0;
};

// The product of the volumes (speeds) of every group enclosing `sound`; 1.0
// outside any group.
float effectiveGroupVolume(const ISound& sound);
float effectiveGroupSpeed(const ISound& sound);

namespace Core {

class Sound final : public ISound {
public:
    Sound(std::shared_ptr<IEngine> engine, std::shared_ptr<ISoundData> data);

    std::shared_ptr<IChannel> play(std::uint32_t start) override;
    std::shared_ptr<IChannel> play(std::uint32_t start, std::uint32_t loopCount,
                                   std::uint32_t loopStart) override;
    bool stop() override;
    bool pause() override;
    bool resume() override;
    bool isPlaying() override;
    bool isPaused() override;
    bool setVolume(float volume) override;
    float getVolume() const override { return volume_; }
    bool setSpeed(float speed) override;
    float getSpeed() const override { return speed_; }
    std::uint32_t getLength() override;
    std::shared_ptr<IGroup> getGroup() const override { return group_.lock(); }
    void setGroup(const std::shared_ptr<IGroup>& group) override;
    void clearGroup() override;
    void applyGroupVolume(float factor) override;
    void applyGroupSpeed(float factor) override;

    // Live channels, finished ones dropped first.
    std::size_t getChannelCount();
    const std::shared_ptr<ISoundData>& getData() const { return data_; }

private:
    std::shared_ptr<IChannel> start(std::uint32_t start, bool looping, std::uint32_t loopCount,
                                    std::uint32_t loopStart);
    void removeFinished();

    std::shared_ptr<IEngine> engine_;
    std::shared_ptr<ISoundData> data_;  // never played itself: each play decodes a copy
    std::weak_ptr<IGroup> group_;
    float volume_ = 1.0f;
    float speed_ = 1.0f;
    std::vector<std::shared_ptr<Channel>> channels_;
};

class Group final : public IGroup, public std::enable_shared_from_this<Group> {
public:
    Group() = default;
    // Members left behind get their own values back at once, as when removed.
    ~Group() override;
    Group(const Group&) = delete;
    Group& operator=(const Group&) = delete;

    std::shared_ptr<IChannel> play(std::uint32_t start) override;
    std::shared_ptr<IChannel> play(std::uint32_t start, std::uint32_t loopCount,
                                   std::uint32_t loopStart) override;
    bool stop() override;
    bool pause() override;
    bool resume() override;
    bool isPlaying() override;
    bool isPaused() override;
    bool setVolume(float volume) override;
    float getVolume() const override { return volume_; }
    bool setSpeed(float speed) override;
    float getSpeed() const override { return speed_; }
    std::uint32_t getLength() override;  // the longest member
    std::shared_ptr<IGroup> getGroup() const override { return parent_.lock(); }
    void setGroup(const std::shared_ptr<IGroup>& group) override;
    void clearGroup() override;
    void applyGroupVolume(float factor) override;
    void applyGroupSpeed(float factor) override;

    // Refuses an empty pointer and anything that would make the group
    // contain itself. A sound in another group leaves that group first.
    bool addSound(const std::shared_ptr<ISound>& sound) override;
    bool removeSound(const std::shared_ptr<ISound>& sound) override;
    bool clearSounds() override;
    std::vector<std::shared_ptr<ISound>> getSounds() override;

private:
    std::vector<std::shared_ptr<ISound>> liveMembers();

    std::weak_ptr<IGroup> parent_;
    float volume_ = 1.0f;
    float speed_ = 1.0f;
    std::vector<std::weak_ptr<ISound>> members_;
};

}  // namespace Core
}  // namespace QlSound
