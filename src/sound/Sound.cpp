#include "sound/Sound.h"

#include <algorithm>

namespace QlSound {

namespace {

// Group chains are acyclic (Group::addSound refuses cycles); the depth cap
// only keeps a chain built by hand through setGroup from looping for ever.
constexpr int kMaxGroupDepth = 256;

bool inRange(float v, float lo, float hi) { return v >= lo && v <= hi; }

// The product of one value (volume or speed) over every enclosing group.
float groupProduct(const ISound& sound, float (ISound::*value)() const)
{
    float factor = 1.0f;
    auto group = sound.getGroup();
    for (int depth = 0; group && depth < kMaxGroupDepth; ++depth) {
        factor *= ((*group).*value)();
        group = group->getGroup();
    }
    return factor;
}

}  // namespace

float effectiveGroupVolume(const ISound& sound) { return groupProduct(sound, &ISound::getVolume); }

float effectiveGroupSpeed(const ISound& sound) { return groupProduct(sound, &ISound::getSpeed); }

namespace Core {

// ---- Sound ---------------------------------------------------------------

Sound::Sound(std::shared_ptr<IEngine> engine, std::shared_ptr<ISoundData> data)
    : engine_(std::move(engine)), data_(std::move(data))
{
}

void Sound::removeFinished()
{
    std::erase_if(channels_, [](const auto& c) { return c->isFinished(); });
}

std::shared_ptr<IChannel> Sound::start(std::uint32_t start, bool looping, std::uint32_t loopCount,
                                       std::uint32_t loopStart)
{
    removeFinished();
    if (!engine_ || !data_) return nullptr;
    auto fresh = data_->copy();
    if (!fresh) return nullptr;
    auto buffer = engine_->createBuffer(fresh);
    if (!buffer) return nullptr;
    // Volume and speed reach the buffer before it starts, so the first
    // block the mixer takes is already at the right level.
    auto channel = std::make_shared<Channel>(buffer, effectiveGroupVolume(*this) * volume_,
                                             effectiveGroupSpeed(*this) * speed_);
    const bool started = looping ? buffer->play(start, loopCount, loopStart) : buffer->play(start);
    if (!started) return nullptr;
    channels_.push_back(channel);
    return channel;
}

std::shared_ptr<IChannel> Sound::play(std::uint32_t start) { return this->start(start, false, 0, 0); }

std::shared_ptr<IChannel> Sound::play(std::uint32_t start, std::uint32_t loopCount, std::uint32_t loopStart)
{
    return this->start(start, true, loopCount, loopStart);
}

bool Sound::stop()
{
    removeFinished();
    for (auto& c : channels_) c->stop();
    return true;
}

bool Sound::pause()
{
    removeFinished();
    for (auto& c : channels_) c->pause();
    return true;
}

bool Sound::resume()
{
    removeFinished();
    for (auto& c : channels_) c->resume();
    return true;
}

bool Sound::isPlaying()
{
    removeFinished();
    return std::any_of(channels_.begin(), channels_.end(), [](const auto& c) { return c->isPlaying(); });
}

bool Sound::isPaused()
{
    removeFinished();
    return std::any_of(channels_.begin(), channels_.end(), [](const auto& c) { return c->isPaused(); });
}

bool Sound::setVolume(float volume)
{
    if (!inRange(volume, 0.0f, 1.0f)) return false;
    volume_ = volume;
    applyGroupVolume(effectiveGroupVolume(*this));
    return true;
}

bool Sound::setSpeed(float speed)
{
    if (!inRange(speed, 0.0f, 2.0f)) return false;
    speed_ = speed;
    applyGroupSpeed(effectiveGroupSpeed(*this));
    return true;
}

std::uint32_t Sound::getLength() { return data_ ? data_->getLength() : 0; }

void Sound::setGroup(const std::shared_ptr<IGroup>& group)
{
    group_ = group;
    applyGroupVolume(effectiveGroupVolume(*this));
    applyGroupSpeed(effectiveGroupSpeed(*this));
}

void Sound::clearGroup() { setGroup(nullptr); }

void Sound::applyGroupVolume(float factor)
{
    removeFinished();
    for (auto& c : channels_) c->setOuterVolume(factor * volume_);
}

void Sound::applyGroupSpeed(float factor)
{
    removeFinished();
    for (auto& c : channels_) c->setOuterSpeed(factor * speed_);
}

std::size_t Sound::getChannelCount()
{
    removeFinished();
    return channels_.size();
}

// ---- Group ---------------------------------------------------------------

Group::~Group()
{
    // This group can no longer be locked, so a member that still names it
    // sees no group; one already moved to a live group keeps that group.
    // Clearing gives the member's playing channels their values without
    // this group's factor, as removeSound does.
    for (const auto& w : members_) {
        if (auto member = w.lock(); member && !member->getGroup()) member->clearGroup();
    }
}

std::vector<std::shared_ptr<ISound>> Group::liveMembers()
{
    std::erase_if(members_, [](const std::weak_ptr<ISound>& w) { return w.expired(); });
    std::vector<std::shared_ptr<ISound>> live;
    live.reserve(members_.size());
    for (const auto& w : members_) {
        if (auto s = w.lock()) live.push_back(std::move(s));
    }
    return live;
}

std::shared_ptr<IChannel> Group::play(std::uint32_t start)
{
    auto mixed = std::make_shared<MixedChannel>();
    for (auto& s : liveMembers()) mixed->addChannel(s->play(start));
    if (mixed->getChannelCount() == 0) return nullptr;
    return mixed;
}

std::shared_ptr<IChannel> Group::play(std::uint32_t start, std::uint32_t loopCount, std::uint32_t loopStart)
{
    auto mixed = std::make_shared<MixedChannel>();
    for (auto& s : liveMembers()) mixed->addChannel(s->play(start, loopCount, loopStart));
    if (mixed->getChannelCount() == 0) return nullptr;
    return mixed;
}

bool Group::stop()
{
    for (auto& s : liveMembers()) s->stop();
    return true;
}

bool Group::pause()
{
    for (auto& s : liveMembers()) s->pause();
    return true;
}

bool Group::resume()
{
    for (auto& s : liveMembers()) s->resume();
    return true;
}

bool Group::isPlaying()
{
    auto live = liveMembers();
    return std::any_of(live.begin(), live.end(), [](const auto& s) { return s->isPlaying(); });
}

bool Group::isPaused()
{
    auto live = liveMembers();
    return std::any_of(live.begin(), live.end(), [](const auto& s) { return s->isPaused(); });
}

bool Group::setVolume(float volume)
{
    if (!inRange(volume, 0.0f, 1.0f)) return false;
    volume_ = volume;
    applyGroupVolume(effectiveGroupVolume(*this));
    return true;
}

bool Group::setSpeed(float speed)
{
    if (!inRange(speed, 0.0f, 2.0f)) return false;
    speed_ = speed;
    applyGroupSpeed(effectiveGroupSpeed(*this));
    return true;
}

std::uint32_t Group::getLength()
{
    std::uint32_t longest = 0;
    for (auto& s : liveMembers()) longest = std::max(longest, s->getLength());
    return longest;
}

void Group::setGroup(const std::shared_ptr<IGroup>& group)
{
    parent_ = group;
    applyGroupVolume(effectiveGroupVolume(*this));
    applyGroupSpeed(effectiveGroupSpeed(*this));
}

void Group::clearGroup() { setGroup(nullptr); }

void Group::applyGroupVolume(float factor)
{
    const float passed = factor * volume_;
    for (auto& s : liveMembers()) s->applyGroupVolume(passed);
}

void Group::applyGroupSpeed(float factor)
{
    const float passed = factor * speed_;
    for (auto& s : liveMembers()) s->applyGroupSpeed(passed);
}

bool Group::addSound(const std::shared_ptr<ISound>& sound)
{
    auto live = liveMembers();
    if (!sound) return false;
    // A group may not end up inside itself: refuse this group and its ancestors.
    std::shared_ptr<ISound> self = shared_from_this();
    int depth = 0;
    for (std::shared_ptr<ISound> at = self; at && depth < kMaxGroupDepth; at = at->getGroup(), ++depth) {
        if (at == sound) return false;
    }
    if (std::find(live.begin(), live.end(), sound) != live.end()) return true;
    if (auto previous = sound->getGroup(); previous && previous.get() != this) previous->removeSound(sound);
    members_.push_back(sound);
    sound->setGroup(shared_from_this());
    return true;
}

bool Group::removeSound(const std::shared_ptr<ISound>& sound)
{
    liveMembers();
    auto it = std::find_if(members_.begin(), members_.end(),
                           [&](const std::weak_ptr<ISound>& w) { return w.lock() == sound; });
    if (sound && it != members_.end()) {
        members_.erase(it);
        sound->clearGroup();
    }
    return true;
}

bool Group::clearSounds()
{
    auto live = liveMembers();
    members_.clear();
    for (auto& s : live) s->clearGroup();
    return true;
}

std::vector<std::shared_ptr<ISound>> Group::getSounds() { return liveMembers(); }

}  // namespace Core
}  // namespace QlSound
