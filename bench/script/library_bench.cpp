// The cost of the script libraries' hot calls from a script loop: Collision.intersects of two
// rectangles (beside the same native call) and Math.Random.nextInt, each beside the empty loop.
#include "ScriptLoop.h"
#include "collision/Shapes.h"
#include "script/Binding.h"
#include "script/CollisionLibrary.h"
#include "script/MathLibrary.h"
#include "script/ScriptText.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

namespace {

double nativeIntersects(int n) {
    auto a = QlCollision::createRectangle(0, 0, 10, 10), b = QlCollision::createRectangle(5, 5, 20, 20);
    std::shared_ptr<QlCollision::IShape> sa = a, sb = b;
    volatile int hits = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < n; ++i) {
        b->setLeft(i & 15);  // keeps the call from being hoisted out of the loop
        hits = hits + QlCollision::intersects(sa, sb);
    }
    const auto end = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::nano>(end - start).count() / n;
}

}  // namespace

int main() {
    using namespace Quillorane;
    HSQUIRRELVM v = sq_open(1024);
    MathLibrary math;
    CollisionLibrary collision;
    if (!math.onLoad(v) || !collision.onLoad(v)) {
        std::fprintf(stderr, "the libraries did not load\n");
        return 1;
    }
    const std::u16string rects = u"local a = Collision.Rectangle(0, 0, 10, 10), b = Collision.Rectangle(5, 5, 20, 20)";
    const std::u16string random = u"local r = Math.Random(1)";
    constexpr int n = 2'000'000;
    QlBench::timeScriptLoop(v, rects, u"hits += Collision.intersects(a, b)", n / 10);  // warm-up
    double best[5] = {1e9, 1e9, 1e9, 1e9, 1e9};
    for (int round = 0; round < 5; ++round) {
        best[0] = std::min(best[0], QlBench::timeScriptLoop(v, rects, u"hits += Collision.intersects(a, b)", n));
        best[1] = std::min(best[1], QlBench::timeScriptLoop(v, random, u"hits += r.nextInt(0, 99)", n));
        best[2] = std::min(best[2], QlBench::timeScriptLoop(v, random, u"hits += r.nextInt()", n));
        best[3] = std::min(best[3], QlBench::timeScriptLoop(v, rects, u"hits += 1", n));
        best[4] = std::min(best[4], nativeIntersects(n * 10));
    }
    std::printf("Collision.intersects(rect, rect): %6.1f ns per loop iteration\n", best[0]);
    std::printf("Random.nextInt(0, 99):            %6.1f ns per loop iteration\n", best[1]);
    std::printf("Random.nextInt():                 %6.1f ns per loop iteration\n", best[2]);
    std::printf("loop with hits += 1:              %6.1f ns per loop iteration\n", best[3]);
    std::printf("native intersects(rect, rect):    %6.1f ns per call\n", best[4]);
    Bind::releaseClasses(v);
    sq_close(v);
    return 0;
}
