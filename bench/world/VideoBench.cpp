// Movie decoding and upload cost: plays a generated 1280 x 720, 30 fps movie in real time
// while the main thread refreshes its texture at 60 frames per second, and prints the CPU
// time per movie frame, the cores used and whether every frame was delivered.
// Run: build/bench/world/ql_video_bench [seconds]
#include "BenchGl.h"
#include "MovieMaker.h"

#include "graphics/video/Video.h"

#include <chrono>
#include <cstring>
#include <thread>

using namespace QlGraphics;

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 4;
    QlBench::Gl gl;
    if (!gl.open(1280, 720)) {
        std::fprintf(stderr, "no OpenGL context\n");
        return 1;
    }
    QlTest::MovieSpec spec;
    spec.width = 1280;
    spec.height = 720;
    spec.fps = 30;
    spec.frames = 30 * seconds;
    spec.audioRate = 48000;
    spec.toneAt = [](double) { return 440.0; };
    spec.container = "matroska";
    // Moving gradients, so every frame carries new detail.
    spec.picture = [](int n, std::uint8_t* rgb) {
        for (int y = 0; y < 720; ++y)
            for (int x = 0; x < 1280; ++x) {
                std::uint8_t* p = rgb + (y * 1280 + x) * 3;
                p[0] = static_cast<std::uint8_t>(x + 4 * n);
                p[1] = static_cast<std::uint8_t>(y + 2 * n);
                p[2] = static_cast<std::uint8_t>((x ^ y) + n);
            }
    };
    const bool h264 = avcodec_find_encoder_by_name("libx264") != nullptr;
    spec.encoder = h264 ? "libx264" : "mpeg4";
    if (!QlTest::makeMovie("bench720.mkv", spec)) {
        std::fprintf(stderr, "could not encode the movie\n");
        return 1;
    }
    auto bytes = QlTest::readWholeFile("bench720.mkv");
    const std::size_t size = bytes.size();
    auto data = VideoData::open(std::make_unique<MemoryVideoSource>(std::move(bytes)));
    if (!data) {
        std::fprintf(stderr, "could not open the movie\n");
        return 1;
    }
    auto texture = gl.engine->createTexture(1280, 720, TextureFormat::Argb);
    auto video = std::make_shared<Video>(data, texture);

    const double wall0 = QlBench::cpuSeconds(CLOCK_MONOTONIC);
    const double process0 = QlBench::cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const double main0 = QlBench::cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    double uploadTime = 0;
    int uploads = 0;
    std::uint64_t lastSerial = 0;
    video->play();
    const auto frameTime = std::chrono::microseconds(16667);
    auto next = std::chrono::steady_clock::now();
    while (video->isPlaying()) {
        const auto t0 = std::chrono::steady_clock::now();
        video->onBeginFrame();
        if (data->getFrameSerial() != lastSerial) {
            lastSerial = data->getFrameSerial();
            uploadTime += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            ++uploads;
        }
        next += frameTime;
        std::this_thread::sleep_until(next);
    }
    const double wall = QlBench::cpuSeconds(CLOCK_MONOTONIC) - wall0;
    const double process = QlBench::cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - process0;
    const double mainCpu = QlBench::cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - main0;
    const auto delivered = data->getDeliveredFrames();

    // The parts of an upload: the engine's lock and unlock of the texture, and the copy of
    // the BGR frame into the locked BGRA pixels.
    constexpr int kRepeats = 20;
    auto l0 = std::chrono::steady_clock::now();
    for (int k = 0; k < kRepeats; ++k) {
        texture->lock();
        texture->unlock();
    }
    const double lockUnlock = std::chrono::duration<double>(std::chrono::steady_clock::now() - l0).count() / kRepeats;
    std::vector<std::uint8_t> bgra(1280u * 720u * 4u);
    l0 = std::chrono::steady_clock::now();
    for (int k = 0; k < kRepeats; ++k)
        for (int y = 0; y < 720; ++y) {
            const std::uint8_t* src = data->rowAt(y);
            std::uint8_t* dst = bgra.data() + static_cast<std::size_t>(y) * 1280 * 4;
            for (int x = 0; x + 1 < 1280; ++x) {
                std::uint32_t v;
                std::memcpy(&v, src + 3 * x, 4);
                v |= 0xFF000000u;
                std::memcpy(dst + 4 * x, &v, 4);
            }
        }
    const double expand = std::chrono::duration<double>(std::chrono::steady_clock::now() - l0).count() / kRepeats;
    std::printf("1280 x 720 %s movie, 30 fps, %d s, played in real time (%zu bytes)\n", spec.encoder, seconds, size);
    std::printf("  frames delivered / in movie:     %llu / %d\n", static_cast<unsigned long long>(delivered),
                spec.frames);
    std::printf("  frames uploaded:                 %d\n", uploads);
    std::printf("  wall time:                       %.2f s\n", wall);
    std::printf("  decode thread CPU per frame:     %.2f ms (decode, convert to BGR, sound)\n",
                (process - mainCpu) * 1e3 / static_cast<double>(std::max<std::uint64_t>(delivered, 1)));
    std::printf("  upload per frame (main thread):  %.2f ms\n", uploadTime * 1e3 / std::max(uploads, 1));
    std::printf("    of which texture lock + unlock: %.2f ms (engine: read back, then upload)\n", lockUnlock * 1e3);
    std::printf("    of which BGR to BGRA copy:      %.2f ms\n", expand * 1e3);
    std::printf("  cores used, whole process:       %.2f\n", process / wall);
    std::printf("  cores used, besides main thread: %.2f\n", (process - mainCpu) / wall);
    return 0;
}
