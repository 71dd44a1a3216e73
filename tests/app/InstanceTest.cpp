// Whole runs of the quillorane command that a script test cannot express: the single-instance
// rule between two processes, and a running game stopped by a signal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Process {
    pid_t pid = -1;
    fs::path out;
};

// Starts the runtime headless on a game folder, its standard output going to a file.
Process start(const fs::path& game, const fs::path& out) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    std::vector<std::string> args = {QL_RUNTIME, "--headless", game.string()};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    Process p;
    p.out = out;
    EXPECT_EQ(posix_spawn(&p.pid, QL_RUNTIME, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    return p;
}

// Waits up to `seconds` for the process to end; its exit status, or -1 when it is still running.
int waitFor(const Process& p, double seconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < until) {
        int status = 0;
        if (waitpid(p.pid, &status, WNOHANG) == p.pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
}

std::string slurp(const fs::path& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool waitForOutput(const Process& p, const std::string& text, double seconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < until) {
        if (slurp(p.out).find(text) != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

class InstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "ql_instance_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root = pattern;
        game = root / "game";
        fs::create_directories(game);
        // A unique id per test run, so runs of the suite in parallel never meet.
        std::ofstream(game / "setup.nut") << "ID = \"ql-instance-test-" << getpid() << "\"; single = true;";
        // Prints once it runs, then keeps presenting frames until it is stopped.
        std::ofstream(game / "start.nut") << "print(\"running\\n\"); while (true) Util.fwait(60);";
    }
    void TearDown() override {
        for (const Process* p : {&first, &second})
            if (p->pid > 0 && waitFor(*p, 0) < 0) {
                kill(p->pid, SIGKILL);
                waitpid(p->pid, nullptr, 0);
            }
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    fs::path root, game;
    Process first, second;
};

TEST_F(InstanceTest, ASecondInstanceOfASingleGameEndsAtOnceAndAStopSignalEndsTheFirst) {
    first = start(game, root / "first.txt");
    ASSERT_TRUE(waitForOutput(first, "running", 20)) << "the first instance did not start";
    second = start(game, root / "second.txt");
    EXPECT_EQ(waitFor(second, 20), 0);
    EXPECT_EQ(slurp(second.out), "") << "the second instance ran the game";
    EXPECT_EQ(waitFor(first, 0.2), -1) << "the first instance ended";
    // Ctrl+C or kill: the window is asked to close, a headless run answers Yes.
    kill(first.pid, SIGTERM);
    EXPECT_EQ(waitFor(first, 20), 0);
    // The lock is free again: a new first instance runs the game.
    second = start(game, root / "third.txt");
    EXPECT_TRUE(waitForOutput(second, "running", 20));
}

}  // namespace
