// CPU cost of 2D drawing through a canvas, and of presenting an empty frame.
// Run headless: SDL_VIDEODRIVER=offscreen ./bench_canvas
//
// BM_Canvas* measure the canvas alone: its engine passes everything to GL except the draw
// calls themselves, which it drops, so no driver work is counted. BM_Frame* draw for real
// and report the main thread's whole frame (canvas plus the driver's share of each draw,
// "main_ms") and the time GL then needs to finish the frame ("gpu_ms": llvmpipe rasterising
// on its own threads).
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
#include "tests/graphics/ForwardingEngine.h"
#include "platform/Video.h"

using namespace QlGraphics;

namespace {

constexpr int kQuads = 100000;

// Everything reaches GL but the draws.
class DropDraws : public QlTest::ForwardingEngine {
 public:
  using ForwardingEngine::ForwardingEngine;
  bool draw(int, std::uint32_t, std::uint32_t) override { return true; }
  bool drawIndexed(int, std::uint32_t, std::uint32_t) override { return true; }
};

struct Setup {
  std::shared_ptr<QlPlatform::NativeWindow> window;
  std::shared_ptr<Gl::Engine> engine;
  std::shared_ptr<ICanvas> screen;
  std::shared_ptr<ICanvas> canvasOnly;  // the same drawing with draw calls dropped
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
    canvasOnly = createCanvas(std::make_shared<DropDraws>(engine), 640, 480);
    // Small sprites keep the rasteriser's share of a frame small; the canvas's cost does not
    // depend on the sprite size.
    t1 = engine->createTexture(8, 8, TextureFormat::Argb);
    t2 = engine->createTexture(8, 8, TextureFormat::Argb);
    ok = screen && canvasOnly && t1 && t2;
  }
};

Setup& setup() {
  static Setup s;
  return s;
}

// The shared set-up, or null after marking the benchmark skipped when there is no GL.
Setup* setupFor(benchmark::State& state) {
  Setup& s = setup();
  if (s.ok) return &s;
  state.SkipWithError("no OpenGL 3.3 context");
  return nullptr;
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

void drawFrame(ICanvas& canvas, const IImage& a, const IImage& b, bool alternate) {
  canvas.begin();
  for (int i = 0; i < kQuads; ++i) {
    const IImage* img = alternate && (i & 1) ? &b : &a;
    canvas.drawImage(img, Destination{0, (i * 7) % 600, (i * 13) % 440});
  }
}

void setPerQuad(benchmark::State& state, const char* name, double ms, int frames) {
  state.counters[name] = ms * 1e6 / (static_cast<double>(frames) * kQuads);
}

// The canvas's own cost per drawImage: the drawing loop and `end`, with no driver work.
void canvasOnly(benchmark::State& state, bool alternate) {
  Setup* ready = setupFor(state);
  if (ready == nullptr) return;
  Setup& s = *ready;
  Sprite a(s.t1), b(s.t2);
  // The first frame grows the batch buffer to its working size; later frames reuse it.
  double ms = threadMs();
  drawFrame(*s.canvasOnly, a, b, alternate);
  s.canvasOnly->end();
  state.counters["first_frame_ms"] = threadMs() - ms;
  int frames = 0;
  ms = 0;
  for (auto _ : state) {
    const double c0 = threadMs();
    drawFrame(*s.canvasOnly, a, b, alternate);
    s.canvasOnly->end();
    ms += threadMs() - c0;
    ++frames;
  }
  setPerQuad(state, "thread_ns_per_quad", ms, frames);
}

// A whole frame through GL: main-thread CPU (canvas and driver) and the time to finish.
void throughGl(benchmark::State& state, bool alternate) {
  Setup* ready = setupFor(state);
  if (ready == nullptr) return;
  Setup& s = *ready;
  Sprite a(s.t1), b(s.t2);
  drawFrame(*s.screen, a, b, alternate);
  s.screen->end();
  glFinish();
  double mainMs = 0, gpuMs = 0;
  int frames = 0;
  for (auto _ : state) {
    const double c0 = threadMs();
    drawFrame(*s.screen, a, b, alternate);
    s.screen->end();
    mainMs += threadMs() - c0;
    state.PauseTiming();
    const double t0 = nowMs();
    glFinish();
    gpuMs += nowMs() - t0;
    ++frames;
    state.ResumeTiming();
  }
  state.counters["main_ms"] = mainMs / frames;
  state.counters["gpu_ms"] = gpuMs / frames;
  setPerQuad(state, "main_ns_per_quad", mainMs, frames);
}

void BM_CanvasOneTexture(benchmark::State& state) { canvasOnly(state, false); }
void BM_CanvasTwoTexturesAlternating(benchmark::State& state) { canvasOnly(state, true); }
void BM_FrameOneTexture(benchmark::State& state) { throughGl(state, false); }
void BM_FrameTwoTexturesAlternating(benchmark::State& state) { throughGl(state, true); }

void BM_PresentEmptyFrame(benchmark::State& state) {
  Setup* ready = setupFor(state);
  if (ready == nullptr) return;
  Setup& s = *ready;
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

BENCHMARK(BM_CanvasOneTexture)->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK(BM_CanvasTwoTexturesAlternating)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_FrameOneTexture)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_FrameTwoTexturesAlternating)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PresentEmptyFrame)->Unit(benchmark::kMicrosecond)->Iterations(300);
BENCHMARK_MAIN();
