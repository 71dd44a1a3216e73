// Text drawing and image decoding figures.
//   1. A 2,000-character Japanese paragraph drawn per frame: the first frame (every glyph
//      rasterised and packed) and steady frames (all glyphs cached). CPU time of the main
//      thread spent in drawText, per glyph quad, and the whole frame's wall time.
//   2. Decoding a 1024 x 1024 PNG.
// Run with SDL_VIDEODRIVER=offscreen for a headless machine.

#include "graphics/Canvas.h"
#include "graphics/ImageData.h"
#include "graphics/font/Fonts.h"
#include "graphics/gl/GlEngine.h"
#include "platform/Video.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

namespace {

double threadCpuNs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e9 + double(ts.tv_nsec);
}

double wallNs()
{
    return double(std::chrono::duration_cast<std::chrono::nanoseconds>(
                      std::chrono::steady_clock::now().time_since_epoch())
                      .count());
}

// About 2,000 characters of kana, kanji and punctuation, a line feed every 50.
std::u16string paragraph()
{
    std::u16string pool;
    for (char16_t c = u'ぁ'; c <= u'ん'; ++c)
        pool += c;
    for (char16_t c = u'ァ'; c <= u'ヶ'; ++c)
        pool += c;
    for (char16_t c = 0x4E00; c < 0x4E00 + 400 * 7; c = char16_t(c + 7))
        pool += c;
    pool += u"、。「」！？";
    std::u16string text;
    unsigned seed = 12345;
    int glyphs = 0;
    while (glyphs < 2000) {
        if (glyphs % 50 == 49) {
            text += u'\n';
        } else {
            seed = seed * 1103515245u + 12345u;
            text += pool[(seed >> 8) % pool.size()];
        }
        ++glyphs;
    }
    return text;
}

} // namespace

int main()
{
    using namespace QlGraphics;
    if (!QlPlatform::initVideo()) {
        std::fprintf(stderr, "no video\n");
        return 1;
    }
    auto window = QlPlatform::NativeWindow::create("bench", 64, 64);
    auto engine = window ? Gl::Engine::create(window, 64, 64) : nullptr;
    if (!engine) {
        std::fprintf(stderr, "no OpenGL 3.3 context\n");
        return 1;
    }

    const std::u16string text = paragraph();
    const auto quads = std::count_if(text.begin(), text.end(), [](char16_t c) { return c != u'\n'; });
    auto font = createFont(engine, u"ＭＳ ゴシック", 16, false, false);
    auto canvas = createCanvas(engine, 1024, 768);
    if (!font || !canvas) {
        std::fprintf(stderr, "no font or canvas\n");
        return 1;
    }

    auto frame = [&](double& drawCpu) {
        const double w0 = wallNs();
        canvas->clear(0xFF000000u);
        canvas->begin();
        const double c0 = threadCpuNs();
        canvas->drawText(font.get(), text, Destination{0, 0, 0}, nullptr, BlendMode::Alpha, 0xFFFFFFFFu,
                         0xFFFFFFFFu);
        drawCpu = threadCpuNs() - c0;
        canvas->end();
        glFinish();
        return wallNs() - w0;
    };

    double cpu = 0;
    const double firstWall = frame(cpu);
    std::printf("text: %lld glyph quads per frame, %zu distinct characters, %zu atlas page(s)\n",
                static_cast<long long>(quads), font->cache().entryCount(), font->cache().pageCount());
    std::printf("text first frame (rasterising): drawText CPU %.2f ms (%.0f ns per glyph), frame wall %.2f ms\n",
                cpu / 1e6, cpu / double(quads), firstWall / 1e6);

    const int frames = 60;
    std::vector<double> cpus, walls;
    for (int i = 0; i < frames; ++i) {
        walls.push_back(frame(cpu));
        cpus.push_back(cpu);
    }
    std::sort(cpus.begin(), cpus.end());
    std::sort(walls.begin(), walls.end());
    std::printf("text steady frames (cached, median of %d): drawText CPU %.3f ms = %.1f ns per glyph quad "
                "(target <= 60), frame wall %.2f ms\n",
                frames, cpus[frames / 2] / 1e6, cpus[frames / 2] / double(quads), walls[frames / 2] / 1e6);

    // The font's own share: looking every glyph up in the cache.
    std::vector<double> lookups;
    for (int i = 0; i < frames; ++i) {
        Glyph g;
        float sum = 0;
        const double c0 = threadCpuNs();
        for (char16_t ch : text)
            if (font->getGlyph(ch, g))
                sum += g.advance;
        lookups.push_back(threadCpuNs() - c0);
        if (sum < 0)
            std::printf("?");
    }
    std::sort(lookups.begin(), lookups.end());
    std::printf("text glyph lookup alone (cached): %.1f ns per glyph\n", lookups[frames / 2] / double(quads));

    // A 1024 x 1024 PNG with smooth gradients and some detail, as game art has.
    std::vector<std::uint8_t> pixels(1024 * 1024 * 4);
    for (int y = 0; y < 1024; ++y)
        for (int x = 0; x < 1024; ++x) {
            std::uint8_t* p = &pixels[(std::size_t(y) * 1024 + std::size_t(x)) * 4];
            p[0] = std::uint8_t(x / 4);
            p[1] = std::uint8_t(y / 4);
            p[2] = std::uint8_t((x * y) >> 12);
            p[3] = std::uint8_t(((x / 32 + y / 32) & 1) ? 255 : 192);
        }
    const auto png = encodeImage(pixels.data(), 1024, 1024, 1024 * 4, ImageFileType::Png);
    const int runs = 10;
    std::vector<double> decode;
    for (int i = 0; i < runs; ++i) {
        ImageData img;
        const double t0 = wallNs();
        const bool ok = img.load(png.data(), png.size(), u"bench.png");
        decode.push_back(wallNs() - t0);
        if (!ok) {
            std::fprintf(stderr, "decode failed\n");
            return 1;
        }
    }
    std::sort(decode.begin(), decode.end());
    std::printf("image: 1024 x 1024 PNG (%zu bytes) decoded to BGRA in %.2f ms (median of %d)\n", png.size(),
                decode[runs / 2] / 1e6, runs);
    return 0;
}
