// The `sq` program: what reaches stdout and stderr, exit status, arguments,
// source encodings and the interactive prompt.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

std::string slurp(const fs::path &p)
{
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

class SqTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("sq_tool_tests_" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    fs::path write(const std::string &name, const std::string &bytes)
    {
        std::ofstream f(dir / name, std::ios::binary);
        f << bytes;
        return dir / name;
    }

    // Runs sq with `args` in the test folder, feeding `input` on stdin.
    Result run(const std::string &args, const std::string &input = "")
    {
        fs::path in = write("stdin.txt", input);
        std::string cmd = "cd '" + dir.string() + "' && '" SQ_BINARY "' " + args + " <'" + in.string() +
                          "' >out.txt 2>err.txt";
        Result r;
        int raw = std::system(cmd.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = slurp(dir / "out.txt");
        r.err = slurp(dir / "err.txt");
        return r;
    }

    fs::path dir;
};

TEST_F(SqTool, PrintAndErrorGoToTheirStreamsAsUtf8)
{
    write("a.nut", "\xEF\xBB\xBFprint(\"caf\xC3\xA9 \" + 1 + \"\\n\")\nerror(\"oops\\n\")\n");
    Result r = run("a.nut");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "caf\xC3\xA9 1\n");
    EXPECT_EQ(r.err, "oops\n");
}

TEST_F(SqTool, ArgumentsArriveInVargvAndTheResultIsTheExitStatus)
{
    write("args.nut", "local s = vargv.len() + \":\"\nforeach (a in vargv) s += a + \";\"\nprint(s)\nreturn 7\n");
    Result r = run("args.nut one 'two words' \xC3\xA9");
    EXPECT_EQ(r.out, "3:one;two words;\xC3\xA9;");
    EXPECT_EQ(r.status, 7);
}

TEST_F(SqTool, CompileErrorsAreReportedOnBothStreams)
{
    write("bad.nut", "local x = 1\nlocal y = (x + \n");
    Result r = run("bad.nut");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Error [expression expected]\n");
    EXPECT_EQ(r.err.rfind("bad.nut line = (", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(") : error expression expected\n"), std::string::npos) << r.err;
}

TEST_F(SqTool, RuntimeErrorsStopTheScriptWithAReport)
{
    write("rt.nut", "print(\"before\\n\")\nlocal n = 5\nthrow \"stop\"\nprint(\"after\\n\")\n");
    Result r = run("rt.nut");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "before\n");
    EXPECT_EQ(r.err, "\nAN ERROR HAS OCCURED [stop]\n\nCALLSTACK\n*FUNCTION [main()] rt.nut line [3]\n"
                     "\nLOCALS\n[n] 5\n[vargv] ARRAY\n[this] TABLE\n");
}

TEST_F(SqTool, MissingScriptIsAnError)
{
    Result r = run("no-such-file.nut");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Error [cannot open the file]\n");
}

TEST_F(SqTool, Utf16SourcesRun)
{
    std::u16string text = u"print(\"\u65e5\")";
    std::string le = "\xFF\xFE";
    for (char16_t c : text) {
        le += char(c & 0xFF);
        le += char(c >> 8);
    }
    write("w.nut", le);
    Result r = run("w.nut");
    EXPECT_EQ(r.out, "\xE6\x97\xA5");
}

TEST_F(SqTool, InteractivePromptEvaluatesLines)
{
    Result r = run("", "local t = [1,\n2]\n=1 + 2\nx <- 5 \\\n+ 1\n=x\nquit()\n=99\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("3\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("6\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("99"), std::string::npos) << r.out; // quit() ends the session
}

} // namespace
