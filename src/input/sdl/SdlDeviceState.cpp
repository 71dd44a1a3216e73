#include "input/sdl/SdlDeviceState.h"

#include "platform/Events.h"
#include "platform/Video.h"

#include <SDL2/SDL.h>

#include <cstring>
#include <initializer_list>

namespace QlInput::Sdl {

namespace {

ScancodeSet set(std::initializer_list<SDL_Scancode> codes) {
  ScancodeSet s;
  for (SDL_Scancode c : codes)
    if (s.count < static_cast<int>(s.codes.size())) s.codes[static_cast<std::size_t>(s.count++)] = c;
  return s;
}

SDL_Scancode offset(SDL_Scancode base, int n) {
  return static_cast<SDL_Scancode>(static_cast<int>(base) + n);
}

// Mouse buttons by virtual-key code; 0 for any other code.
Uint32 mouseMask(int virtualKey) {
  switch (virtualKey) {
  case 0x01: return SDL_BUTTON_LMASK;
  case 0x02: return SDL_BUTTON_RMASK;
  case 0x04: return SDL_BUTTON_MMASK;
  case 0x05: return SDL_BUTTON_X1MASK;
  case 0x06: return SDL_BUTTON_X2MASK;
  default: return 0;
  }
}

bool headlessVideo() {
  const char* driver = SDL_GetCurrentVideoDriver();
  return driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
}

} // namespace

ScancodeSet scancodesForVirtualKey(int vk) {
  if (vk >= 0x31 && vk <= 0x39) return set({offset(SDL_SCANCODE_1, vk - 0x31)});
  if (vk >= 0x41 && vk <= 0x5A) return set({offset(SDL_SCANCODE_A, vk - 0x41)});
  if (vk >= 0x61 && vk <= 0x69) return set({offset(SDL_SCANCODE_KP_1, vk - 0x61)});
  if (vk >= 0x70 && vk <= 0x7B) return set({offset(SDL_SCANCODE_F1, vk - 0x70)});
  if (vk >= 0x7C && vk <= 0x87) return set({offset(SDL_SCANCODE_F13, vk - 0x7C)});
  switch (vk) {
  case 0x08: return set({SDL_SCANCODE_BACKSPACE});
  case 0x09: return set({SDL_SCANCODE_TAB});
  case 0x0C: return set({SDL_SCANCODE_CLEAR});
  // Both Enter keys report the main Enter code.
  case 0x0D: return set({SDL_SCANCODE_RETURN, SDL_SCANCODE_KP_ENTER});
  case 0x10: return set({SDL_SCANCODE_LSHIFT, SDL_SCANCODE_RSHIFT});
  case 0x11: return set({SDL_SCANCODE_LCTRL, SDL_SCANCODE_RCTRL});
  case 0x12: return set({SDL_SCANCODE_LALT, SDL_SCANCODE_RALT});
  case 0x13: return set({SDL_SCANCODE_PAUSE});
  case 0x14: return set({SDL_SCANCODE_CAPSLOCK});
  case 0x15: return set({SDL_SCANCODE_INTERNATIONAL2, SDL_SCANCODE_LANG1});  // kana
  case 0x19: return set({SDL_SCANCODE_GRAVE, SDL_SCANCODE_LANG5});           // zenkaku/hankaku
  case 0x1B: return set({SDL_SCANCODE_ESCAPE});
  case 0x1C: return set({SDL_SCANCODE_INTERNATIONAL4});  // henkan
  case 0x1D: return set({SDL_SCANCODE_INTERNATIONAL5});  // muhenkan
  case 0x20: return set({SDL_SCANCODE_SPACE});
  case 0x21: return set({SDL_SCANCODE_PAGEUP});
  case 0x22: return set({SDL_SCANCODE_PAGEDOWN});
  case 0x23: return set({SDL_SCANCODE_END});
  case 0x24: return set({SDL_SCANCODE_HOME});
  case 0x25: return set({SDL_SCANCODE_LEFT});
  case 0x26: return set({SDL_SCANCODE_UP});
  case 0x27: return set({SDL_SCANCODE_RIGHT});
  case 0x28: return set({SDL_SCANCODE_DOWN});
  case 0x2C: return set({SDL_SCANCODE_PRINTSCREEN});
  case 0x2D: return set({SDL_SCANCODE_INSERT});
  case 0x2E: return set({SDL_SCANCODE_DELETE});
  case 0x2F: return set({SDL_SCANCODE_HELP});
  case 0x30: return set({SDL_SCANCODE_0});
  case 0x5B: return set({SDL_SCANCODE_LGUI});
  case 0x5C: return set({SDL_SCANCODE_RGUI});
  case 0x5D: return set({SDL_SCANCODE_APPLICATION});
  case 0x5F: return set({SDL_SCANCODE_SLEEP});
  case 0x60: return set({SDL_SCANCODE_KP_0});
  case 0x6A: return set({SDL_SCANCODE_KP_MULTIPLY});
  case 0x6B: return set({SDL_SCANCODE_KP_PLUS});
  // The keypad's separator key where there is one, and the keypad Enter key.
  case 0x6C: return set({SDL_SCANCODE_KP_ENTER, SDL_SCANCODE_KP_COMMA});
  case 0x6D: return set({SDL_SCANCODE_KP_MINUS});
  case 0x6E: return set({SDL_SCANCODE_KP_PERIOD, SDL_SCANCODE_KP_DECIMAL});
  case 0x6F: return set({SDL_SCANCODE_KP_DIVIDE});
  case 0x90: return set({SDL_SCANCODE_NUMLOCKCLEAR});
  case 0x91: return set({SDL_SCANCODE_SCROLLLOCK});
  case 0xA0: return set({SDL_SCANCODE_LSHIFT});
  case 0xA1: return set({SDL_SCANCODE_RSHIFT});
  case 0xA2: return set({SDL_SCANCODE_LCTRL});
  case 0xA3: return set({SDL_SCANCODE_RCTRL});
  case 0xA4: return set({SDL_SCANCODE_LALT});
  case 0xA5: return set({SDL_SCANCODE_RALT});
  // The symbol keys of the Japanese layout, by position.
  case 0xBA: return set({SDL_SCANCODE_APOSTROPHE});    // ':' right of ';'
  case 0xBB: return set({SDL_SCANCODE_SEMICOLON});     // ';' right of L
  case 0xBC: return set({SDL_SCANCODE_COMMA});
  case 0xBD: return set({SDL_SCANCODE_MINUS});
  case 0xBE: return set({SDL_SCANCODE_PERIOD});
  case 0xBF: return set({SDL_SCANCODE_SLASH});
  case 0xC0: return set({SDL_SCANCODE_LEFTBRACKET});   // '@' right of P
  case 0xDB: return set({SDL_SCANCODE_RIGHTBRACKET});  // '[' right of '@'
  case 0xDC: return set({SDL_SCANCODE_INTERNATIONAL3});  // yen, left of Backspace
  case 0xDD: return set({SDL_SCANCODE_BACKSLASH, SDL_SCANCODE_NONUSHASH});  // ']' right of ':'
  case 0xDE: return set({SDL_SCANCODE_EQUALS});        // '^' right of '-'
  case 0xE2: return set({SDL_SCANCODE_INTERNATIONAL1, SDL_SCANCODE_NONUSBACKSLASH});  // ro
  case 0xF0: return set({SDL_SCANCODE_LANG2});          // eisu
  case 0xF2: return set({SDL_SCANCODE_INTERNATIONAL2});  // hiragana
  case 0xF3:
  case 0xF4: return set({SDL_SCANCODE_GRAVE, SDL_SCANCODE_LANG5});
  default: return {};
  }
}

SdlDeviceState::SdlDeviceState() {
  observer_ = QlPlatform::addEventObserver([this](const SDL_Event& e) { handleEvent(e); });
}

SdlDeviceState::~SdlDeviceState() {
  QlPlatform::removeEventObserver(observer_);
  for (int j = 0; j < kJoystickCount; ++j) close(j);
  if (joystickInit_) SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

void SdlDeviceState::handleEvent(const SDL_Event& event) {
  if (event.type != SDL_MOUSEWHEEL || event.wheel.which == SDL_TOUCH_MOUSEID) return;
  std::int32_t y = event.wheel.y;
  if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) y = -y;
  // One event per notch arrives as +-1; larger jumps are ignored like any
  // wheel movement that is not exactly one notch.
  if (y == 1 || y == -1) wheel_.onWheel(y * kWheelDelta);
}

bool SdlDeviceState::isKeyDown(int virtualKey) {
  if (Uint32 mask = mouseMask(virtualKey)) return (SDL_GetMouseState(nullptr, nullptr) & mask) != 0;
  int count = 0;
  const Uint8* keys = SDL_GetKeyboardState(&count);
  const ScancodeSet s = scancodesForVirtualKey(virtualKey);
  for (int i = 0; i < s.count; ++i) {
    const int code = s.codes[static_cast<std::size_t>(i)];
    if (code >= 0 && code < count && keys[code]) return true;
  }
  return false;
}

bool SdlDeviceState::getCursorPosition(std::int32_t& x, std::int32_t& y) {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return false;
  // Over one of our windows SDL tracks the cursor from events (cheap and exact);
  // elsewhere ask the desktop.
  if (SDL_Window* focus = SDL_GetMouseFocus()) {
    int cx = 0, cy = 0, wx = 0, wy = 0;
    SDL_GetMouseState(&cx, &cy);
    SDL_GetWindowPosition(focus, &wx, &wy);
    x = cx + wx;
    y = cy + wy;
    return true;
  }
  int gx = 0, gy = 0;
  SDL_GetGlobalMouseState(&gx, &gy);
  x = gx;
  y = gy;
  return true;
}

bool SdlDeviceState::screenToClient(WindowHandle window, std::int32_t& x, std::int32_t& y) {
  if (window == nullptr) return false;
  auto* sdl = static_cast<SDL_Window*>(window->sdlWindow());
  if (sdl == nullptr) return false;
  int wx = 0, wy = 0;
  SDL_GetWindowPosition(sdl, &wx, &wy);
  int cx = x - wx, cy = y - wy;
  // In full screen the game image is scaled into the window: report game pixels.
  window->clientToGame(cx, cy);
  x = cx;
  y = cy;
  return true;
}

bool SdlDeviceState::isWindowActive(WindowHandle window) {
  if (window == nullptr) return false;
  auto* sdl = static_cast<SDL_Window*>(window->sdlWindow());
  if (sdl == nullptr) return false;
  // Headless drivers never give any window the keyboard focus; there the
  // game's window counts as active, as a focused desktop window would.
  if (headlessVideo()) return true;
  return SDL_GetKeyboardFocus() == sdl;
}

bool SdlDeviceState::ensureJoysticks() {
  if (!joystickInit_) joystickInit_ = SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0;
  return joystickInit_;
}

SDL_Joystick* SdlDeviceState::open(int joystick) {
  if (joystick < 0 || joystick >= kJoystickCount || !ensureJoysticks()) return nullptr;
  auto& slot = joysticks_[static_cast<std::size_t>(joystick)];
  if (slot && !SDL_JoystickGetAttached(slot)) close(joystick);
  if (!slot && joystick < SDL_NumJoysticks()) slot = SDL_JoystickOpen(joystick);
  return slot;
}

void SdlDeviceState::close(int joystick) {
  auto& slot = joysticks_[static_cast<std::size_t>(joystick)];
  if (slot) SDL_JoystickClose(slot);
  slot = nullptr;
}

bool SdlDeviceState::getJoystickRange(int joystick, JoystickRange& range) {
  if (!open(joystick)) return false;
  range = {0, kAxisMax, 0, kAxisMax};
  return true;
}

bool SdlDeviceState::getJoystickPosition(int joystick, JoystickPosition& position) {
  if (joystick < 0 || joystick >= kJoystickCount) return false;
  SDL_Joystick* js = joysticks_[static_cast<std::size_t>(joystick)];
  if (!js || !SDL_JoystickGetAttached(js)) return false;
  // The event pump refreshes joysticks too; without it, refresh at most once a millisecond.
  const std::uint32_t now = SDL_GetTicks();
  if (now != lastJoystickUpdate_) {
    SDL_JoystickUpdate();
    lastJoystickUpdate_ = now;
  }
  auto axis = [js](int n) -> std::uint32_t {
    if (SDL_JoystickNumAxes(js) <= n) return kAxisMax / 2;
    return static_cast<std::uint32_t>(static_cast<int>(SDL_JoystickGetAxis(js, n)) + 32768);
  };
  position.x = axis(0);
  position.y = axis(1);
  // A hat (the pad's cross on many controllers) steers like the stick.
  if (SDL_JoystickNumHats(js) > 0) {
    const Uint8 hat = SDL_JoystickGetHat(js, 0);
    if (hat & SDL_HAT_LEFT) position.x = 0;
    if (hat & SDL_HAT_RIGHT) position.x = kAxisMax;
    if (hat & SDL_HAT_UP) position.y = 0;
    if (hat & SDL_HAT_DOWN) position.y = kAxisMax;
  }
  position.buttons = 0;
  const int buttons = SDL_JoystickNumButtons(js);
  for (int b = 0; b < buttons && b < 32; ++b)
    if (SDL_JoystickGetButton(js, b)) position.buttons |= 1u << b;
  return true;
}

} // namespace QlInput::Sdl
