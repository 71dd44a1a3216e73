#pragma once
// The Audio table: sounds loaded through the game's files, groups that scale and start many
// sounds at once, and the channels that each play yields. The library owns the process's
// sound context: made in onLoad, ticked once per frame (fades and delayed stops) in
// onEndFrame and shut down in onUnload.
#include "script/Bound.h"
#include "script/Library.h"
#include "sound/Context.h"

#include <memory>

namespace QlIO {
class IFileManager;
}

namespace Quillorane {

// One play of a sound, or of a group (then it drives every member's play). Empty when made
// by a script: every method then answers 0, and isInvalid 1.
class ScChannel : public Bound {
public:
    ScChannel() = default;
    void set(std::shared_ptr<QlSound::IChannel> channel) { channel_ = std::move(channel); }
    const std::shared_ptr<QlSound::IChannel>& get() const { return channel_; }

    // Finished (stopped, or played to its end) or empty.
    bool isInvalid() const { return !channel_ || channel_->isFinished(); }
    bool isPlaying() const { return channel_ && channel_->isPlaying(); }
    bool isPaused() const { return channel_ && channel_->isPaused(); }
    bool stop() { return channel_ && channel_->stop(); }
    bool pause() { return channel_ && channel_->pause(); }
    bool restart() { return channel_ && channel_->resume(); }
    bool setVolume(float v) { return channel_ && channel_->setVolume(v); }
    float getVolume() const { return channel_ ? channel_->getVolume() : 0.0f; }
    bool setSpeed(float s) { return channel_ && channel_->setSpeed(s); }
    float getSpeed() const { return channel_ ? channel_->getSpeed() : 0.0f; }
    bool fadeTo(int frames, float to);
    bool fade(int frames, float from, float to);
    bool fadeOut(int frames);

private:
    std::shared_ptr<QlSound::IChannel> channel_;
};

// What Sound and Group share: the engine sound (a group is one too) and its operations.
class ScSoundLike : public Bound {
public:
    explicit ScSoundLike(std::shared_ptr<QlSound::ISound> sound) : sound_(std::move(sound)) {}
    const std::shared_ptr<QlSound::ISound>& sound() const { return sound_; }

    bool isPlaying() { return sound_->isPlaying(); }
    bool isPaused() { return sound_->isPaused(); }
    bool stop() { return sound_->stop(); }
    bool pause() { return sound_->pause(); }
    bool restart() { return sound_->resume(); }
    bool setVolume(float v) { return sound_->setVolume(v); }
    float getVolume() const { return sound_->getVolume(); }
    bool setSpeed(float s) { return sound_->setSpeed(s); }
    float getSpeed() const { return sound_->getSpeed(); }
    std::uint32_t getLength() { return sound_->getLength(); }
    bool fadeTo(int frames, float to);
    bool fade(int frames, float from, float to);
    bool fadeOut(int frames);

private:
    std::shared_ptr<QlSound::ISound> sound_;
};

class ScSound : public ScSoundLike {
public:
    using ScSoundLike::ScSoundLike;
};

class ScGroup : public ScSoundLike {
public:
    explicit ScGroup(std::shared_ptr<QlSound::IGroup> group) : ScSoundLike(group), group_(std::move(group)) {}
    const std::shared_ptr<QlSound::IGroup>& group() const { return group_; }

private:
    std::shared_ptr<QlSound::IGroup> group_;
};

class AudioLibrary : public Library {
public:
    // Sounds are read through `files`: loose files, archives and the linked data block.
    explicit AudioLibrary(std::shared_ptr<QlIO::IFileManager> files);
    ~AudioLibrary() override;

    bool onLoad(HSQUIRRELVM v) override;
    void onUnload(HSQUIRRELVM v) override;
    void onEndFrame(HSQUIRRELVM v) override;

private:
    void shutDown();

    std::shared_ptr<QlIO::IFileManager> files_;
    std::shared_ptr<QlSound::Context> context_;
};

}  // namespace Quillorane
