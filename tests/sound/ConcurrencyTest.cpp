// The main thread's play, stop, seek and destruction against a mixer that
// runs on another thread at the same time. Besides their own assertions,
// these tests are what the "tsan" preset (ThreadSanitizer) runs to find
// data races between the two threads.
#include "support/TestAudio.h"

#include "sound/Context.h"
#include "sound/OggSoundData.h"
#include "sound/WavSoundData.h"
#include "sound/mixer/Engine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

using namespace QlSoundTest;
using namespace QlSound;

namespace {

// Mixes block after block on its own thread, like an audio device would,
// and publishes how many blocks it has done and the last block's peak.
class MixThread {
public:
    explicit MixThread(Mixer::Engine& engine) : engine_(engine), thread_([this] { run(); }) {}
    ~MixThread()
    {
        quit_ = true;
        thread_.join();
    }

    // Waits until two more whole blocks have been mixed; returns the peak of
    // the later one.
    float peakOfAFreshBlock()
    {
        const auto start = blocks_.load();
        while (blocks_.load() < start + 2) std::this_thread::yield();
        return peak_.load();
    }

private:
    void run()
    {
        std::vector<float> out(256 * 2);
        while (!quit_) {
            engine_.mix(out.data(), 256);
            float peak = 0;
            for (float v : out) peak = std::max(peak, std::abs(v));
            peak_ = peak;
            ++blocks_;
        }
    }

    Mixer::Engine& engine_;
    std::atomic<bool> quit_{false};
    std::atomic<std::uint64_t> blocks_{0};
    std::atomic<float> peak_{0};
    std::thread thread_;
};

std::shared_ptr<IFileData> wavFile()
{
    std::vector<std::int16_t> s(3000);
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = static_cast<std::int16_t>(1000 + i);
    return fileData(canonicalWav(1, 44100, 16, pcm16(s)));
}

std::shared_ptr<IFileData> oggFile()
{
    std::vector<float> s(2 * 6000);
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = 0.3f * static_cast<float>(std::sin(i * 0.05));
    return fileData(encodeOgg(2, 44100, s));
}

}  // namespace

TEST(Concurrency, MainThreadControlRacesNothingWithTheMixer)
{
    auto engine = Mixer::Engine::create(Mixer::Engine::Output::Manual, 48000);
    const auto wav = Core::WavSoundLoader().load(wavFile());
    const auto ogg = Ogg::SoundLoader().load(oggFile());
    ASSERT_TRUE(wav && ogg);
    MixThread mixer(*engine);

    std::vector<std::shared_ptr<IBuffer>> live;
    for (int round = 0; round < 300; ++round) {
        auto buffer = engine->createBuffer((round % 3 == 0 ? ogg : wav)->copy());
        ASSERT_TRUE(buffer);
        ASSERT_TRUE(buffer->play(round % 50, round % 4, round % 7));
        buffer->setVolume(0.01f * (round % 10));
        buffer->setSpeed(0.5f + 0.1f * (round % 15));
        live.push_back(buffer);
        auto& some = live[static_cast<std::size_t>(round * 7) % live.size()];
        switch (round % 5) {
        case 0: some->seek(static_cast<std::uint32_t>(round) % 2000); break;
        case 1: some->pause(); break;
        case 2: some->resume(); break;
        case 3: some->stop(); break;
        default: some->play(10, 0, 5); break;
        }
        (void)some->tell();
        (void)some->isPlaying();
        if (live.size() > 12) live.erase(live.begin() + round % 12);  // destroyed mid-mix
        if (round % 50 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    for (auto& b : live) ASSERT_TRUE(b->stop());
    // Once stop has returned, no later block carries anything of those voices.
    EXPECT_EQ(mixer.peakOfAFreshBlock(), 0.0f);
    live.clear();
    EXPECT_EQ(engine->getVoiceCount(), 0u);
}

TEST(Concurrency, SoundsAndFadesOnARealTimeOutput)
{
    auto engine = Mixer::Engine::create(Mixer::Engine::Output::Null, 48000);
    auto loader = std::make_shared<Core::MixedSoundLoader>();
    loader->addLoader(std::make_shared<Core::WavSoundLoader>());
    loader->addLoader(std::make_shared<Ogg::SoundLoader>());
    Context context(engine, nullptr, loader);
    auto group = context.createGroup();
    auto a = context.createSound(wavFile());
    auto b = context.createSound(oggFile());
    ASSERT_TRUE(a && b);
    group->addSound(a);
    group->addSound(b);

    for (int frame = 0; frame < 120; ++frame) {
        if (frame % 10 == 0) group->play(0, 2, 100);
        if (frame % 15 == 0) fadeOut(a, 8);
        if (frame % 20 == 0) fade(std::shared_ptr<ISound>(group), 5, 0.3f);
        group->setSpeed(frame % 2 ? 0.75f : 1.25f);
        context.update();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // Looping for ever, both sounds play until something stops them, however
    // far the output thread has got; a fade-out stops its sound on the tick
    // after its frames and leaves the other one playing.
    ASSERT_TRUE(group->stop());
    ASSERT_TRUE(group->play(0, 0, 0));
    ASSERT_TRUE(a->setVolume(1.0f));
    ASSERT_TRUE(fadeOut(a, 8));
    for (int frame = 0; frame < 8; ++frame) {
        context.update();
        ASSERT_TRUE(a->isPlaying()) << frame;
    }
    context.update();
    EXPECT_FALSE(a->isPlaying());
    EXPECT_EQ(a->getVolume(), 0.0f);
    EXPECT_TRUE(b->isPlaying());
    ASSERT_TRUE(group->stop());
    EXPECT_FALSE(group->isPlaying());
    group.reset();
    a.reset();
    b.reset();
    context.setSoundLoader(nullptr);
}

TEST(Concurrency, EngineEndsWhilePlayingOnItsDevice)
{
    for (int i = 0; i < 5; ++i) {
        auto engine = Mixer::Engine::create(Mixer::Engine::Output::Device);
        auto buffer = engine->createBuffer(Core::WavSoundLoader().load(wavFile()));
        ASSERT_TRUE(buffer && buffer->play(0, 0, 0));
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        engine.reset();  // the device stops before the voices are released
        EXPECT_FALSE(buffer->isPlaying());
        EXPECT_FALSE(buffer->play(0));
    }
}
