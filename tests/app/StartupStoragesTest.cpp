#include "app/StartupStorages.h"

#include "io/TextCodec.h"
#include "io/archive/ArchiveWriter.h"
#include "io/archive/LinkedBlock.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>

namespace fs = std::filesystem;
using namespace Quillorane;

namespace {

std::u16string u16(const fs::path& p) { return QlIO::fromUtf8(p.string()); }

void spill(const fs::path& p, std::string_view bytes) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string archive(std::initializer_list<std::pair<const char*, const char*>> files,
                    const std::string& password = kArchivePassword) {
    Qla::ArchiveWriter w(password);
    for (const auto& [name, text] : files) w.addFile(name, std::vector<uint8_t>(text, text + std::strlen(text)));
    const auto bytes = w.toBytes();
    return std::string(bytes.begin(), bytes.end());
}

std::string readVia(const std::shared_ptr<QlIO::IFileManager>& fm, std::u16string_view path) {
    auto stream = fm->openInputStream(path, 0);
    if (!stream) return "<none>";
    const auto bytes = stream->readAll();
    return std::string(bytes.begin(), bytes.end());
}

// A game folder in a fresh temporary directory, made the current directory
// as the host does.
class GameFolder : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = fs::current_path();
        root_ = fs::temp_directory_path() / ("ql_app_test_" + std::to_string(::getpid()) + "_" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        game_ = root_ / "game";
        fs::create_directories(game_);
        fs::current_path(game_);
    }
    void TearDown() override {
        fs::current_path(saved_);
        fs::remove_all(root_);
    }

    // A pretend runtime with the given archive linked onto it.
    fs::path linkedExe(const std::string& block) {
        const std::string runtime = "\x7f" "ELF runtime";
        const auto trailer = Qla::makeTrailer(static_cast<uint32_t>(runtime.size()), static_cast<uint32_t>(block.size()));
        const fs::path exe = root_ / "bin" / "runtime";
        spill(exe, runtime + block + std::string(trailer.begin(), trailer.end()));
        return exe;
    }

    fs::path saved_;
    fs::path root_;
    fs::path game_;
};

}  // namespace

TEST(ArchivePriority, ComesFromTheLeadingNumberOfTheStem) {
    EXPECT_EQ(archivePriority(u"data"), 65535);
    EXPECT_EQ(archivePriority(u""), 65535);
    EXPECT_EQ(archivePriority(u"+3"), 65535);
    EXPECT_EQ(archivePriority(u" 3"), 65535);
    EXPECT_EQ(archivePriority(u"0"), 65534);
    EXPECT_EQ(archivePriority(u"2"), 65532);
    EXPECT_EQ(archivePriority(u"3"), 65531);
    EXPECT_EQ(archivePriority(u"007"), 65527);
    EXPECT_EQ(archivePriority(u"12abc"), 65522);
    EXPECT_EQ(archivePriority(u"65532"), 2);
    // Larger numbers stop at 2: archives never take the slots of the linked
    // block (0) or the loose files (1), and the number never overflows.
    EXPECT_EQ(archivePriority(u"65533"), 2);
    EXPECT_EQ(archivePriority(u"70000"), 2);
    EXPECT_EQ(archivePriority(u"99999999999999999999999"), 2);
    EXPECT_EQ(archivePriority(u"４"), 65535);  // full-width digits are not decimal digits here
}

TEST_F(GameFolder, ArchivesMountByNameAndPriority) {
    spill(game_ / "only_loose.txt", "loose");
    spill(game_ / "a.txt", "loose");
    spill(game_ / "data.qla", archive({{"a.txt", "data"}, {"b.txt", "data"}, {"only_data.txt", "data"}}));
    spill(game_ / "0.qla", archive({{"b.txt", "zero"}, {"c.txt", "zero"}, {"only_zero.txt", "zero"}}));
    spill(game_ / "2.qla", archive({{"c.txt", "two"}, {"only_two.txt", "two"}}));
    spill(game_ / "Data.QLA", archive({{"upper.txt", "upper"}}));
    spill(game_ / "x.qla.bak", archive({{"bak.txt", "bak"}}));
    spill(game_ / "wrongpw.qla", archive({{"pw.txt", "pw"}}, "other"));
    spill(game_ / "junk.qla", "not an archive at all");
    fs::create_directories(game_ / "folder.qla");

    auto fm = createStartupFileManager(u16(game_), u16(root_ / "bin" / "runtime"));
    ASSERT_TRUE(fm);
    EXPECT_EQ(readVia(fm, u"a.txt"), "loose");       // loose files (1) before data.qla (65535)
    EXPECT_EQ(readVia(fm, u"B.TXT"), "zero");        // 0.qla (65534) before data.qla (65535)
    EXPECT_EQ(readVia(fm, u"c.txt"), "two");         // 2.qla (65532) before 0.qla (65534)
    EXPECT_EQ(readVia(fm, u"only_data.txt"), "data");
    EXPECT_EQ(readVia(fm, u"only_zero.txt"), "zero");
    EXPECT_EQ(readVia(fm, u"only_two.txt"), "two");
    EXPECT_EQ(readVia(fm, u"only_loose.txt"), "loose");
    EXPECT_EQ(readVia(fm, u"upper.txt"), "<none>");  // Data.QLA: the extension must be "qla" exactly
    EXPECT_EQ(readVia(fm, u"bak.txt"), "<none>");
    EXPECT_EQ(readVia(fm, u"pw.txt"), "<none>");
    EXPECT_EQ(readVia(fm, u"missing.txt"), "<none>");
}

TEST_F(GameFolder, ArchivesSharingAPlaceAndArchivesThatDoNotOpenAreReported) {
    spill(game_ / "music.qla", archive({{"m.txt", "music"}}));
    spill(game_ / "sound.qla", archive({{"s.txt", "sound"}}));  // same place (65535), later in name order
    spill(game_ / "junk.qla", "not an archive at all");
    testing::internal::CaptureStderr();
    auto fm = createStartupFileManager(u16(game_), u16(root_ / "bin" / "runtime"));
    const std::string said = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(fm);
    EXPECT_EQ(readVia(fm, u"s.txt"), "sound");
    EXPECT_EQ(readVia(fm, u"m.txt"), "<none>");
    EXPECT_NE(said.find("sound.qla takes the place of"), std::string::npos) << said;
    EXPECT_NE(said.find("music.qla"), std::string::npos) << said;
    EXPECT_NE(said.find("junk.qla is not an archive"), std::string::npos) << said;
}

TEST_F(GameFolder, TheArchiveAGameStartsFromKeepsNoSecondPlaceBesideTheOthers) {
    // zz.qla is the game (mounted at 0 by the caller); data.qla beside it shares the place
    // of archives without a number and must stay mounted.
    spill(game_ / "zz.qla", archive({{"start.nut", "game"}}));
    spill(game_ / "data.qla", archive({{"a.txt", "data"}}));
    testing::internal::CaptureStderr();
    auto fm = createStartupFileManager(u16(game_), u"", u16(game_ / "zz.qla"));
    const std::string said = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(fm);
    EXPECT_EQ(readVia(fm, u"a.txt"), "data");
    EXPECT_EQ(readVia(fm, u"start.nut"), "<none>");  // only where the caller mounts it
    EXPECT_EQ(said, "");
}

TEST_F(GameFolder, LinkedBlockComesFirst) {
    spill(game_ / "a.txt", "loose");
    spill(game_ / "0.qla", archive({{"a.txt", "zero"}, {"z.txt", "zero"}}));
    const fs::path exe = linkedExe(archive({{"a.txt", "linked"}, {"dir\\in.txt", "inside"}, {"save.dat", "packed"}}));
    auto fm = createStartupFileManager(u16(game_), u16(exe));
    ASSERT_TRUE(fm);
    EXPECT_EQ(readVia(fm, u"a.txt"), "linked");
    EXPECT_EQ(readVia(fm, u"dir/IN.txt"), "inside");
    EXPECT_EQ(readVia(fm, u"z.txt"), "zero");

    // Writing a name that exists only in an archive creates a loose file.
    auto out = fm->openOutputStream(u"save.dat", 0);
    ASSERT_TRUE(out);
    const std::string text = "written";
    out->write(reinterpret_cast<const uint8_t*>(text.data()), static_cast<uint32_t>(text.size()));
    out->close();
    EXPECT_EQ(slurp(game_ / "save.dat"), "written");
    EXPECT_EQ(readVia(fm, u"save.dat"), "packed");  // the linked block still comes first
}

TEST_F(GameFolder, LinkedBlockFoundOnlyWithAnIntactTrailer) {
    const std::string block = archive({{"a.txt", "linked"}});
    const fs::path exe = linkedExe(block);
    auto storage = openLinkedDataBlock(u16(exe));
    ASSERT_TRUE(storage);
    EXPECT_TRUE(storage->getFile(u"A.TXT")->exists());
    const std::string good = slurp(exe);

    // Every byte of the magic matters.
    for (size_t i = good.size() - 32; i < good.size(); ++i) {
        std::string bad = good;
        bad[i] ^= 0x20;
        spill(exe, bad);
        EXPECT_FALSE(openLinkedDataBlock(u16(exe))) << i;
    }
    auto withFields = [&](uint32_t offset, uint32_t size) {
        std::string bad = good;
        const auto trailer = Qla::makeTrailer(offset, size);
        std::copy(trailer.begin(), trailer.end(), bad.end() - 40);
        spill(exe, bad);
        return openLinkedDataBlock(u16(exe));
    };
    const auto start = static_cast<uint32_t>(good.size() - 40 - block.size());
    EXPECT_TRUE(withFields(start, static_cast<uint32_t>(block.size())));
    EXPECT_FALSE(withFields(start, 0));                                   // an empty block
    EXPECT_FALSE(withFields(start, 0xFFFFFFF0u));                         // larger than the file
    EXPECT_FALSE(withFields(0xFFFFFFF0u, 16));                            // past the end
    EXPECT_FALSE(withFields(start + 1, static_cast<uint32_t>(block.size())));  // not an archive there
    EXPECT_FALSE(withFields(start, 24));                                  // cut inside the header

    // A block truncated inside its records opens with the entries it still holds.
    EXPECT_TRUE(withFields(start, 40));

    spill(exe, good.substr(0, 39));
    EXPECT_FALSE(openLinkedDataBlock(u16(exe)));
    spill(exe, "\x7f" "ELF plain runtime without a block");
    EXPECT_FALSE(openLinkedDataBlock(u16(exe)));
    EXPECT_FALSE(openLinkedDataBlock(u16(root_ / "no-such-exe")));
    EXPECT_FALSE(openLinkedDataBlock(u16(root_)));  // a directory
    EXPECT_FALSE(openLinkedDataBlock(u""));

    const fs::path wrongPassword = linkedExe(archive({{"a.txt", "x"}}, "not-the-runtime's"));
    EXPECT_FALSE(openLinkedDataBlock(u16(wrongPassword)));
}

TEST_F(GameFolder, PipesNamedLikeArchivesAreSkippedWithoutWaiting) {
    spill(game_ / "data.qla", archive({{"a.txt", "data"}}));
    // x.qla would share data.qla's place and, were it mounted, take it.
    const fs::path pipe = game_ / "x.qla";
    const fs::path exe = root_ / "runtime-pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(exe.c_str(), 0600), 0);

    testing::internal::CaptureStderr();
    auto assembling = std::async(std::launch::async, [&] { return createStartupFileManager(u16(game_), u16(exe)); });
    const bool prompt = assembling.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    if (!prompt) {
        // Open the other ends so waiting opens return and the test fails rather than hangs.
        const int fds[] = {::open(pipe.c_str(), O_RDWR | O_NONBLOCK), ::open(exe.c_str(), O_RDWR | O_NONBLOCK)};
        assembling.wait();
        for (int fd : fds) ::close(fd);
    }
    auto fm = assembling.get();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(prompt);
    ASSERT_TRUE(fm);
    EXPECT_EQ(readVia(fm, u"a.txt"), "data");
    EXPECT_NE(said.find("x.qla is not an archive"), std::string::npos) << said;
    EXPECT_EQ(said.find("takes the place"), std::string::npos) << said;
}

// A Japanese game unpacked from a zip made on Windows keeps Shift-JIS bytes in its names.
TEST_F(GameFolder, NamesThatAreNotUtf8AreFound) {
    const fs::path folder = root_ / "\x83\x51\x81\x5B\x83\x80";     // ゲーム
    const std::string script = "\x8A\x4A\x8E\x6E.nut";                // 開始.nut
    spill(folder / script, "start");
    spill(folder / "\x83\x66\x81\x5B\x83\x5E.qla", archive({{"packed.txt", "packed"}}));  // データ.qla
    const fs::path exe = folder / "\x8E\xC0\x8D\x73";                 // 実行
    fs::rename(linkedExe(archive({{"linked.txt", "linked"}})), exe);
    fs::current_path(folder);

    auto fm = createStartupFileManager(QlIO::fromNativePath(folder.native()), QlIO::fromNativePath(exe.native()));
    ASSERT_TRUE(fm);
    EXPECT_EQ(readVia(fm, QlIO::fromNativePath(script)), "start");
    EXPECT_EQ(readVia(fm, u"packed.txt"), "packed");
    EXPECT_EQ(readVia(fm, u"linked.txt"), "linked");
}

TEST_F(GameFolder, NoManagerWithoutAGameFolder) {
    spill(game_ / "file.txt", "x");
    EXPECT_FALSE(createStartupFileManager(u16(game_ / "file.txt"), u""));
    EXPECT_FALSE(createStartupFileManager(u16(root_ / "missing"), u""));
}

TEST_F(GameFolder, ProcessWideManagerIsCreatedOnce) {
    spill(game_ / "setup.nut", "title = \"x\"");
    spill(game_ / "0.qla", archive({{"in_archive.txt", "yes"}}));
    setFileManager(nullptr);
    setFileManagerOrigin(u16(game_), u"");
    auto first = getFileManager();
    ASSERT_TRUE(first);
    EXPECT_EQ(getFileManager(), first);
    EXPECT_EQ(readVia(first, u"in_archive.txt"), "yes");
    EXPECT_EQ(readVia(first, u"SETUP.NUT"), "title = \"x\"");

    // The origin is read only when the manager is assembled.
    setFileManagerOrigin(u16(root_ / "missing"), u"");
    EXPECT_EQ(getFileManager(), first);
    setFileManager(nullptr);
    EXPECT_FALSE(getFileManager());
    setFileManagerOrigin(u16(game_), u"");
    auto second = getFileManager();
    ASSERT_TRUE(second);
    EXPECT_NE(second, first);
    setFileManager(nullptr);
}
