// Sounds, groups and channels over a mixer driven by the test.
#include "support/TestAudio.h"

#include "sound/Context.h"
#include "sound/WavSoundData.h"
#include "sound/mixer/Engine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>

using namespace QlSoundTest;
using namespace QlSound;

namespace {

// Serves files from a map instead of the disk.
class MapFileLoader final : public IFileLoader {
public:
    std::map<std::u16string, Bytes> files;
    std::shared_ptr<IFileData> load(const std::u16string& path) override
    {
        auto it = files.find(path);
        return it == files.end() ? nullptr : fileData(it->second);
    }
};

struct ContextTest : ::testing::Test {
    std::shared_ptr<Mixer::Engine> engine = Mixer::Engine::create(Mixer::Engine::Output::Manual, 48000);
    std::shared_ptr<MapFileLoader> files = std::make_shared<MapFileLoader>();
    std::unique_ptr<Context> context;

    void SetUp() override
    {
        auto loader = std::make_shared<Core::MixedSoundLoader>();
        loader->addLoader(std::make_shared<Core::WavSoundLoader>());
        context = std::make_unique<Context>(engine, files, loader);
        files->files[u"a.wav"] = canonicalWav(1, 48000, 16, pcm16(std::vector<std::int16_t>(1000, 1000)));
        files->files[u"long.wav"] = canonicalWav(1, 48000, 16, pcm16(std::vector<std::int16_t>(3000, 1000)));
    }

    void run(std::uint32_t frames)
    {
        std::vector<float> out(frames * 2);
        engine->mix(out.data(), frames);
    }

    static float bufferVolume(const std::shared_ptr<IChannel>& c)
    {
        return std::dynamic_pointer_cast<Core::Channel>(c)->getBuffer()->getVolume();
    }
    static float bufferSpeed(const std::shared_ptr<IChannel>& c)
    {
        return std::dynamic_pointer_cast<Core::Channel>(c)->getBuffer()->getSpeed();
    }
};

}  // namespace

TEST_F(ContextTest, CreatesSoundsOnlyFromReadableDecodableFiles)
{
    files->files[u"noise.bin"] = Bytes(100, 7);
    auto sound = context->createSound(u"a.wav");
    ASSERT_TRUE(sound);
    EXPECT_EQ(sound->getLength(), 1000u);
    EXPECT_FALSE(context->createSound(u"missing.wav"));
    EXPECT_FALSE(context->createSound(u"noise.bin"));
    Context noEngine(nullptr, files, context->getSoundLoader());
    EXPECT_FALSE(noEngine.createSound(u"a.wav"));
}

TEST_F(ContextTest, EachPlayIsAnIndependentChannel)
{
    auto sound = context->createSound(u"a.wav");
    auto c1 = sound->play(0);
    auto c2 = sound->play(500);
    ASSERT_TRUE(c1 && c2);
    EXPECT_NE(c1, c2);
    EXPECT_FALSE(sound->play(1000));
    EXPECT_FALSE(sound->play(0, 1, 1000));
    c1->pause();
    EXPECT_TRUE(sound->isPaused());
    EXPECT_TRUE(c1->isPaused());
    EXPECT_FALSE(c2->isPaused());
    ASSERT_TRUE(sound->stop());
    EXPECT_FALSE(sound->isPlaying());
    EXPECT_TRUE(c1->isFinished());
}

TEST_F(ContextTest, NestedGroupVolumesMultiply)
{
    auto outer = context->createGroup();
    auto inner = context->createGroup(outer);
    auto sound = context->createSound(u"a.wav", inner);
    ASSERT_EQ(sound->getGroup(), inner);
    ASSERT_EQ(inner->getGroup(), outer);
    ASSERT_TRUE(outer->setVolume(0.8f));
    ASSERT_TRUE(inner->setVolume(0.5f));
    ASSERT_TRUE(sound->setVolume(0.5f));
    auto channel = sound->play(0);
    EXPECT_FLOAT_EQ(bufferVolume(channel), 0.2f);

    // Changes anywhere up the chain reach the playing channel.
    outer->setVolume(0.4f);
    EXPECT_FLOAT_EQ(bufferVolume(channel), 0.1f);
    outer->setSpeed(1.5f);
    inner->setSpeed(0.5f);
    EXPECT_FLOAT_EQ(bufferSpeed(channel), 0.75f);
    // Leaving the group takes the group's share away.
    inner->removeSound(sound);
    EXPECT_FALSE(sound->getGroup());
    EXPECT_FLOAT_EQ(bufferVolume(channel), 0.5f);
    EXPECT_FLOAT_EQ(bufferSpeed(channel), 1.0f);
}

TEST_F(ContextTest, DestroyingAGroupGivesItsMembersTheirOwnValues)
{
    auto outer = context->createGroup();
    auto inner = context->createGroup(outer);
    auto sound = context->createSound(u"a.wav", inner);
    auto moved = context->createSound(u"a.wav", inner);
    auto keeper = context->createGroup();
    ASSERT_TRUE(outer->setVolume(0.5f) && outer->setSpeed(0.5f));
    ASSERT_TRUE(inner->setVolume(0.4f));
    ASSERT_TRUE(keeper->setVolume(0.25f));
    ASSERT_TRUE(sound->setVolume(0.8f));
    auto channel = sound->play(0, 0, 0);
    auto other = moved->play(0, 0, 0);
    ASSERT_TRUE(channel && other);
    ASSERT_FLOAT_EQ(bufferVolume(channel), 0.16f);

    // The outer group goes: the inner one (and through it the sound) loses its factor.
    outer.reset();
    EXPECT_FALSE(inner->getGroup());
    EXPECT_FLOAT_EQ(bufferVolume(channel), 0.32f);
    EXPECT_FLOAT_EQ(bufferSpeed(channel), 1.0f);

    // A sound told another group directly (still listed by the old one)
    // keeps that group's values when the old group goes.
    moved->setGroup(keeper);
    inner.reset();
    EXPECT_FALSE(sound->getGroup());
    EXPECT_FLOAT_EQ(bufferVolume(channel), 0.8f);
    EXPECT_EQ(moved->getGroup(), keeper);
    EXPECT_FLOAT_EQ(bufferVolume(other), 0.25f);
}

TEST_F(ContextTest, ChannelVolumeIsOwnTimesOuter)
{
    auto sound = context->createSound(u"a.wav");
    sound->setVolume(0.4f);
    auto channel = sound->play(0);
    ASSERT_TRUE(channel->setVolume(0.5f));
    EXPECT_FLOAT_EQ(bufferVolume(channel), 0.2f);
    EXPECT_EQ(channel->getVolume(), 0.5f);
    ASSERT_TRUE(channel->setSpeed(2.0f));
    sound->setSpeed(0.5f);
    EXPECT_FLOAT_EQ(bufferSpeed(channel), 1.0f);
    // A product outside the buffer's range leaves the buffer as it was.
    sound->setSpeed(2.0f);
    EXPECT_FLOAT_EQ(bufferSpeed(channel), 1.0f);
}

TEST_F(ContextTest, OutOfRangeValuesAreRefusedAndChangeNothing)
{
    auto sound = context->createSound(u"a.wav");
    auto group = context->createGroup();
    group->addSound(sound);
    EXPECT_TRUE(sound->setSpeed(1.5f));
    EXPECT_FALSE(sound->setSpeed(2.5f));
    EXPECT_FALSE(sound->setVolume(1.01f));
    EXPECT_FALSE(sound->setVolume(std::nanf("")));
    EXPECT_FALSE(group->setVolume(-0.5f));
    EXPECT_FALSE(group->setSpeed(2.01f));
    EXPECT_EQ(sound->getSpeed(), 1.5f);
    EXPECT_EQ(sound->getVolume(), 1.0f);
    EXPECT_EQ(group->getVolume(), 1.0f);

    auto channel = sound->play(0);
    EXPECT_FALSE(channel->setSpeed(0.25f));
    EXPECT_FALSE(channel->setVolume(2.0f));
    EXPECT_EQ(channel->getSpeed(), 1.0f);

    auto mixed = group->play(0);
    ASSERT_TRUE(mixed);
    EXPECT_FALSE(mixed->setSpeed(1.5f));
    EXPECT_TRUE(mixed->setSpeed(0.75f));
    EXPECT_FALSE(mixed->setVolume(1.5f));
    EXPECT_TRUE(mixed->setVolume(0.5f));
    EXPECT_EQ(mixed->getVolume(), 0.5f);
}

TEST_F(ContextTest, FinishedChannelsLeaveTheirSoundAndRefuseChanges)
{
    auto sound = context->createSound(u"a.wav");
    auto keep = sound->play(0);
    sound->play(0);
    auto* raw = dynamic_cast<Core::Sound*>(sound.get());
    EXPECT_EQ(raw->getChannelCount(), 2u);
    run(1200);
    EXPECT_EQ(raw->getChannelCount(), 0u);
    EXPECT_TRUE(keep->isFinished());
    EXPECT_FALSE(keep->setVolume(0.5f));
    EXPECT_FALSE(keep->stop());
    EXPECT_FALSE(keep->pause());
    EXPECT_EQ(engine->getVoiceCount(), 1u);  // only the one the test still holds
}

TEST_F(ContextTest, GroupsHoldSoundsWeaklyAndOneGroupPerSound)
{
    auto first = context->createGroup();
    auto second = context->createGroup();
    auto a = context->createSound(u"a.wav", first);
    auto b = context->createSound(u"long.wav", first);
    EXPECT_EQ(first->getSounds().size(), 2u);
    EXPECT_EQ(first->getLength(), 3000u);

    ASSERT_TRUE(second->addSound(a));
    EXPECT_EQ(a->getGroup(), second);
    EXPECT_EQ(first->getSounds().size(), 1u);
    EXPECT_TRUE(second->addSound(a));  // already there: nothing changes
    EXPECT_EQ(second->getSounds().size(), 1u);

    b.reset();  // last reference gone: it leaves its group
    EXPECT_TRUE(first->getSounds().empty());
    EXPECT_EQ(first->getLength(), 0u);
    EXPECT_FALSE(first->play(0));
    EXPECT_FALSE(first->addSound(nullptr));

    ASSERT_TRUE(second->clearSounds());
    EXPECT_FALSE(a->getGroup());
}

TEST_F(ContextTest, GroupsCannotContainThemselves)
{
    auto top = context->createGroup();
    auto mid = context->createGroup(top);
    auto leaf = context->createGroup(mid);
    EXPECT_FALSE(top->addSound(top));
    EXPECT_FALSE(leaf->addSound(top));
    EXPECT_FALSE(leaf->addSound(mid));
    EXPECT_EQ(top->getGroup(), nullptr);
    top->setVolume(0.5f);  // would recurse for ever with a cycle
    EXPECT_EQ(mid->getGroup(), top);
}

TEST_F(ContextTest, GroupPlayDrivesEveryMemberAsOne)
{
    auto group = context->createGroup();
    auto a = context->createSound(u"a.wav", group);
    auto b = context->createSound(u"long.wav", group);
    auto channel = group->play(0, 2, 0);
    auto mixed = std::dynamic_pointer_cast<Core::MixedChannel>(channel);
    ASSERT_TRUE(mixed);
    EXPECT_EQ(mixed->getChannelCount(), 2u);
    EXPECT_TRUE(group->isPlaying());
    ASSERT_TRUE(group->pause());
    EXPECT_TRUE(mixed->isPaused());
    EXPECT_TRUE(a->isPaused() && b->isPaused());
    ASSERT_TRUE(group->resume());
    EXPECT_FALSE(mixed->isPaused());
    // Start past the short sound's end: only the long one plays.
    auto late = std::dynamic_pointer_cast<Core::MixedChannel>(group->play(2000));
    ASSERT_TRUE(late);
    EXPECT_EQ(late->getChannelCount(), 1u);
    EXPECT_TRUE(mixed->stop());
    EXPECT_TRUE(mixed->isFinished());
    EXPECT_FALSE(late->isFinished());
}
