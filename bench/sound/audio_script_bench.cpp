// Audio as a game sees it.
//
//   ql_audio_script_bench [seconds]
//
// Latency: 100 plays of a sound through the sound context on the real output (the audio
// device, or the null sink when there is none), each timed from Sound.play() on this thread
// to the moment the output block that carries its first frames leaves the mixer (the end
// of the device callback). Figures: median and worst (target: at most 20 ms), and the voice
// blocks that ran dry meanwhile.
//
// CPU: the runtime runs two headless games in real time (60 frames a second) for the given
// seconds: one that loads 64 sounds and loops them all through the script API, and one
// that loads them without playing. The difference in process CPU time over the wall time
// is what 64 looping voices cost (target: at most 1% of a core). Done for WAV sources and
// again for Ogg Vorbis ones, whose decoding is most of their cost.
#include "support/TestAudio.h"

#include "sound/Context.h"
#include "sound/OggSoundData.h"
#include "sound/WavSoundData.h"
#include "sound/mixer/Engine.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

using namespace QlSoundTest;
namespace fs = std::filesystem;

namespace {

std::vector<float> tone(long frames, long rate, double hz)
{
    std::vector<float> s;
    for (long i = 0; i < frames; ++i) {
        const float v = static_cast<float>(0.3 * std::sin(2 * M_PI * hz * i / rate));
        s.push_back(v);
        s.push_back(-v);
    }
    return s;
}

std::int64_t nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void benchLatency()
{
    auto engine = QlSound::Mixer::Engine::create(QlSound::Mixer::Engine::Output::Device);
    auto loaders = std::make_shared<QlSound::Core::MixedSoundLoader>();
    loaders->addLoader(std::make_shared<QlSound::Core::WavSoundLoader>());
    loaders->addLoader(std::make_shared<QlSound::Ogg::SoundLoader>());
    QlSound::Context context(engine, nullptr, loaders);
    auto sound = context.createSound(fileData(encodeOgg(2, 44100, tone(44100, 44100, 440))));
    // 63 other voices looping meanwhile, so the callback has its full load.
    std::vector<std::shared_ptr<QlSound::ISound>> others;
    std::vector<std::shared_ptr<QlSound::IChannel>> busy;
    for (int i = 0; i < 63; ++i) {
        std::vector<std::int16_t> pcm(44100 * 2);
        for (std::size_t k = 0; k < pcm.size(); ++k) pcm[k] = static_cast<std::int16_t>(((k * (i + 3)) % 2000) - 1000);
        others.push_back(context.createSound(fileData(canonicalWav(2, 44100, 16, pcm16(pcm)))));
        busy.push_back(others.back()->play(0, 0, 0));
    }
    std::vector<double> ms;
    const auto dryBefore = engine->getDryCount();
    for (int i = 0; i < 100; ++i) {
        std::this_thread::sleep_for(std::chrono::microseconds(3000 + 137 * (i % 23)));
        const std::int64_t t0 = nowNs();
        auto channel = std::dynamic_pointer_cast<QlSound::Core::Channel>(sound->play(0));
        auto* buffer = channel ? dynamic_cast<QlSound::Mixer::Buffer*>(channel->getBuffer().get()) : nullptr;
        if (!buffer) {
            std::printf("latency: the sound did not play\n");
            return;
        }
        while (buffer->getFirstHeardAt() == 0 && nowNs() - t0 < 1000000000) std::this_thread::yield();
        ms.push_back((buffer->getFirstHeardAt() - t0) / 1e6);
        sound->stop();
    }
    std::sort(ms.begin(), ms.end());
    const char* output = engine->getOutput() == QlSound::Mixer::Engine::Output::Device ? "audio device" : "null sink";
    std::printf("latency (%s, %u Hz, 64 voices): play -> first block out of the callback: median %.2f ms, "
                "worst %.2f ms over %zu plays (target <= 20 ms); dry voice blocks: %llu\n",
                output, engine->getSampleRate(), ms[ms.size() / 2], ms.back(), ms.size(),
                static_cast<unsigned long long>(engine->getDryCount() - dryBefore));
}

// CPU seconds of the child, run to its end.
double runGame(const fs::path& game, double seconds)
{
    const pid_t pid = fork();
    if (pid == 0) {
        const std::string frames = std::to_string(static_cast<int>(seconds * 60) + 5);
        const int devnull = ::open("/dev/null", O_WRONLY);
        dup2(devnull, 1);
        dup2(devnull, 2);
        execl(QL_RUNTIME, QL_RUNTIME, "--headless", "--frames", frames.c_str(), game.c_str(), nullptr);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

void benchScriptCpu(double seconds, bool ogg)
{
    const fs::path dir = fs::temp_directory_path() / ("ql_audio_bench_" + std::to_string(getpid()));
    for (const bool play : {true, false}) {
        const fs::path game = dir / (play ? "play" : "idle");
        fs::create_directories(game);
        const Bytes bytes = ogg ? encodeOgg(2, 44100, tone(88200, 44100, 220)) : [] {
            std::vector<std::int16_t> pcm(88200 * 2);
            for (std::size_t k = 0; k < pcm.size(); ++k) pcm[k] = static_cast<std::int16_t>((k * 7) % 3000);
            return canonicalWav(2, 44100, 16, pcm16(pcm));
        }();
        std::ofstream(game / "loop.snd", std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                                  static_cast<std::streamsize>(bytes.size()));
        std::ofstream(game / "setup.nut") << "";
        std::ofstream(game / "start.nut")
            << "local sounds = [];\n"
               "for (local i = 0; i < 64; i++) {\n"
               "    local s = Audio.Sound(\"loop.snd\");\n"
               "    s.setVolume(1.0 / 64);\n"
               "    s.setSpeed(0.5 + 1.5 * i / 63);\n"
            << (play ? "    s.loop();\n" : "")
            << "    sounds.push(s);\n"
               "}\n"
               "while (true) Util.fwait(60);\n";
    }
    const auto wall0 = std::chrono::steady_clock::now();
    const double withVoices = runGame(dir / "play", seconds);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    const double without = runGame(dir / "idle", seconds);
    fs::remove_all(dir);
    const double share = (withVoices - without) / wall * 100;
    std::printf("script cpu (%s): 64 looping voices at speeds 0.5-2.0 for %.1f s: %.3f s CPU with them, %.3f s "
                "without = %.2f%% of a core%s\n",
                ogg ? "Ogg Vorbis 44.1 kHz stereo" : "WAV 44.1 kHz 16-bit stereo", wall, withVoices, without, share,
                ogg ? "" : " (target <= 1%)");
}

}  // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    benchLatency();
    benchScriptCpu(seconds, false);
    benchScriptCpu(seconds, true);
    return 0;
}
