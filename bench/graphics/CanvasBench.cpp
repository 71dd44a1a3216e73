// CPU cost of 2D drawing through a canvas, and of presenting an empty frame.
// Run headless: SDL_VIDEODRIVER=offscreen ./bench_canvas
// The "gpu_ms" counters are the time the GL driver (llvmpipe: the CPU as GPU) needs to finish
// the frame's draws after the canvas handed them over; they are not part of the canvas's cost.
#include <benchmark/benchmark.h>
#include <SDL2/SDL_hints.h>
#include <epoxy/gl.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstring>
#include <memory>

#include "graphics/Canvas.h"
#include "graphics/Context.h"
#include "graphics/gl/GlEngine.h"
#include "platform/Video.h"

using namespace QlGraphics;

namespace {

constexpr int kQuads = 100000;

struct Setup {
  std::shared_ptr<QlPlatform::NativeWindow> window;
  std::shared_ptr<Gl::Engine> engine;
  std::shared_ptr<ICanvas> screen;
  std::shared_ptr<ITexture> t1, t2;
  bool ok = false;

  Setup() {
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");  // let timeout(1) and ^C stop the benchmark
    if (!QlPlatform::initVideo()) return;
    window = QlPlatform::NativeWindow::create("bench", 640, 480);
    if (!window) return;
    engine = Gl::Engine::create(window, 640, 480);
    if (!engine) return;
    screen = createCanvas(engine, 640, 480);
    // Small sprites keep the rasteriser's share of a frame small; the canvas's cost does not
    // depend on the sprite size.
    t1 = engine->createTexture(8, 8, TextureFormat::Argb);
    t2 = engine->createTexture(8, 8, TextureFormat::Argb);
    ok = screen && t1 && t2;
  }
};

Setup& setup() {
  static Setup s;
  return s;
}

class Sprite : public IImage {
 public:
  explicit Sprite(std::shared_ptr<ITexture> t) : t_(std::move(t)) {}
  std::uint16_t getWidth() const override { return 8; }
  std::uint16_t getHeight() const override { return 8; }
  std::shared_ptr<ITexture> getTexture() const override { return t_; }
  bool getRegion(Region& r) const override {
    r = Region{t_.get(), 0, 0, 8, 8};
    return true;
  }

 private:
  std::shared_ptr<ITexture> t_;
};

// CPU time of the calling thread only: the GL driver's own threads are not counted.
double threadMs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

double nowMs() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void drawQuads(benchmark::State& state, bool alternate) {
  Setup& s = setup();
  if (!s.ok) {
    state.SkipWithError("no OpenGL 3.3 context");
    return;
  }
  Sprite a(s.t1), b(s.t2);
  const auto drawFrame = [&] {
    s.screen->begin();
    for (int i = 0; i < kQuads; ++i) {
      const IImage* img = alternate && (i & 1) ? &b : &a;
      s.screen->drawImage(img, Destination{0, (i * 7) % 600, (i * 13) % 440});
    }
  };
  // The first frame grows the canvas's vertex buffer to the frame's size (allocation, page
  // faults, copies); later frames reuse it. That one-time cost is reported on its own.
  const double w0 = threadMs();
  drawFrame();
  const double firstFrameMs = threadMs() - w0;
  s.screen->end();
  glFinish();
  double flushMs = 0, gpuMs = 0, drawThreadMs = 0;
  int frames = 0;
  for (auto _ : state) {
    const double c0 = threadMs();
    drawFrame();
    drawThreadMs += threadMs() - c0;
    state.PauseTiming();
    const double t0 = nowMs();
    s.screen->end();  // hands the last batch to GL
    const double t1 = nowMs();
    glFinish();
    const double t2 = nowMs();
    flushMs += t1 - t0;
    gpuMs += t2 - t1;
    ++frames;
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kQuads);
  state.counters["ns_per_quad"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kQuads, benchmark::Counter::kIsRate |
                                                                             benchmark::Counter::kInvert);
  state.counters["thread_ns_per_quad"] = drawThreadMs * 1e6 / (static_cast<double>(frames) * kQuads);
  state.counters["first_frame_ms"] = firstFrameMs;
  state.counters["end_ms"] = flushMs / frames;
  state.counters["gpu_ms"] = gpuMs / frames;
}

void BM_DrawImageOneTexture(benchmark::State& state) { drawQuads(state, false); }
void BM_DrawImageTwoTexturesAlternating(benchmark::State& state) { drawQuads(state, true); }

void BM_PresentEmptyFrame(benchmark::State& state) {
  Setup& s = setup();
  if (!s.ok) {
    state.SkipWithError("no OpenGL 3.3 context");
    return;
  }
  auto context = Context::create(s.engine);
  for (auto _ : state) {
    context->beginFrame();
    s.screen->begin();
    s.screen->end();
    context->endFrame(s.screen->getTexture());
  }
  glFinish();
}

}  // namespace

BENCHMARK(BM_DrawImageOneTexture)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_DrawImageTwoTexturesAlternating)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PresentEmptyFrame)->Unit(benchmark::kMicrosecond)->Iterations(300);
BENCHMARK_MAIN();
