// What the audio thread may do: take decoded frames and mix them, and nothing
// else. The device callback's part of the mixer (Engine::render) is counted
// for heap allocations and timed against a decoder that is slow to seek,
// while the decoding side (feed, play, seek) runs where the engine runs it.
#include "support/TestAudio.h"

#include "sound/OggSoundData.h"
#include "sound/WavSoundData.h"
#include "sound/mixer/Engine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cerrno>
#include <cstdlib>
#include <thread>

using namespace QlSoundTest;
using QlSound::Mixer::Engine;

// ---- Allocation counter ----------------------------------------------------
// Every heap allocation of the process goes through malloc and its kin
// (operator new, and the C decoder libraries directly); these replace them,
// forwarding to the C library's own, and count the calls of the thread that
// switched counting on.

extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* __libc_memalign(std::size_t, std::size_t);
void __libc_free(void*);
}

namespace {
thread_local bool tCounting = false;
thread_local std::size_t tAllocations = 0;
inline void countOne()
{
    if (tCounting) ++tAllocations;
}
}  // namespace

extern "C" {
void* malloc(std::size_t n)
{
    countOne();
    return __libc_malloc(n);
}
void* calloc(std::size_t n, std::size_t size)
{
    countOne();
    return __libc_calloc(n, size);
}
void* realloc(void* p, std::size_t n)
{
    countOne();
    return __libc_realloc(p, n);
}
void* aligned_alloc(std::size_t alignment, std::size_t n)
{
    countOne();
    return __libc_memalign(alignment, n);
}
int posix_memalign(void** out, std::size_t alignment, std::size_t n)
{
    countOne();
    void* p = __libc_memalign(alignment, n);
    if (p == nullptr) return ENOMEM;
    *out = p;
    return 0;
}
void free(void* p) { __libc_free(p); }
}

namespace {

// Allocations made by f on this thread.
template <class F>
std::size_t allocationsIn(F&& f)
{
    tAllocations = 0;
    tCounting = true;
    f();
    tCounting = false;
    return tAllocations;
}

constexpr std::uint32_t kRate = 44100;

std::vector<float> tone(long frames, double hz, double phase = 0)
{
    std::vector<float> s;
    for (long i = 0; i < frames; ++i) {
        const float v = static_cast<float>(0.4 * std::sin(2 * M_PI * hz * i / kRate + phase));
        s.push_back(v);
        s.push_back(-v);
    }
    return s;
}

// Two Ogg streams chained in one file: the decoder is rebuilt at the link.
std::shared_ptr<QlSound::IFileData> chainedOgg()
{
    Bytes a = encodeOgg(2, kRate, tone(30000, 440), 0.4f, 1);
    const Bytes b = encodeOgg(2, kRate, tone(30000, 660, 1.0), 0.4f, 2);
    a.insert(a.end(), b.begin(), b.end());
    return fileData(a);
}

// The whole of a sound decoded, as reference for what the mixer must play.
std::vector<std::int16_t> decodeAll(QlSound::ISoundData& data)
{
    std::vector<std::int16_t> pcm(static_cast<std::size_t>(data.getLength()) * 2 + 64);
    std::uint32_t total = 0;
    while (std::uint32_t n = data.read(pcm.data() + total / 2, 4096)) total += n;
    pcm.resize(total / 2);
    return pcm;
}

// Forwards to a decoder; every seek takes `delay` (as a long Ogg seek may).
class SlowSeekData final : public QlSound::ISoundData {
public:
    SlowSeekData(std::shared_ptr<QlSound::ISoundData> inner, std::chrono::milliseconds delay)
        : inner_(std::move(inner)), delay_(delay) {}
    QlSound::SoundFormat getFormat() const override { return inner_->getFormat(); }
    std::shared_ptr<QlSound::IFileData> getFileData() const override { return inner_->getFileData(); }
    std::uint32_t getLength() const override { return inner_->getLength(); }
    bool seek(std::uint32_t frame) override
    {
        std::this_thread::sleep_for(delay_);
        return inner_->seek(frame);
    }
    std::uint32_t tell() const override { return inner_->tell(); }
    std::uint32_t read(void* buffer, std::uint32_t bytes) override { return inner_->read(buffer, bytes); }
    std::shared_ptr<QlSound::ISoundData> copy() const override
    {
        return std::make_shared<SlowSeekData>(inner_->copy(), delay_);
    }

private:
    std::shared_ptr<QlSound::ISoundData> inner_;
    std::chrono::milliseconds delay_;
};

constexpr std::uint32_t kBlock = 256;

}  // namespace

TEST(AudioThread, OggFromFrameZeroIsDecodedOffTheAudioThreadAndHeardInTheNextBlock)
{
    auto engine = Engine::create(Engine::Output::Manual, kRate);
    auto data = QlSound::Ogg::SoundLoader().load(fileData(encodeOgg(2, kRate, tone(20000, 440))));
    ASSERT_TRUE(data);
    const auto reference = decodeAll(*data->copy());
    auto buffer = engine->createBuffer(data->copy());
    ASSERT_TRUE(buffer->play(0));

    // No feed: what play decoded is there for the very next callback.
    std::vector<float> out(kBlock * 2);
    EXPECT_EQ(allocationsIn([&] { engine->render(out.data(), kBlock); }), 0u);
    for (std::uint32_t i = 0; i < kBlock * 2; ++i) ASSERT_EQ(out[i], reference[i] / 32768.0f) << i;

    // Playing on to the end, block by block, with the feeder's pass between.
    std::size_t allocations = 0;
    std::uint32_t heard = kBlock;
    while (buffer->isPlaying() && heard < 30000) {
        engine->feed();
        allocations += allocationsIn([&] { engine->render(out.data(), kBlock); });
        for (std::uint32_t i = 0; i < kBlock * 2 && heard * 2 + i < reference.size(); ++i)
            ASSERT_EQ(out[i], reference[heard * 2 + i] / 32768.0f) << heard;
        heard += kBlock;
    }
    EXPECT_EQ(allocations, 0u);
    EXPECT_FALSE(buffer->isPlaying());
    EXPECT_EQ(engine->getDryCount(), 0u);
}

TEST(AudioThread, ChainedOggLoopsWithoutAllocatingOnTheAudioThread)
{
    auto engine = Engine::create(Engine::Output::Manual, kRate);
    auto data = QlSound::Ogg::SoundLoader().load(chainedOgg());
    ASSERT_TRUE(data);
    ASSERT_EQ(data->getLength(), 60000u);
    // Several voices, each crossing the link and jumping back from the
    // second stream into the first many times.
    std::vector<std::shared_ptr<QlSound::IBuffer>> voices;
    for (std::uint32_t i = 0; i < 4; ++i) {
        voices.push_back(engine->createBuffer(data->copy()));
        ASSERT_TRUE(voices.back()->play(25000 + 1000 * i, 0, 27000));
        voices.back()->setSpeed(2.0f);
    }
    std::vector<float> out(kBlock * 2);
    std::size_t allocations = 0;
    float peak = 0;
    for (int block = 0; block < 2000; ++block) {
        if (block % 8 == 0) engine->feed();  // the feeder runs far less often than the callback
        allocations += allocationsIn([&] { engine->render(out.data(), kBlock); });
        for (float v : out) peak = std::max(peak, std::abs(v));
    }
    EXPECT_EQ(allocations, 0u);
    EXPECT_EQ(engine->getDryCount(), 0u);
    EXPECT_GT(peak, 0.3f);
    for (auto& v : voices) EXPECT_TRUE(v->isPlaying());
}

TEST(AudioThread, ARunDryQueueIsSilenceNotAnEnd)
{
    auto engine = Engine::create(Engine::Output::Manual, kRate);
    std::vector<std::int16_t> pcm(100000, 1000);
    auto buffer = engine->createBuffer(
        QlSound::Core::WavSoundLoader().load(fileData(canonicalWav(1, kRate, 16, pcm16(pcm)))));
    ASSERT_TRUE(buffer->play(0));
    std::vector<float> out(kBlock * 2);
    // Nobody feeds: the frames play decoded run out and the voice waits.
    int silent = 0;
    for (int block = 0; block < 40; ++block) {
        engine->render(out.data(), kBlock);
        if (out[2 * kBlock - 1] == 0.0f) ++silent;
    }
    EXPECT_GT(silent, 0);
    EXPECT_GT(engine->getDryCount(), 0u);
    EXPECT_TRUE(buffer->isPlaying());
    engine->feed();
    engine->render(out.data(), kBlock);
    EXPECT_EQ(out[0], 1000 / 32768.0f);
    EXPECT_EQ(out[2 * kBlock - 1], 1000 / 32768.0f);
}

TEST(AudioThread, PlayAndSeekDoNotStallTheCallbackWhileTheDecoderSeeks)
{
    auto engine = Engine::create(Engine::Output::Manual, kRate);
    std::vector<std::int16_t> pcm(200000);
    for (std::size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<std::int16_t>(i % 30000 + 1);
    auto wav = QlSound::Core::WavSoundLoader().load(fileData(canonicalWav(1, kRate, 16, pcm16(pcm))));
    auto slow = engine->createBuffer(std::make_shared<SlowSeekData>(wav->copy(), std::chrono::milliseconds(60)));
    auto steady = engine->createBuffer(wav->copy());
    ASSERT_TRUE(steady->play(0, 0, 0));

    // The callback's thread, timing every block.
    std::atomic<bool> quit{false};
    std::atomic<std::int64_t> longestUs{0};
    std::atomic<int> blocks{0};
    std::thread callback([&] {
        std::vector<float> out(kBlock * 2);
        while (!quit) {
            const auto t0 = std::chrono::steady_clock::now();
            engine->render(out.data(), kBlock);
            const auto us = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0).count();
            if (us > longestUs) longestUs = us;
            ++blocks;
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
    });
    for (int i = 0; i < 3; ++i) {
        engine->feed();
        ASSERT_TRUE(slow->play(static_cast<std::uint32_t>(1000 * i)));
        ASSERT_TRUE(slow->seek(50000));
    }
    quit = true;
    callback.join();
    EXPECT_GT(blocks.load(), 20);
    // Six seeks of 60 ms each happened meanwhile; no block waited for one.
    EXPECT_LT(longestUs.load(), 20000);

    // The seek is heard from the next block on.
    ASSERT_TRUE(steady->stop());
    std::vector<float> out(kBlock * 2);
    engine->render(out.data(), kBlock);
    EXPECT_EQ(out[0], pcm[50000] / 32768.0f);
}
