#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <csignal>
#include <cstdlib>

#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/Dialog.h"
#include "platform/Events.h"
#include "platform/InstanceLock.h"
#include "platform/Utf.h"
#include "platform/Video.h"

using namespace QlPlatform;

TEST(Clock, VirtualClockMovesOnlyWhenSleeping) {
  setVirtualClock(true);
  const std::uint32_t t0 = tickCount();
  EXPECT_EQ(tickCount(), t0);
  sleepMs(17);
  EXPECT_EQ(tickCount() - t0, 17u);
  sleepMs(0);
  EXPECT_EQ(tickCount() - t0, 17u);
  setVirtualClock(false);
  // Leaving virtual mode continues from the virtual reading, never backwards.
  const std::uint32_t t1 = tickCount();
  EXPECT_LT(t1 - t0 - 17u, 1000u);
  EXPECT_FALSE(isVirtualClock());
}

TEST(Clock, RealSleepTakesAtLeastItsTime) {
  setVirtualClock(false);
  const std::uint32_t t0 = tickCount();
  sleepMs(20);
  const std::uint32_t d = tickCount() - t0;
  EXPECT_GE(d, 20u);
  EXPECT_LT(d, 2000u);
}

TEST(Utf, RoundTripsAndRepairs) {
  const std::u16string text = u"終了してもよろしいですか？ a\U0001F600z";
  EXPECT_EQ(fromUtf8(toUtf8(text)), text);
  EXPECT_EQ(toUtf8(u"\u00e9"), "\xc3\xa9");
  // A lone surrogate and malformed bytes become replacement characters, not lost text.
  EXPECT_EQ(toUtf8(std::u16string(1, char16_t(0xD800)) + u"x"), "\xef\xbf\xbdx");
  EXPECT_EQ(fromUtf8("a\xff" "b"), u"a\ufffdb");
  EXPECT_EQ(fromUtf8("\xe3\x81"), u"\ufffd");
  EXPECT_EQ(fromUtf8("\xc0\x80"), u"\ufffd\ufffd");  // overlong encoding of NUL
}

TEST(InstanceLock, SecondInstanceAsksFirstToRaise) {
  const std::string name = "QlFrame_Monitor_test/\xe3\x81\x82" + std::to_string(getpid());
  auto first = std::make_unique<InstanceLock>(name);
  ASSERT_TRUE(first->isFirst());
  EXPECT_FALSE(first->pollRaiseRequests());
  {
    InstanceLock second(name);
    EXPECT_FALSE(second.isFirst());
    EXPECT_TRUE(second.requestRaise());
    EXPECT_TRUE(first->pollRaiseRequests());
    EXPECT_FALSE(first->pollRaiseRequests());
  }
  InstanceLock other(name + "x");
  EXPECT_TRUE(other.isFirst());
  const std::string path = first->lockPath();
  first.reset();
  EXPECT_NE(access(path.c_str(), F_OK), 0) << "the lock file outlived its holder";
  EXPECT_NE(path.find("-" + std::to_string(getuid()) + ".lock"), std::string::npos) << path;
  InstanceLock again(name);
  EXPECT_TRUE(again.isFirst());
  EXPECT_EQ(again.lockPath(), path);
}

TEST(InstanceLock, BusyFirstInstanceNeverBlocksLaterOnes) {
  const std::string name = "busy-" + std::to_string(getpid());
  InstanceLock first(name);
  ASSERT_TRUE(first.isFirst());
  // The first instance reads nothing for a while: requests pile up, then are refused at once.
  int sent = 0;
  for (int i = 0; i < 2000; ++i) sent += InstanceLock(name).requestRaise() ? 1 : 0;
  EXPECT_GT(sent, 0);
  EXPECT_LT(sent, 2000);
  // Each poll reads a bounded number of them; the queue drains over later frames.
  EXPECT_TRUE(first.pollRaiseRequests());
  int polls = 1;
  while (first.pollRaiseRequests()) ++polls;
  EXPECT_GT(polls, 1);
}

TEST(InstanceLock, LinkAtTheLockPathIsNotFollowed) {
  const std::string name = "link-" + std::to_string(getpid());
  std::string path;
  { path = InstanceLock(name).lockPath(); }
  const std::string target = path + ".target";
  ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0);
  {
    InstanceLock lock(name);
    EXPECT_FALSE(lock.isFirst());
  }
  EXPECT_NE(access(target.c_str(), F_OK), 0) << "a file was created through the link";
  std::remove(path.c_str());
}

TEST(Events, StopSignalIsAQuitEventAndASecondUnheededOneEndsTheProcess) {
  ASSERT_TRUE(initVideo());
  pumpEvents(nullptr);
  int quits = 0;
  const auto count = [&](const SDL_Event& e) { quits += e.type == SDL_QUIT ? 1 : 0; };
  std::raise(SIGTERM);
  pumpEvents(count);
  EXPECT_EQ(quits, 1);
  std::raise(SIGINT);  // taken by the next pump, so it is a first signal again
  pumpEvents(count);
  EXPECT_EQ(quits, 2);
  pumpEvents(count);
  EXPECT_EQ(quits, 2);

  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        initVideo();
        std::raise(SIGINT);  // the game is busy and does not pump
        std::raise(SIGINT);
        std::exit(0);
      },
      testing::KilledBySignal(SIGINT), "");
}

TEST(Events, ObserversSeeEveryEventBeforeTheHandler) {
  ASSERT_TRUE(initVideo());
  pumpEvents(nullptr);
  std::vector<std::string> log;
  ObserverId second = 0;
  const ObserverId first = addEventObserver([&](const SDL_Event& e) {
    if (e.type != SDL_USEREVENT) return;
    log.push_back("a" + std::to_string(e.user.code));
    if (second == 0) second = addEventObserver([&](const SDL_Event& ev) {
      if (ev.type == SDL_USEREVENT) log.push_back("b" + std::to_string(ev.user.code));
    });
  });
  for (int i = 1; i <= 2; ++i) {
    SDL_Event e{};
    e.type = SDL_USEREVENT;
    e.user.code = i;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
  }
  pumpEvents([&](const SDL_Event& e) {
    if (e.type == SDL_USEREVENT) log.push_back("h" + std::to_string(e.user.code));
  });
  EXPECT_EQ(log, (std::vector<std::string>{"a1", "h1", "a2", "b2", "h2"}));
  removeEventObserver(first);
  removeEventObserver(second);
  log.clear();
  SDL_Event e{};
  e.type = SDL_USEREVENT;
  SDL_PushEvent(&e);
  EXPECT_GE(pumpEvents(nullptr), 1);
  EXPECT_TRUE(log.empty());

  // An observer removed by an earlier one during an event is not called for it any more.
  ObserverId later = 0;
  const ObserverId remover = addEventObserver([&](const SDL_Event& ev) {
    if (ev.type == SDL_USEREVENT) removeEventObserver(later);
  });
  later = addEventObserver([&](const SDL_Event& ev) {
    if (ev.type == SDL_USEREVENT) log.push_back("removed observer called");
  });
  SDL_PushEvent(&e);
  pumpEvents(nullptr);
  EXPECT_TRUE(log.empty());
  removeEventObserver(remover);
}

TEST(Video, WindowKeepsItsClientSizeAndTitle) {
  ASSERT_TRUE(initVideo()) << lastError();
  EXPECT_TRUE(isHeadless());
  auto w = NativeWindow::create("\xe7\xa2\xba\xe8\xaa\x8d", 320, 200);
  ASSERT_TRUE(w) << lastError();
  int cw = 0, ch = 0;
  w->clientSize(cw, ch);
  EXPECT_EQ(cw, 320);
  EXPECT_EQ(ch, 200);
  EXPECT_EQ(w->title(), "\xe7\xa2\xba\xe8\xaa\x8d");
  w->setVisible(false);
  EXPECT_FALSE(w->isVisible());
  w->setVisible(true);
  EXPECT_TRUE(w->isVisible());
  w->setPosition(10, 20);
  int x = 0, y = 0;
  w->position(x, y);
  EXPECT_EQ(x, 10);
  EXPECT_EQ(y, 20);
  ASSERT_TRUE(w->createGlContext()) << lastError();
  // Headless runs cannot ask the player; the close confirmation counts as Yes.
  EXPECT_TRUE(askYesNo(w.get(), "c", "t"));
}

TEST(Video, MousePositionsInAScaledWindowComeBackAsGamePixels) {
  ASSERT_TRUE(initVideo()) << lastError();
  auto w = NativeWindow::create("scaled", 64, 32);
  ASSERT_TRUE(w) << lastError();
  int x = 5, y = 7;
  w->clientToGame(x, y);  // at the game's own size nothing changes
  EXPECT_EQ(x, 5);
  EXPECT_EQ(y, 7);
  // Made larger by the desktop: the 2:1 image fills the width, with bars above and below.
  w->setOuterSize(256, 256);
  int cw = 0, ch = 0;
  w->clientSize(cw, ch);
  ASSERT_EQ(cw, 256);
  ASSERT_EQ(ch, 256);
  int fx = 0, fy = 0, fw = 0, fh = 0;
  fitRect(cw, ch, 64, 32, fx, fy, fw, fh);
  EXPECT_EQ(fx, 0);
  EXPECT_EQ(fy, 64);
  EXPECT_EQ(fw, 256);
  EXPECT_EQ(fh, 128);
  const auto game = [&](int cx, int cy) {
    w->clientToGame(cx, cy);
    return std::pair<int, int>(cx, cy);
  };
  EXPECT_EQ(game(0, 64), std::make_pair(0, 0));
  EXPECT_EQ(game(128, 128), std::make_pair(32, 16));
  EXPECT_EQ(game(255, 191), std::make_pair(63, 31));
  EXPECT_EQ(game(3, 60), std::make_pair(0, -1));  // on the top bar: above the game
  EXPECT_EQ(game(0, 192), std::make_pair(0, 32));  // on the bottom bar: below it
}
