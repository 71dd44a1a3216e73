#include "sound/mixer/Output.h"

#include <SDL.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <thread>
#include <vector>

namespace QlSound::Mixer {

namespace {

// Frames per device callback: 5.3 ms at 48 kHz, so a play or a change is
// heard within one such period. Every voice's data is decoded ahead on the
// feeder thread, so the callback's work is short and steady even at 64
// voices.
constexpr std::uint32_t kDeviceFrames = 256;

class SdlOutput final : public IAudioOutput {
public:
    ~SdlOutput() override
    {
        if (device_ != 0) SDL_CloseAudioDevice(device_);  // waits for a running callback
        if (initialised_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

    bool open(std::uint32_t preferredRate, std::shared_ptr<VoiceMixer>& mixer)
    {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
        initialised_ = true;
        // SDL's dummy driver paces its callback in whole milliseconds, so
        // audio would run a little fast; the null sink keeps real time.
        if (const char* driver = SDL_GetCurrentAudioDriver(); driver != nullptr && std::strcmp(driver, "dummy") == 0)
            return false;
        SDL_AudioSpec want{};
        want.freq = static_cast<int>(preferredRate);
        want.format = AUDIO_F32SYS;
        want.channels = 2;
        want.samples = kDeviceFrames;
        want.callback = &SdlOutput::callback;
        want.userdata = this;
        SDL_AudioSpec have{};
        device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
        if (device_ == 0) return false;
        rate_ = static_cast<std::uint32_t>(have.freq);
        mixer = std::make_shared<VoiceMixer>(rate_);
        mixer_ = mixer.get();
        SDL_PauseAudioDevice(device_, 0);
        return true;
    }

    std::uint32_t getSampleRate() const override { return rate_; }

private:
    static void callback(void* userData, Uint8* stream, int len)
    {
        auto* self = static_cast<SdlOutput*>(userData);
        self->mixer_->mix(reinterpret_cast<float*>(stream), static_cast<std::uint32_t>(len) / 8);
    }

    bool initialised_ = false;
    SDL_AudioDeviceID device_ = 0;
    std::uint32_t rate_ = 0;
    VoiceMixer* mixer_ = nullptr;
};

class NullOutput final : public IAudioOutput {
public:
    explicit NullOutput(std::shared_ptr<VoiceMixer> mixer) : mixer_(std::move(mixer))
    {
        scratch_.resize(kBlockFrames * 2);
        thread_ = std::thread([this] { run(); });
    }

    ~NullOutput() override
    {
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

    std::uint32_t getSampleRate() const override { return mixer_->getSampleRate(); }

private:
    static constexpr std::uint32_t kBlockFrames = kDeviceFrames;

    void run()
    {
        using Clock = std::chrono::steady_clock;
        const auto block = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(static_cast<double>(kBlockFrames) / mixer_->getSampleRate()));
        auto due = Clock::now();
        std::unique_lock lock(mutex_);
        while (!quit_) {
            lock.unlock();
            mixer_->mix(scratch_.data(), kBlockFrames);
            lock.lock();
            due += block;
            // After a long stall (a suspended process) carry on from now
            // instead of mixing the missed time in a burst.
            if (Clock::now() - due > 20 * block) due = Clock::now();
            wake_.wait_until(lock, due, [this] { return quit_; });
        }
    }

    std::shared_ptr<VoiceMixer> mixer_;
    std::vector<float> scratch_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool quit_ = false;
    std::thread thread_;
};

}  // namespace

std::unique_ptr<IAudioOutput> openSdlOutput(std::uint32_t preferredRate, std::shared_ptr<VoiceMixer>& mixer)
{
    auto out = std::make_unique<SdlOutput>();
    if (!out->open(preferredRate, mixer)) return nullptr;
    return out;
}

std::unique_ptr<IAudioOutput> openNullOutput(std::shared_ptr<VoiceMixer> mixer)
{
    return std::make_unique<NullOutput>(std::move(mixer));
}

}  // namespace QlSound::Mixer
