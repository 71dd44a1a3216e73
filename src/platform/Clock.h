#pragma once
#include <cstdint>

// Millisecond clock and sleeping for the whole runtime.
//
// The clock is monotonic and wraps as an unsigned 32-bit count of milliseconds, so every
// difference is taken in unsigned 32-bit arithmetic. In virtual-clock mode time stands still
// except when the runtime sleeps: a sleep adds its duration to the clock and returns at once,
// which makes headless runs deterministic and fast.
namespace QlPlatform {

// Milliseconds since an arbitrary start, wrapping at 2^32.
std::uint32_t tickCount();

// Sleeps for ms milliseconds (nanosleep, resumed after signals). In virtual-clock mode the
// clock advances by ms and the call returns at once.
void sleepMs(std::uint32_t ms);

// Switches virtual-clock mode on or off. Switching on freezes the clock at its current reading;
// switching off resumes the real clock from where the virtual one stands (no jump backwards).
void setVirtualClock(bool on);
bool isVirtualClock();

}  // namespace QlPlatform
