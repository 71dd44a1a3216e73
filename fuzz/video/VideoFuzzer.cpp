// Damaged movies: a movie or nothing, never a crash. An opened movie is played with its clock
// far ahead, so the decode thread runs through the whole file (pictures and sound), and what
// comes out is consistent: frames of the declared size, whole sound frames, a duration that
// is not negative and a position that never passes it.
#include "graphics/video/VideoData.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

using namespace QlGraphics;

namespace {

struct Silent : IVideoAudioOutput {
    void start() override {}
    void pause() override {}
    void setGain(float) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::atomic<double> clock{0.0};
    // Frames up to 1024 x 1024, so that one input cannot take the fuzzer's memory.
    auto video = VideoData::open(std::make_unique<MemoryVideoSource>(std::vector<std::uint8_t>(data, data + size)), [&] { return clock.load(); },
                                 FrameLimit{1024, 1024});
    if (!video)
        return 0;
    const int w = video->getWidth(), h = video->getHeight();
    if (w <= 0 || h <= 0 || w > 1024 || h > 1024)
        std::abort();
    auto audio = video->getAudio();
    if (audio) {
        video->setAudioOutput(std::make_unique<Silent>());
        if (audio->getSampleRate() != MovieAudio::kSampleRate)
            std::abort();
    }
    video->play();
    clock = 1e6;
    std::vector<std::int16_t> sound(4096 * MovieAudio::kChannels);
    for (int k = 0; k < 50 && video->getDuration() <= 0; ++k) {
        if (video->grabFrame()) {
            // Every byte of the frame is readable.
            volatile std::uint8_t sink = video->pixelAt(w - 1, h - 1)[2];
            (void)sink;
        }
        if (audio && audio->read(sound.data(), 4096 * 4 + 1) != 4096 * 4)
            std::abort();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (video->getDuration() < 0 || video->getPosition() < 0)
        std::abort();
    if (video->getDuration() > 0 && video->getPosition() > video->getDuration())
        std::abort();
    video->setPosition(0.5);
    video->stop();
    return 0;
}
