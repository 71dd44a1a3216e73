// Mixing cost of 64 voices and Ogg Vorbis decode speed.
//
//   ql_sound_bench [seconds-of-audio]
//
// Mixing: 64 looping voices over 44.1 kHz 16-bit stereo sources, each at its
// own rate ratio, mixed to 48 kHz stereo float by the engine's own mixer.
// Figure: CPU time per second of mixed audio (target: at most 10 ms). The
// same for mono sources and for 5.1 sources folded down to stereo.
// Decoding: an Ogg Vorbis file (44.1 kHz stereo) decoded to 16-bit PCM.
// Figure: seconds of audio decoded per second of CPU time.
#include "support/TestAudio.h"

#include "sound/OggSoundData.h"
#include "sound/WavSoundData.h"
#include "sound/mixer/Engine.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <vector>

using namespace QlSoundTest;

namespace {

double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

// A tone with a little noise on every channel, the sign alternating between channels.
std::vector<float> noiseTone(long frames, long rate, double hz, unsigned seed, int channels = 2)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> noise(-0.05f, 0.05f);
    std::vector<float> s;
    s.reserve(static_cast<std::size_t>(frames) * channels);
    for (long i = 0; i < frames; ++i) {
        const float v = static_cast<float>(0.4 * std::sin(2 * M_PI * hz * i / rate));
        for (int c = 0; c < channels; ++c) s.push_back((c % 2 == 0 ? v : -v) + noise(rng));
    }
    return s;
}

Bytes toPcm16(const std::vector<float>& s)
{
    std::vector<std::int16_t> pcm(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) pcm[i] = static_cast<std::int16_t>(std::lround(s[i] * 32767));
    return pcm16(pcm);
}

void benchMixing(double seconds, int channels)
{
    constexpr int kVoices = 64;
    constexpr std::uint32_t kBlock = 1024;
    auto engine = QlSound::Mixer::Engine::create(QlSound::Mixer::Engine::Output::Manual, 48000);
    QlSound::Core::WavSoundLoader loader;
    std::vector<std::shared_ptr<QlSound::IBuffer>> buffers;
    for (int i = 0; i < kVoices; ++i) {
        // 2 s sources; different lengths so loop points fall at different times.
        const long frames = 88200 + 997L * i;
        auto data = loader.load(fileData(canonicalWav(static_cast<std::uint16_t>(channels), 44100, 16,
                                                      toPcm16(noiseTone(frames, 44100, 110.0 + 7 * i, i, channels)))));
        auto buffer = engine->createBuffer(data);
        if (!buffer) {
            std::printf("mix: %d-channel sources cannot be played\n", channels);
            return;
        }
        buffer->setVolume(1.0f / kVoices);
        buffer->setSpeed(0.5f + 1.5f * i / (kVoices - 1));  // 0.5 ... 2.0
        buffer->play(0, 0, 0);
        buffers.push_back(buffer);
    }
    std::vector<float> out(kBlock * 2);
    const auto blocks = static_cast<long>(seconds * 48000 / kBlock);
    engine->mix(out.data(), kBlock);  // warm-up: first decode of every voice
    const double start = cpuSeconds();
    for (long b = 0; b < blocks; ++b) engine->mix(out.data(), kBlock);
    const double cpu = cpuSeconds() - start;
    const double audio = static_cast<double>(blocks) * kBlock / 48000;
    const char* kind = channels == 1 ? "mono" : channels == 2 ? "stereo" : channels == 6 ? "5.1" : "multichannel";
    std::printf("mix %s: %d voices, 44.1 kHz 16-bit %s sources at rates 0.5-2.0 -> 48 kHz stereo float\n", kind,
                kVoices, kind);
    std::printf("mix %s: %.2f s of audio in %.1f ms CPU = %.2f ms CPU per second of audio%s\n", kind, audio,
                cpu * 1000, cpu * 1000 / audio, channels == 2 ? " (target <= 10 ms)" : "");
}

void benchOgg(double seconds)
{
    const long frames = static_cast<long>(seconds * 44100);
    const Bytes ogg = encodeOgg(2, 44100, noiseTone(frames, 44100, 440.0, 7), 0.4f);
    auto data = QlSound::Ogg::SoundLoader().load(fileData(ogg));
    if (!data) {
        std::printf("ogg: encoding failed\n");
        return;
    }
    std::vector<std::uint8_t> buf(4096 * 4);
    int passes = 0;
    std::uint64_t bytes = 0;
    const double start = cpuSeconds();
    double cpu = 0;
    while (cpu < 0.5 || passes < 1) {
        data->seek(0);
        while (std::uint32_t n = data->read(buf.data(), static_cast<std::uint32_t>(buf.size()))) bytes += n;
        ++passes;
        cpu = cpuSeconds() - start;
    }
    const double audio = static_cast<double>(bytes) / 4 / 44100;
    std::printf("ogg: %zu-byte file, %.1f s of 44.1 kHz stereo, decoded %d times\n", ogg.size(), seconds, passes);
    std::printf("ogg: %.1f s of audio in %.1f ms CPU = %.0f s of audio per CPU second\n", audio, cpu * 1000,
                audio / cpu);

    // Opening a decoder is what every play of an Ogg sound costs up front.
    const int opens = 200;
    const double openStart = cpuSeconds();
    for (int i = 0; i < opens; ++i) data->copy();
    std::printf("ogg: %.3f ms CPU to open a decoder for one play\n", (cpuSeconds() - openStart) * 1000 / opens);
}

}  // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    benchMixing(seconds, 2);
    benchMixing(seconds, 1);
    benchMixing(seconds, 6);
    benchOgg(seconds);
    return 0;
}
