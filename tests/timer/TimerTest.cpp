#include <gtest/gtest.h>

#include <vector>

#include "platform/Clock.h"
#include "timer/Timer.h"

using QlPlatform::sleepMs;
using QlPlatform::tickCount;

namespace {
struct VirtualClock : ::testing::Test {
  void SetUp() override { QlPlatform::setVirtualClock(true); }
  void TearDown() override { QlPlatform::setVirtualClock(false); }
};
}  // namespace

using TimerTest = VirtualClock;
using FpsTest = VirtualClock;

TEST_F(TimerTest, StopsHoldsAndContinues) {
  QlTimer::Timer t;
  EXPECT_EQ(t.get(), 0u);
  sleepMs(120);
  EXPECT_EQ(t.get(), 120u);
  EXPECT_FALSE(t.start());
  EXPECT_TRUE(t.stop());
  EXPECT_FALSE(t.stop());
  sleepMs(500);
  EXPECT_EQ(t.get(), 120u);
  EXPECT_TRUE(t.isStopped());
  EXPECT_TRUE(t.start());
  sleepMs(30);
  EXPECT_EQ(t.get(), 150u);
}

TEST_F(TimerTest, SetAndResetKeepTheState) {
  QlTimer::Timer t;
  t.stop();
  EXPECT_TRUE(t.set(5000));
  sleepMs(100);
  EXPECT_EQ(t.get(), 5000u);
  EXPECT_TRUE(t.isStopped());
  t.start();
  sleepMs(7);
  EXPECT_EQ(t.get(), 5007u);
  t.reset();
  EXPECT_FALSE(t.isStopped());
  sleepMs(3);
  EXPECT_EQ(t.get(), 3u);
  t.stop();
  t.reset();
  sleepMs(3);
  EXPECT_EQ(t.get(), 0u);
  EXPECT_TRUE(t.isStopped());
}

TEST_F(FpsTest, DueTimesAreRoundedPerFrameFromTheBase) {
  QlTimer::Fps fps(60);
  const std::uint32_t base = tickCount();
  std::vector<std::uint32_t> at;
  for (int i = 0; i < 60; ++i) {
    EXPECT_FALSE(fps.wait());
    at.push_back(tickCount() - base);
  }
  EXPECT_EQ(std::vector<std::uint32_t>(at.begin(), at.begin() + 6),
            (std::vector<std::uint32_t>{17, 33, 50, 67, 83, 100}));
  EXPECT_EQ(at.back(), 1000u);
  // The schedule re-anchored after 60 frames: the next frame is 17 ms after that point.
  EXPECT_EQ(fps.frameIndex(), 0u);
  EXPECT_EQ(fps.baseTick(), base + 1000u);
  fps.wait();
  EXPECT_EQ(tickCount() - base, 1017u);
}

TEST_F(FpsTest, LateFramesReturnTrueWithoutWaiting) {
  QlTimer::Fps fps(60);
  const std::uint32_t base = tickCount();
  fps.wait();
  sleepMs(40);  // frame 2 was due at 33
  EXPECT_TRUE(fps.wait());
  EXPECT_EQ(tickCount() - base, 57u);
  EXPECT_TRUE(fps.wait());  // frame 3 was due at 50 and begins at 57
  EXPECT_EQ(tickCount() - base, 57u);
  EXPECT_FALSE(fps.wait());  // back on schedule: frame 4 at 67
  EXPECT_EQ(tickCount() - base, 67u);
}

TEST_F(FpsTest, StallRestartsTheSchedule) {
  QlTimer::Fps fps(60);
  fps.wait();
  fps.wait();
  sleepMs(250);
  const std::uint32_t t = tickCount();
  EXPECT_FALSE(fps.wait());
  EXPECT_EQ(tickCount() - t, 17u);
  EXPECT_FALSE(fps.wait());
  EXPECT_EQ(tickCount() - t, 33u);
}

TEST_F(FpsTest, StallRightAfterTheScheduleIsReanchoredRestartsItToo) {
  QlTimer::Fps fps(60);
  for (int i = 0; i < 60; ++i) fps.wait();  // the 60th wait re-anchors the schedule
  ASSERT_EQ(fps.frameIndex(), 0u);
  sleepMs(250);
  std::uint32_t t = tickCount();
  EXPECT_FALSE(fps.wait());
  EXPECT_EQ(tickCount() - t, 17u);
  // The same after a change of rate.
  EXPECT_TRUE(fps.setFps(30));
  sleepMs(250);
  t = tickCount();
  EXPECT_FALSE(fps.wait());
  EXPECT_EQ(tickCount() - t, 33u);
}

TEST_F(FpsTest, SettingTheSameRateKeepsTheSchedule) {
  QlTimer::Fps fps(60);
  const std::uint32_t base = tickCount();
  fps.wait();
  sleepMs(5);
  EXPECT_TRUE(fps.setFps(60));
  fps.wait();
  EXPECT_EQ(tickCount() - base, 33u);
  EXPECT_TRUE(fps.setFps(30));
  const std::uint32_t t = tickCount();
  fps.wait();
  EXPECT_EQ(tickCount() - t, 33u);
  EXPECT_EQ(fps.getFps(), 30u);
}

TEST_F(FpsTest, ZeroDisablesAndOneReanchorsEveryFrame) {
  QlTimer::Fps off(0);
  const std::uint32_t t = tickCount();
  EXPECT_FALSE(off.wait());
  EXPECT_EQ(tickCount(), t);
  QlTimer::Fps one(1);
  one.wait();
  EXPECT_EQ(tickCount() - t, 1000u);
  EXPECT_EQ(one.frameIndex(), 0u);
  EXPECT_EQ(one.baseTick(), tickCount());
  one.wait();
  EXPECT_EQ(tickCount() - t, 2000u);
}
