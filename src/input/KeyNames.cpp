#include "input/KeyNames.h"

#include "frame/Window.h"

#include <algorithm>
#include <utility>

namespace QlInput {

namespace {

std::u16string ascii(const std::string& s) { return std::u16string(s.begin(), s.end()); }

struct NamedKey {
  const char* name;
  int code;
};

// Keys other than the letters, digits, function keys and numeric keypad digits.
// The symbol keys are named after the Japanese keyboard layout.
constexpr NamedKey kOtherKeys[] = {
    {"backspace", 0x08}, {"tab", 0x09},      {"enter", 0x0D},     {"pause", 0x13},
    {"capslock", 0x14},  {"escape", 0x1B},   {"space", 0x20},     {"lshift", 0xA0},
    {"rshift", 0xA1},    {"lctrl", 0xA2},    {"rctrl", 0xA3},     {"lalt", 0xA4},
    {"ralt", 0xA5},      {"lwin", 0x5B},     {"rwin", 0x5C},      {"pageup", 0x21},
    {"pagedown", 0x22},  {"end", 0x23},      {"home", 0x24},      {"insert", 0x2D},
    {"delete", 0x2E},    {"left", 0x25},     {"up", 0x26},        {"right", 0x27},
    {"down", 0x28},      {"colon", 0xBA},    {"semcolon", 0xBB},  {"comma", 0xBC},
    {"minus", 0xBD},     {"dot", 0xBE},      {"slash", 0xBF},     {"at", 0xC0},
    {"lsb", 0xDB},       {"yen", 0xDC},      {"rsb", 0xDD},       {"caret", 0xDE},
    {"backslash", 0xE2}, {"numadd", 0x6B},   {"numsub", 0x6D},    {"nummul", 0x6A},
    {"numdiv", 0x6F},    {"numdot", 0x6E},   {"numenter", 0x6C},
};

constexpr NamedKey kMouseButtons[] = {
    {"left", 0x01}, {"right", 0x02}, {"middle", 0x04}, {"ex1", 0x05}, {"ex2", 0x06},
};

} // namespace

KeyNameTable::KeyNameTable(DeviceSource device, WindowSource mainWindow)
    : device_(std::move(device)) {
  auto key = [this](const std::string& name, int code) {
    factories_.emplace(ascii("key." + name), [code](const std::shared_ptr<IDeviceState>& d) {
      return createKeyboardGetter(d, code);
    });
  };
  for (int i = 0; i <= 9; ++i) key(std::to_string(i), 0x30 + i);
  for (int i = 0; i < 26; ++i) key(std::string(1, static_cast<char>('a' + i)), 0x41 + i);
  for (int i = 1; i <= 12; ++i) key("f" + std::to_string(i), 0x70 + i - 1);
  for (int i = 0; i <= 9; ++i) key("num" + std::to_string(i), 0x60 + i);
  for (const auto& k : kOtherKeys) key(k.name, k.code);

  for (const auto& b : kMouseButtons) {
    const int code = b.code;
    factories_.emplace(ascii(std::string("mouse.") + b.name),
                       [code](const std::shared_ptr<IDeviceState>& d) {
                         return createMouseButtonGetter(d, code);
                       });
  }
  for (int axis : {kCursorX, kCursorY}) {
    const std::string a = axis == kCursorX ? "x" : "y";
    factories_.emplace(ascii("mouse.g" + a), [axis](const std::shared_ptr<IDeviceState>& d) {
      return createMouseCursorGetter(d, axis);
    });
    factories_.emplace(ascii("mouse." + a),
                       [axis, mainWindow](const std::shared_ptr<IDeviceState>& d) {
                         return createMouseCursorGetter(d, axis, mainWindow);
                       });
  }
  const std::pair<const char*, int> wheels[] = {
      {"wheel", kWheelBoth}, {"wheelu", kWheelAway}, {"wheeld", kWheelTowards}};
  for (const auto& [name, mode] : wheels) {
    const int m = mode;
    factories_.emplace(ascii(std::string("mouse.") + name),
                       [m](const std::shared_ptr<IDeviceState>& d) {
                         return createMouseWheelGetter(d, m);
                       });
  }

  const char* directions[] = {"left", "up", "right", "down"};
  for (int j = 0; j < kJoystickCount; ++j) {
    const std::string prefix = "joy" + std::to_string(j) + ".";
    for (int code = kJoyLeft; code <= kJoyButton12; ++code) {
      const std::string name = code < kJoyButton1
                                   ? directions[code]
                                   : "btn" + std::to_string(code - kJoyButton1 + 1);
      factories_.emplace(ascii(prefix + name), [j, code](const std::shared_ptr<IDeviceState>& d) {
        return createJoystickButtonGetter(d, j, code);
      });
    }
    // The Input prelude's joystick tables name the down direction "bottom": accept it as the
    // same key, so controllers made from those tables see the stick pushed down.
    factories_.emplace(ascii(prefix + "bottom"), [j](const std::shared_ptr<IDeviceState>& d) {
      return createJoystickButtonGetter(d, j, kJoyDown);
    });
  }
}

std::shared_ptr<IGetter> KeyNameTable::createGetter(const std::u16string& name) const {
  auto it = factories_.find(name);
  if (it == factories_.end()) return nullptr;
  return it->second(device_ ? device_() : nullptr);
}

std::vector<std::u16string> KeyNameTable::names() const {
  std::vector<std::u16string> out;
  out.reserve(factories_.size());
  for (const auto& [name, f] : factories_) out.push_back(name);
  std::sort(out.begin(), out.end());
  return out;
}

std::size_t KeyNameTable::addGetters(IComponent& component,
                                     const std::vector<std::u16string>& names) const {
  std::size_t added = 0;
  for (const auto& name : names) {
    if (auto g = createGetter(name)) added += component.addGetter(std::move(g)) ? 1 : 0;
  }
  return added;
}

const KeyNameTable& getKeyNameTable() {
  static const KeyNameTable table([] { return getDeviceState(); },
                                  [] { return QlFrame::getCurrentWindowHandle(); });
  return table;
}

} // namespace QlInput
