// Sound files read through a file manager, and the context built on it.
#include "support/TestAudio.h"

#include "io/IFileManager.h"
#include "sound/SoundFileLoader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>

using namespace QlSoundTest;

namespace {

class BytesStream final : public QlIO::IInputStream {
public:
    explicit BytesStream(Bytes bytes) : bytes_(std::move(bytes)) {}
    void close() override { closed_ = true; }
    bool isClosed() override { return closed_; }
    bool seek(uint32_t position) override
    {
        if (closed_ || position > bytes_.size()) return false;
        pos_ = position;
        return true;
    }
    uint32_t tell() override { return pos_; }
    uint32_t getSize() override { return static_cast<uint32_t>(bytes_.size()); }
    uint32_t getAvailable() override { return closed_ ? 0 : getSize() - pos_; }
    int peek() override { return getAvailable() ? bytes_[pos_] : -1; }
    uint32_t read(uint8_t* buffer, uint32_t count) override
    {
        const uint32_t n = std::min(count, getAvailable());
        std::memcpy(buffer, bytes_.data() + pos_, n);
        pos_ += n;
        return n;
    }
    int readByte() override { return getAvailable() ? bytes_[pos_++] : -1; }

private:
    Bytes bytes_;
    uint32_t pos_ = 0;
    bool closed_ = false;
};

// Serves a fixed set of files and remembers which paths were asked for.
class MapFileManager final : public QlIO::IFileManager {
public:
    std::map<std::u16string, Bytes> files;
    std::vector<std::u16string> asked;

    bool addStorage(int32_t, std::shared_ptr<QlIO::IFileStorage>) override { return false; }
    void removeStorage(const std::shared_ptr<QlIO::IFileStorage>&) override {}
    void clearStorages() override {}
    bool setDefaultStorage(std::shared_ptr<QlIO::IFileStorage>) override { return true; }
    std::shared_ptr<QlIO::IFileStorage> getDefaultStorage() override { return nullptr; }
    std::shared_ptr<QlIO::IIoStream> openIoStream(std::u16string_view, uint32_t) override { return nullptr; }
    std::shared_ptr<QlIO::IInputStream> openInputStream(std::u16string_view path, uint32_t options) override
    {
        asked.emplace_back(path);
        auto it = files.find(std::u16string(path));
        if (it == files.end() || options != 0) return nullptr;
        return std::make_shared<BytesStream>(it->second);
    }
    std::shared_ptr<QlIO::IOutputStream> openOutputStream(std::u16string_view, uint32_t) override { return nullptr; }
    std::shared_ptr<QlIO::IFile> getFile(std::u16string_view) override { return nullptr; }
    std::vector<std::shared_ptr<QlIO::IFile>> getFiles(std::u16string_view) override { return {}; }
};

}  // namespace

TEST(SoundFileLoader, ReadsWholeFilesThroughTheFileManager)
{
    auto manager = std::make_shared<MapFileManager>();
    const Bytes wav = canonicalWav(1, 8000, 16, Bytes(64, 3));
    manager->files[u"se/hit.wav"] = wav;
    Quillorane::SoundFileLoader loader(manager);

    auto data = loader.load(u"se\\hit.wav\\");
    ASSERT_TRUE(data);
    ASSERT_EQ(manager->asked.back(), u"se/hit.wav");
    EXPECT_EQ(data->getSize(), wav.size());
    EXPECT_TRUE(data->getName().empty());
    Bytes back(wav.size());
    EXPECT_EQ(data->read(back.data(), 0, 4096), wav.size());
    EXPECT_EQ(back, wav);
    EXPECT_EQ(data->read(back.data(), 100, 4096), wav.size() - 100);
    EXPECT_EQ(data->read(back.data(), static_cast<uint32_t>(wav.size()), 1), 0u);
    EXPECT_EQ(data->read(nullptr, 0, 4), 0u);

    EXPECT_FALSE(loader.load(u"se/missing.wav"));
    EXPECT_FALSE(Quillorane::SoundFileLoader(nullptr).load(u"se/hit.wav"));
}

TEST(SoundFileLoader, DefaultContextLoadsWavAndOggByContent)
{
    auto manager = std::make_shared<MapFileManager>();
    std::vector<float> tone(4000);
    for (std::size_t i = 0; i < tone.size(); ++i) tone[i] = (i % 40) / 40.0f - 0.5f;
    manager->files[u"bgm.dat"] = encodeOgg(1, 16000, tone);
    manager->files[u"se.dat"] = canonicalWav(2, 11025, 8, Bytes(100, 128));
    manager->files[u"text.txt"] = Bytes(200, 'x');
    auto context = Quillorane::createSoundContext(manager, QlSound::Mixer::Engine::Output::Manual);
    ASSERT_TRUE(context && context->getEngine());

    auto bgm = context->createSound(u"bgm.dat");
    ASSERT_TRUE(bgm);
    EXPECT_EQ(bgm->getLength(), 4000u);
    auto se = context->createSound(u"se.dat");
    ASSERT_TRUE(se);
    EXPECT_EQ(se->getLength(), 50u);
    EXPECT_FALSE(context->createSound(u"text.txt"));
    EXPECT_FALSE(context->createSound(u"nothing.wav"));
    EXPECT_TRUE(bgm->play(0));
}
