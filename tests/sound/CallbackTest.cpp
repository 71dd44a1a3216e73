// Fades and delayed stops, tick by tick.
#include "support/TestAudio.h"

#include "sound/Context.h"
#include "sound/WavSoundData.h"
#include "sound/mixer/Engine.h"

#include <gtest/gtest.h>

using namespace QlSoundTest;
using namespace QlSound;

namespace {

struct CallbackTest : ::testing::Test {
    std::shared_ptr<Mixer::Engine> engine = Mixer::Engine::create(Mixer::Engine::Output::Manual, 48000);
    std::unique_ptr<Context> context =
        std::make_unique<Context>(engine, nullptr, std::make_shared<Core::WavSoundLoader>());
    std::shared_ptr<ISound> sound =
        context->createSound(fileData(canonicalWav(1, 48000, 16, pcm16(std::vector<std::int16_t>(100, 500)))));

    void TearDown() override { processCallbacks().clear(); }
};

}  // namespace

TEST_F(CallbackTest, FadeOverSixtyFramesStepsAndEndsOnTheTickAfter)
{
    ASSERT_TRUE(sound->play(0, 0, 0));  // loops for ever: stays playing
    ASSERT_TRUE(fade(sound, 60, 0.0f));
    ASSERT_EQ(processCallbacks().size(), 1u);
    for (int k = 1; k <= 61; ++k) {
        context->update();
        const float expected = static_cast<float>(1.0 - (k - 1) / 60.0);
        ASSERT_EQ(sound->getVolume(), expected) << "tick " << k;
    }
    EXPECT_EQ(sound->getVolume(), 0.0f);
    sound->setVolume(0.3f);
    context->update();  // 62nd: sets the end value again and finishes
    EXPECT_EQ(sound->getVolume(), 0.0f);
    EXPECT_EQ(processCallbacks().size(), 1u);
    context->update();  // 63rd frame: removed without a tick
    EXPECT_EQ(processCallbacks().size(), 0u);
    EXPECT_TRUE(sound->isPlaying());
}

TEST_F(CallbackTest, FadeWithExplicitStartOnAChannel)
{
    auto channel = sound->play(0, 0, 0);
    ASSERT_TRUE(fade(channel, 4, 0.2f, 1.0f));
    const float expected[] = {0.2f, 0.4f, 0.6f, 0.8f, 1.0f};
    for (float v : expected) {
        context->update();
        ASSERT_FLOAT_EQ(channel->getVolume(), v);
    }
    EXPECT_FALSE(fade(std::shared_ptr<IChannel>(), 4, 1.0f));
    EXPECT_FALSE(fadeOut(std::shared_ptr<ISound>(), 4));
}

TEST_F(CallbackTest, TargetThatIsNotPlayingJumpsToTheEnd)
{
    ASSERT_TRUE(fade(sound, 60, 1.0f, 0.25f));
    context->update();
    EXPECT_EQ(sound->getVolume(), 0.25f);
    context->update();
    EXPECT_EQ(processCallbacks().size(), 0u);
}

TEST_F(CallbackTest, FadeOverZeroFramesSetsTheEndValue)
{
    sound->play(0, 0, 0);
    ASSERT_TRUE(fade(sound, 0, 0.5f));
    context->update();
    EXPECT_EQ(sound->getVolume(), 0.5f);
}

TEST_F(CallbackTest, FadeOutStopsOnTheThirtyFirstTick)
{
    auto channel = sound->play(0, 0, 0);
    ASSERT_TRUE(fadeOut(sound, 30));
    for (int k = 1; k <= 30; ++k) {
        context->update();
        ASSERT_TRUE(sound->isPlaying()) << "tick " << k;
    }
    EXPECT_FLOAT_EQ(sound->getVolume(), 1.0f / 30);
    context->update();  // the fade reaches 0 and the stop comes due on the same tick
    EXPECT_EQ(sound->getVolume(), 0.0f);
    EXPECT_FALSE(sound->isPlaying());
    EXPECT_TRUE(channel->isFinished());
}

TEST_F(CallbackTest, ChannelFadeOutAndEndingTheContextDropsPendingCallbacks)
{
    auto channel = sound->play(0, 0, 0);
    ASSERT_TRUE(fadeOut(channel, 2));
    context->update();
    context->update();
    EXPECT_TRUE(channel->isPlaying());
    context->update();
    EXPECT_TRUE(channel->isFinished());

    ASSERT_TRUE(fade(sound, 100, 0.0f));
    EXPECT_EQ(processCallbacks().size(), 3u);  // two done, one pending
    context.reset();
    EXPECT_EQ(processCallbacks().size(), 0u);
}
