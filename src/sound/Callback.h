// Timed changes ticked once per game frame: volume fades and delayed stops.
#pragma once

#include "sound/Sound.h"

#include <memory>
#include <vector>

namespace QlSound {

class ICallback {
public:
    virtual ~ICallback() = default;
    virtual bool isDone() const = 0;
    virtual void tick() = 0;
};

namespace Core {

// Moves the target's volume from `from` to `to` over `frames` ticks. Tick s
// (counting from 0) sets from + (to - from) * s / frames while the target
// plays, so the last of the frames + 1 values is `to`; the tick after that
// (or the first tick on a target that is not playing) sets `to` and ends.
template <class Target>
class FadeCallback final : public ICallback {
public:
    FadeCallback(std::shared_ptr<Target> target, std::uint32_t frames, float from, float to)
        : target_(std::move(target)), total_(frames), from_(from), to_(to) {}

    bool isDone() const override { return done_; }

    void tick() override
    {
        if (done_) return;
        if (target_->isPlaying() && step_ <= total_) {
            // A fade over zero frames goes straight to its end value.
            const double ratio = total_ == 0 ? 1.0 : static_cast<double>(step_) / static_cast<double>(total_);
            const double v = static_cast<double>(from_) + (static_cast<double>(to_) - from_) * ratio;
            target_->setVolume(static_cast<float>(v));
            ++step_;
        } else {
            target_->setVolume(to_);
            done_ = true;
        }
    }

    std::uint32_t getStep() const { return step_; }

private:
    std::shared_ptr<Target> target_;
    bool done_ = false;
    std::uint32_t step_ = 0;
    std::uint32_t total_;
    float from_;
    float to_;
};

// Stops the target after it has played for `frames` more ticks (or at once
// when it is no longer playing).
template <class Target>
class StopCallback final : public ICallback {
public:
    StopCallback(std::shared_ptr<Target> target, std::uint32_t frames)
        : target_(std::move(target)), limit_(frames) {}

    bool isDone() const override { return done_; }

    void tick() override
    {
        if (done_) return;
        if (target_->isPlaying() && count_ < limit_) {
            ++count_;
        } else {
            target_->stop();
            done_ = true;
        }
    }

private:
    std::shared_ptr<Target> target_;
    bool done_ = false;
    std::uint32_t count_ = 0;
    std::uint32_t limit_;
};

using SoundFadeCallback = FadeCallback<ISound>;
using ChannelFadeCallback = FadeCallback<IChannel>;
using SoundStopCallback = StopCallback<ISound>;
using ChannelStopCallback = StopCallback<IChannel>;

}  // namespace Core

// The pending callbacks, in the order they were added. Main thread only.
class CallbackList {
public:
    void add(std::shared_ptr<ICallback> callback);
    // One frame: callbacks already done are dropped without a tick, every
    // other one is ticked (so one that finishes now is dropped next frame).
    void tick();
    void clear();
    std::size_t size() const { return callbacks_.size(); }

private:
    std::vector<std::shared_ptr<ICallback>> callbacks_;
};

// The process-wide list that the per-frame update ticks.
CallbackList& processCallbacks();

// Fades and fade-outs on the process-wide list; false for an empty target.
// `fade(target, frames, to)` starts from the target's current volume;
// `fadeOut` fades to 0 and stops the target after the same number of frames.
bool fade(const std::shared_ptr<ISound>& target, std::uint32_t frames, float to);
bool fade(const std::shared_ptr<ISound>& target, std::uint32_t frames, float from, float to);
bool fadeOut(const std::shared_ptr<ISound>& target, std::uint32_t frames);
bool fade(const std::shared_ptr<IChannel>& target, std::uint32_t frames, float to);
bool fade(const std::shared_ptr<IChannel>& target, std::uint32_t frames, float from, float to);
bool fadeOut(const std::shared_ptr<IChannel>& target, std::uint32_t frames);

}  // namespace QlSound
