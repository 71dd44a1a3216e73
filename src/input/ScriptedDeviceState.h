#pragma once
// A device state whose keys, cursor, active window, wheel and joysticks are set
// by the caller: tests and recorded-input playback drive the controller with it.

#include "input/DeviceState.h"

#include <array>
#include <map>
#include <set>

namespace QlInput {

class ScriptedDeviceState final : public IDeviceState {
public:
  // Keys and mouse buttons by virtual-key code.
  void press(int virtualKey) { down_.insert(virtualKey); }
  void release(int virtualKey) { down_.erase(virtualKey); }
  void releaseAll() { down_.clear(); }

  // Cursor in screen coordinates; unset, the cursor cannot be read.
  void setCursor(std::int32_t x, std::int32_t y) {
    cursorKnown_ = true;
    cursorX_ = x;
    cursorY_ = y;
  }
  void clearCursor() { cursorKnown_ = false; }
  // Client origin of a window in screen coordinates; windows never placed are unknown.
  void placeWindow(WindowHandle window, std::int32_t x, std::int32_t y) {
    windows_[window] = {x, y};
  }

  void setActiveWindow(WindowHandle window) { active_ = window; }

  // A wheel movement as the platform reports it (+120 is one notch away from the user).
  void wheel(int delta) { wheel_.onWheel(delta); }

  // Connects joystick 0..3 with the given ranges; its position starts at rest.
  void connectJoystick(int joystick, JoystickRange range);
  void disconnectJoystick(int joystick);
  void setJoystick(int joystick, std::uint32_t x, std::uint32_t y, std::uint32_t buttons);

  bool isKeyDown(int virtualKey) override { return down_.count(virtualKey) != 0; }
  bool getCursorPosition(std::int32_t& x, std::int32_t& y) override;
  bool screenToClient(WindowHandle window, std::int32_t& x, std::int32_t& y) override;
  bool isWindowActive(WindowHandle window) override { return window != nullptr && window == active_; }
  std::int32_t getWheelCount() override { return wheel_.count(); }
  bool getJoystickRange(int joystick, JoystickRange& range) override;
  bool getJoystickPosition(int joystick, JoystickPosition& position) override;

private:
  struct Joystick {
    bool connected = false;
    JoystickRange range;
    JoystickPosition position;
  };
  std::set<int> down_;
  bool cursorKnown_ = false;
  std::int32_t cursorX_ = 0, cursorY_ = 0;
  std::map<WindowHandle, std::pair<std::int32_t, std::int32_t>> windows_;
  WindowHandle active_ = nullptr;
  WheelCounter wheel_;
  std::array<Joystick, kJoystickCount> joysticks_{};
};

} // namespace QlInput
