#include <SDL2/SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "frame/Window.h"
#include "platform/Video.h"

using namespace QlFrame;

namespace {

std::shared_ptr<Core::Window> makeWindow() {
  auto w = Core::Window::create(u"Test", 160, 120);
  EXPECT_TRUE(w) << QlPlatform::lastError();
  return w;
}

void pushCloseRequest(const std::shared_ptr<IWindow>& w) {
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.event = SDL_WINDOWEVENT_CLOSE;
  e.window.windowID = w->getNativeWindow()->id();
  ASSERT_EQ(SDL_PushEvent(&e), 1);
}

}  // namespace

TEST(Window, CreatedWithClientSizeTitleAndHandle) {
  auto w = makeWindow();
  ASSERT_TRUE(w);
  EXPECT_FALSE(w->isDestroyed());
  EXPECT_NE(w->getHandle(), nullptr);
  EXPECT_EQ(w->getWidth(), 160);
  EXPECT_EQ(w->getHeight(), 120);
  EXPECT_TRUE(w->setTitle(u"ゲーム"));
  EXPECT_EQ(w->getTitle(), u"ゲーム");
  EXPECT_TRUE(w->setTitle(std::u16string(300, u'x')));
  EXPECT_EQ(w->getTitle().size(), 255u);
  EXPECT_TRUE(w->setPosition(30, 40));
  EXPECT_EQ(w->getX(), 30);
  EXPECT_EQ(w->getY(), 40);
  w->setX(5);
  EXPECT_EQ(w->getX(), 5);
  EXPECT_EQ(w->getY(), 40);
  EXPECT_FALSE(w->createHandle(u"again", 10, 10));
}

TEST(Window, HandlerDroppingTheLastHolderDoesNotEndTheWindowUnderItself) {
  auto w = makeWindow();
  std::weak_ptr<Core::Window> watch = w;
  int destroyed = 0;
  w->addDestroyHandler([&](IWindow&) {
    ++destroyed;
    w.reset();
    return EventResult::makeDefault();
  });
  Core::Window* raw = w.get();  // the test's own pointer is the only holder
  raw->close();
  EXPECT_EQ(destroyed, 1);
  EXPECT_TRUE(watch.expired());
}

TEST(Window, WithoutHandlersACloseDestroysAtOnce) {
  auto w = makeWindow();
  int destroyed = 0;
  w->addDestroyHandler([&](IWindow&) {
    ++destroyed;
    return EventResult::makeDefault();
  });
  w->close();
  EXPECT_TRUE(w->isDestroyed());
  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(w->getHandle(), nullptr);
  EXPECT_EQ(w->getTitle(), u"");
  EXPECT_EQ(w->getX(), 0);
  EXPECT_EQ(w->getWidth(), 0);
  EXPECT_FALSE(w->setTitle(u"x"));
  EXPECT_FALSE(w->setVisible(true));
  EXPECT_FALSE(w->isVisible());
  w->close();  // nothing left to close
  EXPECT_EQ(destroyed, 1);
}

TEST(Window, NewestHandlerRunsFirstAndFirstHandledWins) {
  auto w = makeWindow();
  std::vector<std::string> order;
  auto a = w->addCloseHandler([&](IWindow&) {
    order.push_back("A");
    return EventResult::makeHandled(7);
  });
  bool bHandles = false;
  w->addCloseHandler([&](IWindow&) {
    order.push_back("B");
    return bHandles ? EventResult::makeHandled(3) : EventResult::makeDefault();
  });
  EXPECT_EQ(w->windowProc(w->getHandle(), Close, 0, 0), 7);
  EXPECT_EQ(order, (std::vector<std::string>{"B", "A"}));
  EXPECT_FALSE(w->isDestroyed());  // A handled it, the default handler never ran
  order.clear();
  bHandles = true;
  EXPECT_EQ(w->windowProc(w->getHandle(), Close, 0, 0), 3);
  EXPECT_EQ(order, (std::vector<std::string>{"B"}));
  // With A removed and B declining, the default handler closes the window.
  bHandles = false;
  w->removeCloseHandler(a);
  order.clear();
  w->close();
  EXPECT_EQ(order, (std::vector<std::string>{"B"}));
  EXPECT_TRUE(w->isDestroyed());
}

TEST(Window, MessageHandlersSeeMessagesBeforeCloseHandlers) {
  auto w = makeWindow();
  std::vector<std::uint32_t> seen;
  int closes = 0;
  w->addCloseHandler([&](IWindow&) {
    ++closes;
    return EventResult::makeHandled();
  });
  auto m = w->addMessageHandler([&](IWindow&, WindowHandle h, std::uint32_t msg, WParam, LParam) {
    EXPECT_NE(h, nullptr);
    seen.push_back(msg);
    return msg == Close ? EventResult::makeHandled(1) : EventResult::makeDefault();
  });
  w->close();
  EXPECT_EQ(closes, 0);
  EXPECT_EQ(seen, (std::vector<std::uint32_t>{Close}));
  w->removeMessageHandler(m);
  w->removeMessageHandler(m);  // removing twice is harmless
  w->close();
  EXPECT_EQ(closes, 1);
  EXPECT_EQ(seen.size(), 1u);
  // Empty handlers are not appended.
  EXPECT_EQ(w->addCloseHandler(std::shared_ptr<CloseHandler>()), nullptr);
}

TEST(Window, ComponentGetsMessagesFirst) {
  struct Eater : IComponent {
    int attached = 0, detached = 0, calls = 0;
    EventResult onMessage(WindowHandle, std::uint32_t msg, WParam, LParam) override {
      ++calls;
      return msg == Close ? EventResult::makeHandled(9) : EventResult::makeDefault();
    }
    void attach(WindowHandle) override { ++attached; }
    void detach() override { ++detached; }
  };
  auto w = makeWindow();
  auto c = std::make_shared<Eater>();
  EXPECT_TRUE(w->setComponent(c));
  EXPECT_EQ(c->attached, 1);
  EXPECT_EQ(w->windowProc(w->getHandle(), Close, 0, 0), 9);
  EXPECT_FALSE(w->isDestroyed());
  EXPECT_TRUE(w->setComponent(nullptr));
  EXPECT_EQ(c->detached, 1);
  w->close();
  EXPECT_TRUE(w->isDestroyed());
}

TEST(Pump, WithoutCurrentWindowReturnsFalse) { EXPECT_FALSE(processMessages()); }

TEST(Pump, CloseRequestRunsHandlersAndDestroyedWindowEndsTheRun) {
  auto w = makeWindow();
  std::vector<std::string> log;
  int frames = 0;
  const int code = run(w, [&] {
    EXPECT_EQ(getCurrentWindow(), w);
    EXPECT_EQ(getCurrentWindowHandle(), w->getHandle());
    while (processMessages()) {
      ++frames;
      if (frames == 2) pushCloseRequest(w);
      if (frames == 10) break;
    }
  });
  EXPECT_EQ(code, 0);
  // Frame 2 queued the request; the third pump closed (and destroyed) the window; the
  // fourth pump found it destroyed and retrieved the quit message in the same call.
  EXPECT_EQ(frames, 3);
  EXPECT_TRUE(w->isDestroyed());
  EXPECT_EQ(getCurrentWindow(), nullptr);
  EXPECT_EQ(getCurrentWindowHandle(), nullptr);
}

TEST(Pump, ConfirmationHandlerDecidesAndQuitCarriesTheCode) {
  auto w = makeWindow();
  int asked = 0;
  bool answerYes = false;
  w->addCloseHandler([&](IWindow& win) {
    ++asked;
    if (answerYes) win.destroy();
    return EventResult::makeHandled();
  });
  std::vector<std::uint32_t> events;
  w->addMessageHandler([&](IWindow&, WindowHandle, std::uint32_t msg, WParam wp, LParam lp) {
    if (msg == Event && wp == SDL_USEREVENT) {
      events.push_back(static_cast<std::uint32_t>(reinterpret_cast<const SDL_Event*>(lp)->user.code));
    }
    return EventResult::makeDefault();
  });
  const int code = run(w, [&] {
    pushCloseRequest(w);
    SDL_Event u{};
    u.type = SDL_USEREVENT;
    u.user.code = 42;
    SDL_PushEvent(&u);
    EXPECT_TRUE(processMessages());
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(w->isDestroyed());  // answered No
    EXPECT_TRUE(processMessages());
    postQuitMessage(5);
    EXPECT_FALSE(processMessages());
  });
  EXPECT_EQ(code, 5);
  EXPECT_EQ(events, (std::vector<std::uint32_t>{42}));
  answerYes = true;
  const int code2 = run(w, [&] {
    w->close();
    EXPECT_TRUE(w->isDestroyed());
    EXPECT_FALSE(processMessages());
  });
  EXPECT_EQ(code2, 0);
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(run(nullptr, [] { FAIL() << "host must not run without a window"; }), 0);
}

TEST(Monitor, SecondInstanceRaisesTheFirst) {
  std::u16string id = u"frame-test-";
  for (char c : std::to_string(getpid())) id += char16_t(c);
  auto first = createMonitor(id);
  ASSERT_TRUE(first->isFirst());
  EXPECT_EQ(first->getName(), id);
  auto second = createMonitor(id);
  EXPECT_FALSE(second->isFirst());
  EXPECT_FALSE(first->requestRaise());
  auto w = makeWindow();
  w->setVisible(false);
  run(w, [&] {
    EXPECT_TRUE(second->requestRaise());
    EXPECT_TRUE(processMessages());
  });
  EXPECT_TRUE(w->isVisible());
}
