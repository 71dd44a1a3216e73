// Time of one intersects() call for each pair of shape kinds, over a pool of
// random shapes of game-like size so that both answers and every branch occur.
#include "collision/Shapes.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

using namespace QlCollision;

namespace {

// `spread` is the range of positions: 96 gives a mix of near and far pairs,
// 8 makes almost every pair overlap so the full tests run.
std::shared_ptr<IShape> randomShape(int kind, int spread, std::mt19937& rng) {
  std::uniform_int_distribution<int> pos(0, spread), size(0, 64);
  int x = pos(rng), y = pos(rng);
  switch (kind) {
  case kPoint: return createPoint(x, y);
  case kLine: return createLine(x, y, x + size(rng) - 32, y + size(rng) - 32);
  case kCircle: return createCircle(x, y, size(rng));
  default: return createRectangle(x, y, x + size(rng), y + size(rng));
  }
}

void pairBench(benchmark::State& state, int ka, int kb, int spread) {
  constexpr int kPool = 1024;
  std::mt19937 rng(7);
  std::vector<std::shared_ptr<IShape>> as, bs;
  for (int i = 0; i < kPool; ++i) {
    as.push_back(randomShape(ka, spread, rng));
    bs.push_back(randomShape(kb, spread, rng));
  }
  std::size_t i = 0;
  long hits = 0;
  for (auto _ : state) {
    hits += intersects(as[i], bs[i]);
    i = (i + 1) & (kPool - 1);
  }
  benchmark::DoNotOptimize(hits);
  state.counters["hit%"] = 100.0 * static_cast<double>(hits) / static_cast<double>(state.iterations());
}

} // namespace

BENCHMARK_CAPTURE(pairBench, point_point, kPoint, kPoint, 96);
BENCHMARK_CAPTURE(pairBench, point_point_dense, kPoint, kPoint, 8);
BENCHMARK_CAPTURE(pairBench, point_line, kPoint, kLine, 96);
BENCHMARK_CAPTURE(pairBench, point_line_dense, kPoint, kLine, 8);
BENCHMARK_CAPTURE(pairBench, point_circle, kPoint, kCircle, 96);
BENCHMARK_CAPTURE(pairBench, point_circle_dense, kPoint, kCircle, 8);
BENCHMARK_CAPTURE(pairBench, point_rectangle, kPoint, kRectangle, 96);
BENCHMARK_CAPTURE(pairBench, point_rectangle_dense, kPoint, kRectangle, 8);
BENCHMARK_CAPTURE(pairBench, line_line, kLine, kLine, 96);
BENCHMARK_CAPTURE(pairBench, line_line_dense, kLine, kLine, 8);
BENCHMARK_CAPTURE(pairBench, line_circle, kLine, kCircle, 96);
BENCHMARK_CAPTURE(pairBench, line_circle_dense, kLine, kCircle, 8);
BENCHMARK_CAPTURE(pairBench, line_rectangle, kLine, kRectangle, 96);
BENCHMARK_CAPTURE(pairBench, line_rectangle_dense, kLine, kRectangle, 8);
BENCHMARK_CAPTURE(pairBench, circle_circle, kCircle, kCircle, 96);
BENCHMARK_CAPTURE(pairBench, circle_circle_dense, kCircle, kCircle, 8);
BENCHMARK_CAPTURE(pairBench, circle_rectangle, kCircle, kRectangle, 96);
BENCHMARK_CAPTURE(pairBench, circle_rectangle_dense, kCircle, kRectangle, 8);
BENCHMARK_CAPTURE(pairBench, rectangle_rectangle, kRectangle, kRectangle, 96);
BENCHMARK_CAPTURE(pairBench, rectangle_rectangle_dense, kRectangle, kRectangle, 8);

BENCHMARK_MAIN();
