// The controller over successive updates, its components and window activity.
#include "input/Controller.h"
#include "input/KeyNames.h"
#include "input/ScriptedDeviceState.h"

#include <gtest/gtest.h>

using namespace QlInput;

namespace {

WindowHandle fakeWindow(std::uintptr_t n) { return reinterpret_cast<WindowHandle>(n); }

struct Fixture : ::testing::Test {
  std::shared_ptr<ScriptedDeviceState> dev = std::make_shared<ScriptedDeviceState>();
  WindowHandle win = fakeWindow(0x1000);
  KeyNameTable table{[this] { return dev; }, [this] { return win; }};
  std::shared_ptr<IController> ctl = createController(dev, win);

  Fixture() { dev->setActiveWindow(win); }

  void bindButton(std::int32_t number, std::vector<std::u16string> names) {
    auto c = createVolatileComponent(0);
    table.addGetters(*c, names);
    ASSERT_TRUE(ctl->setComponent(number, c));
  }
  void bindAxis(std::int32_t number, std::vector<std::u16string> names) {
    auto c = createFixedComponent();
    table.addGetters(*c, names);
    ASSERT_TRUE(ctl->setComponent(number, c));
  }
  std::string flags(std::int32_t n) const {
    return std::string(ctl->isPushed(n) ? "P" : "-") + (ctl->isPressed(n) ? "H" : "-") +
           (ctl->isReleased(n) ? "R" : "-");
  }
};

constexpr int kA = 0x41, kB = 0x42, kEnter = 0x0D;

struct Doubling : IEffect {
  std::int32_t apply(std::int32_t v) override { return v * 2; }
};

} // namespace

TEST_F(Fixture, KeyHeldOverThreeUpdatesThenReleased) {
  bindButton(1, {u"key.enter"});
  ctl->update();
  EXPECT_EQ(flags(1), "---");
  dev->press(kEnter);
  ctl->update();
  EXPECT_EQ(flags(1), "PH-");  // pushed once
  ctl->update();
  EXPECT_EQ(flags(1), "-H-");
  ctl->update();
  EXPECT_EQ(flags(1), "-H-");  // pressed throughout, no repeat
  dev->release(kEnter);
  ctl->update();
  EXPECT_EQ(flags(1), "--R");  // released once
  ctl->update();
  EXPECT_EQ(flags(1), "---");
}

TEST_F(Fixture, PressAndReleaseBetweenUpdatesIsNeverSeen) {
  bindButton(1, {u"key.a"});
  ctl->update();
  dev->press(kA);
  dev->release(kA);
  ctl->update();
  EXPECT_EQ(flags(1), "---");
}

TEST_F(Fixture, ValueIsTheSumOfTheBoundKeys) {
  bindButton(3, {u"key.a", u"key.b", u"key.a"});
  dev->press(kA);
  ctl->update();
  EXPECT_EQ(ctl->getValue(3), 2);  // bound twice
  dev->press(kB);
  ctl->update();
  EXPECT_EQ(ctl->getValue(3), 3);
  EXPECT_TRUE(ctl->isPressed(3));
  EXPECT_FALSE(ctl->isPushed(3));  // non-zero before and after
  dev->release(kA);
  ctl->update();
  EXPECT_EQ(ctl->getValue(3), 1);
  EXPECT_FALSE(ctl->isReleased(3));
}

TEST_F(Fixture, InactiveWindowRestsButtonsAndFreezesAxes) {
  bindButton(1, {u"key.a"});
  bindAxis(2, {u"key.a", u"key.b"});
  dev->press(kA);
  dev->press(kB);
  ctl->update();
  EXPECT_EQ(ctl->getValue(1), 1);
  EXPECT_EQ(ctl->getValue(2), 2);

  dev->setActiveWindow(fakeWindow(0x2000));  // another window has the keyboard
  ctl->update();
  EXPECT_EQ(ctl->getValue(1), 0);  // resting value
  EXPECT_TRUE(ctl->isReleased(1));
  EXPECT_EQ(ctl->getValue(2), 2);  // frozen at its last value
  dev->release(kA);
  ctl->update();
  EXPECT_EQ(ctl->getValue(2), 2);

  // Nothing can be pushed while inactive.
  dev->release(kB);
  ctl->update();
  dev->press(kA);
  dev->press(kB);
  ctl->update();
  EXPECT_FALSE(ctl->isPushed(1));
  EXPECT_FALSE(ctl->isPushed(2));

  dev->setActiveWindow(win);
  ctl->update();
  EXPECT_TRUE(ctl->isPushed(1));
  EXPECT_EQ(ctl->getValue(2), 2);
  dev->release(kB);
  ctl->update();
  EXPECT_EQ(ctl->getValue(2), 1);
}

TEST_F(Fixture, VolatileRestingValueIsReportedWhileInactive) {
  auto c = createVolatileComponent(7);
  table.addGetters(*c, {u"key.a"});
  ctl->setComponent(5, c);
  dev->setActiveWindow(nullptr);
  ctl->update();
  EXPECT_EQ(ctl->getValue(5), 7);
  EXPECT_TRUE(ctl->isPushed(5));  // from 0 to the resting value
}

TEST_F(Fixture, BindingsNumbersAndUnboundQueries) {
  EXPECT_FALSE(ctl->setComponent(1, nullptr));
  bindButton(10, {u"key.a"});
  bindButton(-4, {u"key.b"});
  bindAxis(3, {});
  EXPECT_EQ(ctl->getNumbers(), (std::vector<std::int32_t>{-4, 3, 10}));
  EXPECT_EQ(ctl->getComponents().size(), 3u);

  dev->press(kA);
  ctl->update();
  EXPECT_TRUE(ctl->isPressed(10));
  // Rebinding resets the number's state: the held key is pushed again.
  bindButton(10, {u"key.a"});
  EXPECT_FALSE(ctl->isPressed(10));
  ctl->update();
  EXPECT_TRUE(ctl->isPushed(10));

  EXPECT_TRUE(ctl->removeComponent(10));
  EXPECT_TRUE(ctl->removeComponent(99));
  EXPECT_FALSE(ctl->getComponent(10));
  EXPECT_FALSE(ctl->isPressed(10));
  EXPECT_FALSE(ctl->isPushed(99));
  EXPECT_FALSE(ctl->isReleased(99));
  EXPECT_EQ(ctl->getValue(99), 0);
  EXPECT_FALSE(ctl->setEffect(99, std::make_shared<Doubling>()));
  EXPECT_FALSE(ctl->getEffect(99));
  EXPECT_EQ(ctl->getNumbers(), (std::vector<std::int32_t>{-4, 3}));
}

TEST_F(Fixture, EffectTransformsTheSumBeforeStoring) {
  bindAxis(1, {u"key.a", u"key.b"});
  auto effect = std::make_shared<Doubling>();
  EXPECT_TRUE(ctl->setEffect(1, effect));
  EXPECT_EQ(ctl->getEffect(1), effect);
  dev->press(kA);
  dev->press(kB);
  ctl->update();
  EXPECT_EQ(ctl->getValue(1), 4);
}

TEST_F(Fixture, UnknownNamesAreSkipped) {
  auto c = createVolatileComponent(0);
  EXPECT_EQ(table.addGetters(*c, {u"key.a", u"key.nothing", u"KEY.B", u"", u"key.b"}), 2u);
  EXPECT_EQ(c->getGetterCount(), 2u);
  ctl->setComponent(1, c);
  dev->press(kA);
  dev->press(kB);
  ctl->update();
  EXPECT_EQ(ctl->getValue(1), 2);
}

TEST(Component, GetterListOperations) {
  auto dev = std::make_shared<ScriptedDeviceState>();
  auto c = createFixedComponent();
  auto a = createKeyboardGetter(dev, kA);
  auto b = createKeyboardGetter(dev, kB);
  EXPECT_FALSE(c->addGetter(nullptr));
  EXPECT_TRUE(c->addGetter(a));
  EXPECT_TRUE(c->addGetter(b));
  EXPECT_TRUE(c->addGetter(a));
  EXPECT_FALSE(c->removeGetter(nullptr));
  EXPECT_TRUE(c->removeGetter(a));  // the first occurrence only
  EXPECT_EQ(c->getGetters(), (GetterList{b, a}));
  EXPECT_TRUE(c->removeGetter(createKeyboardGetter(dev, kA)));  // not there: still true
  EXPECT_EQ(c->getGetterCount(), 2u);
  EXPECT_FALSE(c->removeGetterAt(2));
  EXPECT_TRUE(c->removeGetterAt(0));
  EXPECT_EQ(c->getGetters(), (GetterList{a}));
  EXPECT_TRUE(c->clearGetters());
  EXPECT_EQ(c->getGetterCount(), 0u);
  dev->press(kA);
  EXPECT_EQ(c->update(), 0);
}

TEST(Component, FixedAndVolatileStoreRules) {
  auto fixed = createFixedComponent();
  auto vol = createVolatileComponent(-3);
  EXPECT_EQ(fixed->store(false, 4), 0);  // nothing remembered yet
  EXPECT_EQ(fixed->store(true, 9), 9);
  EXPECT_EQ(fixed->store(false, 4), 9);
  EXPECT_EQ(vol->store(true, 9), 9);
  EXPECT_EQ(vol->store(false, 9), -3);
}

TEST_F(Fixture, ComponentSharedByTwoNumbersIsReadOncePerUpdate) {
  auto wheel = createFixedComponent();
  table.addGetters(*wheel, {u"mouse.wheeld"});
  ASSERT_TRUE(ctl->setComponent(1, wheel));
  ASSERT_TRUE(ctl->setComponent(2, wheel));
  dev->wheel(-120);
  ctl->update();
  EXPECT_EQ(ctl->getValue(1), 1);
  EXPECT_EQ(ctl->getValue(2), 1);
  ctl->update();
  EXPECT_EQ(ctl->getValue(1), 0);
  EXPECT_EQ(ctl->getValue(2), 0);
}
