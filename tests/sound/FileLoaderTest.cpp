// Sound files read through the real file manager: plain folders and archives.
#include "support/TestAudio.h"

#include "io/Factory.h"
#include "io/archive/ArchiveWriter.h"
#include "io/archive/QlaStorage.h"
#include "sound/SoundFileLoader.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

using namespace QlSoundTest;
namespace fs = std::filesystem;

namespace {

struct SoundFileLoaderTest : ::testing::Test {
    fs::path dir = fs::temp_directory_path() / ("ql_sound_files_" + std::to_string(::getpid()));
    std::shared_ptr<QlIO::IFileManager> manager;
    Bytes wav = canonicalWav(1, 8000, 16, Bytes(64, 3));
    Bytes ogg;

    void SetUp() override
    {
        fs::create_directories(dir / "se");
        write(dir / "se" / "hit.wav", wav);
        write(dir / "notes.txt", Bytes(200, 'x'));
        manager = QlIO::createFileManager(QlIO::createFileStorage(dir.u16string()));
        ASSERT_TRUE(manager);

        std::vector<float> tone(4000);
        for (std::size_t i = 0; i < tone.size(); ++i) tone[i] = static_cast<float>(i % 40) / 40.0f - 0.5f;
        ogg = encodeOgg(1, 16000, tone);
        Qla::ArchiveWriter archive;
        archive.addDirectory("bgm");
        archive.addFile("bgm\\theme.ogg", ogg);
        const Bytes packed = archive.toBytes();
        ASSERT_TRUE(manager->addStorage(
            0, QlIO::createArchiveStorage(packed.data(), packed.size(), std::string(Qla::kDefaultPassword))));
    }
    void TearDown() override { fs::remove_all(dir); }

    static void write(const fs::path& p, const Bytes& b)
    {
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    }
};

}  // namespace

TEST_F(SoundFileLoaderTest, ReadsWholeFilesFromFoldersAndArchives)
{
    Quillorane::SoundFileLoader loader(manager);
    auto plain = loader.load(u"se\\hit.wav\\");
    ASSERT_TRUE(plain);
    ASSERT_EQ(plain->getSize(), wav.size());
    EXPECT_TRUE(plain->getName().empty());
    Bytes back(wav.size());
    EXPECT_EQ(plain->read(back.data(), 0, 4096), wav.size());
    EXPECT_EQ(back, wav);
    EXPECT_EQ(plain->read(back.data(), 100, 4096), wav.size() - 100);
    EXPECT_EQ(plain->read(nullptr, 0, 4), 0u);

    auto packed = loader.load(u"BGM/Theme.ogg");
    ASSERT_TRUE(packed);
    EXPECT_EQ(packed->getSize(), ogg.size());

    EXPECT_FALSE(loader.load(u"se/missing.wav"));
    EXPECT_FALSE(Quillorane::SoundFileLoader(nullptr).load(u"se/hit.wav"));
}

TEST_F(SoundFileLoaderTest, DefaultContextDecodesByContent)
{
    auto context = Quillorane::createSoundContext(manager, QlSound::Mixer::Engine::Output::Manual);
    ASSERT_TRUE(context && context->getEngine());
    auto bgm = context->createSound(u"bgm\\theme.ogg");
    ASSERT_TRUE(bgm);
    EXPECT_EQ(bgm->getLength(), 4000u);
    auto se = context->createSound(u"se/hit.wav");
    ASSERT_TRUE(se);
    EXPECT_EQ(se->getLength(), 32u);
    EXPECT_FALSE(context->createSound(u"notes.txt"));
    EXPECT_FALSE(context->createSound(u"nothing.wav"));
    EXPECT_TRUE(bgm->play(0));
}
