#pragma once
// The real devices through SDL2: keyboard and mouse state, the cursor, keyboard
// focus, wheel events counted as the event pump delivers them, and joysticks.

#include "input/DeviceState.h"

#include <SDL2/SDL_events.h>
#include <SDL2/SDL_joystick.h>
#include <SDL2/SDL_scancode.h>

#include <array>
#include <cstdint>

namespace QlInput::Sdl {

// The physical keys that report a virtual-key code, on the Japanese 106/109-key
// layout the key names follow ("key.at" is the key right of P, "key.yen" the key
// left of Backspace, "key.backslash" the key left of right Shift, ...).
struct ScancodeSet {
  std::array<SDL_Scancode, 3> codes{};
  int count = 0;
};
ScancodeSet scancodesForVirtualKey(int virtualKey);

// Joystick axes reach the controller on a 0..65535 scale (SDL's -32768..32767
// shifted up), the range every joystick reports.
constexpr std::uint32_t kAxisMax = 65535;

class SdlDeviceState final : public IDeviceState {
public:
  // Needs no window and no video subsystem. Registers with the platform event
  // pump so that wheel events reach handleEvent.
  SdlDeviceState();
  ~SdlDeviceState() override;
  SdlDeviceState(const SdlDeviceState&) = delete;
  SdlDeviceState& operator=(const SdlDeviceState&) = delete;

  // Called by the event pump for every event; counts mouse-wheel notches.
  void handleEvent(const SDL_Event& event);

  bool isKeyDown(int virtualKey) override;
  bool getCursorPosition(std::int32_t& x, std::int32_t& y) override;
  bool screenToClient(WindowHandle window, std::int32_t& x, std::int32_t& y) override;
  bool isWindowActive(WindowHandle window) override;
  std::int32_t getWheelCount() override { return wheel_.count(); }
  bool getJoystickRange(int joystick, JoystickRange& range) override;
  bool getJoystickPosition(int joystick, JoystickPosition& position) override;

private:
  bool ensureJoysticks();
  SDL_Joystick* open(int joystick);
  void close(int joystick);

  WheelCounter wheel_;
  unsigned observer_ = 0;
  bool joystickInit_ = false;
  std::uint32_t lastJoystickUpdate_ = 0;
  std::array<SDL_Joystick*, kJoystickCount> joysticks_{};
};

} // namespace QlInput::Sdl
