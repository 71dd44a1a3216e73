#include "ArchiveTestUtil.h"

#include "io/archive/ArchiveReader.h"
#include "io/archive/ArchiveWriter.h"
#include "io/archive/NameCase.h"
#include "io/archive/TextConv.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>
#include <fstream>

using namespace Qla;
using namespace QlaTest;

namespace {

std::string sjis(std::u16string_view name) {
    auto encoded = encodeEntryName(name);
    EXPECT_TRUE(encoded.has_value());
    return encoded.value_or("");
}

std::shared_ptr<ArchiveReader> openBytes(std::vector<uint8_t> bytes, const std::string& password) {
    auto reader = std::make_shared<ArchiveReader>();
    if (!reader->open(std::make_shared<MemorySource>(std::move(bytes)), password)) return nullptr;
    return reader;
}

std::vector<uint8_t> sampleArchive(const std::string& password) {
    ArchiveWriter w(password);
    w.addDirectory("data");
    w.addFile("data\\hello.txt", bytesOf("Hello, archive"));
    w.addDirectory(sjis(u"画像"));
    w.addFile(sjis(u"画像\\タイトル.png"), bytesOf(std::string(3000, '\x7f')));
    w.addFile("empty.bin", {});
    return w.toBytes();
}

}  // namespace

TEST(Scrambling, FollowsThePasswordRule) {
    // Password "ab": key bytes are 'a'+2 and 'b'+2, applied cyclically.
    std::vector<uint8_t> block = {0x00, 0x00, 0xFF, 0x10};
    Scrambler("ab").apply(block.data(), block.size());
    EXPECT_EQ(block, (std::vector<uint8_t>{0x63, 0x64, 0x9C, 0x74}));
    // The index restarts with each block but may continue where a chunk left off.
    std::vector<uint8_t> tail = {0xFF, 0x10};
    Scrambler("ab").apply(tail.data(), tail.size(), 2);
    EXPECT_EQ(tail, (std::vector<uint8_t>{0x9C, 0x74}));
    // The length is added modulo 256.
    std::string longPassword(256, '\x05');
    std::vector<uint8_t> one = {0};
    Scrambler(longPassword).apply(one.data(), 1);
    EXPECT_EQ(one[0], 0x05);

    // The writer scrambles the banner with the same rule.
    auto bytes = ArchiveWriter("ab").toBytes();
    ASSERT_GE(bytes.size(), kHeaderSize);
    EXPECT_EQ(bytes[kBannerOffset], 'M' ^ ('a' + 2));
    EXPECT_EQ(bytes[kBannerOffset + 1], 'o' ^ ('b' + 2));
    EXPECT_EQ(bytes[kBannerOffset + 19], 0 ^ ('b' + 2));
}

TEST(ArchiveReader, RoundTripsEntriesWithEveryKindOfPassword) {
    for (const std::string& password : std::vector<std::string>{"vinqatol", "", "x", std::string(300, 'q')}) {
        SCOPED_TRACE(password.size());
        auto reader = openBytes(sampleArchive(password), password);
        ASSERT_TRUE(reader);
        EXPECT_EQ(reader->getCount(), 5u);
        EXPECT_TRUE(reader->isDirectory(u"data"));
        EXPECT_FALSE(reader->isFile(u"data"));
        EXPECT_TRUE(reader->isFile(u"data\\hello.txt"));
        EXPECT_EQ(str(reader->readAll(u"data\\hello.txt")), "Hello, archive");
        EXPECT_EQ(reader->getSize(u"画像\\タイトル.png"), 3000u);
        EXPECT_EQ(str(reader->readAll(u"画像\\タイトル.png")), std::string(3000, '\x7f'));
        EXPECT_TRUE(reader->isDirectory(u"画像"));
        EXPECT_TRUE(reader->exists(u"empty.bin"));
        EXPECT_EQ(reader->getSize(u"empty.bin"), 0u);
        EXPECT_TRUE(reader->readAll(u"empty.bin").empty());
        EXPECT_FALSE(reader->exists(u"missing"));
        EXPECT_EQ(reader->getSize(u"missing"), 0u);
        EXPECT_TRUE(reader->readAll(u"missing").empty());
    }
}

TEST(ArchiveReader, HeaderDamageAndWrongPasswordFailTheOpen) {
    auto good = sampleArchive("vinqatol");
    EXPECT_FALSE(openBytes(good, "vinqatoL"));
    EXPECT_FALSE(openBytes(good, ""));
    EXPECT_FALSE(openBytes(sampleArchive(""), "vinqatol"));
    auto reader = std::make_shared<ArchiveReader>();
    EXPECT_FALSE(reader->open(nullptr, "x"));
    EXPECT_FALSE(reader->open(std::make_shared<MemorySource>(), "x"));
    for (size_t i = 0; i < kHeaderSize; ++i) {
        auto damaged = good;
        damaged[i] ^= 0x01;
        // Byte 4 is not examined; every other header byte is.
        EXPECT_EQ(static_cast<bool>(openBytes(damaged, "vinqatol")), i == 4) << "byte " << i;
    }
    EXPECT_FALSE(openBytes(std::vector<uint8_t>(good.begin(), good.begin() + 24), "vinqatol"));
}

TEST(ArchiveReader, IntactHeaderWithZeroFirstLengthHasNoEntries) {
    RawArchive raw("pw");
    raw.terminate();
    auto reader = openBytes(raw.bytes(), "pw");
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->getCount(), 0u);
    // No terminator at all: still opens.
    RawArchive bare("pw");
    reader = openBytes(bare.bytes(), "pw");
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->getCount(), 0u);
}

TEST(ArchiveReader, LookupIgnoresCaseAndSeparator) {
    ArchiveWriter w("k");
    w.addFile("Data\\Sub\\File.TXT", bytesOf("1"));
    w.addFile(sjis(u"Ωμεγα\\Файл.txt"), bytesOf("2"));
    w.addFile(sjis(u"ＡＢＣ.txt"), bytesOf("3"));
    auto reader = openBytes(w.toBytes(), "k");
    ASSERT_TRUE(reader);
    EXPECT_EQ(str(reader->readAll(u"data/sub/file.txt")), "1");
    EXPECT_EQ(str(reader->readAll(u"DATA\\SUB/FILE.txt")), "1");
    EXPECT_EQ(str(reader->readAll(u"ΩΜΕΓΑ/файл.TXT")), "2");
    EXPECT_EQ(str(reader->readAll(u"ａｂｃ.TXT")), "3");
    EXPECT_FALSE(reader->exists(u"data/sub"));
    EXPECT_FALSE(reader->exists(u"data/sub/file.txt "));
}

TEST(ArchiveReader, FoldedCollisionFindsTheFirstNameInTableOrder) {
    ArchiveWriter w("k");
    w.addFile("a\\B", bytesOf("lower"));  // added first, but sorts after "A/b"
    w.addFile("A/b", bytesOf("upper"));
    auto reader = openBytes(w.toBytes(), "k");
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->getCount(), 2u);
    EXPECT_EQ(reader->getNames(), (std::vector<std::u16string>{u"A/b", u"a\\B"}));
    EXPECT_EQ(str(reader->readAll(u"a\\B")), "upper");
    EXPECT_EQ(str(reader->readAll(u"a/b")), "upper");
    // Tools walking the table reach each entry by its stored name.
    const EntryInfo* lower = reader->findStored(u"a\\B");
    ASSERT_NE(lower, nullptr);
    EXPECT_EQ(str(reader->readAll(*lower)), "lower");
    EXPECT_EQ(reader->findStored(u"a/b"), nullptr);
}

// A source that pauses between moving and reading, as a disk might: any other read slipping
// in between would move the shared position.
class SlowSource final : public ISource {
public:
    explicit SlowSource(std::vector<uint8_t> bytes) : inner_(std::move(bytes)) {}
    void close() override { inner_.close(); }
    bool seek(uint32_t position) override
    {
        const bool ok = inner_.seek(position);
        if (slow) std::this_thread::sleep_for(std::chrono::microseconds(200));
        return ok;
    }
    uint32_t tell() const override { return inner_.tell(); }
    uint32_t getSize() const override { return inner_.getSize(); }
    uint32_t read(void* buffer, uint32_t count) override { return inner_.read(buffer, count); }
    std::atomic<bool> slow{false};

private:
    MemorySource inner_;
};

TEST(ArchiveReader, ThreadsReadingAtOnceEachGetTheirOwnData) {
    // The sound thread reads entries while the main thread does: reads share one source.
    ArchiveWriter w("k");
    w.addFile("one", std::vector<uint8_t>(20000, 0x11));
    w.addFile("two", std::vector<uint8_t>(30000, 0x22));
    auto source = std::make_shared<SlowSource>(w.toBytes());
    auto reader = std::make_shared<ArchiveReader>();
    ASSERT_TRUE(reader->open(source, "k"));
    source->slow = true;
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 40; ++i) {
                const bool first = (i + t) % 2 == 0;
                const auto data = reader->readAll(first ? u"one" : u"two");
                if (data != std::vector<uint8_t>(first ? 20000 : 30000, first ? 0x11 : 0x22)) ++wrong;
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST(ArchiveReader, LaterRecordWithTheSameNameReplacesTheEarlierOne) {
    ArchiveWriter w("k");
    w.addFile("x.txt", bytesOf("first"));
    w.addDirectory("x.txt");
    w.addFile("x.txt", bytesOf("third"));
    auto reader = openBytes(w.toBytes(), "k");
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->getCount(), 1u);
    EXPECT_EQ(str(reader->readAll(u"X.TXT")), "third");
}

TEST(ArchiveReader, UnseekableNextOffsetContinuesAfterTheRecord) {
    RawArchive raw("p");
    // Two records, then a third after the terminator-less end; the first
    // record's next offset is the archive's size and cannot be sought.
    RawRecord first{kTypeFile, "one", 0, 0, 0};
    const std::vector<uint8_t> probe = [&] {
        RawArchive tmp("p");
        tmp.addRecord({kTypeFile, "one"});
        tmp.addRecord({kTypeFile, "two"});
        tmp.terminate();
        return tmp.bytes();
    }();
    first.next = static_cast<int64_t>(probe.size());
    raw.addRecord(first);
    raw.addRecord({kTypeFile, "two"});
    raw.terminate();
    ASSERT_EQ(raw.size(), probe.size());
    auto reader = openBytes(raw.bytes(), "p");
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->getNames(), (std::vector<std::u16string>{u"one", u"two"}));
}

TEST(ArchiveReader, ChainThatLoopsBackTerminates) {
    for (int target : {0, 1, 2}) {  // record start, inside the record, the header
        SCOPED_TRACE(target);
        RawArchive raw("p");
        const uint32_t a = raw.addRecord({kTypeFile, "a"});
        const int64_t next = target == 0 ? a : target == 1 ? a + 6 : 3;
        raw.addRecord({kTypeFile, "b", 0, 0, next});
        raw.terminate();
        auto reader = openBytes(raw.bytes(), "p");
        ASSERT_TRUE(reader);
        EXPECT_TRUE(reader->exists(u"a"));
        EXPECT_TRUE(reader->exists(u"b"));
        EXPECT_LE(reader->getCount(), 3u);
    }
}

TEST(ArchiveReader, RecordsTooShortOrWithoutNameEndEndTheChain) {
    RawArchive raw("p");
    raw.addRecord({kTypeFile, "kept"});
    raw.addRawRecord(std::vector<uint8_t>(16, 0));  // shorter than the fixed fields
    raw.addRecord({kTypeFile, "lost"});
    raw.terminate();
    auto reader = openBytes(raw.bytes(), "p");
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->getNames(), std::vector<std::u16string>{u"kept"});

    RawArchive noEnd("p");
    noEnd.addRecord({kTypeFile, "kept"});
    std::vector<uint8_t> body(kBodyName + 3, 'z');
    storeU32(body.data() + kBodyNext, 0);
    noEnd.addRawRecord(body);
    noEnd.terminate();
    reader = openBytes(noEnd.bytes(), "p");
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->getNames(), std::vector<std::u16string>{u"kept"});
}

TEST(ArchiveReader, HostileLengthsAndOffsetsAreBoundedBySource) {
    RawArchive raw("p");
    // Records of 26, 25, 30 and 24 bytes, then a length: the data follows at 134.
    const uint32_t data = 134;
    raw.addRecord({kTypeFile, "huge", 0xFFFFFFF0u, data});
    raw.addRecord({kTypeFile, "far", 3, 0xFFFFFFF0u});
    raw.addRecord({kTypeFile, "straddle", 10, data});
    raw.addRecord({kTypeFile, "ok", 3, data});
    raw.addLength(0xFFFFFFFFu);  // a body that cannot exist
    ASSERT_EQ(raw.addData("abc"), data);
    auto reader = openBytes(raw.bytes(), "p");
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->getCount(), 4u);
    EXPECT_EQ(reader->getSize(u"huge"), 0xFFFFFFF0u);
    EXPECT_TRUE(reader->readAll(u"huge").empty());
    EXPECT_TRUE(reader->readAll(u"far").empty());
    std::vector<uint8_t> buffer(10);
    EXPECT_FALSE(reader->read(u"straddle", buffer.data()));
    EXPECT_EQ(str(reader->readAll(u"ok")), "abc");
}

TEST(ArchiveReader, TruncationAtEveryOffsetNeverCrashes) {
    const auto good = sampleArchive("vinqatol");
    for (size_t cut = 0; cut < good.size(); ++cut) {
        auto reader = openBytes(std::vector<uint8_t>(good.begin(), good.begin() + static_cast<ptrdiff_t>(cut)), "vinqatol");
        if (cut < kHeaderSize) {
            EXPECT_FALSE(reader) << cut;
            continue;
        }
        ASSERT_TRUE(reader) << cut;
        EXPECT_LE(reader->getCount(), 5u);
        for (const auto& name : reader->getNames()) {
            auto bytes = reader->readAll(name);
            // Data is either whole or not there at all.
            EXPECT_TRUE(bytes.empty() || bytes.size() == reader->getSize(name));
        }
    }
}

TEST(ArchiveReader, EveryFlippedByteLeavesAUsableOrRefusedArchive) {
    const auto good = sampleArchive("vinqatol");
    for (size_t i = 0; i < good.size(); ++i) {
        auto damaged = good;
        damaged[i] ^= 0xA5;
        auto reader = openBytes(damaged, "vinqatol");
        if (i < kHeaderSize && i != 4) {
            EXPECT_FALSE(reader) << i;
            continue;
        }
        ASSERT_TRUE(reader) << i;
        for (const auto& name : reader->getNames()) {
            auto bytes = reader->readAll(name);
            EXPECT_TRUE(bytes.empty() || bytes.size() == reader->getSize(name));
        }
    }
}

TEST(ArchiveReader, ReadsFromAFileSource) {
    const auto path = std::filesystem::temp_directory_path() / "ql_archive_reader_test.qla";
    const auto bytes = sampleArchive("vinqatol");
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    auto source = std::make_shared<FileSource>();
    ASSERT_TRUE(source->open(utf8ToUtf16(path.string())));
    ArchiveReader reader;
    ASSERT_TRUE(reader.open(source, "vinqatol"));
    EXPECT_EQ(str(reader.readAll(u"DATA/HELLO.TXT")), "Hello, archive");
    EXPECT_EQ(reader.readAll(u"画像\\タイトル.png").size(), 3000u);
    std::filesystem::remove(path);
}

TEST(Sources, SeekReadAndCloseBehaveAlike) {
    const auto path = std::filesystem::temp_directory_path() / "ql_archive_source_test.bin";
    std::ofstream(path, std::ios::binary) << "0123456789";
    auto file = std::make_shared<FileSource>();
    EXPECT_EQ(file->read(nullptr, 0), 0u);
    EXPECT_FALSE(file->seek(0));
    ASSERT_TRUE(file->openNative(path.string()));
    auto memory = std::make_shared<MemorySource>("0123456789", 10);
    for (ISource* s : {static_cast<ISource*>(file.get()), static_cast<ISource*>(memory.get())}) {
        char buf[16] = {};
        EXPECT_EQ(s->getSize(), 10u);
        EXPECT_FALSE(s->seek(10));  // the end itself cannot be sought
        EXPECT_EQ(s->tell(), 0u);
        EXPECT_TRUE(s->seek(7));
        EXPECT_EQ(s->read(buf, 16), 3u);
        EXPECT_EQ(std::string(buf, 3), "789");
        EXPECT_EQ(s->read(buf, 16), 0u);
        EXPECT_TRUE(s->seek(2));
        EXPECT_EQ(s->read(buf, 2), 2u);
        EXPECT_EQ(std::string(buf, 2), "23");
        EXPECT_EQ(s->read(nullptr, 2), 0u);
        s->close();
        EXPECT_EQ(s->getSize(), 0u);
        EXPECT_EQ(s->read(buf, 1), 0u);
    }
    EXPECT_FALSE(FileSource().openNative((std::filesystem::temp_directory_path() / "no-such-file.qla").string()));
    EXPECT_FALSE(FileSource().openNative(std::filesystem::temp_directory_path().string()));  // a directory
    std::filesystem::remove(path);
}

TEST(NameFolding, UpperCasesScriptsAndFoldsSeparators) {
    EXPECT_EQ(foldName(u"a/b\\c{`"), u"A\\B\\C{`");
    EXPECT_EQ(foldName(u"zäöüÿß÷"), u"ZÄÖÜŸß÷");
    EXPECT_EQ(foldName(u"āĀľĽž"), u"ĀĀĽĽŽ");  // pairs of both parities
    EXPECT_EQ(foldName(u"αβωάώς"), u"ΑΒΩΆΏΣ");
    EXPECT_EQ(foldName(u"абяёџѣӂӑ"), u"АБЯЁЏѢӁӐ");
    EXPECT_EQ(foldName(u"ａｚＺひら漢字"), u"ＡＺＺひら漢字");
}
TEST(EntryNames, ShiftJisNamesConvertBothWays) {
    EXPECT_EQ(encodeEntryName(u"画像\\a.png"), std::optional<std::string>("\x89\xE6\x91\x9C\\a.png"));
    EXPECT_EQ(decodeEntryName("\x89\xE6\x91\x9C"), u"画像");
    EXPECT_EQ(decodeEntryName("\xB1"), u"ｱ");  // half-width katakana
    EXPECT_FALSE(encodeEntryName(u"emoji😀").has_value());
    EXPECT_FALSE(encodeEntryName(u"Ελληνικά é").has_value());
    // Broken bytes decode to a visible mark rather than vanishing.
    EXPECT_EQ(decodeEntryName("a\x81"), u"a\u30FB");
    EXPECT_FALSE(isValidEntryName("a\x81"));
    EXPECT_TRUE(isValidEntryName("\x89\xE6"));
    EXPECT_FALSE(encodeEntryName(std::u16string(u"a\0b", 3)).has_value());
}

TEST(MemorySource, ABlockBeyondWhatOffsetsAddressStaysEmpty) {
    // Never read: a block claiming more than 4 GiB is refused before any copy.
    const uint8_t small[16] = {};
    MemorySource huge(small, (size_t{1} << 32) + 5);
    EXPECT_EQ(huge.getSize(), 0u);
    MemorySource fits(small, sizeof small);
    EXPECT_EQ(fits.getSize(), 16u);
}
