// Runs the qlapack program as a user would and checks its files and exit codes.
#include "io/archive/ArchiveReader.h"
#include "io/archive/ArchiveWriter.h"
#include "io/archive/Format.h"
#include "io/archive/LinkedBlock.h"
#include "io/archive/QlaStorage.h"
#include "io/archive/TextConv.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int code = -1;
    std::string out;
    std::string err;
};

std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void spill(const fs::path& p, std::string_view bytes) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

class Qlapack : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("qlapack_test_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    Outcome run(const std::vector<std::string>& args) {
        std::string cmd = quote(QLAPACK_PATH);
        for (const auto& a : args) cmd += " " + quote(a);
        cmd += " >" + quote((dir_ / "stdout").string()) + " 2>" + quote((dir_ / "stderr").string());
        Outcome r;
        const int status = std::system(cmd.c_str());
        r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = slurp(dir_ / "stdout");
        r.err = slurp(dir_ / "stderr");
        return r;
    }

    // A small game tree with Japanese file and folder names.
    fs::path makeGame() {
        const fs::path game = dir_ / "game";
        spill(game / "start.nut", "print(\"hi\");\n");
        spill(game / "画像" / "タイトル.png", std::string(70000, '\x89'));
        spill(game / "data" / "sub" / "deep.txt", "deep");
        spill(game / "data" / "empty.bin", "");
        fs::create_directories(game / "空のフォルダ");
        return game;
    }

    std::string p(const char* name) const { return (dir_ / name).string(); }

    fs::path dir_;
};

void expectSameTree(const fs::path& a, const fs::path& b) {
    std::vector<std::string> left;
    std::vector<std::string> right;
    for (const auto& e : fs::recursive_directory_iterator(a)) left.push_back(fs::relative(e.path(), a).string());
    for (const auto& e : fs::recursive_directory_iterator(b)) right.push_back(fs::relative(e.path(), b).string());
    std::sort(left.begin(), left.end());
    std::sort(right.begin(), right.end());
    EXPECT_EQ(left, right);
    for (const auto& rel : left) {
        if (fs::is_regular_file(a / rel)) {
            EXPECT_EQ(slurp(a / rel), slurp(b / rel)) << rel;
        }
    }
}

}  // namespace

TEST_F(Qlapack, PackListVerifyExtractRoundTrip) {
    const fs::path game = makeGame();
    Outcome r = run({"pack", p("game.qla"), game.string()});
    ASSERT_EQ(r.code, 0) << r.err;

    r = run({"list", p("game.qla")});
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("画像\\タイトル.png"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("dir  0\t空のフォルダ"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("file 0\tdata\\empty.bin"), std::string::npos) << r.out;

    r = run({"verify", p("game.qla")});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("ok, 8 records"), std::string::npos) << r.out;

    r = run({"extract", p("game.qla"), p("out")});
    EXPECT_EQ(r.code, 0) << r.err;
    expectSameTree(game, dir_ / "out");

    // The runtime's reader finds the entries the packer stored.
    auto storage = QlIO::createArchiveStorage(Qla::utf8ToUtf16(p("game.qla")), "vinqatol");
    ASSERT_TRUE(storage);
    EXPECT_EQ(storage->getFile(u"画像/タイトル.PNG")->getSize(), 70000u);
    EXPECT_TRUE(storage->getFile(u"空のフォルダ")->isDirectory());
}

TEST_F(Qlapack, NamesThatDifferOnlyInCaseAreRefusedWhenPackingAndKeptApartWhenExtracting) {
    spill(dir_ / "game" / "a.txt", "lower");
    spill(dir_ / "game" / "A.txt", "UPPER");
    Outcome r = run({"pack", p("game.qla"), (dir_ / "game").string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("one would hide the other"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir_ / "game.qla"));
    fs::remove(dir_ / "game" / "A.txt");
    // A leftover temporary file of an earlier run inside the folder is not packed.
    spill(dir_ / "game" / "inside.qla.partial", "junk");
    r = run({"pack", p("game/inside.qla"), (dir_ / "game").string()});
    ASSERT_EQ(r.code, 0) << r.err;
    r = run({"list", p("game/inside.qla")});
    EXPECT_EQ(r.out.find("partial"), std::string::npos) << r.out;

    // An archive made elsewhere may hold both names: each is extracted with its own data.
    Qla::ArchiveWriter w("vinqatol");
    w.addFile("a.txt", {'l', 'o', 'w'});
    w.addFile("A.txt", {'U', 'P'});
    std::string error;
    ASSERT_TRUE(w.writeFile(dir_ / "both.qla", &error)) << error;
    r = run({"extract", p("both.qla"), p("both")});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(slurp(dir_ / "both" / "a.txt"), "low");
    EXPECT_EQ(slurp(dir_ / "both" / "A.txt"), "UP");
    r = run({"list", p("both.qla")});
    EXPECT_NE(r.out.find("file 3\ta.txt"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("file 2\tA.txt"), std::string::npos) << r.out;
}

TEST_F(Qlapack, PasswordsAreUsedAndChecked) {
    const fs::path game = makeGame();
    ASSERT_EQ(run({"pack", p("a.qla"), game.string(), "--password", "s3cret"}).code, 0);
    ASSERT_EQ(run({"pack", "--password", "", p("b.qla"), game.string()}).code, 0);
    EXPECT_EQ(run({"verify", p("a.qla"), "--password", "s3cret"}).code, 0);
    EXPECT_EQ(run({"verify", p("b.qla"), "--password", ""}).code, 0);

    Outcome r = run({"verify", p("a.qla")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("wrong password"), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_NE(run({"extract", p("a.qla"), p("out"), "--password", "nope"}).code, 0);
    // With an empty password the data is stored as it is.
    EXPECT_NE(slurp(dir_ / "b.qla").find("print(\"hi\");"), std::string::npos);
}

TEST_F(Qlapack, VerifyReportsDamage) {
    const fs::path game = makeGame();
    ASSERT_EQ(run({"pack", p("game.qla"), game.string()}).code, 0);
    const std::string good = slurp(dir_ / "game.qla");
    struct Damage {
        std::string bytes;
        std::string expect;
    };
    std::string badType = good;
    badType[Qla::kFirstRecord + 4] ^= 0x7F;  // first record's type byte
    std::string tooLong = good;
    tooLong[Qla::kFirstRecord + 3] = '\x7F';  // first record's length
    const std::vector<Damage> cases = {
        {good.substr(0, 10), "shorter than an archive header"},
        {"XLA" + good.substr(3), "not an archive"},
        {good.substr(0, good.size() - 5), "lies outside the file"},
        {good.substr(0, 60), "record"},
        {badType, "unknown entry type"},
        {tooLong, "runs past the end"},
    };
    for (const auto& c : cases) {
        spill(dir_ / "bad.qla", c.bytes);
        Outcome r = run({"verify", p("bad.qla")});
        EXPECT_EQ(r.code, 1) << c.expect;
        EXPECT_NE(r.err.find(c.expect), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    // A chain that loops back on itself is reported, not followed forever.
    std::string loop = good;
    const uint32_t size = Qla::loadU32(reinterpret_cast<const uint8_t*>(loop.data() + Qla::kFirstRecord));
    std::vector<uint8_t> body(loop.begin() + Qla::kFirstRecord + 4, loop.begin() + Qla::kFirstRecord + 4 + size);
    const Qla::Scrambler scrambler(std::string(Qla::kDefaultPassword));
    scrambler.apply(body.data(), body.size());
    Qla::storeU32(body.data() + Qla::kBodyNext, Qla::kFirstRecord);
    scrambler.apply(body.data(), body.size());
    std::copy(body.begin(), body.end(), loop.begin() + Qla::kFirstRecord + 4);
    spill(dir_ / "loop.qla", loop);
    Outcome r = run({"verify", p("loop.qla")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("loops"), std::string::npos) << r.err;
}

TEST_F(Qlapack, PackRefusesNamesShiftJisCannotEncode) {
    const fs::path game = makeGame();
    spill(game / "data" / "café😀.txt", "x");
    Outcome r = run({"pack", p("game.qla"), game.string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("café😀.txt"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Shift-JIS"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir_ / "game.qla"));
    EXPECT_FALSE(fs::exists(dir_ / "game.qla.partial"));
}

TEST_F(Qlapack, ExtractNeverWritesThroughALinkedFolder) {
    Qla::ArchiveWriter w("vinqatol");
    w.addFile("link\\x.txt", {'x'});
    w.addFile("deep\\link2\\y.txt", {'y'});
    w.addFile("plain\\z.txt", {'z'});
    std::string error;
    ASSERT_TRUE(w.writeFile(dir_ / "links.qla", &error)) << error;
    const fs::path out = dir_ / "out", elsewhere = dir_ / "elsewhere";
    fs::create_directories(out / "deep");
    fs::create_directories(elsewhere);
    fs::create_directory_symlink(elsewhere, out / "link");
    fs::create_directory_symlink(elsewhere, out / "deep" / "link2");
    Outcome r = run({"extract", p("links.qla"), out.string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("refusing 'link\\x.txt'"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("refusing 'deep\\link2\\y.txt'"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::is_empty(elsewhere));
    EXPECT_EQ(slurp(out / "plain" / "z.txt"), "z");
}

TEST_F(Qlapack, ExtractRefusesNamesThatLeaveTheFolder) {
    Qla::ArchiveWriter w("vinqatol");
    w.addFile("..\\evil.txt", {'e'});
    w.addFile("sub\\..\\..\\evil2.txt", {'e'});
    w.addFile("\\abs.txt", {'a'});
    w.addFile("C:\\drive.txt", {'c'});
    w.addFile("fine\\ok.txt", {'o', 'k'});
    std::string error;
    ASSERT_TRUE(w.writeFile(dir_ / "evil.qla", &error)) << error;
    fs::create_directories(dir_ / "nest" / "out");
    Outcome r = run({"extract", p("evil.qla"), (dir_ / "nest" / "out").string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("refusing '..\\evil.txt'"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("refusing '\\abs.txt'"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("refusing 'C:\\drive.txt'"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir_ / "nest" / "evil.txt"));
    EXPECT_FALSE(fs::exists(dir_ / "evil2.txt"));
    EXPECT_FALSE(fs::exists(dir_ / "nest" / "evil2.txt"));
    EXPECT_FALSE(fs::exists("/abs.txt"));
    EXPECT_EQ(slurp(dir_ / "nest" / "out" / "fine" / "ok.txt"), "ok");
}

TEST_F(Qlapack, LinkAppendsTheArchiveAndTrailer) {
    const fs::path game = makeGame();
    ASSERT_EQ(run({"pack", p("game.qla"), game.string()}).code, 0);
    const std::string runtime = "\x7f" "ELF pretend runtime bytes";
    spill(dir_ / "runtime", runtime);
    fs::permissions(dir_ / "runtime", fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);

    Outcome r = run({"link", p("runtime"), p("game.qla"), p("linked")});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string linked = slurp(dir_ / "linked");
    const std::string archive = slurp(dir_ / "game.qla");
    ASSERT_EQ(linked.size(), runtime.size() + archive.size() + 40);
    EXPECT_EQ(linked.substr(0, runtime.size()), runtime);
    EXPECT_EQ(linked.substr(runtime.size(), archive.size()), archive);
    const auto* t = reinterpret_cast<const uint8_t*>(linked.data() + linked.size() - 40);
    EXPECT_EQ(Qla::loadU32(t), runtime.size());
    EXPECT_EQ(Qla::loadU32(t + 4), archive.size());
    EXPECT_EQ(linked.substr(linked.size() - 32), "@QUILLORANE_USE_LINKEDDATA_BLOCK");
    EXPECT_TRUE((fs::status(dir_ / "linked").permissions() & fs::perms::owner_exec) != fs::perms::none);
    EXPECT_TRUE((fs::status(dir_ / "linked").permissions() & fs::perms::group_exec) != fs::perms::none);

    // Linking onto an already linked runtime replaces its block.
    ASSERT_EQ(run({"link", p("linked"), p("game.qla"), p("relinked")}).code, 0);
    EXPECT_EQ(slurp(dir_ / "relinked"), linked);

    // An archive the runtime could not open is refused.
    ASSERT_EQ(run({"pack", p("other.qla"), game.string(), "--password", "x"}).code, 0);
    r = run({"link", p("runtime"), p("other.qla"), p("bad")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("wrong password"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir_ / "bad"));
}

TEST_F(Qlapack, BadArgumentsPrintUsage) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {}, {"pack"}, {"pack", "a.qla"}, {"frobnicate", "x"}, {"list", "a", "b"},
             {"verify", "x", "--password"}, {"verify", "x", "--bogus"},
             {"link", "a", "b", "c", "--password", "p"}}) {
        Outcome r = run(args);
        EXPECT_EQ(r.code, 2);
        EXPECT_NE(r.err.find("usage:"), std::string::npos);
    }
    Outcome r = run({"verify", p("missing.qla")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("cannot open"), std::string::npos) << r.err;
    r = run({"pack", p("x.qla"), p("no-such-dir")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("not a directory"), std::string::npos) << r.err;
}
