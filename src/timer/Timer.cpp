#include "timer/Timer.h"

#include "platform/Clock.h"

namespace QlTimer {

using QlPlatform::tickCount;

Timer::Timer() : startTick_(tickCount()) {}

bool Timer::set(std::uint32_t ms) {
  held_ = ms;
  startTick_ = tickCount() - ms;
  return true;
}

std::uint32_t Timer::get() const { return stopped_ ? held_ : tickCount() - startTick_; }

bool Timer::start() {
  if (!stopped_) return false;
  set(held_);
  stopped_ = false;
  return true;
}

bool Timer::stop() {
  if (stopped_) return false;
  held_ = get();
  stopped_ = true;
  return true;
}

Fps::Fps(std::uint32_t fps) : fps_(fps), base_(tickCount()) {}

bool Fps::setFps(std::uint32_t fps) {
  if (fps != fps_) {
    fps_ = fps;
    frame_ = 0;
    base_ = tickCount();
    lastElapsed_ = 0;
  }
  return true;
}

bool Fps::wait() {
  if (fps_ == 0) return false;
  std::uint32_t elapsed = tickCount() - base_;
  if (elapsed > lastElapsed_ + 200u) {
    // A stall: start a fresh schedule rather than rushing through the late frames.
    frame_ = 0;
    base_ = tickCount();
    elapsed = 0;
  }
  const auto due = static_cast<std::uint32_t>((static_cast<double>(frame_) + 1.0) * (1000.0 / fps_) + 0.5);
  while (tickCount() - base_ < due) QlPlatform::sleepMs(1);
  if (frame_ >= fps_ - 1u) {
    // A fresh base: the next wait measures from here, so the stall test compares with 0, not
    // with a reading from the old base (which would hide a stall right after this frame).
    frame_ = 0;
    base_ = tickCount();
    lastElapsed_ = 0;
  } else {
    ++frame_;
    lastElapsed_ = elapsed;
  }
  return due < elapsed;
}

std::shared_ptr<ITimer> createTimer() { return std::make_shared<Timer>(); }
std::shared_ptr<IFps> createFps(std::uint32_t fps) { return std::make_shared<Fps>(fps); }

}  // namespace QlTimer
