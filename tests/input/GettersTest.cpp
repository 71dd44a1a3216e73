// Getters and the key-name table, over a scripted device state.
#include "input/KeyNames.h"
#include "input/ScriptedDeviceState.h"

#include <gtest/gtest.h>

#include <set>

using namespace QlInput;

namespace {

WindowHandle fakeWindow(std::uintptr_t n) { return reinterpret_cast<WindowHandle>(n); }

struct Getters : ::testing::Test {
  std::shared_ptr<ScriptedDeviceState> dev = std::make_shared<ScriptedDeviceState>();
  WindowHandle main = fakeWindow(0x1000);
  KeyNameTable table{[this] { return dev; }, [this] { return main; }};

  std::shared_ptr<IGetter> make(const char16_t* name) {
    auto g = table.createGetter(name);
    EXPECT_TRUE(g) << "no getter";
    return g;
  }
};

} // namespace

TEST_F(Getters, KeyboardAndMouseButtons) {
  auto enter = make(u"key.enter");
  auto left = make(u"mouse.left");
  auto ex2 = make(u"mouse.ex2");
  EXPECT_EQ(enter->get(), 0);
  dev->press(0x0D);
  dev->press(0x06);
  EXPECT_EQ(enter->get(), 1);
  EXPECT_EQ(left->get(), 0);
  EXPECT_EQ(ex2->get(), 1);
  // Code -1 means "no key" even if the device claimed otherwise.
  dev->press(-1);
  EXPECT_EQ(createKeyboardGetter(dev, -1)->get(), 0);
}

TEST_F(Getters, CursorInScreenAndClientCoordinates) {
  auto gx = make(u"mouse.gx"), gy = make(u"mouse.gy");
  auto x = make(u"mouse.x"), y = make(u"mouse.y");
  EXPECT_EQ(gx->get(), -1);  // cursor unreadable
  dev->setCursor(300, 200);
  EXPECT_EQ(gx->get(), 300);
  EXPECT_EQ(gy->get(), 200);
  EXPECT_EQ(x->get(), -1);  // main window not placed: conversion fails
  dev->placeWindow(main, 100, 150);
  EXPECT_EQ(x->get(), 200);
  EXPECT_EQ(y->get(), 50);
  dev->setCursor(40, 20);  // left of and above the window
  EXPECT_EQ(x->get(), -60);
  EXPECT_EQ(y->get(), -130);
  // The main window is looked up at each read.
  WindowHandle other = fakeWindow(0x2000);
  dev->placeWindow(other, 0, 10);
  main = other;
  EXPECT_EQ(x->get(), 40);
  EXPECT_EQ(y->get(), 10);
  main = nullptr;
  EXPECT_EQ(x->get(), -1);
  EXPECT_EQ(createMouseCursorGetter(dev, 2)->get(), -1);
  EXPECT_EQ(createMouseCursorGetter(dev, -1)->get(), -1);
  EXPECT_EQ(createMouseCursorGetter(dev, 1, other)->get(), 10);
}

TEST_F(Getters, WheelModesCountSinceTheirOwnLastCall) {
  auto both = make(u"mouse.wheel");
  auto away = make(u"mouse.wheelu");
  auto towards = make(u"mouse.wheeld");
  dev->wheel(-120);  // two notches towards the user, one away
  dev->wheel(-120);
  dev->wheel(120);
  EXPECT_EQ(both->get(), 1);
  EXPECT_EQ(away->get(), 0);
  EXPECT_EQ(towards->get(), 1);
  EXPECT_EQ(both->get(), 0);  // nothing since its last call

  dev->wheel(120);
  dev->wheel(120);
  dev->wheel(240);  // not one notch: ignored
  dev->wheel(60);
  dev->wheel(-119);
  EXPECT_EQ(both->get(), -2);
  EXPECT_EQ(away->get(), 2);
  EXPECT_EQ(towards->get(), 0);

  // A getter made now starts from the current count.
  dev->wheel(-120);
  auto late = make(u"mouse.wheeld");
  EXPECT_EQ(late->get(), 0);
  EXPECT_EQ(towards->get(), 1);
}

TEST_F(Getters, JoystickThresholdsOnTheFullRange) {
  dev->connectJoystick(0, {0, 65535, 0, 65535});
  auto left = make(u"joy0.left"), right = make(u"joy0.right");
  auto up = make(u"joy0.up"), down = make(u"joy0.down");
  auto* core = dynamic_cast<Core::JoystickButtonGetter*>(left.get());
  ASSERT_NE(core, nullptr);
  EXPECT_EQ(core->leftThreshold(), 21845u);
  EXPECT_EQ(core->rightThreshold(), 43690u);

  auto at = [&](std::uint32_t x, std::uint32_t y) {
    dev->setJoystick(0, x, y, 0);
    return std::to_string(left->get()) + std::to_string(up->get()) +
           std::to_string(right->get()) + std::to_string(down->get());
  };
  EXPECT_EQ(at(32767, 32767), "0000");
  EXPECT_EQ(at(21844, 32767), "1000");
  EXPECT_EQ(at(21845, 32767), "0000");
  EXPECT_EQ(at(43690, 21845), "0000");
  EXPECT_EQ(at(43691, 21844), "0110");
  EXPECT_EQ(at(0, 65535), "1001");
  EXPECT_EQ(at(65535, 43691), "0011");
  // "bottom", the name the Input prelude's joystick tables use, is the same key as "down".
  auto bottom = make(u"joy0.bottom");
  ASSERT_NE(bottom, nullptr);
  EXPECT_EQ(bottom->get(), 1);
  dev->setJoystick(0, 32767, 32767, 0);
  EXPECT_EQ(bottom->get(), 0);
}

TEST_F(Getters, JoystickThresholdsAreAThirdInFromEachEnd) {
  dev->connectJoystick(2, {100, 400, 1000, 1010});
  auto left = std::dynamic_pointer_cast<Core::JoystickButtonGetter>(make(u"joy2.left"));
  auto right = make(u"joy2.right"), down = make(u"joy2.down");
  ASSERT_TRUE(left && left->isValid());
  EXPECT_EQ(left->leftThreshold(), 200u);   // (400 + 2 * 100) / 3
  EXPECT_EQ(left->rightThreshold(), 300u);  // (2 * 400 + 100) / 3
  EXPECT_EQ(left->upThreshold(), 1003u);    // (1010 + 2 * 1000) / 3, truncated
  EXPECT_EQ(left->downThreshold(), 1006u);  // (2 * 1010 + 1000) / 3, truncated
  // A stick at rest in a range that does not start at 0 reads as no direction.
  dev->setJoystick(2, 250, 1005, 0);
  EXPECT_EQ(left->get() + right->get() + down->get(), 0);
  dev->setJoystick(2, 301, 1007, 0);
  EXPECT_EQ(right->get() + down->get(), 2);

  // Ranges at the top of the unsigned scale do not wrap.
  dev->connectJoystick(1, {0xFFFF0000u, 0xFFFFFFFFu, 0, 0xFFFFFFFFu});
  auto top = std::dynamic_pointer_cast<Core::JoystickButtonGetter>(make(u"joy1.right"));
  EXPECT_EQ(top->leftThreshold(), 0xFFFF5555u);
  EXPECT_EQ(top->rightThreshold(), 0xFFFFAAAAu);
  EXPECT_EQ(top->downThreshold(), 0xAAAAAAAAu);
}

TEST_F(Getters, JoystickButtonsAndFailures) {
  dev->connectJoystick(3, {0, 65535, 0, 65535});
  auto b1 = make(u"joy3.btn1"), b12 = make(u"joy3.btn12"), b5 = make(u"joy3.btn5");
  dev->setJoystick(3, 32767, 32767, (1u << 0) | (1u << 11) | (1u << 12));
  EXPECT_EQ(b1->get(), 1);
  EXPECT_EQ(b12->get(), 1);
  EXPECT_EQ(b5->get(), 0);
  EXPECT_FALSE(table.contains(u"joy3.btn13"));
  EXPECT_EQ(createJoystickButtonGetter(dev, 3, 16)->get(), 0);  // past button 12

  // Other joysticks are separate.
  auto other = make(u"joy1.btn1");
  EXPECT_EQ(other->get(), 0);

  // A joystick that fails once stays silent until its getter is made again.
  dev->disconnectJoystick(3);
  EXPECT_EQ(b1->get(), 0);
  dev->connectJoystick(3, {0, 65535, 0, 65535});
  dev->setJoystick(3, 32767, 32767, 1u);
  EXPECT_EQ(b1->get(), 0);
  EXPECT_EQ(make(u"joy3.btn1")->get(), 1);

  // Not connected at creation: never reports anything.
  auto absent = make(u"joy0.btn1");
  dev->connectJoystick(0, {0, 65535, 0, 65535});
  dev->setJoystick(0, 0, 0, 1u);
  EXPECT_EQ(absent->get(), 0);
  EXPECT_EQ(createJoystickButtonGetter(dev, 4, 4)->get(), 0);
  EXPECT_EQ(createJoystickButtonGetter(dev, -1, 4)->get(), 0);
}

TEST_F(Getters, TableHoldsExactlyTheKnownNames) {
  // 177 names, and "joyN.bottom" for each joystick as another name of "joyN.down".
  EXPECT_EQ(table.size(), 181u);
  const auto names = table.names();
  EXPECT_EQ(std::set<std::u16string>(names.begin(), names.end()).size(), 181u);
  for (const char16_t* n : {u"key.semcolon", u"key.numenter", u"mouse.ex1", u"mouse.gy",
                            u"mouse.wheeld", u"joy3.down", u"joy2.btn12", u"joy1.bottom"})
    EXPECT_TRUE(table.contains(n));
  for (const char16_t* n : {u"key.f13", u"key.semicolon", u"key.A", u"mouse.ex3", u"joy4.left",
                            u"joy0.btn0", u"key.num10"})
    EXPECT_FALSE(table.contains(n));
}

TEST_F(Getters, NamesReadTheirVirtualKeyCodes) {
  const std::pair<const char16_t*, int> cases[] = {
      {u"key.0", 0x30},      {u"key.9", 0x39},        {u"key.a", 0x41},
      {u"key.z", 0x5A},      {u"key.f1", 0x70},       {u"key.f12", 0x7B},
      {u"key.num0", 0x60},   {u"key.num9", 0x69},     {u"key.colon", 0xBA},
      {u"key.semcolon", 0xBB}, {u"key.at", 0xC0},     {u"key.yen", 0xDC},
      {u"key.caret", 0xDE},  {u"key.backslash", 0xE2}, {u"key.numenter", 0x6C},
      {u"key.lwin", 0x5B},   {u"key.ralt", 0xA5},     {u"mouse.middle", 0x04},
  };
  for (const auto& [name, code] : cases) {
    auto g = make(name);
    dev->releaseAll();
    EXPECT_EQ(g->get(), 0);
    dev->press(code);
    EXPECT_EQ(g->get(), 1) << code;
    // No neighbouring code answers for it.
    dev->releaseAll();
    dev->press(code - 1);
    dev->press(code + 1);
    EXPECT_EQ(g->get(), 0) << code;
  }
  // Each name makes a new getter.
  EXPECT_NE(make(u"key.a"), make(u"key.a"));
}
