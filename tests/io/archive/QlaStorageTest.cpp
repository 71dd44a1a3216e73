#include "ArchiveTestUtil.h"

#include "io/Factory.h"
#include "io/archive/ArchiveWriter.h"
#include "io/archive/QlaStorage.h"
#include "io/archive/TextConv.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace QlIO;
using namespace QlaTest;

namespace {

std::string sjis(std::u16string_view name) { return Qla::encodeEntryName(name).value(); }

std::vector<uint8_t> gameArchive() {
    Qla::ArchiveWriter w("vinqatol");
    w.addDirectory("data");
    w.addFile("data\\a.txt", bytesOf("alpha"));
    w.addDirectory("data\\sub");
    w.addFile("data\\sub\\deep.txt", bytesOf("deep"));
    w.addFile("data\\b.bin", bytesOf("bravo"));
    w.addFile("root.txt", bytesOf("root"));
    w.addFile("empty.txt", {});
    w.addDirectory(sjis(u"音楽"));
    w.addFile(sjis(u"音楽\\曲１.ogg"), bytesOf("ogg!"));
    return w.toBytes();
}

std::shared_ptr<IFileStorage> mount(const std::vector<uint8_t>& bytes, const std::string& pw = "vinqatol") {
    return createArchiveStorage(bytes.data(), bytes.size(), pw);
}

std::vector<std::u16string> paths(const std::vector<std::shared_ptr<IFile>>& files) {
    std::vector<std::u16string> out;
    for (const auto& f : files) out.push_back(f->getPath());
    return out;
}

}  // namespace

TEST(QlaStorage, FactoriesRefuseWhatTheyCannotOpen) {
    const auto bytes = gameArchive();
    EXPECT_TRUE(mount(bytes));
    EXPECT_FALSE(mount(bytes, "wrong"));
    EXPECT_FALSE(createArchiveStorage(nullptr, 10, "vinqatol"));
    EXPECT_FALSE(createArchiveStorage(bytes.data(), 0, "vinqatol"));
    EXPECT_FALSE(createArchiveStorage(u"/no/such/archive.qla", "vinqatol"));
    EXPECT_FALSE(createArchiveStorage(std::shared_ptr<Qla::ISource>(), "vinqatol"));

    const auto path = std::filesystem::temp_directory_path() / "ql_storage_test.qla";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    auto storage = createArchiveStorage(Qla::utf8ToUtf16(path.string()), "vinqatol");
    ASSERT_TRUE(storage);
    EXPECT_EQ(str(storage->getFile(u"DATA/A.TXT")->openInputStream(0)->readAll()), "alpha");
    EXPECT_FALSE(createArchiveStorage(Qla::utf8ToUtf16(path.string()), ""));
    std::filesystem::remove(path);
}

TEST(QlaStorage, FilesAreReadOnlyViewsOfEntries) {
    auto storage = mount(gameArchive());
    ASSERT_TRUE(storage);
    EXPECT_FALSE(storage->getFile(u""));
    auto file = storage->getFile(u"Data/A.txt");
    ASSERT_TRUE(file);
    EXPECT_TRUE(file->exists());
    EXPECT_TRUE(file->isFile());
    EXPECT_FALSE(file->isDirectory());
    EXPECT_TRUE(file->isReadOnly());
    EXPECT_EQ(file->getPath(), u"Data/A.txt");
    EXPECT_EQ(file->getSize(), 5u);
    EXPECT_FALSE(file->remove());
    EXPECT_FALSE(file->openIoStream(0));
    EXPECT_FALSE(file->openOutputStream(0));
    EXPECT_TRUE(file->exists());

    auto dir = storage->getFile(u"data");
    EXPECT_TRUE(dir->isDirectory());
    EXPECT_FALSE(dir->isFile());
    auto missing = storage->getFile(u"nope.txt");
    EXPECT_FALSE(missing->exists());
    EXPECT_TRUE(missing->isReadOnly());
    EXPECT_FALSE(missing->openInputStream(0));
}

TEST(QlaStorage, InputStreamsReadTheEntryData) {
    auto storage = mount(gameArchive());
    ASSERT_TRUE(storage);
    auto stream = storage->getFile(u"data\\b.bin")->openInputStream(0);
    ASSERT_TRUE(stream);
    EXPECT_FALSE(stream->isClosed());
    EXPECT_EQ(stream->getSize(), 5u);
    EXPECT_EQ(stream->peek(), 'b');
    EXPECT_EQ(stream->readByte(), 'b');
    EXPECT_EQ(str(stream->read(2)), "ra");
    EXPECT_EQ(stream->getAvailable(), 2u);
    uint8_t buf[8] = {};
    EXPECT_EQ(stream->read(buf, 8), 2u);
    EXPECT_EQ(std::string(buf, buf + 2), "vo");
    EXPECT_EQ(stream->readByte(), -1);
    EXPECT_EQ(stream->peek(), -1);
    EXPECT_TRUE(stream->seek(5));
    EXPECT_FALSE(stream->seek(6));
    EXPECT_TRUE(stream->seek(0));
    EXPECT_EQ(str(stream->readAll()), "bravo");
    stream->close();
    EXPECT_TRUE(stream->isClosed());
    EXPECT_FALSE(stream->seek(0));

    auto atEnd = storage->getFile(u"root.txt")->openInputStream(OpenAtEnd);
    ASSERT_TRUE(atEnd);
    EXPECT_EQ(atEnd->tell(), 4u);
    EXPECT_EQ(atEnd->getAvailable(), 0u);

    // An empty entry opens as a stream that reports itself closed.
    auto empty = storage->getFile(u"EMPTY.TXT")->openInputStream(0);
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->isClosed());
    EXPECT_TRUE(empty->readAll().empty());
    // ... yet it can be sought to 0, as an empty loose file can, until it is closed.
    EXPECT_TRUE(empty->seek(0));
    EXPECT_FALSE(empty->seek(1));
    empty->close();
    EXPECT_FALSE(empty->seek(0));
}

TEST(QlaStorage, DamagedEntryDataFailsToOpen) {
    auto bytes = gameArchive();
    bytes.resize(bytes.size() - 2);  // cut into the last entry's data
    auto storage = mount(bytes);
    ASSERT_TRUE(storage);
    auto file = storage->getFile(u"音楽\\曲１.ogg");
    EXPECT_TRUE(file->exists());
    EXPECT_FALSE(file->openInputStream(0));
    EXPECT_EQ(str(storage->getFile(u"data/a.txt")->openInputStream(0)->readAll()), "alpha");
}

TEST(QlaStorage, ParentsAndChildrenFollowTheNames) {
    auto storage = mount(gameArchive());
    ASSERT_TRUE(storage);
    auto data = storage->getFile(u"DATA");
    EXPECT_EQ(paths(data->getChildren()),
              (std::vector<std::u16string>{u"data/a.txt", u"data/b.bin", u"data/sub"}));
    EXPECT_EQ(paths(storage->getFile(u"data/sub/")->getChildren()), std::vector<std::u16string>{});
    EXPECT_EQ(paths(storage->getFile(u"Data\\Sub")->getChildren()),
              std::vector<std::u16string>{u"data/sub/deep.txt"});
    EXPECT_EQ(paths(storage->getFile(u"音楽")->getChildren()), std::vector<std::u16string>{u"音楽/曲１.ogg"});
    EXPECT_TRUE(storage->getFile(u"data/a.txt")->getChildren().empty());  // not a directory

    auto parent = storage->getFile(u"data\\sub\\deep.txt")->getParent();
    ASSERT_TRUE(parent);
    EXPECT_EQ(parent->getPath(), u"data\\sub");
    EXPECT_TRUE(parent->isDirectory());
    EXPECT_EQ(parent->getParent()->getPath(), u"data");
    EXPECT_FALSE(parent->getParent()->getParent());
    EXPECT_FALSE(storage->getFile(u"root.txt")->getParent());
}

TEST(QlaStorage, TextInEveryEncodingRoundTripsThroughTheFileManager) {
    const std::u16string text = u"こんにちは、世界。Hello ｱｲｳ ①\n二行目";
    struct Case {
        const char* label;
        std::shared_ptr<IEncoder> encoder;
        std::shared_ptr<IDecoder> decoder;
        std::vector<uint8_t> prefix;
    };
    const std::vector<Case> cases = {
        {"sjis", createShiftJisEncoder(), createShiftJisDecoder(), {}},
        {"utf8", createUtf8Encoder(), createUtf8Decoder(), {}},
        {"utf16le", createUtf16EncoderLE(), createUtf16DecoderLE(), {}},
        {"utf16be", createUtf16EncoderBE(), createUtf16DecoderBE(), {}},
        {"utf16bom", createUtf16EncoderLE(), createUtf16Decoder(), {0xFF, 0xFE}},
    };
    Qla::ArchiveWriter w("vinqatol");
    w.addDirectory(sjis(u"テキスト"));
    for (const auto& c : cases) {
        std::vector<uint8_t> bytes(text.size() * 4 + 8);
        const uint32_t n = c.encoder->encode(bytes.data(), static_cast<uint32_t>(bytes.size()), text.data(),
                                             static_cast<uint32_t>(text.size() * 2));
        ASSERT_GT(n, 0u) << c.label;
        bytes.resize(n);
        bytes.insert(bytes.begin(), c.prefix.begin(), c.prefix.end());
        w.addFile(sjis(u"テキスト\\") + c.label + ".txt", bytes);
    }
    auto fm = createFileManager(createFileStorage());
    ASSERT_TRUE(fm);
    ASSERT_TRUE(fm->addStorage(0, mount(w.toBytes())));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        auto reader = createStreamReader(fm->openInputStream(u"テキスト/" + Qla::utf8ToUtf16(c.label) + u".TXT", 0),
                                         c.decoder);
        ASSERT_TRUE(reader);
        EXPECT_EQ(reader->readToEnd(), text);
    }
}
