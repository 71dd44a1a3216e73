#include "sound/Callback.h"

namespace QlSound {

void CallbackList::add(std::shared_ptr<ICallback> callback)
{
    if (callback) callbacks_.push_back(std::move(callback));
}

void CallbackList::tick()
{
    // Index-based, so a callback that adds another during its tick is safe;
    // the new one is first ticked on this same pass, at the end.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < callbacks_.size(); ++i) {
        std::shared_ptr<ICallback> cb = callbacks_[i];
        if (cb->isDone()) continue;
        cb->tick();
        callbacks_[kept++] = std::move(cb);
    }
    callbacks_.resize(kept);
}

void CallbackList::clear() { callbacks_.clear(); }

CallbackList& processCallbacks()
{
    static CallbackList list;
    return list;
}

namespace {

template <class Target>
bool addFade(const std::shared_ptr<Target>& target, std::uint32_t frames, float from, float to)
{
    if (!target) return false;
    processCallbacks().add(std::make_shared<Core::FadeCallback<Target>>(target, frames, from, to));
    return true;
}

template <class Target>
bool addFadeOut(const std::shared_ptr<Target>& target, std::uint32_t frames)
{
    if (!target) return false;
    processCallbacks().add(std::make_shared<Core::FadeCallback<Target>>(target, frames, target->getVolume(), 0.0f));
    processCallbacks().add(std::make_shared<Core::StopCallback<Target>>(target, frames));
    return true;
}

}  // namespace

bool fade(const std::shared_ptr<ISound>& target, std::uint32_t frames, float to)
{
    return target && addFade(target, frames, target->getVolume(), to);
}

bool fade(const std::shared_ptr<ISound>& target, std::uint32_t frames, float from, float to)
{
    return addFade(target, frames, from, to);
}

bool fadeOut(const std::shared_ptr<ISound>& target, std::uint32_t frames) { return addFadeOut(target, frames); }

bool fade(const std::shared_ptr<IChannel>& target, std::uint32_t frames, float to)
{
    return target && addFade(target, frames, target->getVolume(), to);
}

bool fade(const std::shared_ptr<IChannel>& target, std::uint32_t frames, float from, float to)
{
    return addFade(target, frames, from, to);
}

bool fadeOut(const std::shared_ptr<IChannel>& target, std::uint32_t frames) { return addFadeOut(target, frames); }

}  // namespace QlSound
