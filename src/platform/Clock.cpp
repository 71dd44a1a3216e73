#include "platform/Clock.h"

#include <cerrno>
#include <ctime>

namespace QlPlatform {
namespace {

std::uint64_t realMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::uint64_t>(ts.tv_sec) * 1000u + static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
}

struct ClockState {
  bool virtualMode = false;
  std::uint64_t virtualNow = 0;  // reading while in virtual mode
  std::int64_t offset = 0;       // added to the real clock so mode switches never jump back
};

ClockState& state() {
  static ClockState s;
  return s;
}

std::uint64_t nowMs() {
  ClockState& s = state();
  if (s.virtualMode) return s.virtualNow;
  return static_cast<std::uint64_t>(static_cast<std::int64_t>(realMs()) + s.offset);
}

}  // namespace

std::uint32_t tickCount() { return static_cast<std::uint32_t>(nowMs()); }

void sleepMs(std::uint32_t ms) {
  ClockState& s = state();
  if (s.virtualMode) {
    s.virtualNow += ms;
    return;
  }
  timespec req{static_cast<time_t>(ms / 1000u), static_cast<long>(ms % 1000u) * 1000000L};
  timespec rem{};
  while (nanosleep(&req, &rem) != 0 && errno == EINTR) req = rem;
}

void setVirtualClock(bool on) {
  ClockState& s = state();
  if (on == s.virtualMode) return;
  if (on) {
    s.virtualNow = nowMs();
    s.virtualMode = true;
  } else {
    s.offset = static_cast<std::int64_t>(s.virtualNow) - static_cast<std::int64_t>(realMs());
    s.virtualMode = false;
  }
}

bool isVirtualClock() { return state().virtualMode; }

}  // namespace QlPlatform
