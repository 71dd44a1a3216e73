#pragma once
#include <cstdint>
#include <memory>

// Stopwatch and frame-rate limiter on the runtime's millisecond clock (QlPlatform::tickCount),
// so a virtual-clock run paces frames deterministically.
namespace QlTimer {

class ITimer {
 public:
  virtual ~ITimer() = default;
  virtual bool isStopped() const = 0;
  virtual bool set(std::uint32_t ms) = 0;
  virtual std::uint32_t get() const = 0;
  virtual bool start() = 0;
  virtual bool stop() = 0;
  virtual void reset() = 0;
};

class IFps {
 public:
  virtual ~IFps() = default;
  virtual bool setFps(std::uint32_t fps) = 0;
  virtual std::uint32_t getFps() const = 0;
  // Sleeps until the next frame is due; true when the frame was already late on entry.
  virtual bool wait() = 0;
};

// A pausable millisecond stopwatch; a new one is running and reads 0.
class Timer : public ITimer {
 public:
  Timer();
  bool isStopped() const override { return stopped_; }
  bool set(std::uint32_t ms) override;
  std::uint32_t get() const override;
  bool start() override;
  bool stop() override;
  void reset() override { set(0); }

 private:
  std::uint32_t startTick_;
  std::uint32_t held_ = 0;
  bool stopped_ = false;
};

// Frame-rate limiter: due times are whole milliseconds after a base tick, rounded per frame,
// re-anchored every fps frames and after a stall of more than 200 ms.
class Fps : public IFps {
 public:
  explicit Fps(std::uint32_t fps);
  bool setFps(std::uint32_t fps) override;
  std::uint32_t getFps() const override { return fps_; }
  bool wait() override;

  // Schedule state, for diagnostics.
  std::uint32_t frameIndex() const { return frame_; }
  std::uint32_t baseTick() const { return base_; }

 private:
  std::uint32_t fps_;
  std::uint32_t frame_ = 0;
  std::uint32_t base_;
  std::uint32_t lastElapsed_ = 0;
};

std::shared_ptr<ITimer> createTimer();
std::shared_ptr<IFps> createFps(std::uint32_t fps);

}  // namespace QlTimer
