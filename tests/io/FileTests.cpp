#include "TempDir.h"

#include "io/Factory.h"
#include "io/File.h"
#include "io/FileManager.h"
#include "io/MemoryStream.h"
#include "io/Path.h"
#include "io/TextCodec.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <future>

using namespace QlIO;
using QlIOTest::TempDirTest;

namespace {

std::u16string u16(const std::string& s) { return fromUtf8(s); }

std::string readAllText(const std::shared_ptr<IInputStream>& stream)
{
    if (!stream)
        return "<none>";
    const auto bytes = stream->readAll();
    return std::string(bytes.begin(), bytes.end());
}

// A read-only entry held in memory, as an archive presents its entries.
class MemoryEntry : public IFile {
public:
    MemoryEntry(std::u16string path, std::string data)
        : path_(std::move(path))
        , data_(std::move(data))
    {
    }
    bool exists() override { return true; }
    bool isFile() override { return true; }
    bool isDirectory() override { return false; }
    bool isHidden() override { return false; }
    bool isReadOnly() override { return true; }
    std::u16string getPath() override { return path_; }
    uint32_t getSize() override { return static_cast<uint32_t>(data_.size()); }
    bool setCreationTime(int64_t) override { return false; }
    int64_t getCreationTime() override { return 0; }
    bool setLastAccessTime(int64_t) override { return false; }
    int64_t getLastAccessTime() override { return 0; }
    bool setLastWriteTime(int64_t) override { return false; }
    int64_t getLastWriteTime() override { return 0; }
    bool remove() override { return false; }
    bool makeFile() override { return false; }
    bool makeDirectory() override { return false; }
    std::shared_ptr<IIoStream> openIoStream(uint32_t) override { return nullptr; }
    std::shared_ptr<IInputStream> openInputStream(uint32_t) override
    {
        return createMemoryStream(reinterpret_cast<uint8_t*>(data_.data()), static_cast<uint32_t>(data_.size()));
    }
    std::shared_ptr<IOutputStream> openOutputStream(uint32_t) override { return nullptr; }
    std::shared_ptr<IFile> getParent() override { return nullptr; }
    std::vector<std::shared_ptr<IFile>> getChildren() override { return {}; }

private:
    std::u16string path_;
    std::string data_;
};

class MemoryArchive : public IFileStorage {
public:
    void add(std::u16string name, std::string data) { entries_[name] = std::make_shared<MemoryEntry>(name, std::move(data)); }
    std::shared_ptr<IFile> getFile(std::u16string_view path) override
    {
        auto it = entries_.find(std::u16string(path));
        if (it != entries_.end())
            return it->second;
        return nullptr;
    }

private:
    std::map<std::u16string, std::shared_ptr<MemoryEntry>> entries_;
};

} // namespace

class FileManagerTest : public TempDirTest {
};

TEST_F(FileManagerTest, LowestPriorityNumberWins)
{
    writeFile("a/x.txt", "from a");
    writeFile("b/x.txt", "from b");
    writeFile("x.txt", "from default");
    auto manager = createFileManager(createFileStorage());
    ASSERT_TRUE(manager);
    EXPECT_EQ(readAllText(manager->openInputStream(u"x.txt", 0)), "from default");
    ASSERT_TRUE(manager->addStorage(10, createFileStorage(u16(root_ / "b"))));
    EXPECT_EQ(readAllText(manager->openInputStream(u"x.txt", 0)), "from b");
    auto a = createFileStorage(u16(root_ / "a"));
    ASSERT_TRUE(manager->addStorage(2, a));
    EXPECT_EQ(readAllText(manager->openInputStream(u"x.txt", 0)), "from a");
    auto files = manager->getFiles(u"x.txt");
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0]->getPath(), u16(root_ / "a/x.txt"));
    EXPECT_EQ(files[2]->getPath(), u16(root_ / "x.txt"));

    manager->removeStorage(a);
    EXPECT_EQ(readAllText(manager->openInputStream(u"x.txt", 0)), "from b");
    // Adding at a used priority replaces the storage there.
    ASSERT_TRUE(manager->addStorage(10, a));
    EXPECT_EQ(manager->getFiles(u"x.txt").size(), 2u);
    EXPECT_EQ(readAllText(manager->openInputStream(u"x.txt", 0)), "from a");
    manager->clearStorages();
    EXPECT_EQ(readAllText(manager->openInputStream(u"x.txt", 0)), "from default");
    EXPECT_FALSE(manager->addStorage(1, nullptr));
    EXPECT_FALSE(createFileManager(nullptr));
}

TEST_F(FileManagerTest, ReadingStopsAtTheFirstStorageThatHasTheFile)
{
    struct CountingStorage : IFileStorage {
        int asked = 0;
        std::shared_ptr<IFile> getFile(std::u16string_view) override
        {
            ++asked;
            return nullptr;
        }
    };
    auto archive = std::make_shared<MemoryArchive>();
    archive->add(u"data.bin", "packed");
    auto later = std::make_shared<CountingStorage>();
    auto fallback = std::make_shared<CountingStorage>();
    auto manager = createFileManager(fallback);
    manager->addStorage(0, archive);
    manager->addStorage(5, later);
    EXPECT_EQ(readAllText(manager->openInputStream(u"data.bin", 0)), "packed");
    EXPECT_EQ(manager->getFile(u"data.bin")->getPath(), u"data.bin");
    EXPECT_EQ(later->asked, 0);
    EXPECT_EQ(fallback->asked, 0);
    // A file found nowhere asks every storage once.
    EXPECT_FALSE(manager->openInputStream(u"other.bin", 0));
    EXPECT_EQ(later->asked, 1);
    EXPECT_EQ(fallback->asked, 1);
}

TEST_F(FileManagerTest, OutputGoesPastReadOnlyStorages)
{
    auto archive = std::make_shared<MemoryArchive>();
    archive->add(u"save.dat", "packed");
    auto manager = createFileManager(createFileStorage());
    manager->addStorage(0, archive);

    auto out = manager->openOutputStream(u"save.dat", 0);
    ASSERT_TRUE(out);
    EXPECT_EQ(out->write(std::vector<uint8_t>{'n', 'e', 'w'}), 3u);
    out->close();
    EXPECT_EQ(readFile("save.dat"), "new");
    // Reading still prefers the mounted archive.
    EXPECT_EQ(readAllText(manager->openInputStream(u"save.dat", 0)), "packed");

    // With only read-only candidates nothing can be opened for writing.
    manager->setDefaultStorage(nullptr);
    EXPECT_FALSE(manager->openOutputStream(u"save.dat", 0));
    EXPECT_FALSE(manager->openIoStream(u"save.dat", 0));
    EXPECT_TRUE(manager->openInputStream(u"save.dat", 0));
}

TEST_F(FileManagerTest, MissingPathGivesTheDefaultCandidateOnly)
{
    auto manager = createFileManager(createFileStorage());
    manager->addStorage(0, std::make_shared<MemoryArchive>());
    manager->addStorage(1, createFileStorage(u16(root_ / "nowhere")));
    auto files = manager->getFiles(u"missing/file.txt");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_FALSE(files[0]->exists());
    EXPECT_EQ(files[0]->getPath(), u16(root_ / "missing/file.txt"));
    EXPECT_FALSE(manager->openInputStream(u"missing/file.txt", 0));
    EXPECT_FALSE(manager->getFile(u""));
    // Reading and writing together needs an existing file unless truncating.
    EXPECT_FALSE(manager->openIoStream(u"missing.bin", 0));
    auto io = manager->openIoStream(u"made.bin", OpenTruncate);
    ASSERT_TRUE(io);
    io->write(std::vector<uint8_t>{'a', 'b'});
    io->close();
    io = manager->openIoStream(u"made.bin", OpenAtEnd);
    ASSERT_TRUE(io);
    EXPECT_EQ(io->tell(), 2u);
    EXPECT_TRUE(io->writeByte('c'));
    EXPECT_TRUE(io->seek(0));
    EXPECT_EQ(readAllText(io), "abc");
}

class FileTest : public TempDirTest {
};

TEST_F(FileTest, PathsAreAbsoluteWithForwardSlashes)
{
    auto storage = createFileStorage();
    EXPECT_FALSE(storage->getFile(u""));
    auto a = storage->getFile(u"dir/sub/");
    auto b = storage->getFile(u"dir\\sub");
    EXPECT_EQ(a->getPath(), u16(root_ / "dir/sub"));
    EXPECT_EQ(a->getPath(), b->getPath());
    EXPECT_EQ(storage->getFile(u"C:\\Game\\x")->getPath(), u"C:\\Game\\x");
    // A drive path names nothing here and creates nothing.
    auto drive = storage->getFile(u"C:\\Game\\save.txt");
    EXPECT_FALSE(drive->exists());
    EXPECT_FALSE(drive->makeFile());
    EXPECT_FALSE(drive->makeDirectory());
    EXPECT_FALSE(drive->openOutputStream(0));
    EXPECT_FALSE(createFileManager(storage)->openOutputStream(u"C:\\Game\\save.txt", 0));
    EXPECT_TRUE(std::filesystem::is_empty(root_));
    EXPECT_EQ(a->getParent()->getPath(), u16(root_ / "dir"));
    EXPECT_EQ(storage->getFile(u"/x")->getParent()->getPath(), u"/");
    EXPECT_FALSE(storage->getFile(u"/")->getParent());
    // A storage over a folder takes relative paths against it, absolute ones as they are.
    auto sub = createFileStorage(u"dir");
    ASSERT_TRUE(sub);
    EXPECT_EQ(sub->getFile(u"x\\y")->getPath(), u16(root_ / "dir/x/y"));
    EXPECT_EQ(sub->getFile(u"../z")->getPath(), u16(root_ / "z"));
    EXPECT_EQ(sub->getFile(u"/etc")->getPath(), u"/etc");
    std::filesystem::current_path("/");
    EXPECT_EQ(sub->getFile(u"x")->getPath(), u16(root_ / "dir/x"));
    std::filesystem::current_path(root_);
    EXPECT_FALSE(createFileStorage(u"C:\\Games"));
}

TEST_F(FileTest, MissingPathsResolveWithoutRegardToCase)
{
    writeFile("data/title.png", "png");
    auto storage = createFileStorage();
    auto file = storage->getFile(u"Data\\Title.PNG");
    EXPECT_TRUE(file->exists());
    EXPECT_EQ(file->getPath(), u16(root_ / "data/title.png"));
    EXPECT_EQ(file->getSize(), 3u);
    // An exact match wins over a case variant.
    writeFile("data/Title.PNG", "exact");
    EXPECT_EQ(storage->getFile(u"data/Title.PNG")->getSize(), 5u);
    // A new file lands in the existing folder whatever case the path uses.
    auto fresh = storage->getFile(u"DATA/new.txt");
    EXPECT_EQ(fresh->getPath(), u16(root_ / "data/new.txt"));
    EXPECT_TRUE(fresh->makeFile());
    EXPECT_TRUE(std::filesystem::exists(root_ / "data/new.txt"));
    // Accented letters fold too.
    writeFile("\xC3\xA9t\xC3\xA9/a", "x");
    EXPECT_TRUE(storage->getFile(u"\u00C9T\u00C9/A")->exists());
}

TEST_F(FileTest, JapaneseNamesReachTheDiskAsUtf8)
{
    auto storage = createFileStorage();
    const std::u16string name = u"\u30BB\u30FC\u30D6/\u30C7\u30FC\u30BF\uFF11.txt";
    auto file = storage->getFile(name);
    ASSERT_TRUE(file->makeFile());
    EXPECT_TRUE(std::filesystem::exists(root_ / toUtf8(name)));
    auto out = file->openOutputStream(0);
    ASSERT_TRUE(out);
    out->write(std::vector<uint8_t>{1, 2, 3});
    out->close();
    EXPECT_EQ(file->getSize(), 3u);
    auto children = storage->getFile(u"\u30BB\u30FC\u30D6")->getChildren();
    ASSERT_EQ(children.size(), 1u);
    EXPECT_EQ(getFileName(children[0]->getPath()), u"\u30C7\u30FC\u30BF\uFF11.txt");
}

// Names unpacked from a zip made on a Japanese system keep their Shift-JIS bytes.
TEST_F(FileTest, NamesThatAreNotUtf8AreListedAndOpenedByTheirBytes)
{
    const std::string folder = "\x83\x65\x83\x58\x83\x67"; // "テスト" in Shift-JIS
    const std::string script = "\x8A\x4A\x8E\x6E.nut";       // "開始.nut"
    writeFile(folder + "/" + script, "start");
    writeFile(folder + "/Data.txt", "data");
    const std::u16string wideFolder = fromNativePath(folder);
    const std::u16string wideScript = fromNativePath(script);

    auto storage = createFileStorage();
    auto manager = createFileManager(storage);
    EXPECT_TRUE(storage->getFile(wideFolder)->isDirectory());
    EXPECT_EQ(readAllText(manager->openInputStream(wideFolder + u"/" + wideScript, 0)), "start");

    // Listed names open the same files again.
    auto children = storage->getFile(wideFolder)->getChildren();
    ASSERT_EQ(children.size(), 2u);
    EXPECT_EQ(children[0]->getPath(), u16(root_) + u"/" + wideFolder + u"/Data.txt");
    EXPECT_EQ(getFileName(children[1]->getPath()), wideScript);
    EXPECT_EQ(readAllText(children[1]->openInputStream(0)), "start");
    auto top = storage->getFile(u".")->getChildren();
    ASSERT_EQ(top.size(), 1u);
    EXPECT_EQ(getFileName(top[0]->getPath()), wideFolder);

    // The current directory keeps its bytes too, so relative paths work inside the folder.
    std::filesystem::current_path(root_ / folder);
    EXPECT_EQ(getAbsolutePath(u"x"), u16(root_) + u"/" + wideFolder + u"/x");
    EXPECT_EQ(readAllText(createFileManager(createFileStorage())->openInputStream(wideScript, 0)), "start");
    std::filesystem::current_path(root_);

    // Files made under such names get exactly those bytes on disk.
    const std::u16string save = wideFolder + u"/" + fromNativePath("\x83\x5A\x81\x5B\x83\x75.sav");
    auto out = manager->openOutputStream(save, 0);
    ASSERT_TRUE(out);
    out->write(std::vector<uint8_t>{7});
    out->close();
    EXPECT_EQ(readFile(folder + "/\x83\x5A\x81\x5B\x83\x75.sav"), "\x07");
}

TEST_F(FileTest, CaseIsIgnoredAroundBytesThatAreNotUtf8)
{
    const std::string folder = "\x83\x65\x83\x58\x83\x67"; // テスト
    writeFile(folder + "/Start.nut", "start");
    writeFile("caf\xE9/x.txt", "latin-1");
    auto storage = createFileStorage();
    // Resolution goes through the folder to a child named in another case.
    auto start = storage->getFile(fromNativePath(folder) + u"/START.NUT");
    EXPECT_TRUE(start->exists());
    EXPECT_EQ(start->getPath(), u16(root_) + u"/" + fromNativePath(folder) + u"/Start.nut");
    // ASCII letters that are not second bytes of a pair still fold.
    EXPECT_TRUE(storage->getFile(fromNativePath("CAF\xE9/X.TXT"))->exists());
    // "ウヘエ" (0x83 0x45 0x83 0x78 0x83 0x47) differs from "テスト" only in the case of
    // the second bytes; it is another name.
    EXPECT_FALSE(storage->getFile(fromNativePath("\x83\x45\x83\x78\x83\x47/Start.nut"))->exists());
}

TEST_F(FileTest, MakeRemoveAndKinds)
{
    auto storage = createFileStorage();
    auto deep = storage->getFile(u"a/b/c/file.bin");
    EXPECT_FALSE(deep->exists());
    EXPECT_FALSE(deep->isReadOnly()); // a missing file is writable
    EXPECT_TRUE(deep->makeFile());
    EXPECT_TRUE(deep->isFile());
    EXPECT_FALSE(deep->isDirectory());
    EXPECT_TRUE(deep->makeFile()); // already a file
    EXPECT_FALSE(deep->makeDirectory());
    auto dir = storage->getFile(u"a/b");
    EXPECT_TRUE(dir->isDirectory());
    EXPECT_TRUE(dir->makeDirectory());
    EXPECT_FALSE(dir->makeFile());
    EXPECT_EQ(dir->getSize(), 0u);
    EXPECT_FALSE(dir->remove()); // not empty
    EXPECT_TRUE(deep->remove());
    EXPECT_FALSE(deep->remove());
    EXPECT_TRUE(storage->getFile(u"a/b/c")->remove());
    EXPECT_FALSE(storage->getFile(u"a/b/c")->exists());
}

TEST_F(FileTest, HiddenAndReadOnly)
{
    writeFile(".config", "x");
    writeFile("locked.txt", "x");
    auto storage = createFileStorage();
    EXPECT_TRUE(storage->getFile(u".config")->isHidden());
    EXPECT_FALSE(storage->getFile(u"locked.txt")->isHidden());
    EXPECT_FALSE(storage->getFile(u".missing")->isHidden());
    auto locked = storage->getFile(u"locked.txt");
    EXPECT_FALSE(locked->isReadOnly());
    ASSERT_EQ(chmod((root_ / "locked.txt").c_str(), 0444), 0);
    EXPECT_TRUE(locked->isReadOnly());
    EXPECT_FALSE(locked->setLastWriteTime(locked->getLastWriteTime()));
    // The manager will not write over it.
    auto manager = createFileManager(storage);
    EXPECT_FALSE(manager->openOutputStream(u"locked.txt", 0));
}

TEST_F(FileTest, ChildrenAreSortedWithoutDotEntries)
{
    writeFile("d/b.txt", "");
    writeFile("d/A.txt", "");
    writeFile("d/c/x", "");
    auto storage = createFileStorage();
    auto children = storage->getFile(u"d")->getChildren();
    ASSERT_EQ(children.size(), 3u);
    EXPECT_EQ(getFileName(children[0]->getPath()), u"A.txt");
    EXPECT_EQ(getFileName(children[1]->getPath()), u"b.txt");
    EXPECT_EQ(getFileName(children[2]->getPath()), u"c");
    EXPECT_TRUE(children[2]->isDirectory());
    EXPECT_TRUE(storage->getFile(u"d/b.txt")->getChildren().empty());
    EXPECT_TRUE(storage->getFile(u"missing")->getChildren().empty());
}

namespace {

class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* tz)
    {
        if (const char* old = std::getenv("TZ")) {
            had_ = true;
            old_ = old;
        }
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ScopedTimeZone()
    {
        if (had_)
            setenv("TZ", old_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    bool had_ = false;
    std::string old_;
};

} // namespace

TEST(FileTime, LocalFileTimeConversion)
{
    constexpr int64_t kUnixEpoch = 116444736000000000; // 1970-01-01 in 100 ns ticks since 1601
    {
        ScopedTimeZone utc("UTC0");
        EXPECT_EQ(Core::toLocalFileTime(0, 0), kUnixEpoch);
        EXPECT_EQ(Core::toLocalFileTime(1, 500), kUnixEpoch + 10'000'000 + 5);
    }
    ScopedTimeZone japan("JST-9");
    EXPECT_EQ(Core::toLocalFileTime(0, 0), kUnixEpoch + 9 * 3600 * 10'000'000LL);
    int64_t seconds = 0, nanoseconds = 0;
    Core::fromLocalFileTime(kUnixEpoch + 9 * 3600 * 10'000'000LL + 1234567, seconds, nanoseconds);
    EXPECT_EQ(seconds, 0);
    EXPECT_EQ(nanoseconds, 123456700);
    // Before 1970 too.
    Core::fromLocalFileTime(Core::toLocalFileTime(-86400 * 400, 100), seconds, nanoseconds);
    EXPECT_EQ(seconds, -86400 * 400);
    EXPECT_EQ(nanoseconds, 100);
}

TEST_F(FileTest, TimesRoundTrip)
{
    writeFile("t.txt", "x");
    auto file = createFileStorage()->getFile(u"t.txt");
    const int64_t when = Core::toLocalFileTime(1'500'000'000, 123'456'700);
    EXPECT_TRUE(file->setLastWriteTime(when));
    EXPECT_EQ(file->getLastWriteTime(), when);
    EXPECT_TRUE(file->setLastAccessTime(when + 10'000'000));
    EXPECT_EQ(file->getLastAccessTime(), when + 10'000'000);
    EXPECT_EQ(file->getLastWriteTime(), when); // untouched
    EXPECT_FALSE(file->setCreationTime(when));
    // Where the file system keeps a birth time it is recent; otherwise it is 0.
    const int64_t born = file->getCreationTime();
    if (born != 0) {
        const int64_t now = Core::toLocalFileTime(std::time(nullptr), 0);
        EXPECT_LT(std::llabs(now - born), 3600 * 10'000'000LL);
    }
    auto missing = createFileStorage()->getFile(u"none");
    EXPECT_FALSE(missing->setLastWriteTime(when));
    EXPECT_EQ(missing->getLastWriteTime(), 0);
    EXPECT_EQ(missing->getCreationTime(), 0);
}

TEST_F(FileTest, FilesThatMustNotBeLostOrHarmed)
{
    auto storage = createFileStorage();
    // A read-only file is neither removed nor emptied through its file object.
    writeFile("kept.txt", "precious");
    ASSERT_EQ(chmod((root_ / "kept.txt").c_str(), 0444), 0);
    auto kept = storage->getFile(u"kept.txt");
    EXPECT_FALSE(kept->remove());
    EXPECT_FALSE(kept->openOutputStream(0));
    EXPECT_FALSE(kept->openIoStream(OpenTruncate));
    EXPECT_EQ(readFile("kept.txt"), "precious");

    // A NUL in a name would cut it short and name another file: such a path names nothing.
    writeFile("keep", "data");
    auto cut = storage->getFile(std::u16string(u"keep\0.bak", 9));
    ASSERT_TRUE(cut);
    EXPECT_FALSE(cut->exists());
    EXPECT_FALSE(cut->openOutputStream(0));
    EXPECT_FALSE(cut->remove());
    EXPECT_EQ(readFile("keep"), "data");

    // Removing a link to a folder removes the link only.
    std::filesystem::create_directory("folder");
    writeFile("folder/inside.txt", "x");
    std::filesystem::create_directory_symlink(root_ / "folder", root_ / "link");
    EXPECT_TRUE(storage->getFile(u"link")->remove());
    EXPECT_FALSE(std::filesystem::exists(root_ / "link"));
    EXPECT_EQ(readFile("folder/inside.txt"), "x");
}

// Only regular files open: opening a pipe would wait for its other end, and the game with it.
TEST_F(FileTest, PipesAreRefusedWithoutWaiting)
{
    const auto pipe = root_ / "pipe";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    auto storage = createFileStorage();
    auto manager = createFileManager(storage);
    auto attempt = std::async(std::launch::async, [&] {
        return !storage->getFile(u"pipe")->openInputStream(0) && !manager->openInputStream(u"pipe", 0) &&
               !manager->openOutputStream(u"pipe", OpenAppend) && !manager->openIoStream(u"pipe", 0);
    });
    const bool prompt = attempt.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    if (!prompt) {
        // Become both ends of the pipe so a waiting open returns and the test fails rather than hangs.
        const int fd = ::open(pipe.c_str(), O_RDWR | O_NONBLOCK);
        attempt.wait();
        ::close(fd);
    }
    EXPECT_TRUE(prompt);
    EXPECT_TRUE(attempt.get());
}

TEST_F(FileTest, TwoAppendersKeepEachOthersLines)
{
    auto storage = createFileStorage();
    auto first = storage->getFile(u"log.txt")->openOutputStream(OpenAppend);
    auto second = storage->getFile(u"log.txt")->openOutputStream(OpenAppend);
    ASSERT_TRUE(first && second);
    const std::string a = "first\n", b = "second\n";
    EXPECT_EQ(first->write(reinterpret_cast<const uint8_t*>(a.data()), uint32_t(a.size())), a.size());
    EXPECT_EQ(second->write(reinterpret_cast<const uint8_t*>(b.data()), uint32_t(b.size())), b.size());
    EXPECT_TRUE(first->flush());
    EXPECT_TRUE(second->flush());
    first->close();
    second->close();
    EXPECT_EQ(readFile("log.txt"), "first\nsecond\n");
}

TEST_F(FileTest, ReaderOfAFileThatShrankStopsAtItsNewEnd)
{
    writeFile("lines.txt", "one\ntwo\n");
    auto storage = createFileStorage();
    auto reader = createStreamReader(storage->getFile(u"lines.txt")->openInputStream(0), createUtf8Decoder());
    ASSERT_TRUE(reader);
    // Another stream empties the file while the reader is open.
    storage->getFile(u"lines.txt")->openOutputStream(0)->close();
    const auto lines = reader->readAllLines();
    EXPECT_LE(lines.size(), 1u);
    EXPECT_FALSE(reader->canRead());
}

TEST_F(FileTest, PositionsBeyondFourGigabytesAreRefused)
{
    writeFile("huge.bin", "");
    ASSERT_EQ(truncate((root_ / "huge.bin").c_str(), (5ll << 30)), 0);  // sparse: no disk used
    auto storage = createFileStorage();
    auto stream = storage->getFile(u"huge.bin")->openIoStream(OpenAtEnd);
    ASSERT_TRUE(stream);
    // tell() is clamped to 4 GB - 1: seeking back to it must not land inside the file.
    EXPECT_FALSE(stream->seek(stream->tell()));
    EXPECT_FALSE(stream->seek(0));
    stream->close();
    // Reading can still seek: a wrong position there corrupts nothing.
    auto reader = storage->getFile(u"huge.bin")->openInputStream(0);
    ASSERT_TRUE(reader);
    EXPECT_TRUE(reader->seek(100));
}
