#pragma once
// An engine that forwards to another and adds up the time spent in its indexed draw calls, so
// a benchmark can tell the runtime's own CPU time from the driver's.

#include <chrono>

#include "tests/graphics/ForwardingEngine.h"

namespace QlBench {

class TimingEngine : public QlTest::ForwardingEngine {
public:
    using ForwardingEngine::ForwardingEngine;
    double drawSeconds = 0;

    bool drawIndexed(int p, std::uint32_t c, std::uint32_t s) override
    {
        const auto t0 = std::chrono::steady_clock::now();
        const bool ok = e_->drawIndexed(p, c, s);
        drawSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        return ok;
    }
};

}  // namespace QlBench
