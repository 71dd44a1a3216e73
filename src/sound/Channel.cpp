#include "sound/Channel.h"

#include <algorithm>

namespace QlSound::Core {

Channel::Channel(std::shared_ptr<IBuffer> buffer, float outerVolume, float outerSpeed)
    : buffer_(std::move(buffer)), outerVolume_(outerVolume), outerSpeed_(outerSpeed)
{
    buffer_->setVolume(volume_ * outerVolume_);
    buffer_->setSpeed(speed_ * outerSpeed_);
}

bool Channel::stop() { return !isFinished() && buffer_->stop(); }
bool Channel::pause() { return !isFinished() && buffer_->pause(); }
bool Channel::resume() { return !isFinished() && buffer_->resume(); }
bool Channel::isFinished() const { return !buffer_->isPlaying(); }
bool Channel::isPlaying() const { return buffer_->isPlaying(); }
bool Channel::isPaused() const { return buffer_->isPaused(); }

bool Channel::setVolume(float volume)
{
    if (isFinished() || !(volume >= 0.0f && volume <= 1.0f)) return false;
    volume_ = volume;
    buffer_->setVolume(volume_ * outerVolume_);
    return true;
}

bool Channel::setSpeed(float speed)
{
    if (isFinished() || !(speed >= 0.5f && speed <= 2.0f)) return false;
    speed_ = speed;
    buffer_->setSpeed(speed_ * outerSpeed_);
    return true;
}

void Channel::setOuterVolume(float factor)
{
    if (isFinished()) return;
    outerVolume_ = factor;
    buffer_->setVolume(outerVolume_ * volume_);
}

void Channel::setOuterSpeed(float factor)
{
    if (isFinished()) return;
    outerSpeed_ = factor;
    buffer_->setSpeed(outerSpeed_ * speed_);
}

bool MixedChannel::stop()
{
    for (auto& c : channels_) c->stop();
    return true;
}

bool MixedChannel::pause()
{
    for (auto& c : channels_) c->pause();
    return true;
}

bool MixedChannel::resume()
{
    for (auto& c : channels_) c->resume();
    return true;
}

bool MixedChannel::isFinished() const
{
    return std::all_of(channels_.begin(), channels_.end(), [](const auto& c) { return c->isFinished(); });
}

bool MixedChannel::isPlaying() const
{
    return std::any_of(channels_.begin(), channels_.end(), [](const auto& c) { return c->isPlaying(); });
}

bool MixedChannel::isPaused() const
{
    return std::any_of(channels_.begin(), channels_.end(), [](const auto& c) { return c->isPaused(); });
}

bool MixedChannel::setVolume(float volume)
{
    if (!(volume >= 0.0f && volume <= 1.0f)) return false;
    for (auto& c : channels_) c->setVolume(volume);
    volume_ = volume;
    return true;
}

bool MixedChannel::setSpeed(float speed)
{
    if (!(speed >= 0.0f && speed <= 1.0f)) return false;
    for (auto& c : channels_) c->setSpeed(speed);
    speed_ = speed;
    return true;
}

bool MixedChannel::addChannel(const std::shared_ptr<IChannel>& channel)
{
    if (!channel) return false;
    channels_.push_back(channel);
    return true;
}

bool MixedChannel::removeChannel(const std::shared_ptr<IChannel>& channel)
{
    auto it = std::find(channels_.begin(), channels_.end(), channel);
    if (!channel || it == channels_.end()) return false;
    channels_.erase(it);
    return true;
}

bool MixedChannel::removeChannelAt(std::uint32_t index)
{
    if (index >= channels_.size()) return false;
    channels_.erase(channels_.begin() + index);
    return true;
}

bool MixedChannel::clearChannels()
{
    channels_.clear();
    return true;
}

}  // namespace QlSound::Core
