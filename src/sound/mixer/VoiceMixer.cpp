#include "sound/mixer/VoiceMixer.h"

#include <algorithm>
#include <chrono>

namespace QlSound::Mixer {

namespace {

// How often the feeder tops the queues up when nobody wakes it. The queues
// hold a quarter of a second at the highest speed, so this leaves a wide
// margin for a feeder that is scheduled late.
constexpr auto kFeedPeriod = std::chrono::milliseconds(4);

}  // namespace

VoiceMixer::~VoiceMixer() { stopFeeder(); }

void VoiceMixer::add(std::shared_ptr<Voice> voice)
{
    {
        std::lock_guard lock(feedMutex_);
        feedVoices_.push_back(voice);
    }
    // Only this thread changes voices_, so it may read it without the lock.
    std::vector<std::shared_ptr<Voice>> next;
    next.reserve(voices_.size() + 1);
    next = voices_;
    next.push_back(std::move(voice));
    std::lock_guard lock(listMutex_);
    voices_.swap(next);
}  // the old list is freed here, after the lock is let go

void VoiceMixer::remove(const Voice* voice)
{
    std::shared_ptr<Voice> dropped;  // freed after the locks are let go
    {
        std::lock_guard lock(feedMutex_);
        std::erase_if(feedVoices_, [&](const auto& v) { return v.get() == voice; });
    }
    auto it = std::find_if(voices_.begin(), voices_.end(), [&](const auto& v) { return v.get() == voice; });
    if (it == voices_.end()) return;
    std::vector<std::shared_ptr<Voice>> next;
    next.reserve(voices_.size());
    for (const auto& v : voices_) {
        if (v.get() != voice) next.push_back(v);
    }
    dropped = *it;
    std::lock_guard lock(listMutex_);
    voices_.swap(next);
}

void VoiceMixer::releaseAll()
{
    std::vector<std::shared_ptr<Voice>> all;
    {
        std::lock_guard lock(feedMutex_);
        feedVoices_.clear();
    }
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

void VoiceMixer::mix(float* out, std::uint32_t frames, bool mayDecode)
{
    std::fill_n(out, static_cast<std::size_t>(frames) * 2, 0.0f);
    {
        std::lock_guard lock(listMutex_);
        unsigned any = 0;
        std::uint64_t dry = 0;
        for (const auto& v : voices_) {
            const unsigned r = v->render(out, frames, mayDecode);
            any |= r;
            if (r & Voice::kRanDry) ++dry;
        }
        if (dry != 0) dry_.fetch_add(dry, std::memory_order_relaxed);
        if (any & Voice::kFirstHeard) {
            const auto now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                 std::chrono::steady_clock::now().time_since_epoch())
                                 .count();
            for (const auto& v : voices_) v->stampHeard(now);
        }
    }
    for (std::size_t i = 0, n = static_cast<std::size_t>(frames) * 2; i < n; ++i)
        out[i] = std::clamp(out[i], -1.0f, 1.0f);
    blocks_.fetch_add(1, std::memory_order_relaxed);
}

void VoiceMixer::feed()
{
    std::vector<std::shared_ptr<Voice>> batch;
    {
        std::lock_guard lock(feedMutex_);
        batch = feedVoices_;
    }
    for (const auto& v : batch) v->produce();
}

void VoiceMixer::startFeeder()
{
    if (feeder_.joinable()) return;
    feederQuit_ = false;
    feeder_ = std::thread([this] { runFeeder(); });
}

void VoiceMixer::stopFeeder()
{
    if (!feeder_.joinable()) return;
    {
        std::lock_guard lock(feederMutex_);
        feederQuit_ = true;
    }
    feederWake_.notify_all();
    feeder_.join();
}

void VoiceMixer::wakeFeeder()
{
    {
        std::lock_guard lock(feederMutex_);
        feederWoken_ = true;
    }
    feederWake_.notify_one();
}

void VoiceMixer::runFeeder()
{
    std::unique_lock lock(feederMutex_);
    while (!feederQuit_) {
        feederWoken_ = false;
        lock.unlock();
        feed();
        lock.lock();
        feederWake_.wait_for(lock, kFeedPeriod, [this] { return feederQuit_ || feederWoken_; });
    }
}

}  // namespace QlSound::Mixer
