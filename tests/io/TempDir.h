#pragma once
// A fresh directory per test, made the current directory for the test's
// duration and removed afterwards.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace QlIOTest {

class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_ = std::filesystem::current_path();
        std::string pattern = (std::filesystem::temp_directory_path() / "ql_io_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = std::filesystem::canonical(pattern);
        std::filesystem::current_path(root_);
    }

    void TearDown() override
    {
        std::filesystem::current_path(previous_);
        std::error_code ec;
        std::filesystem::permissions(root_, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(root_, ec);
    }

    // Writes bytes to a file below the temporary directory, creating folders.
    void writeFile(const std::string& relative, const std::string& bytes)
    {
        const auto path = root_ / relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
    }

    std::string readFile(const std::string& relative)
    {
        std::ifstream in(root_ / relative, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::filesystem::path root_;

private:
    std::filesystem::path previous_;
};

} // namespace QlIOTest
