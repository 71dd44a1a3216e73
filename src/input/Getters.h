#pragma once
// Getters: each reads one value from the devices.

#include "input/DeviceState.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace QlInput {

class IGetter {
public:
  virtual ~IGetter() = default;
  virtual std::int32_t get() = 0;
};

// Axis of a cursor getter.
enum CursorAxis : int { kCursorX = 0, kCursorY = 1 };

// Modes of a wheel getter: notches in either direction (towards the user
// positive), only notches away from the user, only notches towards the user.
enum WheelMode : int { kWheelBoth = 0, kWheelAway = 1, kWheelTowards = 2 };

// Codes of a joystick getter: 0 left, 1 up, 2 right, 3 down, 4..15 buttons 1..12.
enum JoystickCode : int {
  kJoyLeft = 0,
  kJoyUp = 1,
  kJoyRight = 2,
  kJoyDown = 3,
  kJoyButton1 = 4,
  kJoyButton12 = 15,
};

using DevicePtr = std::shared_ptr<IDeviceState>;
// Gives the window whose client coordinates a cursor getter reports, at each call.
using WindowSource = std::function<WindowHandle()>;

// 1 while the key is down, else 0; a code of -1 always gives 0.
std::shared_ptr<IGetter> createKeyboardGetter(DevicePtr device, int virtualKey);
// The same rule for the mouse buttons (codes 1, 2, 4, 5, 6).
std::shared_ptr<IGetter> createMouseButtonGetter(DevicePtr device, int virtualKey);
// Cursor x or y in screen coordinates; -1 when it cannot be read or the axis is
// neither 0 nor 1.
std::shared_ptr<IGetter> createMouseCursorGetter(DevicePtr device, int axis);
// Cursor x or y in the client coordinates of a fixed window.
std::shared_ptr<IGetter> createMouseCursorGetter(DevicePtr device, int axis, WindowHandle window);
// Cursor x or y in the client coordinates of whatever window `source` names at
// each call (the main window for "mouse.x" and "mouse.y").
std::shared_ptr<IGetter> createMouseCursorGetter(DevicePtr device, int axis, WindowSource source);
// Wheel notches since this getter's previous call (or its creation).
std::shared_ptr<IGetter> createMouseWheelGetter(DevicePtr device, int mode);
// Joystick 0..3 direction or button; reads the axis ranges once, at creation.
std::shared_ptr<IGetter> createJoystickButtonGetter(DevicePtr device, int joystick, int code);

namespace Core {

class KeyboardGetter : public IGetter {
public:
  KeyboardGetter(DevicePtr device, int virtualKey)
      : device_(std::move(device)), key_(virtualKey) {}
  std::int32_t get() override;

private:
  DevicePtr device_;
  int key_;
};

class MouseButtonGetter final : public KeyboardGetter {
public:
  using KeyboardGetter::KeyboardGetter;
};

class MouseCursorGetter final : public IGetter {
public:
  MouseCursorGetter(DevicePtr device, int axis, WindowSource window)
      : device_(std::move(device)), axis_(axis), window_(std::move(window)) {}
  std::int32_t get() override;

private:
  DevicePtr device_;
  int axis_;
  WindowSource window_;  // empty: screen coordinates
};

class MouseWheelGetter final : public IGetter {
public:
  MouseWheelGetter(DevicePtr device, int mode);
  std::int32_t get() override;

private:
  DevicePtr device_;
  int mode_;
  std::int32_t last_;
};

class JoystickButtonGetter final : public IGetter {
public:
  JoystickButtonGetter(DevicePtr device, int joystick, int code);
  std::int32_t get() override;
  bool isValid() const { return valid_; }
  std::uint32_t leftThreshold() const { return left_; }
  std::uint32_t upThreshold() const { return up_; }
  std::uint32_t rightThreshold() const { return right_; }
  std::uint32_t downThreshold() const { return down_; }

private:
  DevicePtr device_;
  int joystick_;
  int code_;
  bool valid_ = false;
  std::uint32_t left_ = 0, up_ = 0, right_ = 0, down_ = 0;
};

} // namespace Core
} // namespace QlInput
