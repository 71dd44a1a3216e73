#pragma once
// The Util table: the stopwatch and frame-rate limiter classes; the rest of Util (the shared
// limiter, fwait, serialize, the counters) is its prelude.
#include "script/Bound.h"
#include "script/Library.h"
#include "timer/Timer.h"

#include <cstdint>
#include <memory>

namespace Quillorane {

class ScTimer : public Bound {
public:
    ScTimer() : timer_(QlTimer::createTimer()) {}
    void set(std::uint32_t ms) { timer_->set(ms); }
    std::uint32_t get() const { return timer_->get(); }
    void stop() { timer_->stop(); }
    void start() { timer_->start(); }
    void reset() { timer_->reset(); }
    bool isStopped() const { return timer_->isStopped(); }

private:
    std::shared_ptr<QlTimer::ITimer> timer_;
};

class ScFps : public Bound {
public:
    explicit ScFps(std::uint32_t fps) : fps_(QlTimer::createFps(fps)) {}
    bool setFps(std::uint32_t fps) { return fps_->setFps(fps); }
    std::uint32_t getFps() const { return fps_->getFps(); }
    bool wait() { return fps_->wait(); }

private:
    std::shared_ptr<QlTimer::IFps> fps_;
};

class UtilLibrary : public Library {
public:
    bool onLoad(HSQUIRRELVM v) override;
};

}  // namespace Quillorane
