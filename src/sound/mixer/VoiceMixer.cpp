#include "sound/mixer/VoiceMixer.h"

#include <algorithm>

namespace QlSound::Mixer {

void VoiceMixer::add(std::shared_ptr<Voice> voice)
{
    std::lock_guard lock(listMutex_);
    voices_.push_back(std::move(voice));
}

void VoiceMixer::remove(const Voice* voice)
{
    std::shared_ptr<Voice> dropped;  // freed after the lock is let go
    std::lock_guard lock(listMutex_);
    auto it = std::find_if(voices_.begin(), voices_.end(), [&](const auto& v) { return v.get() == voice; });
    if (it == voices_.end()) return;
    dropped = std::move(*it);
    *it = std::move(voices_.back());
    voices_.pop_back();
}

void VoiceMixer::releaseAll()
{
    std::vector<std::shared_ptr<Voice>> all;
    {
        std::lock_guard lock(listMutex_);
        all.swap(voices_);
    }
    for (auto& v : all) v->release();
}

std::size_t VoiceMixer::getVoiceCount() const
{
    std::lock_guard lock(listMutex_);
    return voices_.size();
}

void VoiceMixer::mix(float* out, std::uint32_t frames)
{
    std::fill_n(out, static_cast<std::size_t>(frames) * 2, 0.0f);
    {
        std::lock_guard lock(listMutex_);
        for (const auto& v : voices_) v->render(out, frames);
    }
    for (std::size_t i = 0, n = static_cast<std::size_t>(frames) * 2; i < n; ++i)
        out[i] = std::clamp(out[i], -1.0f, 1.0f);
}

}  // namespace QlSound::Mixer
