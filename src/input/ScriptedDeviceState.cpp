#include "input/ScriptedDeviceState.h"

namespace QlInput {

namespace {
bool inRange(int joystick) { return joystick >= 0 && joystick < kJoystickCount; }
} // namespace

void ScriptedDeviceState::connectJoystick(int joystick, JoystickRange range) {
  if (!inRange(joystick)) return;
  auto& j = joysticks_[static_cast<std::size_t>(joystick)];
  j.connected = true;
  j.range = range;
  j.position = {range.xMin + (range.xMax - range.xMin) / 2,
                range.yMin + (range.yMax - range.yMin) / 2, 0};
}

void ScriptedDeviceState::disconnectJoystick(int joystick) {
  if (inRange(joystick)) joysticks_[static_cast<std::size_t>(joystick)].connected = false;
}

void ScriptedDeviceState::setJoystick(int joystick, std::uint32_t x, std::uint32_t y,
                                      std::uint32_t buttons) {
  if (inRange(joystick)) joysticks_[static_cast<std::size_t>(joystick)].position = {x, y, buttons};
}

bool ScriptedDeviceState::getCursorPosition(std::int32_t& x, std::int32_t& y) {
  if (!cursorKnown_) return false;
  x = cursorX_;
  y = cursorY_;
  return true;
}

bool ScriptedDeviceState::screenToClient(WindowHandle window, std::int32_t& x, std::int32_t& y) {
  auto it = windows_.find(window);
  if (window == nullptr || it == windows_.end()) return false;
  x -= it->second.first;
  y -= it->second.second;
  return true;
}

bool ScriptedDeviceState::getJoystickRange(int joystick, JoystickRange& range) {
  if (!inRange(joystick) || !joysticks_[static_cast<std::size_t>(joystick)].connected) return false;
  range = joysticks_[static_cast<std::size_t>(joystick)].range;
  return true;
}

bool ScriptedDeviceState::getJoystickPosition(int joystick, JoystickPosition& position) {
  if (!inRange(joystick) || !joysticks_[static_cast<std::size_t>(joystick)].connected) return false;
  position = joysticks_[static_cast<std::size_t>(joystick)].position;
  return true;
}

} // namespace QlInput
