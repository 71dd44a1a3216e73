// The cost of calling a bound native method with two integer arguments from a script loop,
// beside the cost of calling an empty script function in the same loop.
#include "ScriptLoop.h"
#include "script/Binding.h"
#include "script/ScriptText.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace {

struct ScAdder : Quillorane::Bound {
    int total = 0;
    int add(int a, int b) {
        total += a + b;
        return total;
    }
    int pick1(int a) { return total += a; }
    int pick2(int a, int b) { return total += a * b; }
};

// ns per iteration of a loop running body, with an Adder `o` and an empty function `f`.
double timeLoop(HSQUIRRELVM v, const std::u16string& body, int n) {
    return QlBench::timeScriptLoop(v, u"local o = Bench.Adder(); local f = function(a, b) {}", body, n);
}

}  // namespace

int main() {
    using namespace Quillorane;
    HSQUIRRELVM v = sq_open(1024);
    {
        Bind::Table bench(v);
        bench.add(Bind::Class<ScAdder>(v, u"Adder")
                      .ctor()
                      .method(u"add", &ScAdder::add)
                      .overload(u"pick", &ScAdder::pick1)
                      .overload(u"pick", &ScAdder::pick2));
        bench.store(u"Bench");
    }
    constexpr int n = 5'000'000;
    timeLoop(v, u"o.add(i, 2)", n / 10);  // warm-up
    double best[4] = {1e9, 1e9, 1e9, 1e9};
    for (int round = 0; round < 5; ++round) {
        best[0] = std::min(best[0], timeLoop(v, u"o.add(i, 2)", n));
        best[1] = std::min(best[1], timeLoop(v, u"f(i, 2)", n));
        best[2] = std::min(best[2], timeLoop(v, u"{}", n));
        best[3] = std::min(best[3], timeLoop(v, u"o.pick(i, 2)", n));
    }
    std::printf("bound method, two integers:   %6.1f ns per loop iteration\n", best[0]);
    std::printf("empty script function:        %6.1f ns per loop iteration\n", best[1]);
    std::printf("empty loop:                   %6.1f ns per loop iteration\n", best[2]);
    std::printf("overloaded method (2 of 1|2): %6.1f ns per loop iteration\n", best[3]);
    Bind::releaseClasses(v);
    sq_close(v);
    return 0;
}
