#pragma once
// What the input controller needs to know about the keyboard, the mouse and the
// joysticks. The SDL implementation (sdl/SdlDeviceState.h) reads the real devices;
// ScriptedDeviceState plays back values set by tests.

#include <cstdint>
#include <memory>

namespace QlPlatform {
class NativeWindow;
}

namespace QlInput {

// The window a controller serves, as QlFrame hands it out (getCurrentWindowHandle).
using WindowHandle = QlPlatform::NativeWindow*;

// Axis ranges of a joystick, as unsigned 32-bit values.
struct JoystickRange {
  std::uint32_t xMin = 0, xMax = 0, yMin = 0, yMax = 0;
};

// Current axis position and buttons (bit n = button n + 1).
struct JoystickPosition {
  std::uint32_t x = 0, y = 0, buttons = 0;
};

// Number of joysticks the key names can address ("joy0." to "joy3.").
constexpr int kJoystickCount = 4;

// One wheel notch as the platform reports it; only exact single notches count.
constexpr int kWheelDelta = 120;

class IDeviceState {
public:
  virtual ~IDeviceState() = default;
  // Whether the key or mouse button with this virtual-key code is down now.
  virtual bool isKeyDown(int virtualKey) = 0;
  // Cursor position in screen coordinates; false when it cannot be read.
  virtual bool getCursorPosition(std::int32_t& x, std::int32_t& y) = 0;
  // Converts screen coordinates to the client coordinates of window; false when
  // the window is unknown.
  virtual bool screenToClient(WindowHandle window, std::int32_t& x, std::int32_t& y) = 0;
  // Whether window is the one receiving keyboard input.
  virtual bool isWindowActive(WindowHandle window) = 0;
  // Running count of wheel notches: +1 for each notch away from the user, -1
  // for each towards the user. Wraps around in 32 bits.
  virtual std::int32_t getWheelCount() = 0;
  // Axis ranges of joystick 0..3; false when it is not connected.
  virtual bool getJoystickRange(int joystick, JoystickRange& range) = 0;
  // Current position and buttons; false when it cannot be read.
  virtual bool getJoystickPosition(int joystick, JoystickPosition& position) = 0;
};

// The notch count shared by the implementations: a wheel movement of exactly
// +120 or -120 moves it by one; any other amount is ignored.
class WheelCounter {
public:
  void onWheel(int delta) {
    if (delta == kWheelDelta) count_ += 1u;
    else if (delta == -kWheelDelta) count_ -= 1u;
  }
  std::int32_t count() const { return static_cast<std::int32_t>(count_); }
  void reset() { count_ = 0; }

private:
  std::uint32_t count_ = 0;
};

// The device state used by the key-name table and by controllers made without
// one: the SDL devices unless replaced with setDeviceState.
std::shared_ptr<IDeviceState> getDeviceState();
// Replaces the process-wide device state (an empty pointer restores the SDL one).
// Getters made earlier keep the device state they were made with.
void setDeviceState(std::shared_ptr<IDeviceState> state);

} // namespace QlInput
