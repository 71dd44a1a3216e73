// The SDL device state without a display: construction, wheel counting from the
// event pump, the key layout, windows and joysticks.
#include "input/KeyNames.h"
#include "input/sdl/SdlDeviceState.h"
#include "platform/Events.h"
#include "platform/Video.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

using namespace QlInput;
using QlInput::Sdl::SdlDeviceState;

namespace {

SDL_Event wheelEvent(int y, bool flipped = false) {
  SDL_Event e{};
  e.type = SDL_MOUSEWHEEL;
  e.wheel.y = y;
  e.wheel.direction = flipped ? SDL_MOUSEWHEEL_FLIPPED : SDL_MOUSEWHEEL_NORMAL;
  return e;
}

bool maps(int vk, SDL_Scancode sc) {
  auto s = Sdl::scancodesForVirtualKey(vk);
  for (int i = 0; i < s.count; ++i)
    if (s.codes[static_cast<std::size_t>(i)] == sc) return true;
  return false;
}

} // namespace

TEST(SdlDeviceState, WorksWithoutVideoOrWindow) {
  SdlDeviceState dev;
  std::int32_t x = 0, y = 0;
  EXPECT_FALSE(dev.isKeyDown(0x41));
  EXPECT_FALSE(dev.isKeyDown(0x01));
  EXPECT_FALSE(dev.isWindowActive(nullptr));
  EXPECT_FALSE(dev.screenToClient(nullptr, x, y));
  EXPECT_EQ(dev.getWheelCount(), 0);
}

TEST(SdlDeviceState, WheelEventsCountWholeNotches) {
  SdlDeviceState dev;
  dev.handleEvent(wheelEvent(1));
  dev.handleEvent(wheelEvent(1));
  dev.handleEvent(wheelEvent(-1));
  EXPECT_EQ(dev.getWheelCount(), 1);
  dev.handleEvent(wheelEvent(-1, true));  // flipped: away from the user
  EXPECT_EQ(dev.getWheelCount(), 2);
  dev.handleEvent(wheelEvent(2));  // not a single notch
  dev.handleEvent(wheelEvent(0));
  EXPECT_EQ(dev.getWheelCount(), 2);
  SDL_Event touch = wheelEvent(1);
  touch.wheel.which = SDL_TOUCH_MOUSEID;
  dev.handleEvent(touch);
  SDL_Event key{};
  key.type = SDL_KEYDOWN;
  dev.handleEvent(key);
  EXPECT_EQ(dev.getWheelCount(), 2);
}

TEST(SdlDeviceState, EventPumpDeliversWheelToWheelGetters) {
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0);
  auto dev = std::make_shared<SdlDeviceState>();
  auto towards = createMouseWheelGetter(dev, kWheelTowards);
  SDL_Event e = wheelEvent(-1);
  SDL_PushEvent(&e);
  SDL_PushEvent(&e);
  QlPlatform::pumpEvents(nullptr);
  EXPECT_EQ(towards->get(), 2);
  dev.reset();  // a destroyed device no longer listens
  SDL_PushEvent(&e);
  QlPlatform::pumpEvents(nullptr);
  SDL_QuitSubSystem(SDL_INIT_EVENTS);
}

TEST(SdlDeviceState, JapaneseLayoutKeysMapToTheirPositions) {
  EXPECT_TRUE(maps(0xDC, SDL_SCANCODE_INTERNATIONAL3));  // yen
  EXPECT_TRUE(maps(0xE2, SDL_SCANCODE_INTERNATIONAL1));  // ro / backslash
  EXPECT_TRUE(maps(0xC0, SDL_SCANCODE_LEFTBRACKET));     // @
  EXPECT_TRUE(maps(0xDB, SDL_SCANCODE_RIGHTBRACKET));    // [
  EXPECT_TRUE(maps(0xDD, SDL_SCANCODE_BACKSLASH));       // ]
  EXPECT_TRUE(maps(0xBA, SDL_SCANCODE_APOSTROPHE));      // :
  EXPECT_TRUE(maps(0xBB, SDL_SCANCODE_SEMICOLON));       // ;
  EXPECT_TRUE(maps(0xDE, SDL_SCANCODE_EQUALS));          // ^
  EXPECT_TRUE(maps(0x1C, SDL_SCANCODE_INTERNATIONAL4));  // henkan
  EXPECT_TRUE(maps(0x1D, SDL_SCANCODE_INTERNATIONAL5));  // muhenkan
  EXPECT_TRUE(maps(0x19, SDL_SCANCODE_GRAVE));           // zenkaku/hankaku
  EXPECT_TRUE(maps(0x30, SDL_SCANCODE_0));
  EXPECT_TRUE(maps(0x60, SDL_SCANCODE_KP_0));
  EXPECT_TRUE(maps(0x0D, SDL_SCANCODE_KP_ENTER));
  EXPECT_FALSE(maps(0xA0, SDL_SCANCODE_RSHIFT));
}

TEST(SdlDeviceState, EveryKeyboardNameHasAPhysicalKey) {
  // Read each "key." getter against a device that records the codes asked for.
  struct Recorder final : IDeviceState {
    std::vector<int> asked;
    bool isKeyDown(int vk) override { asked.push_back(vk); return false; }
    bool getCursorPosition(std::int32_t&, std::int32_t&) override { return false; }
    bool screenToClient(WindowHandle, std::int32_t&, std::int32_t&) override { return false; }
    bool isWindowActive(WindowHandle) override { return false; }
    std::int32_t getWheelCount() override { return 0; }
    bool getJoystickRange(int, JoystickRange&) override { return false; }
    bool getJoystickPosition(int, JoystickPosition&) override { return false; }
  };
  auto rec = std::make_shared<Recorder>();
  KeyNameTable table([rec] { return rec; }, [] { return WindowHandle{}; });
  int keys = 0;
  std::set<int> scancodes;
  for (const auto& name : table.names()) {
    if (name.rfind(u"key.", 0) != 0) continue;
    ++keys;
    rec->asked.clear();
    table.createGetter(name)->get();
    ASSERT_EQ(rec->asked.size(), 1u);
    auto s = Sdl::scancodesForVirtualKey(rec->asked[0]);
    EXPECT_GT(s.count, 0) << "code " << rec->asked[0];
    if (s.count > 0) scancodes.insert(s.codes[0]);
  }
  EXPECT_EQ(keys, 101);
  EXPECT_EQ(scancodes.size(), 101u);  // no two names share their main key
}

TEST(SdlDeviceState, HeadlessWindowIsActiveAndPlacesTheClientArea) {
  ASSERT_TRUE(QlPlatform::initVideo());
  auto window = QlPlatform::NativeWindow::create("input test", 64, 48);
  ASSERT_TRUE(window);
  SdlDeviceState dev;
  EXPECT_TRUE(dev.isWindowActive(window.get()));
  int wx = 0, wy = 0;
  SDL_GetWindowPosition(static_cast<SDL_Window*>(window->sdlWindow()), &wx, &wy);
  std::int32_t x = wx + 5, y = wy + 7;
  EXPECT_TRUE(dev.screenToClient(window.get(), x, y));
  EXPECT_EQ(x, 5);
  EXPECT_EQ(y, 7);
  EXPECT_TRUE(dev.getCursorPosition(x, y));
}

TEST(SdlDeviceState, NoJoystickMeansSilentGetters) {
  SdlDeviceState dev;
  JoystickRange r;
  JoystickPosition p;
  if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0 && SDL_NumJoysticks() > 0)
    GTEST_SKIP() << "a joystick is connected";
  EXPECT_FALSE(dev.getJoystickRange(0, r));
  EXPECT_FALSE(dev.getJoystickRange(7, r));
  EXPECT_FALSE(dev.getJoystickPosition(0, p));
  EXPECT_FALSE(dev.getJoystickPosition(-1, p));
}

TEST(SdlDeviceState, ProcessWideStateIsSdlUnlessReplaced) {
  auto first = getDeviceState();
  EXPECT_NE(dynamic_cast<SdlDeviceState*>(first.get()), nullptr);
  EXPECT_EQ(getDeviceState(), first);
  auto other = std::make_shared<SdlDeviceState>();
  setDeviceState(other);
  EXPECT_EQ(getDeviceState(), other);
  // The process-wide table hands the current state to the getters it makes.
  auto g = getKeyNameTable().createGetter(u"mouse.wheel");
  SDL_Event e = wheelEvent(-1);
  other->handleEvent(e);
  EXPECT_EQ(g->get(), 1);
  setDeviceState(nullptr);
  EXPECT_NE(getDeviceState(), other);
}
