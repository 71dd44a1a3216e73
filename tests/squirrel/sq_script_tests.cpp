// Language and library behaviour pinned down by scripts: every scripts/NAME.nut
// runs under `sq` in the scripts folder; its standard output must equal
// NAME.out and, where NAME.err exists, its standard error must equal that.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path &p)
{
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

std::vector<std::string> scriptNames()
{
    std::vector<std::string> names;
    for (const auto &e : fs::directory_iterator(SQ_SCRIPT_DIR))
        if (e.path().extension() == ".nut") names.push_back(e.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

class SqScript : public ::testing::TestWithParam<std::string> {};

TEST_P(SqScript, OutputMatches)
{
    const fs::path dir = SQ_SCRIPT_DIR;
    const std::string name = GetParam();
    const fs::path tmp = fs::temp_directory_path() / ("sq_script_" + std::to_string(::getpid()) + "_" + name);
    const std::string cmd = "cd '" + dir.string() + "' && '" SQ_BINARY "' '" + name + ".nut' </dev/null >'" +
                            tmp.string() + ".out' 2>'" + tmp.string() + ".err'";
    // the exit status is not compared: scripts may end in an error on purpose
    const int status = std::system(cmd.c_str());
    ASSERT_NE(status, -1) << "could not run " << cmd;
    const std::string out = slurp(tmp.string() + ".out"), err = slurp(tmp.string() + ".err");
    std::error_code ec;
    fs::remove(tmp.string() + ".out", ec);
    fs::remove(tmp.string() + ".err", ec);
    EXPECT_EQ(out, slurp(dir / (name + ".out")));
    if (fs::exists(dir / (name + ".err"))) {
        EXPECT_EQ(err, slurp(dir / (name + ".err")));
    }
}

INSTANTIATE_TEST_SUITE_P(Scripts, SqScript, ::testing::ValuesIn(scriptNames()),
                         [](const ::testing::TestParamInfo<std::string> &i) { return i.param; });

} // namespace
