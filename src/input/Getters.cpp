#include "input/Getters.h"

namespace QlInput {
namespace Core {

std::int32_t KeyboardGetter::get() {
  if (key_ == -1 || !device_) return 0;
  return device_->isKeyDown(key_) ? 1 : 0;
}

std::int32_t MouseCursorGetter::get() {
  if (!device_ || (axis_ != kCursorX && axis_ != kCursorY)) return -1;
  std::int32_t x = 0, y = 0;
  if (!device_->getCursorPosition(x, y)) return -1;
  if (window_ && !device_->screenToClient(window_(), x, y)) return -1;
  return axis_ == kCursorX ? x : y;
}

MouseWheelGetter::MouseWheelGetter(DevicePtr device, int mode)
    : device_(std::move(device)), mode_(mode), last_(device_ ? device_->getWheelCount() : 0) {}

std::int32_t MouseWheelGetter::get() {
  if (!device_) return 0;
  const std::int32_t now = device_->getWheelCount();
  // Notches towards the user since the previous call are positive.
  const auto d = static_cast<std::int32_t>(static_cast<std::uint32_t>(last_) -
                                           static_cast<std::uint32_t>(now));
  last_ = now;
  switch (mode_) {
  case kWheelBoth: return d;
  case kWheelAway: return d <= 0 ? static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(d)) : 0;
  case kWheelTowards: return d >= 0 ? d : 0;
  default: return 0;
  }
}

JoystickButtonGetter::JoystickButtonGetter(DevicePtr device, int joystick, int code)
    : device_(std::move(device)), joystick_(joystick), code_(code) {
  JoystickRange r;
  if (!device_ || joystick < 0 || joystick >= kJoystickCount ||
      !device_->getJoystickRange(joystick, r))
    return;
  valid_ = true;
  // The one-third and two-thirds points of each axis, with truncating division.
  // Computed in 64 bits so that ranges near the top of the 32-bit scale work.
  auto third = [](std::uint32_t near, std::uint32_t far) {
    return static_cast<std::uint32_t>((2ull * near + far) / 3u);
  };
  left_ = third(r.xMin, r.xMax);
  right_ = third(r.xMax, r.xMin);
  up_ = third(r.yMin, r.yMax);
  down_ = third(r.yMax, r.yMin);
}

std::int32_t JoystickButtonGetter::get() {
  if (!valid_) return 0;
  JoystickPosition p;
  if (!device_->getJoystickPosition(joystick_, p)) {
    valid_ = false;  // stays silent until bound again
    return 0;
  }
  switch (code_) {
  case kJoyLeft: return p.x < left_ ? 1 : 0;
  case kJoyUp: return p.y < up_ ? 1 : 0;
  case kJoyRight: return p.x > right_ ? 1 : 0;
  case kJoyDown: return p.y > down_ ? 1 : 0;
  default:
    if (code_ < kJoyButton1 || code_ > kJoyButton12) return 0;
    return (p.buttons >> (code_ - kJoyButton1)) & 1u ? 1 : 0;
  }
}

} // namespace Core

std::shared_ptr<IGetter> createKeyboardGetter(DevicePtr device, int virtualKey) {
  return std::make_shared<Core::KeyboardGetter>(std::move(device), virtualKey);
}

std::shared_ptr<IGetter> createMouseButtonGetter(DevicePtr device, int virtualKey) {
  return std::make_shared<Core::MouseButtonGetter>(std::move(device), virtualKey);
}

std::shared_ptr<IGetter> createMouseCursorGetter(DevicePtr device, int axis) {
  return std::make_shared<Core::MouseCursorGetter>(std::move(device), axis, WindowSource{});
}

std::shared_ptr<IGetter> createMouseCursorGetter(DevicePtr device, int axis, WindowHandle window) {
  return std::make_shared<Core::MouseCursorGetter>(std::move(device), axis,
                                                   [window] { return window; });
}

std::shared_ptr<IGetter> createMouseCursorGetter(DevicePtr device, int axis, WindowSource source) {
  if (!source) source = [] { return WindowHandle{}; };
  return std::make_shared<Core::MouseCursorGetter>(std::move(device), axis, std::move(source));
}

std::shared_ptr<IGetter> createMouseWheelGetter(DevicePtr device, int mode) {
  return std::make_shared<Core::MouseWheelGetter>(std::move(device), mode);
}

std::shared_ptr<IGetter> createJoystickButtonGetter(DevicePtr device, int joystick, int code) {
  return std::make_shared<Core::JoystickButtonGetter>(std::move(device), joystick, code);
}

} // namespace QlInput
